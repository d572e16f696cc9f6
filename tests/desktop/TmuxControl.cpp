#include "TmuxControl.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace pervo::desktop::testing_support {
namespace {

// The environment for tmux: the test's own, less the variable that tells
// tmux it already runs inside a tmux (it would refuse to attach).
std::vector<char*> ChildEnvironment()
{
    std::vector<char*> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::string_view(*entry).starts_with("TMUX="))
            continue;
        environment.push_back(*entry);
    }
    environment.push_back(nullptr);
    return environment;
}

pid_t Spawn(const std::vector<std::string>& arguments, int input, int output, bool quiet = false)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> environment = ChildEnvironment();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environment.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Gives a process the time limit to end, then ends it. Only for the
// processes this helper started.
void EndWithin(pid_t pid, int milliseconds)
{
    const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (handle < 0)
        return;  // already gone
    pollfd wait{handle, POLLIN, 0};
    int ready = 0;
    while ((ready = poll(&wait, 1, milliseconds)) < 0 && errno == EINTR) {
    }
    if (ready == 0)
        kill(pid, SIGKILL);
    close(handle);
}

}  // namespace

TmuxControl::~TmuxControl()
{
    // A control client leaves when its input ends; the server then has no
    // client and, once the program has gone, no session, and quits too. A
    // test that failed half-way leaves a live program: kill-server ends it.
    if (m_toClient >= 0)
        close(m_toClient);
    if (!m_socket.empty()) {
        const pid_t pid = Spawn({m_tmux, "-S", m_socket, "kill-server"}, -1, -1, true);
        if (pid > 0)
            WaitFor(pid);
    }
    if (m_fromClient >= 0)
        close(m_fromClient);
    if (m_client > 0) {
        EndWithin(m_client, kTimeLimitMilliseconds);
        WaitFor(m_client);
    }
    if (m_server > 0)
        EndWithin(m_server, kTimeLimitMilliseconds);
}

std::string TmuxControl::FindTmux()
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::filesystem::path candidate = std::filesystem::path(folders.substr(start, end - start)) / "tmux";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        start = end + 1;
    }
    return {};
}

int TmuxControl::Run(const std::vector<std::string>& arguments, std::string* output)
{
    int ends[2] = {-1, -1};
    if (output && pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = Spawn(arguments, -1, output ? ends[1] : -1);
    if (output) {
        close(ends[1]);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(ends[0], buffer, sizeof(buffer))) > 0 || (got < 0 && errno == EINTR)) {
            if (got > 0)
                output->append(buffer, static_cast<std::size_t>(got));
        }
        close(ends[0]);
    }
    return pid > 0 ? WaitFor(pid) : -1;
}

bool TmuxControl::Start(const std::string& tmux, const std::string& folder, int columns, int rows,
                        const std::string& command, std::string& error)
{
    m_tmux = tmux;
    m_socket = folder + "/tmux.sock";
    // A fixed size: the clients that attach later do not resize the pane.
    if (Run({m_tmux, "-S", m_socket, "-f", "/dev/null", "new-session", "-d", "-s", "pervo", "-x",
             std::to_string(columns), "-y", std::to_string(rows), command, ";", "set", "-g", "window-size", "manual"},
            nullptr) != 0) {
        error = "tmux could not start a session";
        return false;
    }
    std::string serverPid;
    Run({m_tmux, "-S", m_socket, "display-message", "-p", "#{pid}"}, &serverPid);
    m_server = static_cast<pid_t>(std::atoi(serverPid.c_str()));
    int toClient[2], fromClient[2];
    if (pipe2(toClient, O_CLOEXEC) != 0 || pipe2(fromClient, O_CLOEXEC) != 0) {
        error = "no pipes for the tmux client";
        return false;
    }
    m_client = Spawn({m_tmux, "-S", m_socket, "-C", "attach-session", "-t", "pervo"}, toClient[0], fromClient[1]);
    close(toClient[0]);
    close(fromClient[1]);
    m_toClient = toClient[1];
    m_fromClient = fromClient[0];
    if (m_client <= 0) {
        error = "tmux's control client did not start";
        return false;
    }
    // Only an attached client hears of the pane's output: the screen is
    // read only after that, so no change goes unreported.
    std::string line;
    while (ReadLine(line)) {
        if (line.starts_with("%session-changed"))
            return true;
    }
    error = "tmux's control client did not attach";
    return false;
}

bool TmuxControl::SendKeys(const std::string& keys)
{
    return Run({m_tmux, "-S", m_socket, "send-keys", "-t", "pervo", keys}, nullptr) == 0;
}

std::string TmuxControl::Capture()
{
    std::string screen;
    Run({m_tmux, "-S", m_socket, "capture-pane", "-p", "-t", "pervo"}, &screen);
    return screen;
}

bool TmuxControl::Resize(int columns, int rows)
{
    return Run({m_tmux, "-S", m_socket, "resize-window", "-t", "pervo", "-x", std::to_string(columns), "-y",
                std::to_string(rows)},
               nullptr) == 0;
}

pid_t TmuxControl::PanePid()
{
    std::string text;
    Run({m_tmux, "-S", m_socket, "display-message", "-p", "-t", "pervo", "#{pane_pid}"}, &text);
    return static_cast<pid_t>(std::atoi(text.c_str()));
}

bool TmuxControl::ReadLine(std::string& line)
{
    for (;;) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return true;
        }
        if (m_ended)
            return false;
        pollfd wait{m_fromClient, POLLIN, 0};
        const int ready = poll(&wait, 1, kTimeLimitMilliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;  // the time limit: something hangs
        char buffer[4096];
        const ssize_t got = read(m_fromClient, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            m_ended = true;
        else
            m_buffer.append(buffer, static_cast<std::size_t>(got));
    }
}

bool TmuxControl::WaitForOutput()
{
    std::string line;
    while (ReadLine(line)) {
        if (line.starts_with("%output"))
            return true;
        if (line.starts_with("%exit"))
            return false;
    }
    return false;
}

bool TmuxControl::WaitForExit()
{
    std::string line;
    while (ReadLine(line)) {
        if (line.starts_with("%exit"))
            return true;
    }
    return m_ended;
}

}  // namespace pervo::desktop::testing_support
