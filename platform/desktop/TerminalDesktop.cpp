#include "TerminalDesktop.h"

#include "DesktopSession.h"
#include "TerminalIo.h"

namespace pervo::desktop {

int RunTerminalDesktop(Host& host, std::string& error)
{
    TerminalIo terminal;
    if (!terminal.Open(error))
        return 1;
    DesktopSession session(host.GetMachine(), terminal);
    host.RunUtility(session);
    // The utility has ended, or the person logged off: either way the
    // program ends with it and gives the terminal back, like any program
    // that quits.
    terminal.Close();
    return 0;
}

}  // namespace pervo::desktop
