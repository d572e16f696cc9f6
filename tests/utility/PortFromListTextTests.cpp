// How OK reads a port number from the list's text: three bytes compared with
// "COM", folding only A to Z, then the rest read as the C library's atoi reads
// it, wrapping modulo 2^32 instead of overflowing.

#include "PortSelection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// The text in a buffer of exactly its own size, so that a read past the
// terminator is caught by the address sanitizer rather than read as zero.
std::optional<DWORD> PortOf(const std::string& text)
{
    std::vector<char> exact(text.begin(), text.end());
    exact.push_back('\0');
    DWORD port = 0xDEADBEEF;
    if (!PortFromListText(exact.data(), &port)) {
        EXPECT_EQ(port, 0xDEADBEEF) << "a rejected text leaves the number alone";
        return std::nullopt;
    }
    return port;
}

TEST(PortFromListText, ReadsTheNumberAfterTheComPrefix)
{
    struct Case {
        const char* text;
        std::optional<DWORD> port;
    };
    const Case cases[] = {
        {"COM3:", 3u},
        {"COM1:", 1u},
        {"COM8:", 8u},
        {"com3:", 3u},
        {"CoM12", 12u},
        {"cOm7:", 7u},
        {"COM", 0u},
        {"COM:", 0u},
        {"COMx9", 0u},
        {"COM -5", 4294967291u},
        {"COM-1", 0xFFFFFFFFu},
        {"COM+7x", 7u},
        {"COM\t 9", 9u},
        {"COM\n\v\f\r 4", 4u},
        {"COM007:", 7u},
        {"COM--3", 0u},
        {"COM+-3", 0u},
        {"COM- 3", 0u},
        {"COM3 4", 3u},
        {"COM4294967295", 4294967295u},
        {"COM4294967296", 0u},
        {"COM99999999999", static_cast<DWORD>(99999999999ull % 4294967296ull)},
        {"COM-4294967297", 0xFFFFFFFFu},
        {"COM123456789012345678901234567890", 0x4E3F0AD2u},
        {"CO", std::nullopt},
        {"C", std::nullopt},
        {"", std::nullopt},
        {"XCOM3", std::nullopt},
        {" COM3", std::nullopt},
        {"CON3", std::nullopt},
        {"COL3", std::nullopt},
        {"LPT1:", std::nullopt},
        // Only A to Z fold: letters outside ASCII never match, whatever the locale.
        {"\xC7OM3", std::nullopt},
        {"\xC3\x87OM3", std::nullopt},
        {"C\xD6M3", std::nullopt},
        // Bytes above 127 after the prefix are not digits either.
        {"COM\xB3", 0u},
        {"COM\xB9\xB2", 0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.text)));
        EXPECT_EQ(PortOf(c.text), c.port);
    }
}

TEST(PortFromListText, DoesNotLookPastTheTerminatorOfAShortText)
{
    // "CO" followed by what could be an "M" in the bytes after it: the
    // terminator already fails the comparison.
    const char memory[] = {'C', 'O', '\0', 'M', '3', '\0'};
    DWORD port = 0;
    EXPECT_FALSE(PortFromListText(memory, &port));
}

TEST(PortFromListText, ReadsAtMostTheListTextsBuffer)
{
    // The longest text OK can read: 127 characters and the terminator.
    std::string longest = "COM" + std::string(PORT_TEXT_MAX - 1 - 3, '1');
    ASSERT_EQ(longest.size() + 1, static_cast<std::size_t>(PORT_TEXT_MAX));
    DWORD expected = 0;
    for (std::size_t i = 3; i < longest.size(); ++i)
        expected = expected * 10u + 1u;
    EXPECT_EQ(PortOf(longest), expected);
}

}  // namespace
