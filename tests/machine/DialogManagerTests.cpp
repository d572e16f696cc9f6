// The dialog manager's keyboard rules, as a person at the keyboard meets them:
// which command a key sends and where the focus goes. The dialog is laid out
// like a small settings dialog: a column of buttons (one disabled, one hidden),
// a labelled drop-down list, and a label whose '&' is doubled.

#include "CaseName.h"
#include "MachineFixture.h"

#include <gtest/gtest.h>

#include <optional>

namespace pervo::test {
namespace {

using test::PrintTo;

using machine::Hwnd;

constexpr int kOk = msg::IdOk;
constexpr int kCancel = msg::IdCancel;
constexpr int kClose = 1000;
constexpr int kList = 1001;
constexpr int kHelp = 1002;       // disabled
constexpr int kInvisible = 1003;  // not visible
constexpr int kNone = 0;          // no command / the focus where it was

constexpr int kSelChange = msg::ComboSelChange;
constexpr int kClicked = msg::ButtonClicked;

machine::DialogLayout SettingsDialog()
{
    machine::DialogItemLayout ok = PushButton(kOk, "&OK", msg::WsVisible | msg::WsTabStop | msg::BsDefPushButton);
    return DialogWith({
        ok,
        PushButton(kCancel, "C&ancel"),
        PushButton(kHelp, "&Help", msg::WsVisible | msg::WsTabStop | msg::WsDisabled),
        PushButton(kInvisible, "&Invisible", msg::WsTabStop),
        PushButton(kClose, "&Close"),
        Label("Comm &Port:", msg::WsVisible | msg::WsGroup),
        DropDownList(kList),
        Label("R&&D", msg::WsVisible | msg::WsGroup),
    });
}

class DialogManagerTest : public ::testing::Test {
protected:
    DialogManagerTest()
    {
        m_dialog = Windows().CreateDialog(SettingsDialog(), 0, m_log.Proc(), 0);
        const Hwnd list = Windows().GetDlgItem(m_dialog, kList);
        for (const char* entry : {"COM1:", "COM2:", "COM3:"})
            Windows().Send(list, msg::ComboAddString, 0, reinterpret_cast<std::intptr_t>(entry));
        Windows().Send(list, msg::ComboSetCurSel, 1, 0);
        DeliverPending(Windows(), m_dialog);
        m_log.Clear();
    }

    machine::WindowManager& Windows() { return m_test.Windows(); }
    void Focus(int id) { Windows().SetFocus(Windows().GetDlgItem(m_dialog, id)); }
    void Press(std::uint32_t key, std::uint32_t modifiers = machine::kNoModifier)
    {
        PressKey(Windows(), key, modifiers);
        DeliverPending(Windows(), m_dialog);
    }
    int Selection() { return static_cast<int>(Windows().Send(Windows().GetDlgItem(m_dialog, kList), msg::ComboGetCurSel, 0, 0)); }

    TestMachine m_test;
    DialogLog m_log;
    Hwnd m_dialog = 0;
};

TEST_F(DialogManagerTest, StartsWithTheFocusOnTheFirstTabStop)
{
    EXPECT_EQ(Windows().ActiveWindow(), m_dialog);
    EXPECT_EQ(FocusId(Windows()), kOk);
}

struct KeyCase {
    const char* name;
    int focus;
    std::uint32_t key;
    std::uint32_t modifiers;
    std::vector<std::pair<int, int>> commands;
    int focusAfter;  // kNone: where it was
};

class DialogKeys : public DialogManagerTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(DialogKeys, SendTheCommandAndMoveTheFocusAsThePersonExpects)
{
    const KeyCase& c = GetParam();
    Focus(c.focus);
    ASSERT_EQ(FocusId(Windows()), c.focus);

    Press(c.key, c.modifiers);

    EXPECT_EQ(m_log.Commands(), c.commands);
    EXPECT_EQ(FocusId(Windows()), c.focusAfter == kNone ? c.focus : c.focusAfter);
}

constexpr std::uint32_t kEnter = msg::VkReturn;
constexpr std::uint32_t kEscape = msg::VkEscape;
constexpr std::uint32_t kTab = msg::VkTab;
constexpr std::uint32_t kUp = msg::VkUp;
constexpr std::uint32_t kDown = msg::VkDown;
constexpr std::uint32_t kLeft = msg::VkLeft;
constexpr std::uint32_t kRight = msg::VkRight;
constexpr std::uint32_t kSpace = msg::VkSpace;
constexpr std::uint32_t kShift = machine::kShift;
constexpr std::uint32_t kAlt = machine::kAlt;
constexpr std::uint32_t kPlain = machine::kNoModifier;

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogKeys,
    ::testing::Values(
        // Enter presses the focused push button, or the default one.
        KeyCase{"EnterOnTheListIsTheDefaultButton", kList, kEnter, kPlain, {{kOk, kClicked}}, kNone},
        KeyCase{"EnterOnOkIsOk", kOk, kEnter, kPlain, {{kOk, kClicked}}, kNone},
        KeyCase{"EnterOnCancelIsCancel", kCancel, kEnter, kPlain, {{kCancel, kClicked}}, kNone},
        KeyCase{"EnterOnAnotherButtonIsThatButton", kClose, kEnter, kPlain, {{kClose, kClicked}}, kNone},
        // Escape is Cancel, wherever the focus is.
        KeyCase{"EscapeOnTheListIsCancel", kList, kEscape, kPlain, {{kCancel, kClicked}}, kNone},
        KeyCase{"EscapeOnOkIsCancel", kOk, kEscape, kPlain, {{kCancel, kClicked}}, kNone},
        KeyCase{"EscapeOnAnotherButtonIsCancel", kClose, kEscape, kPlain, {{kCancel, kClicked}}, kNone},
        // Space presses the focused button.
        KeyCase{"SpaceOnAButtonPressesIt", kClose, kSpace, kPlain, {{kClose, kClicked}}, kNone},
        // Tab and Shift+Tab go round the tab stops in creation order, past
        // disabled and hidden controls and labels.
        KeyCase{"TabFromOk", kOk, kTab, kPlain, {}, kCancel},
        KeyCase{"TabSkipsDisabledAndHidden", kCancel, kTab, kPlain, {}, kClose},
        KeyCase{"TabSkipsTheLabel", kClose, kTab, kPlain, {}, kList},
        KeyCase{"TabWrapsRound", kList, kTab, kPlain, {}, kOk},
        KeyCase{"ShiftTabWrapsBack", kOk, kTab, kShift, {}, kList},
        KeyCase{"ShiftTabFromTheList", kList, kTab, kShift, {}, kClose},
        KeyCase{"ShiftTabSkipsDisabledAndHidden", kClose, kTab, kShift, {}, kCancel},
        // The arrows move within the group of buttons, round its end.
        KeyCase{"DownToTheNextButton", kOk, kDown, kPlain, {}, kCancel},
        KeyCase{"RightToTheNextButton", kOk, kRight, kPlain, {}, kCancel},
        KeyCase{"DownSkipsDisabledAndHidden", kCancel, kDown, kPlain, {}, kClose},
        KeyCase{"DownWrapsWithinTheGroup", kClose, kDown, kPlain, {}, kOk},
        KeyCase{"UpWrapsWithinTheGroup", kOk, kUp, kPlain, {}, kClose},
        KeyCase{"LeftGoesBack", kClose, kLeft, kPlain, {}, kCancel},
        // A drop-down list takes the arrows itself.
        KeyCase{"DownOnTheListPicksTheNextEntry", kList, kDown, kPlain, {{kList, kSelChange}}, kNone},
        KeyCase{"UpOnTheListPicksTheEntryBefore", kList, kUp, kPlain, {{kList, kSelChange}}, kNone},
        // Mnemonics: a button's is that button; a label's moves the focus to
        // the control it labels; disabled, hidden and "&&" are none.
        KeyCase{"AltLetterOfAButton", kList, 'C', kAlt, {{kClose, kClicked}}, kNone},
        KeyCase{"AltLetterOfCancel", kOk, 'A', kAlt, {{kCancel, kClicked}}, kNone},
        KeyCase{"AltLetterOfOk", kList, 'O', kAlt, {{kOk, kClicked}}, kNone},
        KeyCase{"AltLetterOfALabel", kOk, 'P', kAlt, {}, kList},
        KeyCase{"AltLetterOfADisabledButton", kOk, 'H', kAlt, {}, kNone},
        KeyCase{"AltLetterOfAHiddenButton", kOk, 'I', kAlt, {}, kNone},
        KeyCase{"DoubledAmpersandIsNoMnemonic", kOk, 'D', kAlt, {}, kNone},
        KeyCase{"AltLetterOfNothing", kOk, 'Z', kAlt, {}, kNone},
        // On a push button a plain letter is a mnemonic too; the list keeps
        // letters for itself, and F1 (0x70, the code of 'p') is no letter.
        KeyCase{"PlainLetterOnAButton", kOk, 'C', kPlain, {{kClose, kClicked}}, kNone},
        KeyCase{"PlainLetterOfALabelOnAButton", kOk, 'P', kPlain, {}, kList},
        KeyCase{"PlainLetterOnTheListIsNoMnemonic", kList, 'C', kPlain, {}, kNone},
        KeyCase{"ShiftF1OnAButtonIsNoMnemonic", kOk, msg::VkF1, kShift, {}, kNone},
        // Alt+F4 is the close box, which is Cancel.
        KeyCase{"AltF4OnAButtonIsCancel", kClose, msg::VkF4, kAlt, {{kCancel, kClicked}}, kNone},
        KeyCase{"AltF4OnTheListIsCancel", kList, msg::VkF4, kAlt, {{kCancel, kClicked}}, kNone}),
    CaseName());

TEST_F(DialogManagerTest, TheArrowsOnTheListChangeItsSelectionNotTheFocus)
{
    Focus(kList);
    Press(kDown);
    EXPECT_EQ(Selection(), 2);
    Press(kDown);
    EXPECT_EQ(Selection(), 2) << "the last entry stays";
    Press(kUp);
    Press(kUp);
    EXPECT_EQ(Selection(), 0);
    EXPECT_EQ(m_log.Commands(), (std::vector<std::pair<int, int>>{{kList, kSelChange}, {kList, kSelChange}, {kList, kSelChange}}))
        << "a key that changes nothing notifies nothing";
    EXPECT_EQ(FocusId(Windows()), kList);
}

TEST_F(DialogManagerTest, EnterPressesTheButtonNamedByDmSetDefId)
{
    Windows().Send(m_dialog, msg::SetDefaultId, kClose, 0);
    EXPECT_EQ(Windows().Send(m_dialog, msg::GetDefaultId, 0, 0), kClose | (0x534B << 16));
    Focus(kList);
    Press(kEnter);
    EXPECT_EQ(m_log.Commands(), (std::vector<std::pair<int, int>>{{kClose, kClicked}}));
}

TEST_F(DialogManagerTest, EnterDoesNothingWhenTheDefaultButtonIsDisabled)
{
    Windows().EnableWindow(Windows().GetDlgItem(m_dialog, kOk), false);
    Focus(kList);
    Press(kEnter);
    EXPECT_TRUE(m_log.Commands().empty());
}

TEST_F(DialogManagerTest, EscapeIsCancelEvenWhenTheCancelButtonIsDisabled)
{
    Windows().EnableWindow(Windows().GetDlgItem(m_dialog, kCancel), false);
    Focus(kList);
    Press(kEscape);
    EXPECT_EQ(m_log.Commands(), (std::vector<std::pair<int, int>>{{kCancel, kClicked}}));
}

TEST(DialogManagerMnemonics, AreSearchedFromTheControlAfterTheFocusRoundToTheFocus)
{
    // Two labels share a letter: the one after the focus wins, and the
    // search wraps round to the one before it.
    TestMachine test;
    DialogLog log;
    const Hwnd dialog = test.Windows().CreateDialog(
        DialogWith({Label("&First:"), PushButton(10, "One"), Label("&Further:"), PushButton(20, "Two")}), 0,
        log.Proc(), 0);
    test.Windows().SetFocus(test.Windows().GetDlgItem(dialog, 10));
    PressKey(test.Windows(), 'F', kAlt);
    DeliverPending(test.Windows(), dialog);
    EXPECT_EQ(FocusId(test.Windows()), 20);
    PressKey(test.Windows(), 'F', kAlt);
    DeliverPending(test.Windows(), dialog);
    EXPECT_EQ(FocusId(test.Windows()), 10);
}

// The ways a person closes a dialog from its frame: each becomes
// WM_SYSCOMMAND/SC_CLOSE, then WM_CLOSE, then the Cancel command.
enum class CloseWay { CloseBox, AltF4OnAButton, AltF4OnTheList };

struct CloseCase {
    const char* name;
    CloseWay way;
    bool cancelDisabled;
};

class ClosingADialog : public DialogManagerTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosingADialog, GoesThroughSysCommandAndCloseToCancelUnlessCancelIsDisabled)
{
    const CloseCase& c = GetParam();
    if (c.cancelDisabled)
        Windows().EnableWindow(Windows().GetDlgItem(m_dialog, kCancel), false);
    switch (c.way) {
    case CloseWay::CloseBox:
        Windows().PostInput({m_dialog, msg::NcLButtonDown, msg::HtClose, 0, machine::kNoModifier, {}});
        Windows().PostInput({m_dialog, msg::NcLButtonUp, msg::HtClose, 0, machine::kNoModifier, {}});
        DeliverPending(Windows(), m_dialog);
        break;
    case CloseWay::AltF4OnAButton:
        Focus(kClose);
        Press(msg::VkF4, kAlt);
        break;
    case CloseWay::AltF4OnTheList:
        Focus(kList);
        Press(msg::VkF4, kAlt);
        break;
    }

    std::vector<std::uint32_t> expected = {msg::SysCommand, msg::Close};
    if (!c.cancelDisabled)
        expected.push_back(msg::Command);
    EXPECT_EQ(m_log.Only({msg::SysCommand, msg::Close, msg::Command}), expected);
    for (const auto& entry : m_log.Entries()) {
        if (entry.message == msg::SysCommand) {
            EXPECT_EQ(entry.wParam & 0xFFF0, msg::ScClose);
        }
    }
    if (!c.cancelDisabled) {
        EXPECT_EQ(m_log.Commands(), (std::vector<std::pair<int, int>>{{kCancel, kClicked}}));
    }
    EXPECT_TRUE(Windows().IsWindow(m_dialog)) << "ending a dialog is its procedure's decision, not the frame's";
}

INSTANTIATE_TEST_SUITE_P(Cases, ClosingADialog,
                         ::testing::Values(CloseCase{"ByTheCloseBox", CloseWay::CloseBox, false},
                                           CloseCase{"ByAltF4OnAButton", CloseWay::AltF4OnAButton, false},
                                           CloseCase{"ByAltF4OnTheList", CloseWay::AltF4OnTheList, false},
                                           CloseCase{"ByTheCloseBoxWithCancelDisabled", CloseWay::CloseBox, true},
                                           CloseCase{"ByAltF4WithCancelDisabled", CloseWay::AltF4OnAButton, true}),
                         CaseName());

}  // namespace
}  // namespace pervo::test
