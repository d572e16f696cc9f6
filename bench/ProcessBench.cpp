// Whole-process benchmarks: how long `pervo --script` takes to start, hide
// into the tray and log off; how much memory that takes; whether a start with
// an existing setting writes anything; and what a hidden utility costs while
// it waits. Each figure is set beside the floor it cannot beat, measured the
// same way in the same run.
//
// Usage: pervo_process_bench --pervo PATH --trivial PATH --curses PATH
//                            [--work DIR] [--runs N] [--idle-seconds S]

#include "BenchSupport.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

namespace pervo::bench {
namespace {

struct Exit {
    double seconds = 0;
    double maxRssKiB = 0;
};

// The child's standard streams: input from `input` (or /dev/null), output
// and errors to /dev/null and `errors` so that a failing run can say why.
pid_t Spawn(const std::vector<std::string>& arguments, int input, const std::string& errors)
{
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        FailErrno("cannot fork");
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        const int log = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(input >= 0 ? input : null, 0);
        ::dup2(null, 1);
        ::dup2(log >= 0 ? log : null, 2);
        ::execv(argv[0], argv.data());
        std::perror(argv[0]);
        ::_exit(127);
    }
    return pid;
}

void CheckStatus(int status, const std::vector<std::string>& arguments, const std::string& errors)
{
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return;
    std::ifstream log(errors);
    std::stringstream text;
    text << log.rdbuf();
    Fail(arguments[0] + " did not exit with 0 (status " + std::to_string(status) + "): " + text.str());
}

// fork + exec + wait4: the wall time of the whole run and the child's peak
// resident set. The parent stays small, so that the resident set a forked
// child carries into exec (counted by ru_maxrss too) is below every program
// measured here; the trivial program's figure shows how far below.
Exit Run(const std::vector<std::string>& arguments, const std::string& errors)
{
    const double start = Now();
    const pid_t pid = Spawn(arguments, -1, errors);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        FailErrno("wait4");
    const double end = Now();
    CheckStatus(status, arguments, errors);
    return {end - start, static_cast<double>(usage.ru_maxrss)};
}

std::string ReadProc(pid_t pid, const char* file)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "Name:   value" lines of /proc/PID/status and /proc/PID/io.
std::map<std::string, long long> ReadFields(const std::string& text)
{
    std::map<std::string, long long> fields;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        fields[line.substr(0, colon)] = std::atoll(line.c_str() + colon + 1);
    }
    return fields;
}

// Waits until the process sits in read(0, ...): pervo reads its script only
// when the machine has nothing else to do, so this is the moment the start
// is over. The benchmark may look every millisecond; the program may not.
void WaitUntilReadingInput(pid_t pid)
{
    const double deadline = Now() + 20.0;
    while (Now() < deadline) {
        std::istringstream fields(ReadProc(pid, "syscall"));
        std::string number, firstArgument;
        fields >> number >> firstArgument;
        if (number == "0" && firstArgument == "0x0")
            return;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            Fail("pervo ended before it waited for its script (status " + std::to_string(status) + ")");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Fail("pervo did not come to wait for its script within 20 s");
}

struct Sample {
    long long cpuNanoseconds = 0;  // time on a CPU, from /proc/PID/schedstat
    long long clockTicks = 0;      // utime + stime, from /proc/PID/stat
    long long voluntarySwitches = 0;
    long long involuntarySwitches = 0;
    long long peakKiB = 0;
    long long threads = 0;
};

Sample TakeSample(pid_t pid)
{
    Sample sample;
    std::istringstream schedstat(ReadProc(pid, "schedstat"));
    schedstat >> sample.cpuNanoseconds;
    // The fields after the command name, which may hold blanks, are plain.
    const std::string stat = ReadProc(pid, "stat");
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::vector<std::string> fields{std::istream_iterator<std::string>(rest), {}};
    if (fields.size() < 13)
        Fail("cannot read /proc/" + std::to_string(pid) + "/stat");
    sample.clockTicks = std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str());  // utime, stime
    auto status = ReadFields(ReadProc(pid, "status"));
    sample.voluntarySwitches = status["voluntary_ctxt_switches"];
    sample.involuntarySwitches = status["nonvoluntary_ctxt_switches"];
    sample.peakKiB = status["VmHWM"];
    sample.threads = status["Threads"];
    return sample;
}

struct FileState {
    bool exists = false;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileState& other) const
    {
        return exists == other.exists && inode == other.inode && size == other.size
            && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec
            && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

FileState StateOf(const std::string& path)
{
    FileState state;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return state;
    state.exists = true;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.modified = info.st_mtim;
    state.changed = info.st_ctim;
    return state;
}

struct PipedRun {
    pid_t pid = -1;
    int input = -1;  // the write end of pervo's standard input
};

PipedRun StartPiped(const std::vector<std::string>& arguments, const std::string& errors)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        FailErrno("pipe");
    PipedRun run;
    run.pid = Spawn(arguments, fds[0], errors);
    ::close(fds[0]);
    run.input = fds[1];
    return run;
}

// Closes the script (the end of a script is a log-off) and waits for the
// process to end. The write calls it made in all are read before it is
// reaped, from the finished process's /proc/PID/io.
long long FinishPiped(PipedRun& run, const std::vector<std::string>& arguments, const std::string& errors)
{
    ::close(run.input);
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(run.pid), &info, WEXITED | WNOWAIT) != 0)
        FailErrno("waitid");
    const long long writes = ReadFields(ReadProc(run.pid, "io"))["syscw"];
    int status = 0;
    if (::waitpid(run.pid, &status, 0) != run.pid)
        FailErrno("waitpid");
    CheckStatus(status, arguments, errors);
    return writes;
}

std::string MiB(double kib)
{
    return Format("%.2f MiB", kib / 1024.0);
}

void StartAndMemory(const std::string& pervo, const std::string& trivial, const std::string& curses,
                    const std::string& work, int runs)
{
    const std::string folder = MakeWorkFolder(work, "start");
    const std::string hive = folder + "/registry.reg";
    const std::string script = folder + "/empty.script";
    std::ofstream(script).flush();
    const std::string errors = folder + "/errors.txt";
    const std::vector<std::string> pervoRun{pervo, "--registry", hive, "--script", script};

    // The first start stores the setting; the runs measured find it there,
    // as every start but the very first does.
    Run(pervoRun, errors);
    std::vector<double> pervoTimes, trivialTimes, pervoRss, trivialRss, cursesRss;
    for (int i = 0; i < runs; ++i) {
        // Alternating the programs spreads any drift of the machine over both.
        const Exit p = Run(pervoRun, errors);
        const Exit t = Run({trivial}, errors);
        const Exit c = Run({curses}, errors);
        pervoTimes.push_back(p.seconds);
        trivialTimes.push_back(t.seconds);
        pervoRss.push_back(p.maxRssKiB);
        trivialRss.push_back(t.maxRssKiB);
        cursesRss.push_back(c.maxRssKiB);
    }
    const std::string count = std::to_string(runs);
    PrintRow("Start: `pervo --script` with an empty script (start, hide into the tray, log off)",
             Duration(Median(pervoTimes)), Duration(Median(trivialTimes)) + " (exec of an empty C++ `main`)",
             Ratio(Median(pervoTimes), Median(trivialTimes)),
             "fork + exec + wait4 wall time, median of " + count + " alternating runs; the setting exists");
    PrintRow("Peak memory of that run", MiB(Median(pervoRss)),
             MiB(Median(cursesRss)) + " (links ncurses, `newterm` on /dev/null)",
             Ratio(Median(pervoRss), Median(cursesRss)),
             "ru_maxrss from wait4, median of " + count + " runs; the empty C++ `main` shows " + MiB(Median(trivialRss)));
    std::filesystem::remove_all(folder);
}

void WarmStartAndIdle(const std::string& pervo, const std::string& work, int idleSeconds)
{
    const std::string folder = MakeWorkFolder(work, "warm");
    const std::string hive = folder + "/registry.reg";
    const std::string errors = folder + "/errors.txt";
    const std::vector<std::string> arguments{pervo, "--registry", hive, "--script", "-"};

    // The cold start, for contrast: it has to store the setting.
    PipedRun cold = StartPiped(arguments, errors);
    WaitUntilReadingInput(cold.pid);
    const long long coldWrites = FinishPiped(cold, arguments, errors);
    if (!StateOf(hive).exists)
        Fail("the first start did not store the setting in " + hive);

    const FileState hiveBefore = StateOf(hive);
    const FileState lockBefore = StateOf(hive + ".lock");
    const FileState folderBefore = StateOf(folder);
    PipedRun warm = StartPiped(arguments, errors);
    WaitUntilReadingInput(warm.pid);
    const Sample first = TakeSample(warm.pid);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const Sample last = TakeSample(warm.pid);
    const long long warmWrites = FinishPiped(warm, arguments, errors);
    // The folder's own times change with any file made, renamed or removed
    // in it, so an unchanged folder means no temporary file came and went.
    const bool untouched =
        StateOf(hive) == hiveBefore && StateOf(hive + ".lock") == lockBefore && StateOf(folder) == folderBefore;

    PrintRow("Warm start: a start whose setting exists writes nothing",
             std::to_string(warmWrites) + " write calls; hive, lock file and folder " + (untouched ? "untouched" : "CHANGED"),
             "0", "–",
             "write calls (syscw of /proc/PID/io) of a whole run that starts, waits and logs off; inode, size, "
             "mtime and ctime of the hive, its lock file and its folder before and after. The cold start before it made "
                 + std::to_string(coldWrites) + " write calls");

    const long long cpu = last.cpuNanoseconds - first.cpuNanoseconds;
    const long long ticks = last.clockTicks - first.clockTicks;
    const long long switches =
        last.voluntarySwitches - first.voluntarySwitches + last.involuntarySwitches - first.involuntarySwitches;
    PrintRow("Idle: hidden in the tray for " + std::to_string(idleSeconds) + " s",
             std::to_string(cpu) + " ns CPU (" + std::to_string(ticks) + " ticks), " + std::to_string(switches)
                 + " context switches",
             "0", "–",
             "`pervo --script -` blocked on an empty pipe: /proc/PID/schedstat, utime+stime of /proc/PID/stat and "
             "the context switches of /proc/PID/status, read once it waits and again " + std::to_string(idleSeconds)
                 + " s later; " + std::to_string(last.threads) + " thread, peak resident set (VmHWM) "
                 + MiB(static_cast<double>(last.peakKiB)));
    if (warmWrites != 0 || !untouched || cpu != 0 || switches != 0)
        std::fprintf(stderr, "bench: the warm start wrote or the idle utility ran; see the table\n");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pervo::bench

int main(int argc, char** argv)
{
    using namespace pervo::bench;
    const std::string pervo = Option(argc, argv, "--pervo", "");
    const std::string trivial = Option(argc, argv, "--trivial", "");
    const std::string curses = Option(argc, argv, "--curses", "");
    if (pervo.empty() || trivial.empty() || curses.empty())
        Fail("usage: pervo_process_bench --pervo PATH --trivial PATH --curses PATH [--work DIR] [--runs N] "
             "[--idle-seconds S]");
    const std::string work = Option(argc, argv, "--work", "/tmp");
    StartAndMemory(pervo, trivial, curses, work, IntOption(argc, argv, "--runs", 30));
    WarmStartAndIdle(pervo, work, IntOption(argc, argv, "--idle-seconds", 10));
    return 0;
}
