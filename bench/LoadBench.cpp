// The registry under load: 8 processes share one hive file, and each stores
// a port 1,000 times through the machine's Registry, as 8 copies of the
// utility would if someone pressed OK in each as fast as they can. The floor
// is the same number of durable atomic writes of a file of the same size,
// each under the same kind of lock, from 8 processes. The writes go in 10
// rounds of 100 a process, Pervo's rounds and the floor's alternating.
//
// Nothing may be lost: each writer stores 1, 2, ..., 1000 under its own key,
// so a write made from a stale copy of the file would show up as another
// writer's number going back. Every writer checks that after each of its
// writes (the registry holds what the file holds once a write is done), a
// checker process re-reads and parses the file each time it is renamed into
// place, and at the end every writer's key must hold 1000.
//
// Usage: pervo_load_bench [--work DIR] [--writers N] [--writes N] [--rounds N]

#include "BenchSupport.h"

#include "Registry.h"

#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>

#include <filesystem>

namespace pervo::bench {
namespace {

using machine::RegistryKey;
using machine::RegistryValue;

std::string WriterKey(int writer)
{
    return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\Writer" + std::to_string(writer);
}

RegistryValue Dword(std::uint32_t number)
{
    RegistryValue value;
    value.type = 4;
    for (int i = 0; i < 4; ++i)
        value.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
    return value;
}

// Each writer's last number in a tree; 0 where it has stored nothing yet.
std::vector<std::uint32_t> Numbers(const RegistryKey& root, int writers)
{
    std::vector<std::uint32_t> numbers(static_cast<std::size_t>(writers), 0);
    const RegistryKey* bench = root.FindSubkey("HKEY_LOCAL_MACHINE");
    bench = bench ? bench->FindSubkey("SOFTWARE") : nullptr;
    bench = bench ? bench->FindSubkey("Bench") : nullptr;
    if (bench == nullptr)
        return numbers;
    for (int writer = 0; writer < writers; ++writer) {
        const RegistryKey* key = bench->FindSubkey("Writer" + std::to_string(writer));
        const RegistryValue* value = key ? key->FindValue("CommPort") : nullptr;
        if (value != nullptr && value->data.size() == 4)
            numbers[static_cast<std::size_t>(writer)] = std::uint32_t{value->data[0]} | std::uint32_t{value->data[1]} << 8
                | std::uint32_t{value->data[2]} << 16 | std::uint32_t{value->data[3]} << 24;
    }
    return numbers;
}

// False when any writer's number went back since `seen`, which then takes the new numbers.
bool NothingWentBack(std::vector<std::uint32_t>& seen, const std::vector<std::uint32_t>& now)
{
    for (std::size_t i = 0; i < seen.size(); ++i) {
        if (now[i] < seen[i])
            return false;
        seen[i] = now[i];
    }
    return true;
}

void WaitForStart(int startPipe)
{
    char byte;
    while (::read(startPipe, &byte, 1) < 0 && errno == EINTR) {
    }
}

// One of the writers, in its own process: stores first..last under its key.
[[noreturn]] void PervoWriter(const std::string& hive, int writer, int writers, int first, int last, int startPipe)
{
    auto registry = machine::Registry::Load(hive, machine::RealSystemCalls());
    if (!registry)
        Fail(registry.GetStatus().Message());
    WaitForStart(startPipe);
    const std::string key = WriterKey(writer);
    bool created = false;
    if (auto status = registry.Value()->CreateKey(key, &created); !status)
        Fail(status.Message());
    std::vector<std::uint32_t> seen = Numbers(registry.Value()->Root(), writers);
    for (int number = first; number <= last; ++number) {
        const auto status = registry.Value()->SetValue(key, "CommPort", Dword(static_cast<std::uint32_t>(number)));
        if (!status)
            Fail("writer " + std::to_string(writer) + ": " + status.Message());
        const auto now = Numbers(registry.Value()->Root(), writers);
        if (now[static_cast<std::size_t>(writer)] != static_cast<std::uint32_t>(number) || !NothingWentBack(seen, now))
            Fail("writer " + std::to_string(writer) + " found a lost write after storing " + std::to_string(number));
    }
    const std::uint64_t expected = static_cast<std::uint64_t>(last - first + 1) + (created ? 1 : 0);
    if (registry.Value()->SaveCount() != expected)
        Fail("writer " + std::to_string(writer) + " wrote the file " + std::to_string(registry.Value()->SaveCount())
             + " times instead of " + std::to_string(expected));
    std::exit(0);
}

// The floor's writer: the same count of locked durable writes, nothing else.
[[noreturn]] void FloorWriter(const std::string& folder, std::size_t size, int writes, int startPipe)
{
    const std::string lockPath = folder + "/floor.reg.lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0)
        FailErrno("cannot open " + lockPath);
    const std::string text(size, 'x');
    const std::string name = "floor.reg";
    WaitForStart(startPipe);
    for (int i = 0; i < writes; ++i) {
        if (::flock(lock, LOCK_EX) != 0)
            FailErrno("flock");
        DurableAtomicWrite(folder, name, text, ".tmp." + std::to_string(::getpid()));
        ::flock(lock, LOCK_UN);
    }
    std::exit(0);
}

// Parses the hive each time a new version is renamed into place, until every
// writer's last number is there. Reports the versions it parsed.
[[noreturn]] void Checker(const std::string& folder, const std::string& hiveName, int writers, int writes,
                          int readyPipe, int resultPipe)
{
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO) < 0)
        FailErrno("inotify");
    ::close(readyPipe);
    std::vector<std::uint32_t> seen(static_cast<std::size_t>(writers), 0);
    long parsed = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(watch, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            FailErrno("inotify read");
        bool hiveReplaced = false;
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && hiveName == event->name)
                hiveReplaced = true;
            at += sizeof(inotify_event) + event->len;
        }
        if (!hiveReplaced)
            continue;
        const std::string text = ReadFile(folder + "/" + hiveName);
        auto tree = machine::ParseRegedit4(text, hiveName);
        if (!tree)
            Fail("the checker could not parse a version of the hive: " + tree.GetStatus().Message());
        ++parsed;
        const auto now = Numbers(*tree.Value(), writers);
        if (!NothingWentBack(seen, now))
            Fail("the checker saw a writer's number go back");
        bool all = true;
        for (const auto number : now)
            all = all && number == static_cast<std::uint32_t>(writes);
        if (all) {
            if (::write(resultPipe, &parsed, sizeof(parsed)) != sizeof(parsed))
                ::_exit(3);
            std::exit(0);
        }
    }
}

pid_t g_checker = -1;

// A failed writer leaves the checker waiting for numbers that never come.
[[noreturn]] void FailRun(const std::string& what)
{
    if (g_checker > 0)
        ::kill(g_checker, SIGKILL);
    Fail(what);
}

void WaitFor(pid_t pid, const char* what)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        FailRun(std::string(what) + " failed (status " + std::to_string(status) + ")");
}

// Forks the writers, lets them go at once, and waits for all of them.
// Returns the wall time from the start to the last one's end.
template <typename StartWriter>
double RunWriters(int writers, StartWriter startWriter)
{
    int start[2];
    if (::pipe2(start, O_CLOEXEC) != 0)
        FailErrno("pipe");
    std::vector<pid_t> pids;
    // A child that exits flushes its copy of our output buffer: empty it first.
    std::fflush(stdout);
    for (int writer = 0; writer < writers; ++writer) {
        const pid_t pid = ::fork();
        if (pid < 0)
            FailErrno("fork");
        if (pid == 0) {
            ::close(start[1]);
            startWriter(writer, start[0]);
        }
        pids.push_back(pid);
    }
    ::close(start[0]);
    const double begin = Now();
    ::close(start[1]);
    for (const pid_t pid : pids)
        WaitFor(pid, "a writer");
    return Now() - begin;
}

}  // namespace
}  // namespace pervo::bench

int main(int argc, char** argv)
{
    using namespace pervo;
    using namespace pervo::bench;
    const std::string work = Option(argc, argv, "--work", "/tmp");
    const int writers = IntOption(argc, argv, "--writers", 8);
    const int writes = IntOption(argc, argv, "--writes", 1000);
    const int rounds = std::max(1, std::min(IntOption(argc, argv, "--rounds", 10), writes));
    const std::string folder = MakeWorkFolder(work, "load");
    const std::string hiveName = "registry.reg";
    const std::string hive = folder + "/" + hiveName;

    int ready[2], result[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(result, O_CLOEXEC) != 0)
        FailErrno("pipe");
    std::fflush(stdout);
    const pid_t checker = ::fork();
    if (checker < 0)
        FailErrno("fork");
    if (checker == 0) {
        ::close(ready[0]);
        ::close(result[0]);
        Checker(folder, hiveName, writers, rounds * (writes / rounds), ready[1], result[1]);
    }
    g_checker = checker;
    ::close(ready[1]);
    ::close(result[1]);
    char byte;
    (void)::read(ready[0], &byte, 1);  // the checker closes its end once it watches

    // The writes go in rounds, each writer process started afresh for each
    // round as a new copy of the utility would be, and each round of Pervo is
    // followed by a round of the floor: a disk whose speed drifts during the
    // run (other programs flush too) then weighs on both alike.
    const int perRound = writes / rounds;
    std::vector<double> pervoRounds, floorRounds;
    std::size_t size = 0;
    for (int round = 0; round < rounds; ++round) {
        const int first = round * perRound + 1;
        pervoRounds.push_back(RunWriters(writers, [&](int writer, int start) {
            PervoWriter(hive, writer, writers, first, first + perRound - 1, start);
        }));
        size = static_cast<std::size_t>(FileSize(hive));
        floorRounds.push_back(RunWriters(writers, [&](int, int start) { FloorWriter(folder, size, perRound, start); }));
    }

    // Nothing lost: every writer's last number is in the file.
    auto final = machine::ParseRegedit4(ReadFile(hive), hive);
    if (!final)
        FailRun("the hive does not parse after the run: " + final.GetStatus().Message());
    for (const auto number : Numbers(*final.Value(), writers)) {
        if (number != static_cast<std::uint32_t>(rounds * perRound))
            FailRun("a writer's last number is missing from the hive");
    }
    long versions = 0;
    if (::read(result[0], &versions, sizeof(versions)) != sizeof(versions))
        FailRun("the checker did not finish");
    WaitFor(checker, "the checker");
    g_checker = -1;

    double pervoTotal = 0, floorTotal = 0;
    for (std::size_t i = 0; i < pervoRounds.size(); ++i) {
        pervoTotal += pervoRounds[i];
        floorTotal += floorRounds[i];
    }
    const int total = writers * rounds * perRound;
    const double perRoundWrites = static_cast<double>(writers * perRound);
    PrintRow("Registry under load: " + std::to_string(writers) + " processes × " + std::to_string(rounds * perRound)
                 + " writes to one hive (" + std::to_string(size) + " bytes)",
             Duration(Median(pervoRounds)) + " a round (" + Duration(Median(pervoRounds) / perRoundWrites)
                 + " a write; " + Duration(pervoTotal) + " in all)",
             Duration(Median(floorRounds)) + " a round (" + Duration(Median(floorRounds) / perRoundWrites)
                 + " a write; " + Duration(floorTotal) + " in all)",
             Ratio(Median(pervoRounds), Median(floorRounds)),
             "wall time of a round of " + std::to_string(writers) + " fresh processes × " + std::to_string(perRound)
                 + " `Registry::SetValue` calls against a round of as many flock-serialised durable atomic writes "
                   "of a file the same size, rounds alternating, median of "
                 + std::to_string(rounds) + " rounds of each (" + std::to_string(total)
                 + " writes each in all); a write's time is a round's over its writes, as they queue for the lock. Nothing lost: every "
                   "write succeeded, no writer saw another's number go back, a checker parsed "
                 + std::to_string(versions) + " versions of the file as they were renamed into place, and the last "
                                              "holds every writer's final number");
    std::filesystem::remove_all(folder);
    return 0;
}
