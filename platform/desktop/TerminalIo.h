#pragma once

#include "TerminalPort.h"

#include <string>

namespace pervo::desktop {

// The one place that talks to the terminal: ncurses draws the frames, and the
// person's keys and mouse reports are read as raw bytes from standard input
// and parsed here, so no key waits on a time-out. Reading blocks in poll() on
// standard input and on a pipe the resize signal writes to; nothing wakes the
// process while the person does nothing. The terminal is put back as it was
// when the desktop closes, and also when the process dies of a signal.
class TerminalIo : public TerminalPort {
public:
    TerminalIo() = default;
    ~TerminalIo() override;
    TerminalIo(const TerminalIo&) = delete;
    TerminalIo& operator=(const TerminalIo&) = delete;

    // False, with a reason, when the terminal cannot be used.
    bool Open(std::string& error);
    void Close();

    int Columns() const override;
    int Rows() const override;
    void Show(const ScreenGrid& frame) override;
    std::vector<TerminalEvent> Read() override;

private:
    void ReadSize(int& columns, int& rows) const;

    bool m_open = false;
    void* m_screen = nullptr;  // ncurses' SCREEN, kept out of this header
    std::string m_pending;     // the start of a sequence still being sent
};

}  // namespace pervo::desktop
