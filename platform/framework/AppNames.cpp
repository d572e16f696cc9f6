#include "AppNames.h"

AppNames DeriveAppNames(std::string_view executablePath)
{
    const std::size_t slash = executablePath.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view fileName = executablePath.substr(nameStart);
    const std::size_t dot = fileName.find_last_of('.');
    const std::string_view stem = dot == std::string_view::npos ? fileName : fileName.substr(0, dot);

    AppNames names;
    names.appName = std::string(stem);
    names.helpFile = std::string(executablePath.substr(0, nameStart)) + std::string(stem) + ".HLP";
    names.profileName = names.appName + ".INI";
    return names;
}
