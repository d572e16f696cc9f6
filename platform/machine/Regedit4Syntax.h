#pragma once

#include "Registry.h"

#include <cstddef>
#include <string_view>

namespace pervo::machine::regedit4 {

// What the hive's text writer and reader agree on: the REGEDIT4 format as
// registry exports use it.

inline constexpr RegistryType kTypeString = 1;
inline constexpr RegistryType kTypeBinary = 3;
inline constexpr RegistryType kTypeDword = 4;

inline constexpr std::string_view kHeader = "REGEDIT4";
inline constexpr std::string_view kNewline = "\r\n";

// Hex lists are wrapped so that no line, its trailing backslash included, is
// wider than this; continuation lines are indented by two spaces.
inline constexpr std::size_t kLineWidth = 80;
inline constexpr std::string_view kContinuationIndent = "  ";

// Where the next quote or backslash is, from position on; npos if none. A
// plain loop: it runs over every name and string of a hive.
inline std::size_t FindQuoteOrBackslash(std::string_view text, std::size_t position)
{
    const char* const data = text.data();
    for (const std::size_t size = text.size(); position < size; ++position) {
        if (data[position] == '"' || data[position] == '\\')
            return position;
    }
    return std::string_view::npos;
}

}  // namespace pervo::machine::regedit4
