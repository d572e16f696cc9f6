// The terminal input reader. Whatever bytes a terminal (or anything posing
// as one) sends must give events without a crash; a mouse report must point
// at a cell (counted from 0); and the bytes it leaves for the next read must
// be the start of one unfinished sequence, never a whole event left behind.

#include "FuzzCheck.h"

#include "TerminalInput.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace pervo::desktop;
using pervo::fuzz::Check;
using pervo::fuzz::Printable;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ParsedInput parsed = ParseTerminalInput(bytes);
    Check(parsed.consumed <= bytes.size(), "more bytes used than given for " + Printable(bytes));
    for (const TerminalEvent& event : parsed.events) {
        if (const auto* mouse = std::get_if<MouseEvent>(&event)) {
            Check(mouse->column >= 0 && mouse->row >= 0,
                  "a mouse report outside the screen (" + std::to_string(mouse->column) + ","
                      + std::to_string(mouse->row) + ") from " + Printable(bytes));
        }
    }
    if (parsed.consumed == bytes.size())
        return 0;

    // What is left begins a sequence: an Escape or a multi-byte character.
    const std::string rest = bytes.substr(parsed.consumed);
    const auto first = static_cast<unsigned char>(rest.front());
    Check(first == 0x1B || first >= 0x80, "left for later, yet no sequence: " + Printable(rest) + " of " + Printable(bytes));
    // And it is unfinished as it stands: read alone, nothing of it is used.
    const ParsedInput alone = ParseTerminalInput(rest);
    Check(alone.consumed == 0 && alone.events.empty(),
          "left for later, yet it reads on its own: " + Printable(rest) + " of " + Printable(bytes));
    return 0;
}
