#include "TerminalDesktop.h"

namespace pervo::desktop {

int RunTerminalDesktop(Host&, std::string& error)
{
    error = "the terminal desktop is not built yet; run with --script FILE";
    return 2;
}

}  // namespace pervo::desktop
