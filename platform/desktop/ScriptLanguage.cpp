#include "ScriptLanguage.h"

namespace pervo::desktop {
namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

ScriptLine ParseScriptLine(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() == '#')
        return ScriptNothing{};
    const std::size_t space = line.find_first_of(" \t");
    const std::string_view word = line.substr(0, space);
    const std::string_view argument = space == std::string_view::npos ? std::string_view{} : Trim(line.substr(space));

    struct Word {
        std::string_view name;
        ActionKind kind;
        bool takesArgument;
    };
    static constexpr Word kWords[] = {
        {"click", ActionKind::Click, true},       {"select", ActionKind::Select, true},
        {"focus", ActionKind::Focus, true},       {"key", ActionKind::Key, true},
        {"closebox", ActionKind::CloseBox, false}, {"sysmenu", ActionKind::SysMenu, true},
        {"tray", ActionKind::Tray, true},         {"show", ActionKind::Show, false},
        {"logoff", ActionKind::LogOff, false},
    };
    for (const Word& known : kWords) {
        if (known.name != word)
            continue;
        if (known.takesArgument && argument.empty())
            return ScriptError{std::string(word) + " needs something to act on"};
        if (!known.takesArgument && !argument.empty())
            return ScriptError{std::string(word) + " takes nothing after it"};
        ScriptAction action;
        action.kind = known.kind;
        action.argument = std::string(argument);
        if (known.kind == ActionKind::Key) {
            auto key = ParseKey(argument);
            if (!key)
                return ScriptError{"unknown key '" + std::string(argument) +
                                   "'; use Enter, Escape, Tab, Shift+Tab, Up, Down, Space, F1, Alt+F4, Alt+letter, ..."};
            action.key = *key;
        } else if (known.kind == ActionKind::Tray) {
            static constexpr std::pair<std::string_view, machine::TrayEvent> kEvents[] = {
                {"click", machine::TrayEvent::Click},
                {"dblclick", machine::TrayEvent::DoubleClick},
                {"rclick", machine::TrayEvent::RightClick},
                {"rdblclick", machine::TrayEvent::RightDoubleClick},
                {"move", machine::TrayEvent::Move},
            };
            bool found = false;
            for (const auto& [name, event] : kEvents) {
                if (name == argument) {
                    action.trayEvent = event;
                    found = true;
                }
            }
            if (!found)
                return ScriptError{"unknown tray event '" + std::string(argument) +
                                   "'; use click, dblclick, rclick, rdblclick or move"};
        }
        return action;
    }
    return ScriptError{"unknown action '" + std::string(word) +
                       "'; use click, select, focus, key, closebox, sysmenu, tray, show or logoff"};
}

}  // namespace pervo::desktop
