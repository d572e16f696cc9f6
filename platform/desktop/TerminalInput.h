#pragma once

#include "UserActions.h"

#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

namespace pervo::desktop {

// The keys a terminal sends that the machine's own key list leaves out.
namespace vk {
constexpr std::uint32_t kBack = 0x08;
constexpr std::uint32_t kPageUp = 0x21;
constexpr std::uint32_t kPageDown = 0x22;
constexpr std::uint32_t kEnd = 0x23;
constexpr std::uint32_t kHome = 0x24;
constexpr std::uint32_t kInsert = 0x2D;
constexpr std::uint32_t kDelete = 0x2E;
}  // namespace vk

enum class MouseAction { Press, Release, Move, WheelUp, WheelDown };
enum class MouseButton { Left, Middle, Right, None };

// A mouse report, in cells counted from 0 at the top left. `time` is when it
// was read, in milliseconds of a steady clock (0 when nobody stamped it);
// it tells a double click from two clicks.
struct MouseEvent {
    MouseAction action = MouseAction::Press;
    MouseButton button = MouseButton::Left;
    int column = 0;
    int row = 0;
    std::uint32_t modifiers = machine::kNoModifier;
    std::uint64_t time = 0;
    bool operator==(const MouseEvent&) const = default;
};

// The terminal changed its size.
struct ResizeEvent {
    int columns = 0;
    int rows = 0;
    bool operator==(const ResizeEvent&) const = default;
};

// The terminal has gone (end of input, hang-up): the session is over.
struct HangupEvent {
    bool operator==(const HangupEvent&) const = default;
};

using TerminalEvent = std::variant<KeyPress, MouseEvent, ResizeEvent, HangupEvent>;

struct ParsedInput {
    std::vector<TerminalEvent> events;
    // How many bytes were used. The rest is the start of a sequence the
    // terminal has not finished sending; it goes in front of the next read.
    std::size_t consumed = 0;
};

// Turns the bytes a terminal sends into key presses and mouse reports: plain
// and control characters, Alt as an Escape prefix, the cursor, editing and
// function keys of xterm, the Linux console and rxvt with their modifier
// parameter, and xterm's mouse reports in both the SGR and the old byte form.
// A lone Escape at the end of the bytes is the Escape key: terminals send a
// sequence whole, so nothing is waited for. Sequences it does not know are
// skipped whole.
ParsedInput ParseTerminalInput(std::string_view bytes);

}  // namespace pervo::desktop
