#pragma once

#include "ScreenGrid.h"
#include "Window.h"

#include <cstdint>
#include <optional>

namespace pervo::desktop {

// What the desktop shows besides the machine's own state: the system menu a
// person has opened, the item it highlights, and where the mouse pointer is
// (for the tray icon's tip).
struct DesktopView {
    machine::Hwnd menuWindow = 0;  // whose system menu is open; 0 when none is
    int menuHighlight = -1;        // an index into that menu's items; -1 for none
    std::optional<CellPoint> pointer;
};

// The two keys the desktop keeps for itself, for people without a mouse.
// F9 is free in the dialogs and in common terminal emulators (F10 and F11
// are often taken by the emulator's menu and full screen); Ctrl+Q reads as
// "quit" and cannot stop the terminal, which the desktop puts in raw mode.
// Ctrl+C logs off as well, as it ends most terminal programs.
inline constexpr std::uint32_t kTrayKey = 0x78;     // F9, with no modifier
inline constexpr std::uint32_t kLogOffKey = 'Q';    // with Ctrl
inline constexpr const char* kTrayKeyName = "F9";
inline constexpr const char* kLogOffKeyName = "Ctrl+Q";

}  // namespace pervo::desktop
