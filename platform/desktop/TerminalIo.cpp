#include "TerminalIo.h"

#include "DesktopRenderer.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace pervo::desktop {
namespace {

// Mouse reports: presses and releases, every motion (for the tray icon's
// tip), in the SGR form that has no limit on the column.
constexpr char kMouseOn[] = "\033[?1000h\033[?1003h\033[?1006h";
constexpr char kMouseOff[] = "\033[?1006l\033[?1003l\033[?1000l";

// What a signal handler may touch: plain flags and file descriptors.
volatile std::sig_atomic_t g_terminalActive = 0;
int g_wakeRead = -1;
int g_wakeWrite = -1;

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTERM, SIGHUP, SIGINT, SIGQUIT};

void WriteAll(const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, text, size);
        if (written <= 0 && errno != EINTR)
            return;
        if (written > 0) {
            text += written;
            size -= static_cast<std::size_t>(written);
        }
    }
}

void RestoreTerminal()
{
    if (!g_terminalActive)
        return;
    g_terminalActive = 0;
    WriteAll(kMouseOff, sizeof(kMouseOff) - 1);
    endwin();
}

// A dying process gives the person back a usable terminal, then dies of the
// same signal, so its parent still sees why.
extern "C" void OnFatalSignal(int signal)
{
    RestoreTerminal();
    std::raise(signal);  // the handler was reset to the default on entry
}

extern "C" void OnResize(int)
{
    const int saved = errno;
    const char byte = 'r';
    [[maybe_unused]] const ssize_t written = ::write(g_wakeWrite, &byte, 1);
    errno = saved;
}

void Install(int signal, void (*handler)(int), int flags)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(signal, &action, nullptr);
}

void Uninstall(int signal)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

attr_t CellAttributes(const Cell& cell)
{
    attr_t attributes = A_NORMAL;
    if (cell.attributes & kBold)
        attributes |= A_BOLD;
    if (cell.attributes & kUnderline)
        attributes |= A_UNDERLINE;
    if (cell.attributes & kReverse)
        attributes |= A_REVERSE;
    if (cell.attributes & kDim)
        attributes |= A_DIM;
    return attributes;
}

// The line-drawing glyphs come from ncurses' own table, which knows whether
// this terminal draws them as Unicode or with its line-drawing character set.
const cchar_t* LineGlyph(char32_t glyph)
{
    switch (glyph) {
    case glyph::kHorizontal: return WACS_HLINE;
    case glyph::kVertical: return WACS_VLINE;
    case glyph::kTopLeft: return WACS_ULCORNER;
    case glyph::kTopRight: return WACS_URCORNER;
    case glyph::kBottomLeft: return WACS_LLCORNER;
    case glyph::kBottomRight: return WACS_LRCORNER;
    case glyph::kTeeRight: return WACS_LTEE;
    case glyph::kTeeLeft: return WACS_RTEE;
    case glyph::kDownArrow: return WACS_DARROW;
    default: return nullptr;
    }
}

cchar_t CellCharacter(const Cell& cell)
{
    wchar_t text[CCHARW_MAX + 1] = {};
    attr_t attributes = CellAttributes(cell);
    short pair = 0;
    if (const cchar_t* line = LineGlyph(cell.glyph)) {
        attr_t lineAttributes = A_NORMAL;
        getcchar(line, text, &lineAttributes, &pair, nullptr);
        attributes |= lineAttributes;
    } else {
        const auto code = static_cast<std::uint32_t>(cell.glyph);
        text[0] = code >= 0x20 && code < 0x7F ? static_cast<wchar_t>(code) : L'?';
        text[1] = L'\0';
    }
    cchar_t character{};
    setcchar(&character, text, attributes, pair, nullptr);
    return character;
}

std::uint64_t NowMilliseconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

TerminalIo::~TerminalIo()
{
    Close();
}

bool TerminalIo::Open(std::string& error)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot prepare the terminal: ") + std::strerror(errno);
        return false;
    }
    g_wakeRead = pipeEnds[0];
    g_wakeWrite = pipeEnds[1];
    // The terminal's character set is the locale's; only the character
    // classes are taken from it, so numbers and messages stay as they were.
    std::setlocale(LC_CTYPE, "");
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (!screen) {
        const char* term = std::getenv("TERM");
        error = std::string("cannot use the terminal '") + (term ? term : "") +
                "'; set TERM to your terminal's type, or drive pervo with --script FILE";
        ::close(g_wakeRead);
        ::close(g_wakeWrite);
        g_wakeRead = g_wakeWrite = -1;
        return false;
    }
    m_screen = screen;
    m_open = true;
    g_terminalActive = 1;
    for (int signal : kFatalSignals)
        Install(signal, OnFatalSignal, SA_RESETHAND);
    Install(SIGWINCH, OnResize, 0);

    raw();
    noecho();
    nonl();
    meta(stdscr, TRUE);
    keypad(stdscr, FALSE);  // the bytes are parsed here, not by ncurses
    typeahead(-1);          // a frame is always drawn whole
    mousemask(ALL_MOUSE_EVENTS | REPORT_MOUSE_POSITION, nullptr);
    curs_set(0);
    refresh();
    WriteAll(kMouseOn, sizeof(kMouseOn) - 1);
    return true;
}

void TerminalIo::Close()
{
    if (!m_open)
        return;
    m_open = false;
    mousemask(0, nullptr);
    RestoreTerminal();
    delscreen(static_cast<SCREEN*>(m_screen));
    m_screen = nullptr;
    for (int signal : kFatalSignals)
        Uninstall(signal);
    Uninstall(SIGWINCH);
    ::close(g_wakeRead);
    ::close(g_wakeWrite);
    g_wakeRead = g_wakeWrite = -1;
}

int TerminalIo::Columns() const
{
    return m_open ? COLS : 80;
}

int TerminalIo::Rows() const
{
    return m_open ? LINES : 25;
}

void TerminalIo::ReadSize(int& columns, int& rows) const
{
    struct winsize size {};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        columns = size.ws_col;
        rows = size.ws_row;
    } else {
        columns = COLS;
        rows = LINES;
    }
}

void TerminalIo::Show(const ScreenGrid& frame)
{
    if (!m_open)
        return;
    const int rows = std::min(frame.Rows(), LINES);
    const int columns = std::min(frame.Columns(), COLS);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const cchar_t character = CellCharacter(frame.At(column, row));
            mvadd_wch(row, column, &character);
        }
    }
    if (frame.cursor && frame.cursor->row < rows && frame.cursor->column < columns) {
        curs_set(1);
        move(frame.cursor->row, frame.cursor->column);
    } else {
        curs_set(0);
    }
    refresh();
}

std::vector<TerminalEvent> TerminalIo::Read()
{
    std::vector<TerminalEvent> events;
    while (m_open && events.empty()) {
        pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {g_wakeRead, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            events.emplace_back(HangupEvent{});
            break;
        }
        if (waits[1].revents & POLLIN) {
            char drain[64];
            while (::read(g_wakeRead, drain, sizeof(drain)) > 0) {
            }
            int columns = 0, rows = 0;
            ReadSize(columns, rows);
            resizeterm(rows, columns);
            events.emplace_back(ResizeEvent{columns, rows});
        }
        // A terminal that hangs up or goes away ends the session; reading
        // then fails or finds the end, rather than poll() waking for ever.
        if (waits[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            char buffer[4096];
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof(buffer));
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
                events.emplace_back(HangupEvent{});
                break;
            }
            if (got > 0) {
                m_pending.append(buffer, static_cast<std::size_t>(got));
                ParsedInput parsed = ParseTerminalInput(m_pending);
                m_pending.erase(0, parsed.consumed);
                // A sequence this long is no key: let it go rather than wait on it.
                if (m_pending.size() > 64)
                    m_pending.clear();
                const std::uint64_t now = NowMilliseconds();
                for (TerminalEvent& event : parsed.events) {
                    if (auto* mouse = std::get_if<MouseEvent>(&event))
                        mouse->time = now;
                    events.push_back(std::move(event));
                }
            }
        }
    }
    return events;
}

}  // namespace pervo::desktop
