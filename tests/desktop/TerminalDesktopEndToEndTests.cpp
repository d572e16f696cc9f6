// The real program on a real terminal: pervo runs in tmux, a person's keys
// go in through tmux, and the screen, the registry file and the exit status
// show what happened.

#include "TmuxControl.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pervo::desktop {
namespace {
using testing_support::TmuxControl;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Contains(const std::string& text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

// tmux may show a screen that ncurses is still writing, so a dialog counts as
// shown once its frame is whole: the title row and, below it, the bottom edge.
bool DialogShown(const std::string& screen)
{
    const auto title = screen.find("[-] KX-9 Pervola");
    return title != std::string::npos && screen.find("┘", title) != std::string::npos;
}

bool DialogHidden(const std::string& screen)
{
    return !Contains(screen, "[-] KX-9 Pervola");
}

// The program's Close steps take its icon out of the tray.
constexpr std::string_view kIconRemoved = "\"fn\":\"Shell_NotifyIconA\",\"args\":[2";

class TerminalDesktopEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* binary = std::getenv("PERVO_BINARY");
        tmux = TmuxControl::FindTmux();
        if (!binary || tmux.empty())
            GTEST_SKIP() << "needs tmux on PATH and PERVO_BINARY (scripts/setup --terminal installs tmux)";
        pervo = binary;
        char folderTemplate[] = "/tmp/pervo-desktop-XXXXXX";
        ASSERT_NE(mkdtemp(folderTemplate), nullptr);
        folder = folderTemplate;
    }

    void TearDown() override
    {
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }

    std::string tmux;
    std::string pervo;
    std::filesystem::path folder;
};

TEST_F(TerminalDesktopEndToEndTest, PersonPicksAPortWithTheKeyboardAndClosesTheProgram)
{
    const std::filesystem::path registry = folder / "registry.reg";
    const std::filesystem::path status = folder / "status";
    const std::filesystem::path trace = folder / "trace";
    const std::string command = "LANG=C.UTF-8 '" + pervo + "' --registry '" + registry.string() + "' --trace '" +
                                trace.string() + "' --port COM1=sim --port COM2=sim --port COM3=sim; echo $? > '" +
                                status.string() + "'";
    TmuxControl terminal;
    std::string error;
    ASSERT_TRUE(terminal.Start(tmux, folder.string(), 80, 25, command, error)) << error;

    std::string screen;
    // At start the dialog hides at once into the tray, at the taskbar's right end.
    ASSERT_TRUE(terminal.WaitForScreen(
        [](const std::string& s) { return Contains(s, "Ctrl+Q Log off │ /KX\\") && DialogHidden(s); }, screen))
        << screen;

    // The desktop's key double-clicks the tray icon; the dialog comes back.
    ASSERT_TRUE(terminal.SendKeys("F9"));
    ASSERT_TRUE(terminal.WaitForScreen(DialogShown, screen)) << screen;
    EXPECT_TRUE(Contains(screen, "Comm Port: [COM2:")) << screen;

    // Alt+P takes the focus to the list, Down picks the next port, Enter is OK.
    ASSERT_TRUE(terminal.SendKeys("M-p"));
    ASSERT_TRUE(terminal.SendKeys("Down"));
    ASSERT_TRUE(terminal.WaitForScreen([](const std::string& s) { return Contains(s, "[COM3:"); }, screen)) << screen;
    ASSERT_TRUE(terminal.SendKeys("Enter"));
    ASSERT_TRUE(terminal.WaitForScreen(DialogHidden, screen)) << screen;
    EXPECT_TRUE(Contains(ReadFile(registry), "\"CommPort\"=dword:00000003")) << ReadFile(registry);

    ASSERT_TRUE(terminal.SendKeys("F9"));
    ASSERT_TRUE(terminal.WaitForScreen(DialogShown, screen)) << screen;
    EXPECT_TRUE(Contains(screen, "Comm Port: [COM3:")) << screen;
    std::ofstream("/tmp/desktop-capture.txt") << screen;

    // Close ends the program, and the terminal is the shell's again.
    ASSERT_TRUE(terminal.SendKeys("M-c"));
    ASSERT_TRUE(terminal.WaitForExit());
    EXPECT_EQ(ReadFile(status), "0\n");
    EXPECT_TRUE(Contains(ReadFile(registry), "\"CommPort\"=dword:00000003"));
    EXPECT_TRUE(Contains(ReadFile(trace), kIconRemoved));
}

TEST_F(TerminalDesktopEndToEndTest, LogOffKeyEndsTheProgramWithoutItsCloseSteps)
{
    const std::filesystem::path registry = folder / "registry.reg";
    const std::filesystem::path status = folder / "status";
    const std::filesystem::path trace = folder / "trace";
    const std::string command = "LANG=C.UTF-8 '" + pervo + "' --registry '" + registry.string() + "' --trace '" +
                                trace.string() + "'; echo $? > '" + status.string() + "'";
    TmuxControl terminal;
    std::string error;
    ASSERT_TRUE(terminal.Start(tmux, folder.string(), 60, 12, command, error)) << error;
    std::string screen;
    ASSERT_TRUE(terminal.WaitForScreen([](const std::string& s) { return Contains(s, "/KX\\"); }, screen)) << screen;
    ASSERT_TRUE(terminal.SendKeys("C-q"));
    ASSERT_TRUE(terminal.WaitForExit());
    EXPECT_EQ(ReadFile(status), "0\n");
    EXPECT_TRUE(Contains(ReadFile(trace), "Shell_NotifyIconA"));
    EXPECT_FALSE(Contains(ReadFile(trace), kIconRemoved));
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(TerminalDesktopEndToEndTest, ResizedTerminalIsRedrawnWithTheTaskbarOnItsNewLastRow)
{
    const std::string command = "LANG=C.UTF-8 '" + pervo + "' --registry '" + (folder / "r.reg").string() + "'";
    TmuxControl terminal;
    std::string error;
    ASSERT_TRUE(terminal.Start(tmux, folder.string(), 80, 25, command, error)) << error;
    // The taskbar is the last of `rows` lines, its desktop keys and tray at
    // the right end of `columns`.
    auto taskbarAt = [](std::size_t rows, std::size_t columns) {
        return [=](const std::string& s) {
            const auto lines = Lines(s);
            return lines.size() == rows && lines.back().starts_with(std::string(columns - 36, ' ') + "F9 Tray icon") &&
                   lines.back().ends_with("Log off │ /KX\\");
        };
    };
    std::string screen;
    ASSERT_TRUE(terminal.WaitForScreen(taskbarAt(25, 80), screen)) << screen;
    ASSERT_TRUE(terminal.Resize(70, 15));
    ASSERT_TRUE(terminal.WaitForScreen(taskbarAt(15, 70), screen)) << screen;
    ASSERT_TRUE(terminal.SendKeys("F9"));
    ASSERT_TRUE(terminal.WaitForScreen(DialogShown, screen)) << screen;
    // It was centred on the larger screen; it moved up to stay whole above the taskbar.
    const auto lines = Lines(screen);
    EXPECT_TRUE(lines[0].starts_with("               [-] KX-9 Pervola")) << screen;
    EXPECT_TRUE(lines[13].starts_with("               └")) << screen;
    ASSERT_TRUE(terminal.SendKeys("C-q"));
    ASSERT_TRUE(terminal.WaitForExit());
}

// The pane's shell runs pervo as its one child.
pid_t ChildOf(pid_t parent)
{
    const std::string path = "/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children";
    return static_cast<pid_t>(std::atoi(ReadFile(path).c_str()));
}

class TerminalDesktopSignalTest : public TerminalDesktopEndToEndTest, public ::testing::WithParamInterface<int> {};

TEST_P(TerminalDesktopSignalTest, DyingOfASignalGivesTheTerminalBack)
{
    const std::filesystem::path status = folder / "status";
    const std::filesystem::path modes = folder / "modes";
    // After pervo, the shell records how it ended and the terminal's modes.
    const std::string command = "ulimit -c 0; LANG=C.UTF-8 '" + pervo + "' --registry '" + (folder / "r.reg").string() +
                                "'; echo $? > '" + status.string() + "'; stty -a > '" + modes.string() + "'";
    TmuxControl terminal;
    std::string error;
    ASSERT_TRUE(terminal.Start(tmux, folder.string(), 60, 12, command, error)) << error;
    std::string screen;
    ASSERT_TRUE(terminal.WaitForScreen([](const std::string& s) { return Contains(s, "/KX\\"); }, screen)) << screen;
    const pid_t program = ChildOf(terminal.PanePid());
    ASSERT_GT(program, 0);
    ASSERT_EQ(kill(program, GetParam()), 0);
    ASSERT_TRUE(terminal.WaitForExit());
    EXPECT_EQ(ReadFile(status), std::to_string(128 + GetParam()) + "\n") << "it dies of the signal itself";
    const std::string stty = ReadFile(modes);
    EXPECT_TRUE(Contains(stty, " icanon ")) << stty;
    EXPECT_TRUE(Contains(stty, " echo ")) << stty;
}

std::string SignalName(const ::testing::TestParamInfo<int>& param)
{
    return param.param == SIGTERM ? "Terminate" : param.param == SIGSEGV ? "Segfault" : "Hangup";
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminalDesktopSignalTest, ::testing::Values(SIGTERM, SIGSEGV, SIGHUP), SignalName);

}  // namespace
}  // namespace pervo::desktop
