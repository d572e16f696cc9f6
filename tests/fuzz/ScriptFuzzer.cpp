// The script line reader. A line is whatever a pipe or a file holds between
// two line breaks, so any such bytes must give an action, nothing, or an
// error; an action must be the
// one its canonical line ("WORD ARGUMENT") gives, so that what a script
// says is what is done, with no blanks or stray characters kept at either
// end of the argument.

#include "FuzzCheck.h"

#include "ScriptLanguage.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace pervo::desktop;
using pervo::fuzz::Check;
using pervo::fuzz::Printable;

namespace {

std::string_view WordOf(ActionKind kind)
{
    switch (kind) {
    case ActionKind::Click: return "click";
    case ActionKind::Select: return "select";
    case ActionKind::Focus: return "focus";
    case ActionKind::Key: return "key";
    case ActionKind::CloseBox: return "closebox";
    case ActionKind::SysMenu: return "sysmenu";
    case ActionKind::Tray: return "tray";
    case ActionKind::Show: return "show";
    case ActionKind::LogOff: return "logoff";
    }
    return "";
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool SameAction(const ScriptAction& left, const ScriptAction& right)
{
    return left.kind == right.kind && left.argument == right.argument && left.key.virtualKey == right.key.virtualKey
        && left.key.modifiers == right.key.modifiers && left.key.character == right.key.character
        && left.trayEvent == right.trayEvent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The runner reads the script line by line, so a line holds no line break.
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find('\n'));
    const ScriptLine parsed = ParseScriptLine(line);
    if (const auto* error = std::get_if<ScriptError>(&parsed)) {
        // The runner prints an error as one line.
        Check(!error->message.empty() && error->message.find('\n') == std::string::npos,
              "an error without a one-line message for " + Printable(line));
        return 0;
    }
    const auto* action = std::get_if<ScriptAction>(&parsed);
    if (action == nullptr)
        return 0;
    const std::string& argument = action->argument;
    Check(argument.empty() || (!IsBlank(argument.front()) && !IsBlank(argument.back())),
          "the argument keeps blanks at an end: " + Printable(argument));
    const bool takesNothing =
        action->kind == ActionKind::Show || action->kind == ActionKind::LogOff || action->kind == ActionKind::CloseBox;
    Check(takesNothing == argument.empty(), "an action with the wrong kind of argument: " + Printable(line));

    const std::string canonical = std::string(WordOf(action->kind)) + (argument.empty() ? "" : " " + argument);
    const ScriptLine again = ParseScriptLine(canonical);
    const auto* same = std::get_if<ScriptAction>(&again);
    Check(same != nullptr && SameAction(*action, *same),
          "the action's canonical line " + Printable(canonical) + " reads differently from " + Printable(line));
    return 0;
}
