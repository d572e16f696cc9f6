#pragma once

// Runs a program in a private tmux server, types into it and reads its
// screen. A tmux control-mode client reports every change of the pane's
// output; waiting for a screen blocks on those reports, so the test neither
// sleeps nor spins. Each wait has a generous time limit, only so that a hung
// program fails the test instead of hanging it.

#include <string>
#include <vector>

#include <sys/types.h>

namespace pervo::desktop::testing_support {

class TmuxControl {
public:
    TmuxControl() = default;
    ~TmuxControl();
    TmuxControl(const TmuxControl&) = delete;
    TmuxControl& operator=(const TmuxControl&) = delete;

    // The tmux program on PATH, or "" when there is none.
    static std::string FindTmux();

    // Starts `command` (a shell command line) in a pane of the given size.
    bool Start(const std::string& tmux, const std::string& folder, int columns, int rows, const std::string& command,
               std::string& error);

    // Keys as tmux's send-keys names them: "F9", "Down", "Enter", "M-c".
    bool SendKeys(const std::string& keys);
    std::string Capture();
    bool Resize(int columns, int rows);
    // The process id of the pane's first process (the shell that runs the command).
    pid_t PanePid();

    // Blocks until `accept` holds for the screen; false (with the last screen
    // in `last`) when it never does or the pane goes.
    template <typename Accept>
    bool WaitForScreen(Accept accept, std::string& last)
    {
        for (int tries = 0; tries < kMaxScreens; ++tries) {
            last = Capture();
            if (accept(last))
                return true;
            if (!WaitForOutput())
                return false;
        }
        return false;
    }

    // Blocks until the pane's program has ended and tmux with it.
    bool WaitForExit();

private:
    static constexpr int kMaxScreens = 200;
    static constexpr int kTimeLimitMilliseconds = 20000;

    bool WaitForOutput();
    bool ReadLine(std::string& line);
    int Run(const std::vector<std::string>& arguments, std::string* output);

    std::string m_tmux;
    std::string m_socket;
    pid_t m_server = -1;
    pid_t m_client = -1;
    int m_toClient = -1;
    int m_fromClient = -1;
    std::string m_buffer;
    bool m_ended = false;
};

}  // namespace pervo::desktop::testing_support
