#pragma once

#include <string>
#include <string_view>

// The names the framework derives from the executable's path when a program
// gives none of its own.
struct AppNames {
    std::string appName;      // the file name without folder and extension
    std::string helpFile;     // the full path, its extension replaced by ".HLP" (or ".HLP" appended)
    std::string profileName;  // the application name with ".INI"
};

// Both '\' and '/' end a folder name; the extension is what follows the last
// dot of the file name itself, never a dot in a folder's name.
AppNames DeriveAppNames(std::string_view executablePath);
