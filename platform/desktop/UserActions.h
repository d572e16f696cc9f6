#pragma once

#include "Machine.h"

#include <optional>
#include <string>
#include <string_view>

namespace pervo::desktop {

// A key as a person presses it: a virtual key, the modifiers held, and the
// character it makes with Alt (for mnemonics).
struct KeyPress {
    std::uint32_t virtualKey = 0;
    std::uint32_t modifiers = machine::kNoModifier;
    char character = 0;
};

// Reads "Enter", "Shift+Tab", "Alt+P", "F1", ... ; nullopt for anything else.
std::optional<KeyPress> ParseKey(std::string_view name);

// What a person can do to the machine's desktop, with the mouse and the
// keyboard. Each acts on the active window (the topmost visible, enabled
// top-level window) and returns "" or one sentence that says why it cannot be
// done. The resulting input waits in the machine's queue like real input.
class UserActions {
public:
    explicit UserActions(machine::Machine& machine) : m_machine(machine) {}

    std::string Click(std::string_view button);
    std::string Select(std::string_view entry);
    std::string Focus(std::string_view control);
    std::string Key(const KeyPress& key);
    std::string CloseBox();
    std::string SystemMenu(std::string_view item);
    std::string Tray(machine::TrayEvent event);

    // A control of the active window named by its text without '&' (and
    // without what follows a TAB) or by its numeric id; 0 when none.
    machine::Hwnd FindControl(std::string_view name) const;

    // The text a person sees for a label: '&' marks removed, "&&" kept as one.
    static std::string PlainText(std::string_view text);

private:
    machine::Machine& m_machine;
};

}  // namespace pervo::desktop
