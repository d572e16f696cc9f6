#include "VersionInfo.h"

#include "Win32Api.h"

namespace pervo::desktop {

std::string VersionText()
{
    const HRSRC found = FindResourceA(kImageBase, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(RT_VERSION_ID));
    const auto* version = static_cast<const VersionResource*>(LockResource(LoadResource(kImageBase, found)));
    if (!version)
        return "pervo (no version record)\n";
    std::string product = "pervo";
    for (std::size_t i = 0; i < version->stringCount; ++i) {
        if (std::string(version->strings[i].name) == "ProductName")
            product = version->strings[i].value;
    }
    auto dotted = [](const WORD (&parts)[4]) {
        return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
               std::to_string(parts[3]);
    };
    std::string text = product + " " + dotted(version->fileVersion) + "\n";
    text += "FileVersion (fixed): " + dotted(version->fileVersion) + "\n";
    text += "ProductVersion (fixed): " + dotted(version->productVersion) + "\n";
    text += "FileOS: " + std::to_string(version->fileOS) + "\n";
    text += "FileType: " + std::to_string(version->fileType) + "\n";
    text += "Block: " + std::string(version->block) + "\n";
    for (std::size_t i = 0; i < version->stringCount; ++i)
        text += std::string(version->strings[i].name) + ": " + version->strings[i].value + "\n";
    return text;
}

}  // namespace pervo::desktop
