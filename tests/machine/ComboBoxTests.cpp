// The drop-down list control: how it finds, inserts and sorts entries, what
// its text is, and what the keyboard does to it.

#include "CaseName.h"
#include "MachineFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace pervo::test {
namespace {

using test::PrintTo;

using machine::Hwnd;

constexpr int kList = 1001;
constexpr std::intptr_t kError = -1;  // CB_ERR

class ComboBoxTest : public ::testing::Test {
protected:
    explicit ComboBoxTest(std::uint32_t listStyle = 0)
    {
        m_dialog = Windows().CreateDialog(
            DialogWith({PushButton(msg::IdOk, "OK", msg::WsVisible | msg::WsTabStop | msg::BsDefPushButton),
                        DropDownList(kList, msg::WsVisible | msg::WsTabStop | listStyle)}),
            0, m_log.Proc(), 0);
        m_list = Windows().GetDlgItem(m_dialog, kList);
        DeliverPending(Windows(), m_dialog);
    }

    machine::WindowManager& Windows() { return m_test.Windows(); }
    std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0)
    {
        return Windows().Send(m_list, message, wParam, lParam);
    }
    std::intptr_t SendText(std::uint32_t message, std::intptr_t wParam, const char* text)
    {
        return Send(message, static_cast<std::uintptr_t>(wParam), reinterpret_cast<std::intptr_t>(text));
    }
    std::vector<std::string> Items() { return Windows().Find(m_list)->items; }
    int Selection() { return static_cast<int>(Send(msg::ComboGetCurSel)); }
    std::string Text()
    {
        char buffer[64] = "unchanged";
        const auto length = Send(msg::GetText, sizeof buffer, reinterpret_cast<std::intptr_t>(buffer));
        EXPECT_EQ(static_cast<std::size_t>(length), std::string(buffer).size());
        return buffer;
    }
    void Press(std::uint32_t key, std::uint32_t modifiers = machine::kNoModifier)
    {
        PressKey(Windows(), key, modifiers);
        DeliverPending(Windows(), m_dialog);
    }

    TestMachine m_test;
    DialogLog m_log;
    Hwnd m_dialog = 0;
    Hwnd m_list = 0;
};

class SortedComboBoxTest : public ComboBoxTest {
protected:
    SortedComboBoxTest() : ComboBoxTest(msg::CbsSort) {}
};

struct SelectCase {
    const char* name;
    std::intptr_t start;
    const char* text;
    std::intptr_t expected;  // what CB_SELECTSTRING returns
    int selectionAfter;
};

constexpr int kSelectedBefore = 3;

class SelectString : public ComboBoxTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectString, MatchesAPrefixWithoutRegardToCaseStartingAfterTheGivenIndex)
{
    const SelectCase& c = GetParam();
    for (const char* entry : {"COM1:", "COM2:", "com10:", "LPT1:"})
        SendText(msg::ComboAddString, 0, entry);
    Send(msg::ComboSetCurSel, kSelectedBefore);

    EXPECT_EQ(SendText(msg::ComboSelectString, c.start, c.text), c.expected);
    EXPECT_EQ(Selection(), c.selectionAfter);
    EXPECT_TRUE(m_log.Commands().empty()) << "a program's own selection notifies nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectString,
    ::testing::Values(SelectCase{"FromTheTop", -1, "com1", 0, 0},
                      SelectCase{"WholeEntry", -1, "COM2:", 1, 1},
                      SelectCase{"IgnoresCase", -1, "Lpt", 3, 3},
                      SelectCase{"StartsAfterTheGivenIndex", 0, "COM1", 2, 2},
                      SelectCase{"WrapsRoundToTheTop", 2, "com1", 0, 0},
                      SelectCase{"TriesTheGivenIndexLast", 1, "COM2", 1, 1},
                      SelectCase{"FromTheLastIndexWrapsToTheTop", 3, "COM", 0, 0},
                      SelectCase{"AnEmptyTextMatchesTheFirstEntryAfterTheStart", 0, "", 1, 1},
                      SelectCase{"AStartPastTheEndSearchesFromTheTop", 99, "COM", 0, 0},
                      SelectCase{"NoMatchLeavesTheSelection", -1, "COM3", kError, kSelectedBefore},
                      SelectCase{"ALongerTextIsNoPrefix", -1, "COM1:x", kError, kSelectedBefore},
                      SelectCase{"NotInTheMiddleOfAnEntry", -1, "OM1", kError, kSelectedBefore}),
    CaseName());

TEST_F(ComboBoxTest, SelectStringInAnEmptyListFindsNothing)
{
    EXPECT_EQ(SendText(msg::ComboSelectString, -1, "COM1:"), kError);
    EXPECT_EQ(Selection(), -1);
    EXPECT_EQ(Send(msg::ComboSelectString, static_cast<std::uintptr_t>(-1), 0), kError) << "no text, no match";
}

TEST_F(ComboBoxTest, FindStringSearchesLikeSelectStringButSelectsNothing)
{
    for (const char* entry : {"COM1:", "COM2:", "com10:"})
        SendText(msg::ComboAddString, 0, entry);
    EXPECT_EQ(SendText(msg::ComboFindString, 0, "com1"), 2);
    EXPECT_EQ(Selection(), -1);
}

TEST_F(SortedComboBoxTest, InsertStringAtMinusOneAppendsEvenInASortedList)
{
    SendText(msg::ComboAddString, 0, "COM2:");
    EXPECT_EQ(SendText(msg::ComboInsertString, -1, "COM1:"), 1);
    EXPECT_EQ(Items(), (std::vector<std::string>{"COM2:", "COM1:"}));
}

struct InsertCase {
    const char* name;
    std::intptr_t index;
    std::intptr_t expected;
    std::vector<std::string> itemsAfter;
    int selectionAfter;  // "COM3:" was selected before: the selection follows it
};

class InsertString : public SortedComboBoxTest, public ::testing::WithParamInterface<InsertCase> {};

TEST_P(InsertString, PutsTheEntryAtTheIndexAndRejectsOnePastTheEnd)
{
    const InsertCase& c = GetParam();
    for (const char* entry : {"COM1:", "COM3:"})
        SendText(msg::ComboAddString, 0, entry);
    Send(msg::ComboSetCurSel, 1);

    EXPECT_EQ(SendText(msg::ComboInsertString, c.index, "COM9:"), c.expected);
    EXPECT_EQ(Items(), c.itemsAfter);
    EXPECT_EQ(Selection(), c.selectionAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InsertString,
    ::testing::Values(InsertCase{"AtTheFront", 0, 0, {"COM9:", "COM1:", "COM3:"}, 2},
                      InsertCase{"InTheMiddle", 1, 1, {"COM1:", "COM9:", "COM3:"}, 2},
                      InsertCase{"AtTheEndIndex", 2, 2, {"COM1:", "COM3:", "COM9:"}, 1},
                      InsertCase{"AtMinusOne", -1, 2, {"COM1:", "COM3:", "COM9:"}, 1},
                      InsertCase{"PastTheEnd", 3, kError, {"COM1:", "COM3:"}, 1},
                      InsertCase{"BelowMinusOne", -2, kError, {"COM1:", "COM3:"}, 1}),
    CaseName());

TEST_F(SortedComboBoxTest, AddStringSortsWithoutRegardToCaseAndReturnsWhereTheEntryWent)
{
    std::vector<std::intptr_t> positions;
    for (const char* entry : {"COM3:", "COM1:", "com2:", "COM2:", "AUX:"})
        positions.push_back(SendText(msg::ComboAddString, 0, entry));
    EXPECT_EQ(positions, (std::vector<std::intptr_t>{0, 0, 1, 2, 0}));
    EXPECT_EQ(Items(), (std::vector<std::string>{"AUX:", "COM1:", "com2:", "COM2:", "COM3:"}))
        << "equal entries keep the order they came in";
}

TEST_F(SortedComboBoxTest, AddStringKeepsTheSelectedEntrySelected)
{
    SendText(msg::ComboAddString, 0, "COM3:");
    Send(msg::ComboSetCurSel, 0);
    SendText(msg::ComboAddString, 0, "COM1:");
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(Text(), "COM3:");
}

TEST_F(ComboBoxTest, AddStringWithoutSortAppends)
{
    for (const char* entry : {"COM3:", "COM1:"})
        SendText(msg::ComboAddString, 0, entry);
    EXPECT_EQ(Items(), (std::vector<std::string>{"COM3:", "COM1:"}));
}

TEST_F(ComboBoxTest, TheTextOfADropDownListIsItsSelectedEntry)
{
    EXPECT_EQ(Text(), "") << "nothing selected";
    for (const char* entry : {"COM1:", "COM2:"})
        SendText(msg::ComboAddString, 0, entry);
    EXPECT_EQ(Text(), "");
    Send(msg::ComboSetCurSel, 1);
    EXPECT_EQ(Text(), "COM2:");
    EXPECT_EQ(Send(msg::GetTextLength), 5);
    EXPECT_EQ(SendText(msg::SetText, 0, "COM7:"), 1) << "setting the text of a drop-down list changes no entry";
    EXPECT_EQ(Text(), "COM2:");

    char small[4] = "xyz";
    EXPECT_EQ(Send(msg::GetText, sizeof small, reinterpret_cast<std::intptr_t>(small)), 3);
    EXPECT_STREQ(small, "COM") << "cut to the buffer, still terminated";

    EXPECT_EQ(Send(msg::ComboSetCurSel, 5), kError);
    EXPECT_EQ(Text(), "") << "an index past the end clears the selection";
}

TEST_F(ComboBoxTest, UpAndDownChangeTheSelectionAndNotifyTheDialog)
{
    for (const char* entry : {"COM1:", "COM2:", "COM3:"})
        SendText(msg::ComboAddString, 0, entry);
    Windows().SetFocus(m_list);
    Press(msg::VkDown);
    EXPECT_EQ(Selection(), 0) << "the first Down picks the first entry";
    Press(msg::VkDown);
    Press(msg::VkDown);
    Press(msg::VkDown);
    EXPECT_EQ(Selection(), 2);
    Press(msg::VkUp);
    EXPECT_EQ(Selection(), 1);
    const std::vector<std::pair<int, int>> changes(4, {kList, msg::ComboSelChange});
    EXPECT_EQ(m_log.Commands(), changes);
}

struct ToggleCase {
    const char* name;
    std::uint32_t key;
    std::uint32_t modifiers;
};

class DropDownToggle : public ComboBoxTest, public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(DropDownToggle, OpensAndClosesTheListAndNotifiesTheDialog)
{
    const ToggleCase& c = GetParam();
    SendText(msg::ComboAddString, 0, "COM1:");
    Windows().SetFocus(m_list);

    Press(c.key, c.modifiers);
    EXPECT_EQ(Send(msg::ComboGetDroppedState), 1);
    Press(c.key, c.modifiers);
    EXPECT_EQ(Send(msg::ComboGetDroppedState), 0);
    EXPECT_EQ(m_log.Commands(),
              (std::vector<std::pair<int, int>>{{kList, msg::ComboDropDown}, {kList, msg::ComboCloseUp}}));
    EXPECT_EQ(Selection(), -1) << "opening the list picks nothing";
}

INSTANTIATE_TEST_SUITE_P(Cases, DropDownToggle,
                         ::testing::Values(ToggleCase{"F4", msg::VkF4, machine::kNoModifier},
                                           ToggleCase{"AltDown", msg::VkDown, machine::kAlt},
                                           ToggleCase{"AltUp", msg::VkUp, machine::kAlt}),
                         CaseName());

TEST_F(ComboBoxTest, AnOpenListTakesEnterAndEscapeForItself)
{
    for (const char* entry : {"COM1:", "COM2:"})
        SendText(msg::ComboAddString, 0, entry);
    Windows().SetFocus(m_list);

    Press(msg::VkF4);
    Press(msg::VkDown);
    Press(msg::VkReturn);
    EXPECT_EQ(Send(msg::ComboGetDroppedState), 0);
    EXPECT_EQ(Selection(), 0);
    EXPECT_EQ(m_log.Commands(), (std::vector<std::pair<int, int>>{{kList, msg::ComboDropDown},
                                                                   {kList, msg::ComboSelChange},
                                                                   {kList, msg::ComboSelEndOk},
                                                                   {kList, msg::ComboCloseUp}}))
        << "Enter in an open list does not press the default button";

    m_log.Clear();
    Press(msg::VkF4);
    Press(msg::VkEscape);
    EXPECT_EQ(Send(msg::ComboGetDroppedState), 0);
    EXPECT_EQ(m_log.Commands(),
              (std::vector<std::pair<int, int>>{{kList, msg::ComboDropDown}, {kList, msg::ComboCloseUp}}))
        << "Escape in an open list does not cancel the dialog";
}

TEST_F(ComboBoxTest, TabClosesAnOpenListOnItsEntryAndMovesTheFocusOn)
{
    for (const char* entry : {"COM1:", "COM2:"})
        SendText(msg::ComboAddString, 0, entry);
    Windows().SetFocus(m_list);
    Press(msg::VkF4);
    Press(msg::VkDown);
    ASSERT_EQ(Send(msg::ComboGetDroppedState), 1);

    Press(msg::VkTab);

    EXPECT_EQ(Send(msg::ComboGetDroppedState), 0);
    EXPECT_EQ(Selection(), 0) << "the entry moved to is kept";
    EXPECT_NE(Windows().Focus(), m_list) << "Tab still moves the focus";
}

TEST_F(ComboBoxTest, LosingTheFocusClosesAnOpenList)
{
    SendText(msg::ComboAddString, 0, "COM1:");
    Windows().SetFocus(m_list);
    Press(msg::VkF4);
    ASSERT_EQ(Send(msg::ComboGetDroppedState), 1);
    Windows().SetFocus(Windows().GetDlgItem(m_dialog, msg::IdOk));
    EXPECT_EQ(Send(msg::ComboGetDroppedState), 0);
}

TEST_F(ComboBoxTest, PickingAnEntryWithTheMouseSelectsItNotifiesAndClosesTheList)
{
    for (const char* entry : {"COM1:", "COM2:"})
        SendText(msg::ComboAddString, 0, entry);
    Windows().PostInput({m_list, msg::LButtonDown, 0, 0, machine::kNoModifier, {}});
    DeliverPending(Windows(), m_dialog);
    EXPECT_EQ(Send(msg::ComboGetDroppedState), 1);
    EXPECT_EQ(Windows().Focus(), m_list);
    Windows().PostInput({m_list, machine::kComboMousePick, 1, 0, machine::kNoModifier, {}});
    DeliverPending(Windows(), m_dialog);
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(Send(msg::ComboGetDroppedState), 0);
    EXPECT_EQ(m_log.Commands(), (std::vector<std::pair<int, int>>{{kList, msg::ComboDropDown},
                                                                   {kList, msg::ComboSelChange},
                                                                   {kList, msg::ComboSelEndOk},
                                                                   {kList, msg::ComboCloseUp}}));
}

TEST_F(ComboBoxTest, EntriesReadBackByIndexAndResetEmptiesTheList)
{
    for (const char* entry : {"COM1:", "COM12:"})
        SendText(msg::ComboAddString, 0, entry);
    Send(msg::ComboSetCurSel, 1);
    EXPECT_EQ(Send(msg::ComboGetCount), 2);
    EXPECT_EQ(Send(msg::ComboGetLbTextLength, 1), 6);
    char buffer[16] = {};
    EXPECT_EQ(Send(msg::ComboGetLbText, 1, reinterpret_cast<std::intptr_t>(buffer)), 6);
    EXPECT_STREQ(buffer, "COM12:");
    EXPECT_EQ(Send(msg::ComboGetLbText, 2, reinterpret_cast<std::intptr_t>(buffer)), kError);
    EXPECT_EQ(Send(msg::ComboGetLbTextLength, static_cast<std::uintptr_t>(-1)), kError);

    Send(msg::ComboResetContent);
    EXPECT_EQ(Send(msg::ComboGetCount), 0);
    EXPECT_EQ(Selection(), -1);
    EXPECT_EQ(Text(), "");
}

}  // namespace
}  // namespace pervo::test
