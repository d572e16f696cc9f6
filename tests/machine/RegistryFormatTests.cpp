// The hive's REGEDIT4 text: what each kind of value looks like on disk, what
// a hand-edited file may hold, what is refused and where, and that any tree
// survives being written and read back.

#include "FaultInjectingCalls.h"
#include "RegistryTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace pervo::test {
namespace {

using machine::FormatRegedit4;
using machine::ParseRegedit4;
using machine::RegistryKey;
using machine::RegistryValue;
using machine::SameTree;

const std::string kHeader = "REGEDIT4\r\n\r\n";

// Reads text that must parse.
std::unique_ptr<RegistryKey> MustParse(std::string_view text)
{
    auto parsed = ParseRegedit4(text, "hive.reg");
    EXPECT_TRUE(parsed.IsOk()) << parsed.GetStatus().Message();
    return parsed.IsOk() ? std::move(parsed.Value()) : machine::NewHiveTree();
}

// Both round-trip laws: reading what was written gives the same tree, and
// writing that again gives the same text.
void ExpectRoundTrip(const RegistryKey& tree)
{
    const std::string text = FormatRegedit4(tree);
    auto parsed = ParseRegedit4(text, "hive.reg");
    ASSERT_TRUE(parsed.IsOk()) << parsed.GetStatus().Message() << "\n" << text;
    EXPECT_TRUE(SameTree(*parsed.Value(), tree)) << text << "\nread back as\n" << FormatRegedit4(*parsed.Value());
    EXPECT_EQ(FormatRegedit4(*parsed.Value()), text);
}

// Names each case of a table after its label.
template <typename Case>
std::string LabelOf(const ::testing::TestParamInfo<Case>& test)
{
    return test.param.label;
}

// ---- One value of each kind -------------------------------------------------

struct ValueCase {
    const char* label;
    std::string name;
    RegistryValue value;
    std::string line;  // as the file holds it, without the line break
};

class FormatValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(FormatValue, WritesTheExportLayoutAndReadsBackTheSameValue)
{
    const auto& param = GetParam();
    const auto tree = TreeWith("HKEY_CURRENT_USER\\T", param.name, param.value);

    EXPECT_EQ(FormatRegedit4(*tree),
              kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\T]", param.line, ""}));
    ExpectRoundTrip(*tree);
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, FormatValue,
    ::testing::Values(
        ValueCase{"Dword", "v", Dword(12), "\"v\"=dword:0000000c"},
        ValueCase{"DwordAllBits", "v", Dword(0xFFFFFFFF), "\"v\"=dword:ffffffff"},
        ValueCase{"DwordZero", "v", Dword(0), "\"v\"=dword:00000000"},
        ValueCase{"String", "v", Sz("ab"), "\"v\"=\"ab\""},
        ValueCase{"EmptyString", "v", Sz(""), "\"v\"=\"\""},
        ValueCase{"StringWithQuotesAndBackslashes", "v", Sz("say \"hi\" C:\\dir\\"),
                  "\"v\"=\"say \\\"hi\\\" C:\\\\dir\\\\\""},
        ValueCase{"StringWithCommentAndBracketCharacters", "v", Sz("; [x]=@"), "\"v\"=\"; [x]=@\""},
        ValueCase{"StringWithTabAndHighBytes", "v", Sz("caf\xE9\tx"), "\"v\"=\"caf\xE9\tx\""},
        ValueCase{"NameWithQuotesAndBackslashes", "a\"b\\c", Dword(1), "\"a\\\"b\\\\c\"=dword:00000001"},
        ValueCase{"DefaultValue", "", Sz("x"), "@=\"x\""},
        ValueCase{"NameThatIsAnAtSign", "@", Dword(1), "\"@\"=dword:00000001"},
        ValueCase{"StringWithoutItsNul", "v", Raw(kRegSz, {'a', 'b'}), "\"v\"=hex(1):61,62"},
        ValueCase{"StringWithNoBytes", "v", Raw(kRegSz, {}), "\"v\"=hex(1):"},
        ValueCase{"StringWithEmbeddedNul", "v", Raw(kRegSz, {'a', 0, 'b', 0}), "\"v\"=hex(1):61,00,62,00"},
        ValueCase{"StringWithLineBreak", "v", Raw(kRegSz, {'a', '\n', 0}), "\"v\"=hex(1):61,0a,00"},
        ValueCase{"StringWithCarriageReturn", "v", Raw(kRegSz, {'a', '\r', 0}), "\"v\"=hex(1):61,0d,00"},
        ValueCase{"StringWithTwoNuls", "v", Raw(kRegSz, {'a', 0, 0}), "\"v\"=hex(1):61,00,00"},
        ValueCase{"Binary", "v", Raw(kRegBinary, {0x01, 0x02, 0xFF}), "\"v\"=hex:01,02,ff"},
        ValueCase{"EmptyBinary", "v", Raw(kRegBinary, {}), "\"v\"=hex:"},
        ValueCase{"DwordOfThreeBytes", "v", Raw(kRegDword, {1, 2, 3}), "\"v\"=hex(4):01,02,03"},
        ValueCase{"DwordOfFiveBytes", "v", Raw(kRegDword, {1, 2, 3, 4, 5}), "\"v\"=hex(4):01,02,03,04,05"},
        ValueCase{"DwordOfNoBytes", "v", Raw(kRegDword, {}), "\"v\"=hex(4):"},
        ValueCase{"ExpandString", "v", Raw(kRegExpandSz, {'%', 0}), "\"v\"=hex(2):25,00"},
        ValueCase{"MultiString", "v", Raw(kRegMultiSz, {'a', 0, 'b', 0, 0}), "\"v\"=hex(7):61,00,62,00,00"},
        ValueCase{"TypeNone", "v", Raw(0, {}), "\"v\"=hex(0):"},
        ValueCase{"TypeInTheHighRange", "v", Raw(0x80000001, {0xAB}), "\"v\"=hex(80000001):ab"},
        ValueCase{"TypeTen", "v", Raw(10, {0}), "\"v\"=hex(a):00"}),
    LabelOf<ValueCase>);

// ---- Layout of the whole file -------------------------------------------------

TEST(FormatRegedit4, EmptyHiveIsTheHeaderAlone)
{
    EXPECT_EQ(FormatRegedit4(*machine::NewHiveTree()), kHeader);
    ExpectRoundTrip(*machine::NewHiveTree());
}

TEST(FormatRegedit4, WritesEveryKeyInCreationOrderWithItsParents)
{
    auto tree = TreeWith("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola", "CommPort", Dword(2));
    machine::CreateKeyPath(*tree, machine::SplitKeyPath("HKEY_CURRENT_USER\\Empty").Value(), nullptr);
    auto& other = machine::CreateKeyPath(*tree, machine::SplitKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\Other").Value(), nullptr);
    machine::StoreValue(other, "", Sz("d"));
    machine::StoreValue(other, "Second", Dword(7));

    EXPECT_EQ(FormatRegedit4(*tree), kHeader + CrLfLines({
                                                   "[HKEY_LOCAL_MACHINE]",
                                                   "",
                                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE]",
                                                   "",
                                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm]",
                                                   "",
                                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola]",
                                                   "\"CommPort\"=dword:00000002",
                                                   "",
                                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\Other]",
                                                   "@=\"d\"",
                                                   "\"Second\"=dword:00000007",
                                                   "",
                                                   "[HKEY_CURRENT_USER]",
                                                   "",
                                                   "[HKEY_CURRENT_USER\\Empty]",
                                                   "",
                                               }));
    ExpectRoundTrip(*tree);
}

TEST(FormatRegedit4, WrapsLongHexListsAtEightyColumns)
{
    std::vector<std::uint8_t> bytes(60);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    const auto tree = TreeWith("HKEY_CURRENT_USER\\T", "Data", Raw(kRegBinary, bytes));

    EXPECT_EQ(FormatRegedit4(*tree),
              kHeader + CrLfLines({
                            "[HKEY_CURRENT_USER]",
                            "",
                            "[HKEY_CURRENT_USER\\T]",
                            "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\",
                            "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\",
                            "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b",
                            "",
                        }));
    ExpectRoundTrip(*tree);
}

TEST(FormatRegedit4, NoHexLineIsWiderThanEightyColumnsWhateverTheSizes)
{
    for (const std::size_t nameLength : {0, 1, 9, 60, 66, 67, 68, 69, 70, 75, 100}) {
        for (std::size_t size = 0; size <= 120; ++size) {
            const std::string name(nameLength, 'n');
            const auto tree = TreeWith("HKEY_CURRENT_USER\\T", name, Raw(kRegMultiSz, std::vector<std::uint8_t>(size, 0xAB)));
            const std::string text = FormatRegedit4(*tree);
            SCOPED_TRACE("name of " + std::to_string(nameLength) + " characters, " + std::to_string(size) + " bytes");
            // A name too long for the width gets its own first line, and
            // only that line is wider.
            const std::string prefix = "\"" + name + "\"=hex(7):";
            std::size_t start = 0;
            for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
                const auto line = std::string_view(text).substr(start, end - start);
                EXPECT_LE(line.size(), line.starts_with(prefix) ? std::max<std::size_t>(80, prefix.size() + 1) : 80) << line;
            }
            ExpectRoundTrip(*tree);
        }
    }
}

// ---- What a file edited by hand may hold ----------------------------------------

struct AcceptedCase {
    const char* label;
    std::string text;
    std::string canonical;  // the same tree as this writer lays it out
};

class ParseAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(ParseAccepted, ReadsTheSameTreeAsItsCanonicalForm)
{
    const auto tree = MustParse(GetParam().text);
    EXPECT_EQ(FormatRegedit4(*tree), GetParam().canonical);
}

const std::string kOneValue = kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\A]", "\"x\"=dword:00000001", ""});

INSTANTIATE_TEST_SUITE_P(
    HandEdited, ParseAccepted,
    ::testing::Values(
        AcceptedCase{"CanonicalText", kOneValue, kOneValue},
        AcceptedCase{"LineFeedsOnly", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000001\n", kOneValue},
        AcceptedCase{"NoFinalLineBreak", "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=dword:1", kOneValue},
        AcceptedCase{"CommentsAndBlankLines",
                     "REGEDIT4\n; exported by hand\n\n\n[HKEY_CURRENT_USER\\A]\n  ; indented comment\n\n\"x\"=dword:1\n\n",
                     kOneValue},
        AcceptedCase{"SpacesAroundEqualsAndAtLineEnds", "REGEDIT4\n  [HKEY_CURRENT_USER\\A]  \n\"x\" = dword:1 \t\n", kOneValue},
        AcceptedCase{"UppercaseHexAndShortDword", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=DWORD:1\n", kOneValue},
        AcceptedCase{"ByteOrderMark", "\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1\n", kOneValue},
        AcceptedCase{"RootKeyInAnyCase", "REGEDIT4\n[hkey_current_user\\A]\n\"x\"=dword:1\n", kOneValue},
        AcceptedCase{"DwordAsHexOfType4", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(4):01,00,00,00\n", kOneValue},
        AcceptedCase{"LaterValueWithTheSameNameReplacesTheEarlier",
                     "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:5\n\"X\"=dword:1\n", kOneValue},
        AcceptedCase{"KeysInAnyOrderWithParentsImplied",
                     "REGEDIT4\n[HKEY_CURRENT_USER\\A\\B]\n\"b\"=dword:2\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:1\n",
                     kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\A]", "\"a\"=dword:00000001", "",
                                          "[HKEY_CURRENT_USER\\A\\B]", "\"b\"=dword:00000002", ""})},
        AcceptedCase{"SameKeyTwiceInAnotherCaseIsOneKeyKeepingTheFirstCase",
                     "REGEDIT4\n[HKEY_CURRENT_USER\\Abc]\n\"x\"=dword:1\n[HKEY_CURRENT_USER\\ABC]\n\"y\"=dword:2\n",
                     kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\Abc]", "\"x\"=dword:00000001",
                                          "\"y\"=dword:00000002", ""})},
        AcceptedCase{"HexContinuedOverLines",
                     "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,02,\\\n    03,04,\\\n  05\n",
                     kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\A]", "\"x\"=hex:01,02,03,04,05", ""})},
        AcceptedCase{"HexWithSpacesAndCapitals", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=HEX(2): 4A , 0\n",
                     kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\A]", "\"x\"=hex(2):4a,00", ""})},
        AcceptedCase{"QuotedEmptyNameIsTheDefaultValue", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"\"=\"d\"\n",
                     kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\A]", "@=\"d\"", ""})},
        AcceptedCase{"BracketInsideAKeyName", "REGEDIT4\n[HKEY_CURRENT_USER\\a]b]\n",
                     kHeader + CrLfLines({"[HKEY_CURRENT_USER]", "", "[HKEY_CURRENT_USER\\a]b]", ""})},
        AcceptedCase{"ValueOnARootKey", "REGEDIT4\n[HKEY_LOCAL_MACHINE]\n\"x\"=dword:1\n",
                     kHeader + CrLfLines({"[HKEY_LOCAL_MACHINE]", "\"x\"=dword:00000001", ""})},
        AcceptedCase{"RootKeysAloneAreNotWrittenBack", "REGEDIT4\n[HKEY_USERS]\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n", kHeader}),
    LabelOf<AcceptedCase>);

// ---- What is refused, and where ----------------------------------------------------

struct RefusedCase {
    const char* label;
    std::string text;
    int line;
    const char* says;
};

class ParseRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(ParseRefused, FailsAsCorruptNamingFileAndLine)
{
    const auto& param = GetParam();
    const auto parsed = ParseRegedit4(param.text, "hive.reg");
    ASSERT_FALSE(parsed.IsOk());
    EXPECT_EQ(parsed.GetStatus().GetError(), machine::Error::Corrupt);
    const std::string message = parsed.GetStatus().Message();
    const std::string where = "hive.reg:" + std::to_string(param.line) + ": ";
    EXPECT_EQ(message.substr(0, where.size()), where) << message;
    EXPECT_NE(message.find(param.says), std::string::npos) << message;
}

// A value line on line 4, after the header, a blank line and a key.
std::string ValueLine(std::string_view line)
{
    return kHeader + "[HKEY_CURRENT_USER\\A]\r\n" + std::string(line) + "\r\n";
}

std::string DeepKey(std::size_t depth)
{
    std::string path = "HKEY_CURRENT_USER";
    for (std::size_t i = 1; i < depth; ++i)
        path += "\\k";
    return kHeader + "[" + path + "]\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, ParseRefused,
    ::testing::Values(
        RefusedCase{"EmptyFile", "", 1, "REGEDIT4"},
        RefusedCase{"OtherHeader", "REGEDIT5\r\n\r\n", 1, "REGEDIT4"},
        RefusedCase{"HeaderNotOnTheFirstLine", "\r\nREGEDIT4\r\n", 1, "REGEDIT4"},
        RefusedCase{"ValueBeforeAnyKey", kHeader + "\"a\"=dword:00000001\r\n", 3, "before any [key]"},
        RefusedCase{"StrayText", kHeader + "hello\r\n", 3, "expected a [key]"},
        RefusedCase{"KeyWithoutClosingBracket", kHeader + "[HKEY_CURRENT_USER\\A\r\n", 3, "does not end with ]"},
        RefusedCase{"UnknownRootKey", kHeader + "[HKEY_NOWHERE\\A]\r\n", 3, "root key"},
        RefusedCase{"AbbreviatedRootKey", kHeader + "[HKLM\\A]\r\n", 3, "root key"},
        RefusedCase{"KeyDeletion", kHeader + "[-HKEY_CURRENT_USER\\A]\r\n", 3, "root key"},
        RefusedCase{"EmptyKeyPath", kHeader + "[]\r\n", 3, "empty"},
        RefusedCase{"TwoBackslashesInAPath", kHeader + "[HKEY_CURRENT_USER\\\\A]\r\n", 3, "empty key name"},
        RefusedCase{"BackslashAtTheEndOfAPath", kHeader + "[HKEY_CURRENT_USER\\A\\]\r\n", 3, "empty key name"},
        RefusedCase{"ControlCharacterInAKeyName", kHeader + "[HKEY_CURRENT_USER\\A\x01]\r\n", 3, "control character"},
        RefusedCase{"KeyDeeperThanTheRegistryAllows", DeepKey(513), 3, "512"},
        RefusedCase{"BadEscapeInAString", ValueLine("\"a\"=\"x\\qy\""), 4, "bad escape \\q"},
        RefusedCase{"BadEscapeInAName", ValueLine("\"a\\n\"=dword:1"), 4, "bad escape \\n"},
        RefusedCase{"UnterminatedString", ValueLine("\"a\"=\"abc"), 4, "string has no closing quote"},
        RefusedCase{"StringEndingInABackslash", ValueLine("\"a\"=\"abc\\"), 4, "string has no closing quote"},
        RefusedCase{"UnterminatedName", ValueLine("\"abc=dword:1"), 4, "value name has no closing quote"},
        RefusedCase{"ControlCharacterInAValueName", ValueLine("\"a\x02\"=dword:1"), 4, "control character"},
        RefusedCase{"TextAfterAString", ValueLine("\"a\"=\"b\" c"), 4, "after the closing quote"},
        RefusedCase{"MissingEquals", ValueLine("\"a\" dword:1"), 4, "expected ="},
        RefusedCase{"DefaultValueWithoutEquals", ValueLine("@\"x\""), 4, "expected ="},
        RefusedCase{"UnknownValueType", ValueLine("\"a\"=qword:1"), 4, "unknown value data"},
        RefusedCase{"ValueDeletion", ValueLine("\"a\"=-"), 4, "unknown value data"},
        RefusedCase{"NoData", ValueLine("\"a\"="), 4, "unknown value data"},
        RefusedCase{"DwordOfNineDigits", ValueLine("\"a\"=dword:123456789"), 4, "dword"},
        RefusedCase{"DwordWithoutDigits", ValueLine("\"a\"=dword:"), 4, "dword"},
        RefusedCase{"DwordWithANonHexDigit", ValueLine("\"a\"=dword:12z4"), 4, "dword"},
        RefusedCase{"BadHexByte", ValueLine("\"a\"=hex:01,0g"), 4, "bad hex byte \"0g\""},
        RefusedCase{"HexByteOfThreeDigits", ValueLine("\"a\"=hex:012"), 4, "bad hex byte"},
        RefusedCase{"EmptyHexEntry", ValueLine("\"a\"=hex:01,,02"), 4, "empty entry"},
        RefusedCase{"HexListEndingInAComma", ValueLine("\"a\"=hex:01,"), 4, "empty entry"},
        RefusedCase{"BadHexTypeNumber", ValueLine("\"a\"=hex(z):00"), 4, "hex(...)"},
        RefusedCase{"HexTypeOfNineDigits", ValueLine("\"a\"=hex(123456789):00"), 4, "hex(...)"},
        RefusedCase{"HexTypeWithoutClosingParenthesis", ValueLine("\"a\"=hex(2:00"), 4, "hex(...)"},
        RefusedCase{"HexWithoutColon", ValueLine("\"a\"=hex 00"), 4, "expected :"},
        RefusedCase{"BadByteOnAContinuationLine", ValueLine("\"a\"=hex:01,02,\\\r\n  03,04,\\\r\n  xx"), 6, "bad hex byte \"xx\""},
        RefusedCase{"HexGoingOnPastTheEnd", kHeader + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:01,\\", 4, "past the end"},
        RefusedCase{"ErrorLinesCountedWithLineFeedsOnly",
                    "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:1\n\n; c\n\"b\"=bad\n", 7, "unknown value data"}),
    LabelOf<RefusedCase>);

TEST(ParseRegedit4, KeysNestedAsDeepAsTheRegistryAllowsAreRead)
{
    const auto tree = MustParse(DeepKey(512));
    const RegistryKey* key = tree->FindSubkey("HKEY_CURRENT_USER");
    std::size_t depth = 1;
    while (key != nullptr && !key->subkeys.empty()) {
        key = key->subkeys.front().get();
        ++depth;
    }
    EXPECT_EQ(depth, 512u);
    ExpectRoundTrip(*tree);
}

// ---- Any tree survives a round trip --------------------------------------------

// Names and data drawn from the characters that matter to the format: quotes,
// backslashes, brackets, the comment mark, spaces and bytes above 127.
class RandomTrees {
public:
    explicit RandomTrees(unsigned seed) : m_random(seed) {}

    std::unique_ptr<RegistryKey> Next()
    {
        auto tree = machine::NewHiveTree();
        const auto keys = Below(12);
        for (unsigned k = 0; k < keys; ++k) {
            std::vector<std::string> names{std::string(machine::kRootKeyNames[Below(5)])};
            if (Below(4) == 0)
                names.emplace_back("SOFTWARE");
            for (unsigned depth = Below(4); depth > 0; --depth)
                names.push_back(Make(Text::KeyName));
            std::vector<std::string_view> path(names.begin(), names.end());
            auto& key = machine::CreateKeyPath(*tree, path, nullptr);
            for (unsigned v = Below(5); v > 0; --v)
                machine::StoreValue(key, Below(6) == 0 ? std::string() : Make(Text::ValueName), Value());
        }
        return tree;
    }

private:
    unsigned Below(unsigned bound) { return std::uniform_int_distribution<unsigned>(0, bound - 1)(m_random); }

    enum class Text { KeyName, ValueName, Data };

    std::string Make(Text kind)
    {
        static const std::string kCharacters = "abcXYZ019 _-.,:()\"\\;[]=@\x7F\xE9\xFF\t";
        // Names hold no control characters, and key names no backslash.
        const auto usable = static_cast<unsigned>(kCharacters.size()) - (kind == Text::Data ? 0 : 1);
        std::string text;
        const unsigned length = (kind == Text::KeyName ? 1 : 0) + Below(8);
        for (unsigned i = 0; i < length; ++i) {
            const char c = kCharacters[Below(usable)];
            text += (c == '\\' && kind == Text::KeyName) ? '/' : c;
        }
        return text;
    }

    RegistryValue Value()
    {
        constexpr machine::RegistryType kTypes[] = {kRegSz, kRegSz, kRegExpandSz, kRegBinary, kRegDword, kRegDword, kRegMultiSz, 0, 11, 0xFFFFFFFF};
        const machine::RegistryType type = kTypes[Below(std::size(kTypes))];
        if (type == kRegSz && Below(2) == 0)
            return Sz(Make(Text::Data));
        if (type == kRegDword && Below(2) == 0)
            return Dword(static_cast<std::uint32_t>(m_random()));
        std::vector<std::uint8_t> data(Below(4) == 0 ? Below(300) : Below(12));
        for (auto& byte : data)
            byte = static_cast<std::uint8_t>(Below(256));
        return {type, std::move(data)};
    }

    std::mt19937 m_random;
};

TEST(Regedit4RoundTrip, AnyTreeReadsBackTheSameAndWritesTheSameText)
{
    RandomTrees trees(20240601);
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE("tree " + std::to_string(i));
        ExpectRoundTrip(*trees.Next());
    }
}

// ---- Whatever bytes a file holds --------------------------------------------------

// Every input either reads, and then obeys the round-trip laws, or fails as
// corrupt on a line the file has. Run under the sanitizers this also shows
// that no input reads out of bounds.
void ExpectReadsOrFailsCleanly(std::string_view text)
{
    const auto parsed = ParseRegedit4(text, "fuzz.reg");
    if (parsed.IsOk()) {
        ExpectRoundTrip(*parsed.Value());
        return;
    }
    const std::string message = parsed.GetStatus().Message();
    ASSERT_EQ(parsed.GetStatus().GetError(), machine::Error::Corrupt) << message;
    ASSERT_EQ(message.rfind("fuzz.reg:", 0), 0u) << message;
    const std::size_t line = std::stoul(message.substr(9));
    EXPECT_GE(line, 1u);
    EXPECT_LE(line, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1) << message;
}

TEST(Regedit4Robustness, MutatedFilesReadOrFailCleanly)
{
    RandomTrees trees(7);
    std::mt19937 generator(99);
    const auto below = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(generator); };
    static const std::string kTokens[] = {"\\", "\"", "[", "]", ",\\\r\n", "\r\n", "\n", "\r", "=", "@", ";", "hex(", "dword:", ":", ",", std::string(1, '\0')};
    int read = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string text = FormatRegedit4(*trees.Next());
        for (std::size_t edits = 1 + below(4); edits > 0; --edits) {
            const std::size_t at = below(text.size() + 1);
            switch (below(4)) {
            case 0:
                if (at < text.size())
                    text[at] = static_cast<char>(below(256));
                break;
            case 1:
                text.insert(at, kTokens[below(std::size(kTokens))]);
                break;
            case 2:
                text.erase(at, below(8));
                break;
            default:
                text.insert(at, text.substr(below(text.size() + 1), below(40)));
                break;
            }
        }
        SCOPED_TRACE("input " + std::to_string(i));
        ExpectReadsOrFailsCleanly(text);
        read += ParseRegedit4(text, "fuzz.reg").IsOk() ? 1 : 0;
    }
    // The mutations must leave some files readable, or the laws above were
    // hardly put to the test.
    EXPECT_GT(read, 100);
}

TEST(Regedit4Robustness, RandomBytesReadOrFailCleanly)
{
    std::mt19937 generator(5);
    for (int i = 0; i < 2000; ++i) {
        std::string text = i % 2 == 0 ? "REGEDIT4\r\n" : "";
        const std::size_t size = generator() % 200;
        for (std::size_t b = 0; b < size; ++b)
            text += static_cast<char>(generator() % 4 == 0 ? "[]\\\"\n=,:"[generator() % 8] : generator() % 256);
        SCOPED_TRACE("input " + std::to_string(i));
        ExpectReadsOrFailsCleanly(text);
    }
}

// Files with very many keys or values in one place, or very long lines, are
// read in time proportional to their size. Nothing here is timed: a reader
// that slowed down with the square of the size would take hours, and the
// suite's own time-out would catch it.
TEST(Regedit4Robustness, LargeFilesAreRead)
{
    constexpr int kCount = 100'000;
    std::string siblings = "REGEDIT4\n";
    std::string values = "REGEDIT4\n[HKEY_CURRENT_USER\\Many]\n";
    for (int i = 0; i < kCount; ++i) {
        siblings += "[HKEY_CURRENT_USER\\Key" + std::to_string(i) + "]\n";
        values += "\"Value" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\n";
    }
    EXPECT_EQ(MustParse(siblings)->FindSubkey("HKEY_CURRENT_USER")->subkeys.size(), std::size_t{kCount});
    const auto many = MustParse(values);
    EXPECT_EQ(many->FindSubkey("HKEY_CURRENT_USER")->FindSubkey("Many")->values.size(), std::size_t{kCount});

    const auto big = TreeWith("HKEY_CURRENT_USER\\Big", "Blob", Raw(kRegBinary, std::vector<std::uint8_t>(1 << 20, 0x5A)));
    ExpectRoundTrip(*big);

    std::string longPath = "REGEDIT4\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 500'000; ++i)
        longPath += "\\a";
    longPath += "]\n";
    ExpectReadsOrFailsCleanly(longPath);

    ExpectReadsOrFailsCleanly("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:" + std::string(2'000'000, ',') + "\n");
    ExpectReadsOrFailsCleanly("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"" + std::string(2'000'000, '\\'));
}

}  // namespace
}  // namespace pervo::test
