#pragma once

#include <string>

namespace pervo::desktop {

// The product name and the program's version record, as --version prints them.
std::string VersionText();

}  // namespace pervo::desktop
