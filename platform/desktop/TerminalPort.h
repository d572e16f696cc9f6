#pragma once

#include "ScreenGrid.h"
#include "TerminalInput.h"

#include <vector>

namespace pervo::desktop {

// What the desktop needs of a terminal: its size, a way to show a frame, and
// a blocking read of what the person did. The real one talks to the terminal
// (TerminalIo); tests hand the desktop events and look at the frames.
class TerminalPort {
public:
    virtual ~TerminalPort() = default;

    virtual int Columns() const = 0;
    virtual int Rows() const = 0;
    virtual void Show(const ScreenGrid& frame) = 0;
    // Blocks, without a time-out, until there is at least one event.
    virtual std::vector<TerminalEvent> Read() = 0;
};

}  // namespace pervo::desktop
