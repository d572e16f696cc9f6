// The port number a list text names, against a reference written straight
// from the rules: the first three bytes are "COM" with only A to Z folded,
// then the number is read as the C library's atoi reads it (blanks, one
// sign, digits), wrapping modulo 2^32. Where the number fits an int, the C
// library's own atoi must agree as well.

#include "FuzzCheck.h"

#include "PortSelection.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using pervo::fuzz::Check;
using pervo::fuzz::Printable;

namespace {

char FoldAToZ(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithCom(const char* text)
{
    // Stops at the terminator: it matches no letter.
    return FoldAToZ(text[0]) == 'C' && FoldAToZ(text[1]) == 'O' && FoldAToZ(text[2]) == 'M';
}

struct Reading {
    std::uint32_t value = 0;
    std::size_t digits = 0;
};

Reading ReferenceNumber(const char* text)
{
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    std::uint64_t value = 0;
    Reading reading;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text, ++reading.digits)
        value = (value * 10 + static_cast<std::uint64_t>(*text - '0')) % (std::uint64_t{1} << 32);
    reading.value = static_cast<std::uint32_t>(negative ? (std::uint64_t{1} << 32) - value : value);
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The list's text is a C string: it ends at its first NUL.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const std::string shown = Printable(std::string(text.data()));

    DWORD port = 0;
    const BOOL named = PortFromListText(text.data(), &port);
    const bool expected = StartsWithCom(text.data());
    Check((named != FALSE) == expected, "the COM prefix is misjudged for " + shown);
    if (!expected)
        return 0;
    const Reading reading = ReferenceNumber(text.data() + 3);
    Check(port == reading.value, "the port number of " + shown + " is " + std::to_string(port) + ", not "
                                     + std::to_string(reading.value));
    // Nine digits always fit an int, with either sign.
    if (reading.digits <= 9) {
        const auto library = static_cast<std::uint32_t>(std::atoi(text.data() + 3));
        Check(port == library, "the port number of " + shown + " differs from atoi's " + std::to_string(library));
    }
    return 0;
}
