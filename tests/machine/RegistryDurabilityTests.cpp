// The hive file behind the registry: when it is written and when not, what a
// failing disk leaves behind, and what two programs or a killed one leave.
// Faults come from the fault-injecting system calls; concurrency and crashes
// from real child processes.

#include "FaultInjectingCalls.h"
#include "RegistryTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace pervo::test {
namespace {

using machine::Error;
using machine::FormatRegedit4;
using machine::Registry;

const std::string kProductKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola";

const std::string kStartingHive = CrLfLines({
    "REGEDIT4",
    "",
    "[HKEY_LOCAL_MACHINE]",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE]",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm]",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola]",
    "\"CommPort\"=dword:00000002",
    "",
});

std::unique_ptr<Registry> MustLoad(const std::string& hive, machine::SystemCalls& calls = machine::RealSystemCalls())
{
    auto loaded = Registry::Load(hive, calls);
    EXPECT_TRUE(loaded.IsOk()) << loaded.GetStatus().Message();
    return loaded.IsOk() ? std::move(loaded.Value()) : Registry::InMemory();
}

const std::set<std::string> kHiveAndLock = {"registry.reg", "registry.reg.lock"};

class RegistryFile : public ::testing::Test {
protected:
    std::unique_ptr<Registry> MustLoad(machine::SystemCalls& calls = machine::RealSystemCalls())
    {
        return test::MustLoad(m_hive, calls);
    }

    TemporaryFolder m_folder;
    // The hive sits two folders down, so that a first save has parents to create.
    std::string m_stateFolder = m_folder.Path() + "/state/pervo";
    std::string m_hive = m_stateFolder + "/registry.reg";
};

// For the tests that save thousands of times from several processes.
class RegistrySharedFile : public ::testing::Test {
protected:
    TemporaryFolder m_folder{TemporaryFolder::Place::Memory};
    std::string m_hive = m_folder.Path() + "/registry.reg";
};

struct stat StatOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

bool WritesAnything(const CallRecord& record)
{
    return record.call == Call::Write || record.call == Call::Rename || record.call == Call::Mkdir
        || record.call == Call::Unlink || (record.call == Call::Open && (record.flags & O_CREAT) != 0);
}

std::string ErrorText(int error)
{
    return std::generic_category().message(error);
}

// ---- When the file is written -------------------------------------------------

TEST_F(RegistryFile, LoadingAMissingFileGivesAnEmptyHiveAndWritesNothing)
{
    FaultInjectingCalls calls;
    const auto registry = MustLoad(calls);

    EXPECT_TRUE(registry->KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    EXPECT_EQ(registry->Path(), m_hive);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/state"));
    for (const auto& record : calls.Log())
        EXPECT_FALSE(WritesAnything(record)) << CallName(record.call) << " " << record.path;
}

TEST_F(RegistryFile, FirstChangeCreatesTheFoldersAndAHiveThatReadsBack)
{
    const auto registry = MustLoad();
    bool created = false;
    ASSERT_TRUE(registry->CreateKey(kProductKey, &created).IsOk());
    EXPECT_TRUE(created);
    ASSERT_TRUE(registry->SetValue(kProductKey, "CommPort", Dword(2)).IsOk());

    EXPECT_EQ(registry->SaveCount(), 2u);
    EXPECT_EQ(ReadWholeFile(m_hive), kStartingHive);
    EXPECT_EQ(FolderEntries(m_stateFolder), kHiveAndLock) << "no temporary file may stay behind";
    const auto reloaded = MustLoad();
    EXPECT_TRUE(machine::SameTree(reloaded->Root(), registry->Root()));
}

// Restores the process's file creation mask when the test ends.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_previous(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

struct ModeCase {
    const char* label;
    mode_t umask;
    mode_t mode;
};

class RegistryFileMode : public RegistryFile, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(RegistryFileMode, FollowsTheUmask)
{
    const ScopedUmask mask(GetParam().umask);
    const auto registry = MustLoad();
    ASSERT_TRUE(registry->CreateKey(kProductKey, nullptr).IsOk());
    ASSERT_TRUE(registry->SetValue(kProductKey, "CommPort", Dword(3)).IsOk());
    EXPECT_EQ(StatOf(m_hive).st_mode & 07777, GetParam().mode);
    EXPECT_EQ(StatOf(m_hive + ".lock").st_mode & 07777, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Umasks, RegistryFileMode,
                         ::testing::Values(ModeCase{"Umask022", 022, 0644}, ModeCase{"Umask077", 077, 0600},
                                           ModeCase{"Umask002", 002, 0644}),
                         [](const ::testing::TestParamInfo<ModeCase>& test) { return std::string(test.param.label); });

TEST_F(RegistryFile, ChangesThatChangeNothingMakeNoSystemCallsAtAll)
{
    WriteWholeFile(m_hive, kStartingHive);
    FaultInjectingCalls calls;
    const auto registry = MustLoad(calls);
    calls.ClearLog();
    const struct stat before = StatOf(m_hive);
    const auto entries = FolderEntries(m_stateFolder);

    bool created = true;
    EXPECT_TRUE(registry->CreateKey(kProductKey, &created).IsOk());
    EXPECT_FALSE(created);
    EXPECT_TRUE(registry->CreateKey("hkey_local_machine\\software\\VARHOLM", &created).IsOk());
    EXPECT_TRUE(registry->CreateKey("HKEY_LOCAL_MACHINE", &created).IsOk());
    EXPECT_TRUE(registry->SetValue(kProductKey, "CommPort", Dword(2)).IsOk());
    EXPECT_TRUE(registry->SetValue(kProductKey, "COMMPORT", Dword(2)).IsOk());

    for (const auto& record : calls.Log())
        ADD_FAILURE() << "unexpected " << CallName(record.call) << " " << record.path;
    EXPECT_EQ(registry->SaveCount(), 0u);
    EXPECT_EQ(ReadWholeFile(m_hive), kStartingHive);
    const struct stat after = StatOf(m_hive);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(FolderEntries(m_stateFolder), entries) << "not even the lock file may appear";
}

TEST_F(RegistryFile, EachChangeKeepsWhatAnotherWriterStoredMeanwhile)
{
    const auto first = MustLoad();
    const auto second = MustLoad();
    const std::string firstKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\First";
    const std::string secondKey = "HKEY_CURRENT_USER\\Second";

    ASSERT_TRUE(first->CreateKey(firstKey, nullptr).IsOk());
    ASSERT_TRUE(first->SetValue(firstKey, "n", Dword(1)).IsOk());
    ASSERT_TRUE(second->CreateKey(secondKey, nullptr).IsOk());
    ASSERT_TRUE(second->SetValue(secondKey, "n", Dword(2)).IsOk());
    EXPECT_EQ(second->QueryValue(firstKey, "n"), Dword(1)) << "memory takes what the file holds after a save";
    ASSERT_TRUE(first->SetValue(firstKey, "m", Dword(3)).IsOk());

    const auto reloaded = MustLoad();
    EXPECT_EQ(reloaded->QueryValue(firstKey, "n"), Dword(1));
    EXPECT_EQ(reloaded->QueryValue(firstKey, "m"), Dword(3));
    EXPECT_EQ(reloaded->QueryValue(secondKey, "n"), Dword(2));
    EXPECT_TRUE(machine::SameTree(reloaded->Root(), first->Root()));
}

TEST_F(RegistryFile, ChangeThatAnotherWriterAlreadyStoredWritesNothing)
{
    const auto first = MustLoad();
    const auto second = MustLoad();
    ASSERT_TRUE(first->CreateKey(kProductKey, nullptr).IsOk());
    ASSERT_TRUE(first->SetValue(kProductKey, "CommPort", Dword(5)).IsOk());
    const auto inode = StatOf(m_hive).st_ino;

    bool created = true;
    ASSERT_TRUE(second->CreateKey(kProductKey, &created).IsOk());
    EXPECT_FALSE(created) << "the key was already in the file";
    EXPECT_EQ(second->QueryValue(kProductKey, "CommPort"), Dword(5));
    ASSERT_TRUE(second->SetValue(kProductKey, "CommPort", Dword(5)).IsOk());
    EXPECT_EQ(second->SaveCount(), 0u);
    EXPECT_EQ(StatOf(m_hive).st_ino, inode);
}

// The last part of each path in text, so that steps read the same in any folder.
std::string WithoutFolders(const std::string& text)
{
    std::string shortened;
    std::size_t start = 0;
    for (std::size_t arrow; (arrow = text.find(" -> ", start)) != std::string::npos; start = arrow + 4)
        shortened += text.substr(text.rfind('/', arrow) + 1, arrow - text.rfind('/', arrow) - 1) + " -> ";
    return shortened + text.substr(text.rfind('/') + 1);
}

// Nothing in the file says whether it was flushed before the rename or
// written under the lock; only the order of the steps does.
TEST_F(RegistryFile, SaveWorksUnderTheLockAndFlushesBeforeAndAfterTheRename)
{
    WriteWholeFile(m_hive, kStartingHive);
    FaultInjectingCalls calls;
    const auto registry = MustLoad(calls);
    calls.ClearLog();

    ASSERT_TRUE(registry->SetValue(kProductKey, "CommPort", Dword(9)).IsOk());

    std::vector<std::string> steps;
    for (const auto& record : calls.Log()) {
        const bool tempClose = record.call == Call::Close && record.path.ends_with(".tmp");
        const bool unlock = record.call == Call::Flock && record.flags == LOCK_UN;
        if (record.call == Call::Stat || record.call == Call::Unlink || (record.call == Call::Close && !tempClose) || unlock)
            continue;
        std::string step = std::string(CallName(record.call)) + " " + WithoutFolders(record.path);
        if (steps.empty() || steps.back() != step)
            steps.push_back(std::move(step));
    }
    EXPECT_EQ(steps, (std::vector<std::string>{
                         "Open registry.reg.lock",
                         "Flock registry.reg.lock",
                         "Open registry.reg",
                         "Read registry.reg",
                         "Open pervo",
                         "Open registry.reg.tmp",
                         "Write registry.reg.tmp",
                         "Fsync registry.reg.tmp",
                         "Close registry.reg.tmp",
                         "Rename registry.reg.tmp -> registry.reg",
                         "Fsync pervo",
                     }));

    // And the lock is free again.
    const int fd = ::open((m_hive + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

// ---- Files that do not read -------------------------------------------------------

TEST_F(RegistryFile, UnreadableHiveFailsLoadNamingFileAndLineAndIsLeftAlone)
{
    const std::string corrupt = CrLfLines({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm]", "\"CommPort\"=dword:xyz"});
    WriteWholeFile(m_hive, corrupt);
    FaultInjectingCalls calls;

    const auto loaded = Registry::Load(m_hive, calls);

    ASSERT_FALSE(loaded.IsOk());
    EXPECT_EQ(loaded.GetStatus().GetError(), Error::Corrupt);
    EXPECT_EQ(loaded.GetStatus().Message().rfind(m_hive + ":4: ", 0), 0u) << loaded.GetStatus().Message();
    EXPECT_EQ(ReadWholeFile(m_hive), corrupt);
    EXPECT_EQ(FolderEntries(m_stateFolder), std::set<std::string>{"registry.reg"});
    for (const auto& record : calls.Log())
        EXPECT_FALSE(WritesAnything(record)) << CallName(record.call) << " " << record.path;
}

TEST_F(RegistryFile, HiveThatStopsReadingAfterLoadIsNeverOverwritten)
{
    WriteWholeFile(m_hive, kStartingHive);
    const auto registry = MustLoad();
    const std::string memory = FormatRegedit4(registry->Root());
    const std::string broken = CrLfLines({"REGEDIT4", "", "[HKEY_BOGUS\\X]"});
    WriteWholeFile(m_hive, broken);

    for (const auto& status : {registry->SetValue(kProductKey, "CommPort", Dword(9)),
                               registry->CreateKey("HKEY_CURRENT_USER\\New", nullptr)}) {
        EXPECT_EQ(status.GetError(), Error::Corrupt);
        EXPECT_EQ(status.Message().rfind(m_hive + ":3: ", 0), 0u) << status.Message();
    }
    EXPECT_EQ(ReadWholeFile(m_hive), broken);
    EXPECT_EQ(FormatRegedit4(registry->Root()), memory);
    EXPECT_EQ(registry->SaveCount(), 0u);
    EXPECT_EQ(FolderEntries(m_stateFolder), kHiveAndLock);
}

// ---- A failing disk ------------------------------------------------------------------

struct ErrnoCase {
    int error;
    Error expected;
    const char* label;
};

class RegistryFileFault : public RegistryFile, public ::testing::WithParamInterface<ErrnoCase> {
protected:
    // The calls one change makes when nothing fails, and the file it leaves.
    std::vector<CallRecord> CleanRun(std::string* newText)
    {
        WriteWholeFile(m_hive, kStartingHive);
        FaultInjectingCalls calls;
        const auto registry = MustLoad(calls);
        calls.ClearLog();
        EXPECT_TRUE(registry->SetValue(kProductKey, "CommPort", Dword(9)).IsOk());
        *newText = ReadWholeFile(m_hive).value_or("");
        return calls.Log();
    }
};

// A failure that has a way around it may leave the change done: the check
// whether the folder exists (it is then created, which finds it there), the
// removal of a stale temporary file, and closing the file that was read.
bool MayFailWithoutFailingTheChange(const CallRecord& record)
{
    return record.call == Call::Stat || record.call == Call::Unlink
        || (record.call == Call::Close && record.path.find(".tmp") == std::string::npos);
}

TEST_P(RegistryFileFault, AtAnyStepBeforeTheRenameLeavesTheOldHiveAndMemory)
{
    std::string newText;
    const auto steps = CleanRun(&newText);
    const auto rename = std::find_if(steps.begin(), steps.end(), [](const auto& r) { return r.call == Call::Rename; });
    ASSERT_NE(rename, steps.end());

    std::map<Call, int> seen;
    for (auto step = steps.begin(); step <= rename; ++step) {
        const int occurrence = ++seen[step->call];
        SCOPED_TRACE(std::string(CallName(step->call)) + " #" + std::to_string(occurrence) + " on " + step->path);
        WriteWholeFile(m_hive, kStartingHive);
        FaultInjectingCalls calls;
        const auto registry = MustLoad(calls);
        const std::string memory = FormatRegedit4(registry->Root());
        calls.FailNth(step->call, occurrence, GetParam().error);

        const auto status = registry->SetValue(kProductKey, "CommPort", Dword(9));

        if (status.IsOk()) {
            EXPECT_TRUE(MayFailWithoutFailingTheChange(*step)) << "the failure went unreported";
            EXPECT_EQ(ReadWholeFile(m_hive), newText);
            EXPECT_EQ(registry->QueryValue(kProductKey, "CommPort"), Dword(9));
        } else {
            EXPECT_EQ(status.GetError(), GetParam().expected) << status.Message();
            EXPECT_NE(status.Message().find(ErrorText(GetParam().error)), std::string::npos) << status.Message();
            EXPECT_EQ(ReadWholeFile(m_hive), kStartingHive);
            EXPECT_EQ(FormatRegedit4(registry->Root()), memory);
            EXPECT_EQ(registry->SaveCount(), 0u);
        }
        EXPECT_EQ(FolderEntries(m_stateFolder), kHiveAndLock) << "no temporary file may stay behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Errors, RegistryFileFault,
                         ::testing::Values(ErrnoCase{ENOSPC, Error::DiskFull, "DiskFull"}, ErrnoCase{EIO, Error::Io, "Io"},
                                           ErrnoCase{EACCES, Error::AccessDenied, "AccessDenied"}),
                         [](const ::testing::TestParamInfo<ErrnoCase>& test) { return std::string(test.param.label); });

struct NamedFault {
    const char* label;
    Call call;
    const char* pathPart;
    int error;
    Error expected;
    const char* says;
    const char* advice;
};

class RegistryNamedFault : public RegistryFile, public ::testing::WithParamInterface<NamedFault> {};

TEST_P(RegistryNamedFault, SaysWhatFailedWhereWhyAndWhatToDo)
{
    const auto& param = GetParam();
    WriteWholeFile(m_hive, kStartingHive);
    int occurrence = 0;
    {
        FaultInjectingCalls calls;
        const auto registry = MustLoad(calls);
        calls.ClearLog();
        ASSERT_TRUE(registry->SetValue(kProductKey, "CommPort", Dword(9)).IsOk());
        occurrence = OccurrenceOf(calls.Log(), param.call, param.pathPart);
        ASSERT_GT(occurrence, 0) << "no such call in a save";
    }
    WriteWholeFile(m_hive, kStartingHive);
    FaultInjectingCalls calls;
    const auto registry = MustLoad(calls);
    calls.FailNth(param.call, occurrence, param.error);

    const auto status = registry->SetValue(kProductKey, "CommPort", Dword(9));

    EXPECT_EQ(status.GetError(), param.expected);
    for (const std::string& part : {std::string(param.says), m_stateFolder, ErrorText(param.error), std::string(param.advice),
                                   std::string("left as it was")})
        EXPECT_NE(status.Message().find(part), std::string::npos) << "missing \"" << part << "\" in: " << status.Message();
    EXPECT_EQ(ReadWholeFile(m_hive), kStartingHive);
    EXPECT_EQ(registry->QueryValue(kProductKey, "CommPort"), Dword(2));
}

constexpr const char* kFreeSpace = "Free some disk space";
constexpr const char* kCheckRights = "Check that you may write";
constexpr const char* kCheckDisk = "Check the disk";

INSTANTIATE_TEST_SUITE_P(
    Steps, RegistryNamedFault,
    ::testing::Values(
        NamedFault{"TemporaryFileOnAFullDisk", Call::Open, ".tmp", ENOSPC, Error::DiskFull, "create the temporary file", kFreeSpace},
        NamedFault{"WriteOnAFullDisk", Call::Write, ".tmp", ENOSPC, Error::DiskFull, "write the temporary file", kFreeSpace},
        NamedFault{"WriteOverQuota", Call::Write, ".tmp", EDQUOT, Error::DiskFull, "write the temporary file", kFreeSpace},
        NamedFault{"WriteOnABrokenDisk", Call::Write, ".tmp", EIO, Error::Io, "write the temporary file", kCheckDisk},
        NamedFault{"FlushOnABrokenDisk", Call::Fsync, ".tmp", EIO, Error::Io, "flush the temporary file", kCheckDisk},
        NamedFault{"FlushOnAFullDisk", Call::Fsync, ".tmp", ENOSPC, Error::DiskFull, "flush the temporary file", kFreeSpace},
        NamedFault{"RenameWithoutRights", Call::Rename, ".tmp", EACCES, Error::AccessDenied, "rename", kCheckRights},
        NamedFault{"RenameOnABrokenDisk", Call::Rename, ".tmp", EIO, Error::Io, "rename", kCheckDisk},
        NamedFault{"LockFileWithoutRights", Call::Open, ".lock", EACCES, Error::AccessDenied, "open the lock file", kCheckRights},
        NamedFault{"LockFileNotPermitted", Call::Open, ".lock", EPERM, Error::AccessDenied, "open the lock file", kCheckRights},
        NamedFault{"LockFileOnAReadOnlyDisk", Call::Open, ".lock", EROFS, Error::AccessDenied, "open the lock file", kCheckRights},
        NamedFault{"ReadingTheHiveAgain", Call::Read, "registry.reg", EIO, Error::Io, "read the registry file", kCheckDisk}),
    [](const ::testing::TestParamInfo<NamedFault>& test) { return std::string(test.param.label); });

TEST_F(RegistryFile, ShortAndInterruptedWritesStillWriteTheWholeFile)
{
    WriteWholeFile(m_hive, kStartingHive);
    FaultInjectingCalls calls;
    const auto registry = MustLoad(calls);
    calls.LimitWrites(7);
    calls.FailNth(Call::Write, 2, EINTR);
    calls.FailNth(Call::Flock, 1, EINTR);
    calls.FailNth(Call::Fsync, 1, EINTR);
    std::vector<std::uint8_t> blob(3000);
    for (std::size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<std::uint8_t>(i * 7);

    ASSERT_TRUE(registry->SetValue(kProductKey, "Blob", Raw(kRegBinary, blob)).IsOk());

    const auto text = ReadWholeFile(m_hive).value_or("");
    EXPECT_EQ(text, FormatRegedit4(registry->Root()));
    EXPECT_GT(calls.Count(Call::Write), static_cast<int>(text.size() / 7)) << "the writes were not cut short";
    EXPECT_EQ(MustLoad()->QueryValue(kProductKey, "Blob"), Raw(kRegBinary, blob));
}

TEST_F(RegistryFile, FolderThatCannotBeCreatedFailsTheChange)
{
    FaultInjectingCalls calls;
    const auto registry = MustLoad(calls);
    calls.FailAll(Call::Mkdir, EACCES);

    const auto status = registry->CreateKey(kProductKey, nullptr);

    EXPECT_EQ(status.GetError(), Error::AccessDenied);
    EXPECT_NE(status.Message().find("create the folder"), std::string::npos) << status.Message();
    EXPECT_FALSE(registry->KeyExists(kProductKey));
    EXPECT_FALSE(std::filesystem::exists(m_hive));
}

// Once the rename is done the file holds the change; if the folder then
// cannot be flushed, the caller learns that the change may not survive a
// crash, and memory still says what the file says.
TEST_F(RegistryFile, FolderFlushFailingAfterTheRenameIsReportedAndMemoryFollowsTheFile)
{
    struct Case {
        int error;
        bool reported;
    };
    for (const Case test : {Case{EIO, true}, Case{EINVAL, false}}) {
        SCOPED_TRACE(ErrorText(test.error));
        WriteWholeFile(m_hive, kStartingHive);
        FaultInjectingCalls calls;
        const auto registry = MustLoad(calls);
        calls.ClearLog();
        ASSERT_TRUE(registry->SetValue(kProductKey, "Probe", Dword(1)).IsOk());
        const auto& log = calls.Log();
        const auto folderFlush = std::find_if(log.begin(), log.end(), [&](const auto& r) {
            return r.call == Call::Fsync && r.path == m_stateFolder;
        });
        ASSERT_NE(folderFlush, log.end()) << "the folder was not flushed";
        const int occurrence =
            static_cast<int>(std::count_if(log.begin(), folderFlush + 1, [](const auto& r) { return r.call == Call::Fsync; }));
        calls.FailNth(Call::Fsync, occurrence, test.error);

        const auto status = registry->SetValue(kProductKey, "CommPort", Dword(9));

        EXPECT_EQ(status.IsOk(), !test.reported) << status.Message();
        if (test.reported) {
            EXPECT_EQ(status.GetError(), Error::Io);
            EXPECT_NE(status.Message().find("may be lost"), std::string::npos) << status.Message();
        }
        EXPECT_EQ(registry->QueryValue(kProductKey, "CommPort"), Dword(9));
        EXPECT_EQ(ReadWholeFile(m_hive), FormatRegedit4(registry->Root()));
        EXPECT_EQ(registry->SaveCount(), 2u);
    }
}

// ---- Other programs and crashes ---------------------------------------------------

const std::string kWriterKey = "HKEY_CURRENT_USER\\Writer";

// One writer process: 1,000 changes to one hive, alternating new keys and new
// values. Returns the process's exit status.
int RunWriter(const std::string& hive, int writer)
{
    auto loaded = Registry::Load(hive, machine::RealSystemCalls());
    if (!loaded.IsOk()) {
        std::fprintf(stderr, "writer %d: %s\n", writer, loaded.GetStatus().Message().c_str());
        return 2;
    }
    Registry& registry = *loaded.Value();
    const std::string key = kWriterKey + std::to_string(writer);
    if (!registry.CreateKey(key, nullptr).IsOk())
        return 3;
    for (int i = 0; i < 1000; ++i) {
        const auto status = i % 4 == 0 ? registry.CreateKey(key + "\\k" + std::to_string(i), nullptr)
                                       : registry.SetValue(key, "v" + std::to_string(i), Dword(static_cast<std::uint32_t>(writer * 100000 + i)));
        if (!status.IsOk()) {
            std::fprintf(stderr, "writer %d, change %d: %s\n", writer, i, status.Message().c_str());
            return 4;
        }
    }
    return 0;
}

TEST_F(RegistrySharedFile, TwoProcessesWritingOneHiveLoseNothing)
{
    // The writers wait at a gate, a pipe that the parent closes, so that
    // they start together and their saves interleave.
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> writers;
    for (int writer = 0; writer < 2; ++writer) {
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate[1]);
            char ignored;
            while (::read(gate[0], &ignored, 1) < 0 && errno == EINTR) {
            }
            ::_exit(RunWriter(m_hive, writer));
        }
        writers.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (const pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
    }

    const auto registry = MustLoad(m_hive);
    int missing = 0;
    for (int writer = 0; writer < 2; ++writer) {
        const std::string key = kWriterKey + std::to_string(writer);
        for (int i = 0; i < 1000; ++i) {
            const bool found = i % 4 == 0 ? registry->KeyExists(key + "\\k" + std::to_string(i))
                                          : registry->QueryValue(key, "v" + std::to_string(i))
                                                == Dword(static_cast<std::uint32_t>(writer * 100000 + i));
            missing += found ? 0 : 1;
        }
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(FolderEntries(m_folder.Path()), kHiveAndLock);
}

const std::string kKillKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\Killed";

std::uint32_t CounterIn(const machine::RegistryValue& value)
{
    return value.data.size() == 4 ? std::uint32_t{value.data[0]} | std::uint32_t{value.data[1]} << 8
            | std::uint32_t{value.data[2]} << 16 | std::uint32_t{value.data[3]} << 24
                                  : 0;
}

// Saves a growing counter in a loop until it is killed. Before its trigger-th
// system call it tells the parent through the pipe, which then kills it: the
// kill lands somewhere in the steps of a save that follow. Writes are cut
// into small pieces so that the kill can also fall between them.
[[noreturn]] void RunWriterUntilKilled(const std::string& hive, int progress, int trigger)
{
    FaultInjectingCalls calls;
    calls.LimitWrites(256);
    int count = 0;
    calls.BeforeEachCall([&](const CallRecord&) {
        if (++count == trigger) {
            const char signal = 'x';
            if (::write(progress, &signal, 1) != 1)
                ::_exit(5);
        }
    });
    auto loaded = Registry::Load(hive, calls);
    if (!loaded.IsOk())
        ::_exit(2);
    Registry& registry = *loaded.Value();
    std::uint32_t counter = CounterIn(registry.QueryValue(kKillKey, "Counter").value_or(Dword(0)));
    for (;;) {
        if (!registry.SetValue(kKillKey, "Counter", Dword(++counter)).IsOk())
            ::_exit(3);
    }
}

TEST_F(RegistrySharedFile, WriterKilledWhileSavingAlwaysLeavesTheOldOrTheNewHive)
{
    {
        const auto registry = MustLoad(m_hive);
        ASSERT_TRUE(registry->CreateKey(kKillKey, nullptr).IsOk());
        ASSERT_TRUE(registry->CreateKey(kProductKey, nullptr).IsOk());
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(registry->SetValue(kProductKey, "Keep" + std::to_string(i), Sz(std::string(20, static_cast<char>('a' + i % 26)))).IsOk());
    }
    std::uint32_t last = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(progress[0]);
            RunWriterUntilKilled(m_hive, progress[1], 3 + round * 7);
        }
        ::close(progress[1]);
        char signal = 0;
        ssize_t got;
        while ((got = ::read(progress[0], &signal, 1)) < 0 && errno == EINTR) {
        }
        if (got == 1)
            ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ::close(progress[0]);
        ASSERT_EQ(got, 1) << "the writer ended by itself, status " << status;
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

        const auto text = ReadWholeFile(m_hive);
        ASSERT_TRUE(text.has_value());
        const auto parsed = machine::ParseRegedit4(*text, m_hive);
        ASSERT_TRUE(parsed.IsOk()) << parsed.GetStatus().Message();
        const auto* product = machine::FindKey(*parsed.Value(), machine::SplitKeyPath(kProductKey).Value());
        ASSERT_NE(product, nullptr);
        ASSERT_EQ(product->values.size(), 40u);
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(*product->FindValue("Keep" + std::to_string(i)), Sz(std::string(20, static_cast<char>('a' + i % 26))));
        const auto* killed = machine::FindKey(*parsed.Value(), machine::SplitKeyPath(kKillKey).Value());
        ASSERT_NE(killed, nullptr);
        const auto* counter = killed->FindValue("Counter");
        const std::uint32_t now = counter == nullptr ? 0 : CounterIn(*counter);
        EXPECT_GE(now, last) << "the counter went back";
        last = now;
    }
    // The later triggers come after whole saves, so the counter must have moved.
    EXPECT_GT(last, 0u);

    // A killed writer may leave its temporary file, which nobody reads, and
    // its lock goes with its life: the next save goes through and clears it.
    for (const auto& name : FolderEntries(m_folder.Path()))
        EXPECT_TRUE(kHiveAndLock.contains(name) || name == "registry.reg.tmp") << name;
    const auto registry = MustLoad(m_hive);
    ASSERT_TRUE(registry->SetValue(kKillKey, "Counter", Dword(last + 1)).IsOk());
    EXPECT_EQ(MustLoad(m_hive)->QueryValue(kKillKey, "Counter"), Dword(last + 1));
    EXPECT_EQ(FolderEntries(m_folder.Path()), kHiveAndLock);
}

}  // namespace
}  // namespace pervo::test
