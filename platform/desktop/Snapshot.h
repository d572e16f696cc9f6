#pragma once

#include "Host.h"

#include <string>

namespace pervo::desktop {

// The state a person could see, as one line of JSON: running, windows, focus,
// ports, sysmenu, tray, driver and help.
std::string Snapshot(Host& host);

}  // namespace pervo::desktop
