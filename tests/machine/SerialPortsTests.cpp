#include "SerialPorts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace pervo::machine {
namespace {

enum class Call { Open, Close, Read, Stat, Flock, Ioctl, Tcgetattr, Kill };

// Passes every call to the kernel, except the one a test chooses to fail with
// a chosen errno. It keeps the descriptors it handed out, so a test can see
// that a failed open leaves none behind, and the ioctl requests, so a test can
// see that nothing was asked to change the terminal.
class FaultingCalls final : public SystemCalls {
public:
    // Makes `call` fail with `error`; an Open or Stat fault can be limited to
    // one path.
    void Fail(Call call, int error, std::string onlyPath = {})
    {
        m_fault = Fault{call, error, std::move(onlyPath)};
    }

    std::size_t OpenDescriptors() const { return m_open.size(); }
    std::size_t CallCount() const { return m_calls; }
    const std::vector<unsigned long>& IoctlRequests() const { return m_ioctls; }

    int Open(const char* path, int flags, mode_t mode) override
    {
        if (Faulted(Call::Open, path))
            return -1;
        const int fd = Real().Open(path, flags, mode);
        if (fd >= 0)
            m_open.insert(fd);
        return fd;
    }
    int Close(int fd) override
    {
        if (Faulted(Call::Close))
            return -1;
        m_open.erase(fd);
        return Real().Close(fd);
    }
    ssize_t Read(int fd, void* buffer, size_t size) override
    {
        return Faulted(Call::Read) ? -1 : Real().Read(fd, buffer, size);
    }
    ssize_t Write(int fd, const void* buffer, size_t size) override
    {
        ++m_calls;
        return Real().Write(fd, buffer, size);
    }
    int Fsync(int fd) override
    {
        ++m_calls;
        return Real().Fsync(fd);
    }
    int Rename(const char* from, const char* to) override
    {
        ++m_calls;
        return Real().Rename(from, to);
    }
    int Unlink(const char* path) override
    {
        ++m_calls;
        return Real().Unlink(path);
    }
    int Mkdir(const char* path, mode_t mode) override
    {
        ++m_calls;
        return Real().Mkdir(path, mode);
    }
    int Stat(const char* path, struct stat* info) override
    {
        return Faulted(Call::Stat, path) ? -1 : Real().Stat(path, info);
    }
    int Flock(int fd, int operation) override { return Faulted(Call::Flock) ? -1 : Real().Flock(fd, operation); }
    int Ioctl(int fd, unsigned long request, void* argument) override
    {
        m_ioctls.push_back(request);
        return Faulted(Call::Ioctl) ? -1 : Real().Ioctl(fd, request, argument);
    }
    int Tcgetattr(int fd, struct termios* attributes) override
    {
        return Faulted(Call::Tcgetattr) ? -1 : Real().Tcgetattr(fd, attributes);
    }
    int Kill(pid_t pid, int signal) override { return Faulted(Call::Kill) ? -1 : Real().Kill(pid, signal); }

private:
    struct Fault {
        Call call;
        int error;
        std::string onlyPath;
    };

    static SystemCalls& Real() { return RealSystemCalls(); }

    bool Faulted(Call call, const char* path = nullptr)
    {
        ++m_calls;
        if (!m_fault || m_fault->call != call)
            return false;
        if (!m_fault->onlyPath.empty() && (path == nullptr || m_fault->onlyPath != path))
            return false;
        errno = m_fault->error;
        return true;
    }

    std::optional<Fault> m_fault;
    std::set<int> m_open;
    std::vector<unsigned long> m_ioctls;
    std::size_t m_calls = 0;
};

// A failure message is one sentence that names the port (and its device, when
// there is one) and ends by saying what to do.
void ExpectOneSentenceAbout(const Status& status, const std::string& port, const std::string& path = {})
{
    const std::string& message = status.Message();
    EXPECT_NE(message.find(port), std::string::npos) << message;
    if (!path.empty()) {
        EXPECT_NE(message.find(path), std::string::npos) << message;
    }
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.back(), '.') << message;
    EXPECT_EQ(message.find(". "), std::string::npos) << message;
    EXPECT_NE(message.find("; "), std::string::npos) << "no advice in: " << message;
}


// Names each case of a table after its row.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& row)
{
    return row.param.name;
}

// ---------------------------------------------------------------- simulated

class SimulatedPortsTest : public ::testing::Test {
protected:
    SimulatedPortsTest()
    {
        m_ports.Assign(1, {PortKind::Simulated, {}});
        m_ports.Assign(2, {PortKind::SimulatedBusy, {}});
    }

    FaultingCalls m_calls;
    SerialPorts m_ports{m_calls};
};

struct SimulatedCase {
    const char* name;
    unsigned number;
    Error expected;
};

class SimulatedPortsOpen : public SimulatedPortsTest, public ::testing::WithParamInterface<SimulatedCase> {};

TEST_P(SimulatedPortsOpen, AnswersAsTheAssignedKindDoes)
{
    const SimulatedCase& c = GetParam();
    auto port = m_ports.Open(c.number);

    EXPECT_EQ(port.GetStatus().GetError(), c.expected) << port.GetStatus().Message();
    EXPECT_EQ(m_ports.HeldCount(), c.expected == Error::None ? 1u : 0u);
    if (!port)
        ExpectOneSentenceAbout(port.GetStatus(), "COM" + std::to_string(c.number));
    // A simulated machine touches nothing real.
    EXPECT_EQ(m_calls.CallCount(), 0u);
}

void PrintTo(const SimulatedCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(Kinds, SimulatedPortsOpen,
                         ::testing::Values(SimulatedCase{"Simulated", 1, Error::None},
                                           SimulatedCase{"SimulatedBusy", 2, Error::Busy},
                                           SimulatedCase{"Unassigned", 3, Error::NotFound},
                                           SimulatedCase{"NumberZero", 0, Error::NotFound}),
                         CaseName<SimulatedCase>);

TEST_F(SimulatedPortsTest, IsBusyWhileHeldAndOpensAgainOnceReleased)
{
    auto first = m_ports.Open(1);
    ASSERT_TRUE(first);

    auto second = m_ports.Open(1);
    EXPECT_EQ(second.GetStatus().GetError(), Error::Busy);
    ExpectOneSentenceAbout(second.GetStatus(), "COM1");
    EXPECT_EQ(m_ports.HeldCount(), 1u);

    first.Value().reset();
    EXPECT_EQ(m_ports.HeldCount(), 0u);
    auto third = m_ports.Open(1);
    EXPECT_TRUE(third) << third.GetStatus().Message();
    EXPECT_EQ(m_ports.HeldCount(), 1u);
}

// ---------------------------------------------------------- pseudo-terminals

// A fresh pseudo-terminal assigned to COM1, and an empty folder for lock files.
// The fixture keeps both ends open, as a terminal with a program on the other
// side would be.
class PseudoTerminalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(openpty(&m_master, &m_slave, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
        std::array<char, 128> name{};
        ASSERT_EQ(ttyname_r(m_slave, name.data(), name.size()), 0);
        m_path = name.data();

        std::string folder = (std::filesystem::temp_directory_path() / "pervo-serial-XXXXXX").string();
        ASSERT_NE(mkdtemp(folder.data()), nullptr) << std::strerror(errno);
        m_lockFolder = folder;

        m_ports.emplace(m_calls, m_lockFolder.string());
        m_ports->Assign(1, {PortKind::Device, m_path});
    }

    void TearDown() override
    {
        m_ports.reset();
        if (m_slave >= 0)
            close(m_slave);
        if (m_master >= 0)
            close(m_master);
        std::error_code ignored;
        std::filesystem::remove_all(m_lockFolder, ignored);
    }

    std::filesystem::path LockFile() const
    {
        return m_lockFolder / ("LCK.." + std::filesystem::path(m_path).filename().string());
    }

    static void WriteFile(const std::filesystem::path& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::filesystem::path m_lockFolder;
    FaultingCalls m_calls;
    std::optional<SerialPorts> m_ports;
};

TEST_F(PseudoTerminalTest, FreeTerminalOpensAndStaysHeldUntilReleased)
{
    auto port = m_ports->Open(1);
    ASSERT_TRUE(port) << port.GetStatus().Message();
    EXPECT_EQ(m_ports->HeldCount(), 1u);
    EXPECT_EQ(m_calls.OpenDescriptors(), 1u);

    // Another program (another machine on the same computer) finds it taken...
    SerialPorts otherProgram(RealSystemCalls(), m_lockFolder.string());
    otherProgram.Assign(4, {PortKind::Device, m_path});
    auto taken = otherProgram.Open(4);
    EXPECT_EQ(taken.GetStatus().GetError(), Error::Busy);
    ExpectOneSentenceAbout(taken.GetStatus(), "COM4", m_path);

    // ...and so does this one.
    EXPECT_EQ(m_ports->Open(1).GetStatus().GetError(), Error::Busy);

    port.Value().reset();
    EXPECT_EQ(m_ports->HeldCount(), 0u);
    EXPECT_EQ(m_calls.OpenDescriptors(), 0u);
    auto freed = otherProgram.Open(4);
    EXPECT_TRUE(freed) << freed.GetStatus().Message();
}

TEST_F(PseudoTerminalTest, TwoNumbersOnOneDeviceCannotBothHoldIt)
{
    m_ports->Assign(2, {PortKind::Device, m_path});
    auto first = m_ports->Open(1);
    ASSERT_TRUE(first) << first.GetStatus().Message();

    auto second = m_ports->Open(2);
    EXPECT_EQ(second.GetStatus().GetError(), Error::Busy);
    EXPECT_EQ(m_ports->HeldCount(), 1u);
    EXPECT_EQ(m_calls.OpenDescriptors(), 1u);
}

TEST_F(PseudoTerminalTest, TerminalLockedByAnotherOpenFileIsBusy)
{
    // flock belongs to the open file, so another open of the same path in this
    // process conflicts just as another process would.
    const int other = open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0) << std::strerror(errno);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);

    auto port = m_ports->Open(1);
    EXPECT_EQ(port.GetStatus().GetError(), Error::Busy);
    ExpectOneSentenceAbout(port.GetStatus(), "COM1", m_path);
    EXPECT_EQ(m_ports->HeldCount(), 0u);
    EXPECT_EQ(m_calls.OpenDescriptors(), 0u);

    close(other);
    EXPECT_TRUE(m_ports->Open(1));
}

TEST_F(PseudoTerminalTest, TerminalMadeExclusiveByAnotherProgramIsBusyEvenForRoot)
{
    ASSERT_EQ(ioctl(m_slave, TIOCEXCL), 0) << std::strerror(errno);

    auto port = m_ports->Open(1);
    // Others get EBUSY from open(); root gets the descriptor and must ask.
    EXPECT_EQ(port.GetStatus().GetError(), Error::Busy) << "running as uid " << getuid();
    ExpectOneSentenceAbout(port.GetStatus(), "COM1", m_path);
    EXPECT_EQ(m_ports->HeldCount(), 0u);
    EXPECT_EQ(m_calls.OpenDescriptors(), 0u);
}

TEST_F(PseudoTerminalTest, ProbeLeavesLineSettingsAndExclusiveModeAlone)
{
    // Settings far from the defaults, so that a probe that "normalises" the
    // line shows up.
    termios chosen{};
    ASSERT_EQ(tcgetattr(m_slave, &chosen), 0);
    cfmakeraw(&chosen);
    chosen.c_cflag = (chosen.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
    chosen.c_cc[VMIN] = 5;
    chosen.c_cc[VTIME] = 3;
    ASSERT_EQ(cfsetspeed(&chosen, B9600), 0);
    ASSERT_EQ(tcsetattr(m_slave, TCSANOW, &chosen), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(m_slave, &before), 0);

    const auto expectUnchanged = [&](const char* when) {
        termios now{};
        ASSERT_EQ(tcgetattr(m_slave, &now), 0);
        EXPECT_EQ(now.c_iflag, before.c_iflag) << when;
        EXPECT_EQ(now.c_oflag, before.c_oflag) << when;
        EXPECT_EQ(now.c_cflag, before.c_cflag) << when;
        EXPECT_EQ(now.c_lflag, before.c_lflag) << when;
        EXPECT_EQ(std::memcmp(now.c_cc, before.c_cc, sizeof now.c_cc), 0) << when;
        EXPECT_EQ(cfgetispeed(&now), cfgetispeed(&before)) << when;
        EXPECT_EQ(cfgetospeed(&now), cfgetospeed(&before)) << when;
        int exclusive = -1;
        ASSERT_EQ(ioctl(m_slave, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << when;
    };

    {
        auto port = m_ports->Open(1);
        ASSERT_TRUE(port) << port.GetStatus().Message();
        expectUnchanged("while held");
    }
    expectUnchanged("after release");
    for (const unsigned long request : m_calls.IoctlRequests())
        EXPECT_EQ(request, static_cast<unsigned long>(TIOCGEXCL)) << "asked the terminal to do " << request;
}

TEST_F(PseudoTerminalTest, PortsGoingAwayFirstCloseWhatTheyLentOut)
{
    auto port = m_ports->Open(1);
    ASSERT_TRUE(port) << port.GetStatus().Message();

    m_ports.reset();
    EXPECT_EQ(m_calls.OpenDescriptors(), 0u);
    SerialPorts otherProgram(RealSystemCalls(), m_lockFolder.string());
    otherProgram.Assign(1, {PortKind::Device, m_path});
    EXPECT_TRUE(otherProgram.Open(1));

    // The handle outlives its ports; letting go of it must not reach back.
    port.Value().reset();
    EXPECT_EQ(m_calls.OpenDescriptors(), 0u);
}

// ----------------------------------------------------------- missing devices

struct MissingCase {
    const char* name;
    std::function<std::string(const std::filesystem::path& scratch)> makePath;
};

void PrintTo(const MissingCase& c, std::ostream* out) { *out << c.name; }

class MissingDevice : public PseudoTerminalTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingDevice, IsNotFoundAndLeavesNothingOpen)
{
    const std::string path = GetParam().makePath(m_lockFolder);
    m_ports->Assign(2, {PortKind::Device, path});

    auto port = m_ports->Open(2);
    EXPECT_EQ(port.GetStatus().GetError(), Error::NotFound) << port.GetStatus().Message();
    ExpectOneSentenceAbout(port.GetStatus(), "COM2", path);
    EXPECT_EQ(m_ports->HeldCount(), 0u);
    EXPECT_EQ(m_calls.OpenDescriptors(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MissingDevice,
    ::testing::Values(
        MissingCase{"NoSuchPath", [](const auto& scratch) { return (scratch / "ttyUSB9").string(); }},
        MissingCase{"NoSuchFolder", [](const auto& scratch) { return (scratch / "gone" / "ttyUSB9").string(); }},
        MissingCase{"RegularFile",
                    [](const auto& scratch) {
                        const auto file = scratch / "not-a-port";
                        std::ofstream(file) << "text";
                        return file.string();
                    }},
        MissingCase{"Folder", [](const auto& scratch) { return scratch.string(); }},
        // A character device that opens but is no terminal.
        MissingCase{"DeviceThatIsNoTerminal", [](const auto&) { return std::string("/dev/null"); }}),
    CaseName<MissingCase>);

// ----------------------------------------------------------------- lock files

// Which process a lock file names.
enum class Owner { Live, Dead };

struct LockCase {
    const char* name;
    std::function<std::string(pid_t owner)> content;
    Owner owner;
    Error expected;
    const char* fileName = nullptr;  // the device's own lock file unless given
};

void PrintTo(const LockCase& c, std::ostream* out) { *out << c.name; }

class LockFileCheck : public PseudoTerminalTest, public ::testing::WithParamInterface<LockCase> {
protected:
    // A process that has ended and been reaped, so its id names nobody.
    static void SetUpTestSuite()
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0) << std::strerror(errno);
        if (child == 0)
            _exit(0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        s_deadPid = child;
    }

    static pid_t s_deadPid;
};

pid_t LockFileCheck::s_deadPid = 0;

std::string Padded(pid_t pid)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%10d\n", static_cast<int>(pid));
    return text.data();
}

std::string Binary(pid_t pid)
{
    const auto value = static_cast<std::int32_t>(pid);
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST_P(LockFileCheck, BusyOnlyWhileTheOwnerLives)
{
    const LockCase& c = GetParam();
    const pid_t owner = c.owner == Owner::Live ? getpid() : s_deadPid;
    const auto file = c.fileName ? m_lockFolder / c.fileName : LockFile();
    WriteFile(file, c.content(owner));

    auto port = m_ports->Open(1);
    EXPECT_EQ(port.GetStatus().GetError(), c.expected) << port.GetStatus().Message();
    if (!port) {
        ExpectOneSentenceAbout(port.GetStatus(), "COM1", m_path);
        EXPECT_NE(port.GetStatus().Message().find(std::to_string(owner)), std::string::npos);
    }
    EXPECT_EQ(m_calls.OpenDescriptors(), port ? 1u : 0u);
    // A lock file is never ours to remove, stale or not.
    EXPECT_TRUE(std::filesystem::exists(file));
}

INSTANTIATE_TEST_SUITE_P(
    Contents, LockFileCheck,
    ::testing::Values(
        LockCase{"PaddedLive", Padded, Owner::Live, Error::Busy},
        LockCase{"BareLive", [](pid_t pid) { return std::to_string(pid); }, Owner::Live, Error::Busy},
        LockCase{"LiveWithProgramName", [](pid_t pid) { return std::to_string(pid) + " minicom\n"; }, Owner::Live,
                 Error::Busy},
        LockCase{"BinaryLive", Binary, Owner::Live, Error::Busy},
        LockCase{"PaddedDead", Padded, Owner::Dead, Error::None},
        LockCase{"BinaryDead", Binary, Owner::Dead, Error::None},
        // Binary 0x40002031 names no process; read as text, its bytes "1 "
        // would name init, which always lives.
        LockCase{"BinaryThatReadsLikeText", [](pid_t) { return std::string("1 \0\x40", 4); }, Owner::Dead, Error::None},
        // kill(0, 0) and kill(-1, 0) succeed: they ask about groups, not a process.
        LockCase{"Zero", [](pid_t) { return std::string("         0\n"); }, Owner::Live, Error::None},
        LockCase{"Negative", [](pid_t) { return std::string("        -1\n"); }, Owner::Live, Error::None},
        LockCase{"TooLarge", [](pid_t) { return std::string("99999999999999999999\n"); }, Owner::Live, Error::None},
        LockCase{"Garbage", [](pid_t) { return std::string("held by someone\n"); }, Owner::Live, Error::None},
        LockCase{"NumberRunIntoText", [](pid_t pid) { return std::to_string(pid) + "x\n"; }, Owner::Live,
                 Error::None},
        LockCase{"Empty", [](pid_t) { return std::string(); }, Owner::Live, Error::None},
        LockCase{"OtherDevicesLock", Padded, Owner::Live, Error::None, "LCK..ttyS0"}),
    CaseName<LockCase>);

// ------------------------------------------------------------ injected faults

enum class Target { Device, LockFile, Any };
enum class Lock { None, Live };

struct FaultCase {
    const char* name;
    Call call;
    int error;
    Target target;
    Lock lock;
    Error expected;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class InjectedFault : public PseudoTerminalTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(InjectedFault, MapsToWhatTheUserShouldHear)
{
    const FaultCase& c = GetParam();
    if (c.lock == Lock::Live)
        WriteFile(LockFile(), Padded(getpid()));
    const std::string onlyPath = c.target == Target::Device     ? m_path
                                 : c.target == Target::LockFile ? LockFile().string()
                                                                : std::string();
    m_calls.Fail(c.call, c.error, onlyPath);

    auto port = m_ports->Open(1);
    EXPECT_EQ(port.GetStatus().GetError(), c.expected) << port.GetStatus().Message();
    if (!port)
        ExpectOneSentenceAbout(port.GetStatus(), "COM1", m_path);
    EXPECT_EQ(m_ports->HeldCount(), port ? 1u : 0u);
    EXPECT_EQ(m_calls.OpenDescriptors(), port ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InjectedFault,
    ::testing::Values(
        FaultCase{"StatNoEntry", Call::Stat, ENOENT, Target::Device, Lock::None, Error::NotFound},
        FaultCase{"OpenNoEntry", Call::Open, ENOENT, Target::Device, Lock::None, Error::NotFound},
        FaultCase{"OpenNoDeviceAddress", Call::Open, ENXIO, Target::Device, Lock::None, Error::NotFound},
        FaultCase{"OpenNoDevice", Call::Open, ENODEV, Target::Device, Lock::None, Error::NotFound},
        FaultCase{"OpenBusy", Call::Open, EBUSY, Target::Device, Lock::None, Error::Busy},
        FaultCase{"OpenPermissionDenied", Call::Open, EACCES, Target::Device, Lock::None, Error::AccessDenied},
        FaultCase{"OpenNotPermitted", Call::Open, EPERM, Target::Device, Lock::None, Error::AccessDenied},
        FaultCase{"OpenOutOfDescriptors", Call::Open, EMFILE, Target::Device, Lock::None, Error::Io},
        FaultCase{"NoHardware", Call::Tcgetattr, EIO, Target::Any, Lock::None, Error::NotFound},
        FaultCase{"NotATerminal", Call::Tcgetattr, ENOTTY, Target::Any, Lock::None, Error::NotFound},
        FaultCase{"ExclusiveQueryUnknown", Call::Ioctl, ENOTTY, Target::Any, Lock::None, Error::None},
        FaultCase{"ExclusiveQueryRejected", Call::Ioctl, EINVAL, Target::Any, Lock::None, Error::None},
        FaultCase{"ExclusiveQueryFails", Call::Ioctl, EIO, Target::Any, Lock::None, Error::Io},
        FaultCase{"FlockTaken", Call::Flock, EWOULDBLOCK, Target::Any, Lock::None, Error::Busy},
        FaultCase{"FlockOutOfLocks", Call::Flock, ENOLCK, Target::Any, Lock::None, Error::Io},
        // An owner we may not signal is alive all the same.
        FaultCase{"LockOwnerNotOurs", Call::Kill, EPERM, Target::Any, Lock::Live, Error::Busy},
        FaultCase{"LockOwnerGone", Call::Kill, ESRCH, Target::Any, Lock::Live, Error::None},
        FaultCase{"LockFileUnreadable", Call::Read, EIO, Target::Any, Lock::Live, Error::None},
        FaultCase{"LockFileForbidden", Call::Open, EACCES, Target::LockFile, Lock::Live, Error::None}),
    CaseName<FaultCase>);

}  // namespace
}  // namespace pervo::machine
