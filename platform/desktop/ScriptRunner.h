#pragma once

#include "Host.h"
#include "ScriptLanguage.h"

#include <istream>
#include <ostream>
#include <string>

namespace pervo::desktop {

// Drives the machine from a script: one action a line, read only when the
// machine has nothing else to do, so each line acts on what a person would
// see at that moment. `show` prints a snapshot at once; the end of the script
// is a log-off.
class ScriptRunner final : public machine::InputSource {
public:
    ScriptRunner(Host& host, std::istream& script, std::ostream& snapshots)
        : m_host(host), m_script(script), m_snapshots(snapshots)
    {
    }

    void WaitForInput(machine::Machine& machine) override;

    // Runs the utility, then the rest of the script. Returns the exit status:
    // 0, or 2 after a script error (see Error()).
    int Run();

    const std::string& Error() const { return m_error; }

private:
    // Reads up to the next line that does something. False at the end of the
    // script, after `logoff`, or after an error.
    bool NextAction(ScriptAction& action);
    std::string Perform(const ScriptAction& action);

    Host& m_host;
    std::istream& m_script;
    std::ostream& m_snapshots;
    int m_line = 0;
    bool m_loggedOff = false;
    std::string m_error;
};

}  // namespace pervo::desktop
