#pragma once

#include "Host.h"

#include <string>

namespace pervo::desktop {

// Runs the utility on a terminal desktop a person drives with the keyboard
// and the mouse. Returns the exit status; `error` says why when it cannot start.
int RunTerminalDesktop(Host& host, std::string& error);

}  // namespace pervo::desktop
