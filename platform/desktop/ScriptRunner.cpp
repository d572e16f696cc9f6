#include "ScriptRunner.h"

#include "Snapshot.h"

namespace pervo::desktop {

bool ScriptRunner::NextAction(ScriptAction& action)
{
    std::string text;
    while (!m_loggedOff && m_error.empty() && std::getline(m_script, text)) {
        ++m_line;
        ScriptLine line = ParseScriptLine(text);
        if (auto* error = std::get_if<ScriptError>(&line)) {
            m_error = "script line " + std::to_string(m_line) + ": " + error->message;
            return false;
        }
        auto* parsed = std::get_if<ScriptAction>(&line);
        if (!parsed)
            continue;
        if (parsed->kind == ActionKind::Show) {
            m_snapshots << Snapshot(m_host) << std::endl;
            continue;
        }
        if (parsed->kind == ActionKind::LogOff) {
            m_loggedOff = true;
            return false;
        }
        action = std::move(*parsed);
        return true;
    }
    return false;
}

std::string ScriptRunner::Perform(const ScriptAction& action)
{
    UserActions actions(m_host.GetMachine());
    switch (action.kind) {
    case ActionKind::Click:
        return actions.Click(action.argument);
    case ActionKind::Select:
        return actions.Select(action.argument);
    case ActionKind::Focus:
        return actions.Focus(action.argument);
    case ActionKind::Key:
        return actions.Key(action.key);
    case ActionKind::CloseBox:
        return actions.CloseBox();
    case ActionKind::SysMenu:
        return actions.SystemMenu(action.argument);
    case ActionKind::Tray:
        return actions.Tray(action.trayEvent);
    case ActionKind::Show:
    case ActionKind::LogOff:
        break;
    }
    return {};
}

void ScriptRunner::WaitForInput(machine::Machine& machine)
{
    ScriptAction action;
    if (!NextAction(action)) {
        // The end of the script, a log-off or an error: the session is over.
        machine.EndSession();
        return;
    }
    if (std::string why = Perform(action); !why.empty()) {
        m_error = "script line " + std::to_string(m_line) + ": " + why +
                  "; a show before that line prints what is on the screen";
        machine.EndSession();
    }
}

int ScriptRunner::Run()
{
    m_host.RunUtility(*this);
    // After the utility has ended only snapshots and the log-off may follow.
    ScriptAction action;
    if (m_error.empty() && NextAction(action))
        m_error = "script line " + std::to_string(m_line) + ": the program has ended; only show and logoff may follow";
    return m_error.empty() ? 0 : 2;
}

}  // namespace pervo::desktop
