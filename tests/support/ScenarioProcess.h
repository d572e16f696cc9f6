#pragma once

// Runs the real pervo executable as a child process, the way a shell or
// another program would: with arguments, a file on standard input, and its
// standard output and error caught in files. The call waits for the child to
// exit; nothing is timed.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace pervo::test {

struct ProcessResult {
    int status = -1;  // the exit status; -1 when the child did not exit normally
    std::string out;
    std::string err;

    std::vector<std::string> ErrLines() const { return SplitLines(err); }
    std::vector<std::string> OutLines() const { return SplitLines(out); }

    static std::vector<std::string> SplitLines(const std::string& text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

// The executable under test, from PERVO_BINARY; empty when it is not set.
inline std::string PervoBinary()
{
    const char* path = std::getenv("PERVO_BINARY");
    return path ? path : "";
}

// Starts `binary` with `arguments` and the file actions, which it then
// releases; returns posix_spawn's error number, 0 when the child started.
inline int SpawnAndRelease(pid_t& child, const std::string& binary, const std::vector<std::string>& arguments,
                           posix_spawn_file_actions_t& actions)
{
    std::vector<std::string> argumentStore;
    argumentStore.push_back(binary);
    argumentStore.insert(argumentStore.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentStore)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&child, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned;
}

// Runs `binary` with `arguments`, standard input read from `input` (the text
// is written to a file in `folder` first), standard output and error caught
// in files there.
inline ProcessResult RunProcess(const std::string& binary, const std::vector<std::string>& arguments,
                                const std::string& input, const std::filesystem::path& folder)
{
    const std::string inPath = (folder / "stdin.txt").string();
    const std::string outPath = (folder / "stdout.txt").string();
    const std::string errPath = (folder / "stderr.txt").string();
    std::ofstream(inPath, std::ios::binary | std::ios::trunc) << input;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    ProcessResult result;
    pid_t child = 0;
    const int spawned = SpawnAndRelease(child, binary, arguments, actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << binary << ": error " << spawned;
        return result;
    }
    int waitStatus = 0;
    while (waitpid(child, &waitStatus, 0) < 0) {
        if (errno != EINTR) {
            ADD_FAILURE() << "waiting for " << binary << " failed: error " << errno;
            return result;
        }
    }
    if (WIFEXITED(waitStatus))
        result.status = WEXITSTATUS(waitStatus);
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

// A child process driven through pipes, one line at a time, as another
// program drives pervo: write a line to its standard input, read a line from
// its standard output. Reads block until the child writes or exits.
class PipedProcess {
public:
    PipedProcess(const std::string& binary, const std::vector<std::string>& arguments)
    {
        // A child that dies early should fail the test, not kill it on the next write.
        std::signal(SIGPIPE, SIG_IGN);
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "cannot make pipes: error " << errno;
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        const int spawned = SpawnAndRelease(m_child, binary, arguments, actions);
        close(input[0]);
        close(output[1]);
        m_input = input[1];
        m_output = output[0];
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << binary << ": error " << spawned;
            m_child = 0;
        }
    }
    ~PipedProcess()
    {
        CloseInput();
        if (m_output >= 0)
            close(m_output);
        if (m_child > 0)
            Wait();
    }
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;

    void WriteLine(const std::string& line)
    {
        const std::string text = line + "\n";
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = write(m_input, text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            ASSERT_GT(n, 0) << "the child stopped reading";
            written += static_cast<std::size_t>(n);
        }
    }

    // The next line of standard output, without its newline; nullopt at its end.
    std::optional<std::string> ReadLine()
    {
        for (;;) {
            const std::size_t newline = m_buffer.find('\n');
            if (newline != std::string::npos) {
                std::string line = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                return line;
            }
            char chunk[4096];
            const ssize_t n = read(m_output, chunk, sizeof(chunk));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return std::nullopt;
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void CloseInput()
    {
        if (m_input >= 0)
            close(m_input);
        m_input = -1;
    }

    // Ends the child at once, as a crash or `kill -9` would.
    void Kill()
    {
        if (m_child > 0)
            kill(m_child, SIGKILL);
    }

    // Waits for the child to exit; its exit status, or -1.
    int Wait()
    {
        int waitStatus = 0;
        while (waitpid(m_child, &waitStatus, 0) < 0) {
            if (errno != EINTR)
                return -1;
        }
        m_child = 0;
        return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    }

private:
    pid_t m_child = 0;
    int m_input = -1;
    int m_output = -1;
    std::string m_buffer;
};

}  // namespace pervo::test
