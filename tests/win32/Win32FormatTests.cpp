// wsprintfA: the formats the utility and its framework use, their flags,
// widths and precisions, and the cap of 1024 characters.

#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

namespace pervo::test {
namespace {

using test::PrintTo;

struct FormatCase {
    const char* name;
    std::function<int(char*)> format;
    std::string expected;
};

class Formatting : public Win32Test, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Formatting, WritesTheTextAndReturnsItsLength)
{
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    const int length = GetParam().format(buffer);
    EXPECT_EQ(std::string(buffer), GetParam().expected);
    EXPECT_EQ(length, static_cast<int>(GetParam().expected.size())) << "the terminator is not counted";
}

#define FORMAT(...) [](char* out) { return wsprintfA(out, __VA_ARGS__); }

// The compiler checks wsprintfA's calls as printf's; %I64 is the original
// formatter's own size prefix, and some cases here are deliberately odd.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-zero-length"
#pragma GCC diagnostic ignored "-Wformat-overflow"

INSTANTIATE_TEST_SUITE_P(
    Cases, Formatting,
    ::testing::Values(
        FormatCase{"Decimal", FORMAT("%d", 42), "42"},
        FormatCase{"DecimalI", FORMAT("%i", 42), "42"},
        FormatCase{"Negative", FORMAT("%d", -42), "-42"},
        FormatCase{"Zero", FORMAT("%d", 0), "0"},
        FormatCase{"IntMin", FORMAT("%d", INT_MIN), "-2147483648"},
        FormatCase{"IntMax", FORMAT("%d", INT_MAX), "2147483647"},
        FormatCase{"Unsigned", FORMAT("%u", 4294967295u), "4294967295"},
        FormatCase{"UnsignedOfMinusOne", FORMAT("%u", static_cast<unsigned>(-1)), "4294967295"},
        FormatCase{"LowerHex", FORMAT("%x", 0xBEEFu), "beef"},
        FormatCase{"UpperHex", FORMAT("%X", 0xBEEFu), "BEEF"},
        FormatCase{"HexWithPrefix", FORMAT("%#x", 255u), "0xff"},
        FormatCase{"HexOfZeroHasNoPrefix", FORMAT("%#x", 0u), "0"},
        FormatCase{"ZeroPaddedHex", FORMAT("%08X", 0xBEEFu), "0000BEEF"},
        FormatCase{"String", FORMAT("%s", "COM3:"), "COM3:"},
        FormatCase{"NullString", FORMAT("%s", static_cast<const char*>(nullptr)), "(null)"},
        FormatCase{"Character", FORMAT("%c", 'A'), "A"},
        FormatCase{"Width", FORMAT("%5d", 42), "   42"},
        FormatCase{"WidthLeft", FORMAT("%-5d|", 42), "42   |"},
        FormatCase{"WidthZero", FORMAT("%05d", 42), "00042"},
        FormatCase{"WidthZeroNegative", FORMAT("%05d", -42), "-0042"},
        FormatCase{"WidthNarrowerThanTheNumber", FORMAT("%2d", 12345), "12345"},
        FormatCase{"LeftWinsOverZero", FORMAT("%-05d|", 42), "42   |"},
        FormatCase{"PrecisionOfANumber", FORMAT("%.3d", 7), "007"},
        FormatCase{"PrecisionCutsAString", FORMAT("%.2s", "COM3:"), "CO"},
        FormatCase{"PrecisionLongerThanTheString", FORMAT("%.9s", "COM3:"), "COM3:"},
        FormatCase{"StringWidth", FORMAT("%7s|", "COM3:"), "  COM3:|"},
        FormatCase{"StringWidthLeft", FORMAT("%-7s|", "COM3:"), "COM3:  |"},
        FormatCase{"SixtyFourBits", FORMAT("%I64d", static_cast<long long>(-1)), "-1"},
        FormatCase{"SixtyFourBitsLarge", FORMAT("%I64u", 1ULL << 40), "1099511627776"},
        FormatCase{"SixtyFourBitsMin", FORMAT("%I64d", LLONG_MIN), "-9223372036854775808"},
        FormatCase{"SixtyFourBitsHex", FORMAT("%I64X", 0x123456789ABCDEFULL), "123456789ABCDEF"},
        FormatCase{"Long", FORMAT("%ld", 5L), "5"},
        FormatCase{"Short", FORMAT("%hd", 65537), "1"},
        FormatCase{"ShortNegative", FORMAT("%hd", 65535), "-1"},
        FormatCase{"Percent", FORMAT("100%%"), "100%"},
        FormatCase{"TextAround", FORMAT("COM%d:", 3), "COM3:"},
        FormatCase{"Several", FORMAT("%s=%d (%x)", "port", 10, 10u), "port=10 (a)"},
        FormatCase{"UnknownTypeStandsForItself", FORMAT("a%qb"), "aqb"},
        FormatCase{"LonePercentAtTheEnd", FORMAT("50%"), "50%"},
        FormatCase{"Empty", FORMAT(""), ""}),
    CaseName());

#pragma GCC diagnostic pop
#undef FORMAT

TEST_F(Win32Test, WsprintfWritesAtMost1024CharactersWithTheTerminator)
{
    const std::string longText(2000, 'x');
    std::vector<char> buffer(1100, '#');
    EXPECT_EQ(wsprintfA(buffer.data(), "%s", longText.c_str()), 1023);
    EXPECT_EQ(std::string(buffer.data()), std::string(1023, 'x'));
    EXPECT_EQ(buffer[1024], '#') << "nothing is written past the cap";

    std::fill(buffer.begin(), buffer.end(), '#');
    EXPECT_EQ(wsprintfA(buffer.data(), "ab%s", longText.c_str()), 1023);
    EXPECT_EQ(std::string(buffer.data()), "ab" + std::string(1021, 'x'));

    std::fill(buffer.begin(), buffer.end(), '#');
    EXPECT_EQ(wsprintfA(buffer.data(), "%s%d", std::string(1022, 'y').c_str(), 12345), 1023);
    EXPECT_EQ(std::string(buffer.data()), std::string(1022, 'y') + "1");
    EXPECT_EQ(buffer[1024], '#');
}

TEST_F(Win32Test, WsprintfCapsAWideFieldToo)
{
    std::vector<char> buffer(1100, '#');
    EXPECT_EQ(wsprintfA(buffer.data(), "%2000d", 7), 1023);
    EXPECT_EQ(buffer[1023], '\0');
    EXPECT_EQ(buffer[1024], '#');
}

}  // namespace
}  // namespace pervo::test
