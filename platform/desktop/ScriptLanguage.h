#pragma once

#include "Shell.h"
#include "UserActions.h"

#include <string>
#include <string_view>
#include <variant>

namespace pervo::desktop {

enum class ActionKind { Click, Select, Focus, Key, CloseBox, SysMenu, Tray, Show, LogOff };

struct ScriptAction {
    ActionKind kind = ActionKind::Show;
    std::string argument;  // the button, entry, control or menu item
    KeyPress key;          // Key
    machine::TrayEvent trayEvent = machine::TrayEvent::Click;  // Tray
};

struct ScriptNothing {};  // a blank line or a comment

struct ScriptError {
    std::string message;
};

using ScriptLine = std::variant<ScriptNothing, ScriptAction, ScriptError>;

// Reads one line of a script. It knows the words, not the machine: whether
// the action can be done is decided when it is done.
ScriptLine ParseScriptLine(std::string_view line);

}  // namespace pervo::desktop
