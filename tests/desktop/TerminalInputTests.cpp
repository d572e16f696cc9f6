// The terminal's bytes, as keys and mouse reports: each case is what a
// terminal really sends for one thing a person does.

#include "CaseName.h"
#include "TerminalInput.h"
#include "WindowMessages.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pervo::desktop {
namespace {
namespace msg = machine::msg;
using test::PrintTo;
using machine::kAlt;
using machine::kControl;
using machine::kNoModifier;
using machine::kShift;

// Events written the way a reader of a failed case wants to see them.
std::string Describe(const TerminalEvent& event)
{
    std::ostringstream out;
    if (const auto* key = std::get_if<KeyPress>(&event)) {
        out << "key " << key->virtualKey << " mod " << key->modifiers;
        if (key->character)
            out << " '" << key->character << "'";
    } else if (const auto* mouse = std::get_if<MouseEvent>(&event)) {
        out << "mouse " << static_cast<int>(mouse->action) << " button " << static_cast<int>(mouse->button) << " at "
            << mouse->column << "," << mouse->row << " mod " << mouse->modifiers;
    } else {
        out << "other";
    }
    return out.str();
}

std::string DescribeAll(const std::vector<TerminalEvent>& events)
{
    std::string text;
    for (const TerminalEvent& event : events)
        text += Describe(event) + "; ";
    return text;
}

TerminalEvent K(std::uint32_t key, std::uint32_t modifiers = kNoModifier, char character = 0)
{
    return KeyPress{key, modifiers, character};
}

TerminalEvent M(MouseAction action, MouseButton button, int column, int row, std::uint32_t modifiers = kNoModifier)
{
    return MouseEvent{action, button, column, row, modifiers, 0};
}

struct InputCase {
    const char* name;
    std::string bytes;
    std::vector<TerminalEvent> expected;
};

const std::vector<InputCase>& Cases()
{
    static const std::vector<InputCase> cases = {
        {"Enter", "\r", {K(msg::VkReturn)}},
        {"LineFeedIsEnter", "\n", {K(msg::VkReturn)}},
        {"Tab", "\t", {K(msg::VkTab)}},
        {"ShiftTab", "\033[Z", {K(msg::VkTab, kShift)}},
        {"Escape", "\033", {K(msg::VkEscape)}},
        {"Space", " ", {K(msg::VkSpace, kNoModifier, ' ')}},
        {"Backspace", "\x7f", {K(0x08)}},
        {"Letter", "o", {K('O', kNoModifier, 'o')}},
        {"CapitalLetter", "O", {K('O', kShift, 'O')}},
        {"Digit", "7", {K('7', kNoModifier, '7')}},
        {"Punctuation", "?", {K(0, kNoModifier, '?')}},
        {"CtrlC", "\x03", {K('C', kControl, 'c')}},
        {"CtrlQ", "\x11", {K('Q', kControl, 'q')}},
        {"AltLetter", "\033p", {K('P', kAlt, 'p')}},
        {"AltCapital", "\033C", {K('C', kAlt | kShift, 'C')}},
        {"AltSpace", "\033 ", {K(msg::VkSpace, kAlt, ' ')}},
        {"AltEnter", "\033\r", {K(msg::VkReturn, kAlt)}},
        {"EscapeTwice", "\033\033", {K(msg::VkEscape), K(msg::VkEscape)}},
        {"Up", "\033[A", {K(msg::VkUp)}},
        {"Down", "\033[B", {K(msg::VkDown)}},
        {"Right", "\033[C", {K(msg::VkRight)}},
        {"Left", "\033[D", {K(msg::VkLeft)}},
        {"DownApplicationMode", "\033OB", {K(msg::VkDown)}},
        {"AltDownXterm", "\033[1;3B", {K(msg::VkDown, kAlt)}},
        {"AltDownEscapePrefix", "\033\033[B", {K(msg::VkDown, kAlt)}},
        {"CtrlShiftUp", "\033[1;6A", {K(msg::VkUp, kShift | kControl)}},
        {"HomeEnd", "\033[H\033[F", {K(0x24), K(0x23)}},
        {"DeleteAndPageDown", "\033[3~\033[6~", {K(0x2E), K(0x22)}},
        {"F1Xterm", "\033OP", {K(msg::VkF1)}},
        {"F4Xterm", "\033OS", {K(msg::VkF4)}},
        {"F1Vt220", "\033[11~", {K(msg::VkF1)}},
        {"F1LinuxConsole", "\033[[A", {K(msg::VkF1)}},
        {"F5", "\033[15~", {K(msg::VkF1 + 4)}},
        {"F9", "\033[20~", {K(msg::VkF1 + 8)}},
        {"F12", "\033[24~", {K(msg::VkF1 + 11)}},
        {"ShiftF1", "\033[1;2P", {K(msg::VkF1, kShift)}},
        {"AltF4", "\033[1;3S", {K(msg::VkF4, kAlt)}},
        {"CtrlF1", "\033[11;5~", {K(msg::VkF1, kControl)}},
        {"AltF4EscapePrefix", "\033\033OS", {K(msg::VkF4, kAlt)}},
        {"SeveralKeysInOneRead", "\t\033[B\r", {K(msg::VkTab), K(msg::VkDown), K(msg::VkReturn)}},
        {"SgrPressRelease", "\033[<0;11;5M\033[<0;11;5m",
         {M(MouseAction::Press, MouseButton::Left, 10, 4), M(MouseAction::Release, MouseButton::Left, 10, 4)}},
        {"SgrRightPress", "\033[<2;1;1M", {M(MouseAction::Press, MouseButton::Right, 0, 0)}},
        {"SgrMotionWithoutButton", "\033[<35;80;25M", {M(MouseAction::Move, MouseButton::None, 79, 24)}},
        {"SgrDrag", "\033[<32;3;4M", {M(MouseAction::Move, MouseButton::Left, 2, 3)}},
        {"SgrCtrlClick", "\033[<16;2;2M", {M(MouseAction::Press, MouseButton::Left, 1, 1, kControl)}},
        {"SgrWheel", "\033[<64;5;5M\033[<65;5;5M",
         {M(MouseAction::WheelUp, MouseButton::None, 4, 4), M(MouseAction::WheelDown, MouseButton::None, 4, 4)}},
        {"SgrFarColumn", "\033[<0;300;2M", {M(MouseAction::Press, MouseButton::Left, 299, 1)}},
        {"X10Press", std::string("\033[M") + char(32) + char(33 + 10) + char(33 + 4),
         {M(MouseAction::Press, MouseButton::Left, 10, 4)}},
        {"X10Release", std::string("\033[M") + char(32 + 3) + char(33) + char(33),
         {M(MouseAction::Release, MouseButton::None, 0, 0)}},
        {"FocusReportIgnored", "\033[I\033[O", {}},
        {"UnknownTildeIgnored", "\033[99~x", {K('X', kNoModifier, 'x')}},
        {"Utf8CharacterSkipped", "\xc3\xa9o", {K('O', kNoModifier, 'o')}},
        {"BrokenSequenceDropped", "\033[1\x01", {K('A', kControl, 'a')}},
        {"SgrWithWrongCountIgnored", "\033[<0;1M\r", {K(msg::VkReturn)}},
        {"SgrOutsideTheScreenIgnored", "\033[<0;0;5M\033[<0;5;0m", {}},
    };
    return cases;
}

class TerminalInputTest : public testing::TestWithParam<InputCase> {};

TEST_P(TerminalInputTest, ParsesWholeInput)
{
    const InputCase& c = GetParam();
    const ParsedInput parsed = ParseTerminalInput(c.bytes);
    EXPECT_EQ(parsed.consumed, c.bytes.size());
    EXPECT_EQ(DescribeAll(parsed.events), DescribeAll(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Sequences, TerminalInputTest, testing::ValuesIn(Cases()), test::CaseName{});

// A read can end inside a sequence; what is cut keeps for the next read, and
// the two halves make the one key.
TEST(TerminalInputSplitTest, UnfinishedSequencesWaitForTheirRest)
{
    const std::string whole[] = {"\033[1;3B", "\033[<0;11;5M", "\033[20~", "\033[[A", "\xc3\xa9"};
    for (const std::string& sequence : whole) {
        const std::string expected = DescribeAll(ParseTerminalInput(sequence).events);
        for (std::size_t cut = 2; cut < sequence.size(); ++cut) {
            const std::string firstRead = "\t" + sequence.substr(0, cut);
            const ParsedInput first = ParseTerminalInput(firstRead);
            ASSERT_EQ(first.events.size(), 1u) << "cut at " << cut;
            EXPECT_EQ(first.consumed, 1u) << "cut at " << cut;
            const std::string secondRead = firstRead.substr(first.consumed) + sequence.substr(cut);
            const ParsedInput second = ParseTerminalInput(secondRead);
            EXPECT_EQ(second.consumed, secondRead.size());
            EXPECT_EQ(DescribeAll(second.events), expected) << "cut at " << cut;
        }
    }
}

TEST(TerminalInputSplitTest, OldMouseReportWaitsForItsThreeBytes)
{
    const ParsedInput parsed = ParseTerminalInput(std::string("\033[M") + char(32));
    EXPECT_TRUE(parsed.events.empty());
    EXPECT_EQ(parsed.consumed, 0u);
}

// Escape then O at the very end is Alt+Shift+O, not half of a function key:
// terminals send a function key whole, and a person may well press Alt+O.
TEST(TerminalInputSplitTest, EscapeAndLetterAtTheEndIsAnAltKey)
{
    const ParsedInput parsed = ParseTerminalInput("\033O");
    EXPECT_EQ(parsed.consumed, 2u);
    EXPECT_EQ(DescribeAll(parsed.events), DescribeAll({K('O', kAlt | kShift, 'O')}));
}

}  // namespace
}  // namespace pervo::desktop
