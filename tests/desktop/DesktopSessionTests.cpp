// What the person's keys and clicks do to the machine: each test acts through
// the desktop as a person would and checks what reached the dialog.

#include "CaseName.h"
#include "DesktopTestSupport.h"

namespace pervo::desktop {
namespace {
using namespace testing_support;
using test::PrintTo;
using machine::kAlt;
using machine::kControl;
using machine::kNoModifier;
using machine::kShift;

struct KeysCase {
    const char* name;
    std::vector<KeyPress> keys;
    std::uintptr_t command;
};

class DesktopKeysTest : public DesktopTest, public ::testing::WithParamInterface<KeysCase> {};

TEST_P(DesktopKeysTest, DialogKeysPressTheButtonsTheDialogManagerChooses)
{
    ShowPortSetup();
    for (const KeyPress& key : GetParam().keys)
        Key(key.virtualKey, key.modifiers, key.character);
    EXPECT_EQ(Commands(), std::vector<std::uintptr_t>{GetParam().command});
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DesktopKeysTest,
    ::testing::Values(KeysCase{"EnterPressesTheDefault", {{msg::VkReturn, kNoModifier, 0}}, msg::IdOk},
                      KeysCase{"EscapeCancels", {{msg::VkEscape, kNoModifier, 0}}, msg::IdCancel},
                      KeysCase{"AltLetterPressesByMnemonic", {{'C', kAlt, 'c'}}, kCloseId},
                      KeysCase{"TabThenEnterPressesTheFocusedButton",
                               {{msg::VkTab, kNoModifier, 0}, {msg::VkReturn, kNoModifier, 0}}, msg::IdCancel},
                      KeysCase{"ShiftTabGoesBackwards",
                               {{msg::VkTab, kShift, 0}, {msg::VkTab, kShift, 0}, {msg::VkReturn, kNoModifier, 0}},
                               kCloseId},
                      KeysCase{"SpacePressesTheFocusedButton", {{msg::VkSpace, kNoModifier, ' '}}, msg::IdOk},
                      KeysCase{"AltF4IsTheCloseBox", {{msg::VkF4, kAlt, 0}}, msg::IdCancel}),
    test::CaseName{});

TEST_F(DesktopTest, ListIsMovedAndOpenedWithItsKeys)
{
    ShowPortSetup();
    Key('P', kAlt, 'p');  // the label's mnemonic takes the focus to the list
    EXPECT_EQ(Windows().Focus(), Windows().GetDlgItem(dialog, kListId));
    Key(msg::VkDown);
    EXPECT_EQ(List().currentSelection, 2);
    Key(msg::VkF4);
    EXPECT_TRUE(List().dropped);
    Key(msg::VkUp);
    EXPECT_EQ(List().currentSelection, 1);
    Key(msg::VkReturn);  // closes the list; it does not press OK
    EXPECT_FALSE(List().dropped);
    Key(msg::VkDown, kAlt);
    EXPECT_TRUE(List().dropped);
    EXPECT_EQ(Commands(), (std::vector<std::uintptr_t>{
                              Notified(kListId, msg::ComboSelChange), Notified(kListId, msg::ComboDropDown),
                              Notified(kListId, msg::ComboSelChange), Notified(kListId, msg::ComboSelEndOk),
                              Notified(kListId, msg::ComboCloseUp), Notified(kListId, msg::ComboDropDown)}));
}

TEST_F(DesktopTest, ButtonIsClickedWhenTheMouseComesUpOnIt)
{
    ShowPortSetup();
    Click(kCancelCell);
    EXPECT_EQ(Commands(), std::vector<std::uintptr_t>{Clicked(msg::IdCancel)});
    EXPECT_EQ(Windows().Focus(), Windows().GetDlgItem(dialog, msg::IdCancel));

    received.clear();
    Do(MouseEvent{MouseAction::Press, MouseButton::Left, kCloseButtonCell.column, kCloseButtonCell.row, 0, 0});
    Do(MouseEvent{MouseAction::Release, MouseButton::Left, kOkCell.column, kOkCell.row, 0, 0});
    EXPECT_TRUE(received.empty()) << "a press taken off the button before release clicks nothing";

    Windows().EnableWindow(Windows().GetDlgItem(dialog, kCloseId), false);
    Click(kCloseButtonCell);
    EXPECT_TRUE(received.empty()) << "a disabled button cannot be clicked";
}

TEST_F(DesktopTest, ClickOpensTheListAndPicksAnEntry)
{
    ShowPortSetup();
    Click(kListFieldCell);
    EXPECT_TRUE(List().dropped);
    EXPECT_EQ(Windows().Focus(), Windows().GetDlgItem(dialog, kListId));
    received.clear();
    // The entries stand below the field: COM1: on the next row, COM3: two further.
    Click({kListFieldCell.column, kListFieldCell.row + 3});
    EXPECT_EQ(List().currentSelection, 2);
    EXPECT_FALSE(List().dropped);
    EXPECT_EQ(Commands(), (std::vector<std::uintptr_t>{Notified(kListId, msg::ComboSelChange),
                                                       Notified(kListId, msg::ComboSelEndOk),
                                                       Notified(kListId, msg::ComboCloseUp)}));
}

TEST_F(DesktopTest, ClickAwayFromADroppedListOnlyClosesIt)
{
    ShowPortSetup();
    Windows().SetFocus(Windows().GetDlgItem(dialog, kListId));
    Key(msg::VkF4);
    ASSERT_TRUE(List().dropped);
    received.clear();
    Click(kCancelCell);
    EXPECT_FALSE(List().dropped);
    EXPECT_EQ(List().currentSelection, 1);
    EXPECT_EQ(Commands(), std::vector<std::uintptr_t>{Notified(kListId, msg::ComboCloseUp)});
}

TEST_F(DesktopTest, CloseBoxClosesTheWindowLikeCancel)
{
    ShowPortSetup();
    Do(MouseEvent{MouseAction::Press, MouseButton::Left, kCloseBoxCell.column, kCloseBoxCell.row, 0, 0});
    Do(MouseEvent{MouseAction::Release, MouseButton::Left, 30, 12, 0, 0});
    EXPECT_TRUE(received.empty()) << "released away from the box";
    Click(kCloseBoxCell);
    EXPECT_EQ(received, (std::vector<Received>{{msg::SysCommand, msg::ScClose, 0},
                                               {msg::Command, Clicked(msg::IdCancel), static_cast<std::intptr_t>(
                                                                                          Windows().GetDlgItem(dialog, msg::IdCancel))}}));
}

TEST_F(DesktopTest, DisabledWindowTakesNoClicks)
{
    ShowPortSetup();
    Windows().EnableWindow(dialog, false);
    Click(kCancelCell);
    Click(kCloseBoxCell);
    Click(kListFieldCell);
    Click(kMenuBoxCell);
    EXPECT_TRUE(received.empty());
    EXPECT_FALSE(List().dropped);
    EXPECT_EQ(session->View().menuWindow, 0u);
}

TEST_F(DesktopTest, AltSpaceOpensTheSystemMenuAndEnterChooses)
{
    ShowPortSetup();
    Key(msg::VkSpace, kAlt, ' ');
    EXPECT_EQ(session->View().menuWindow, dialog);
    EXPECT_EQ(session->View().menuHighlight, 0);
    Key(msg::VkDown);
    Key(msg::VkReturn);
    EXPECT_EQ(session->View().menuWindow, 0u);
    // The window sees Alt+Space as the menu key, then the command chosen.
    EXPECT_EQ(received, (std::vector<Received>{{msg::SysCommand, msg::ScKeyMenu, ' '},
                                               {msg::SysCommand, msg::ScClose, 0},
                                               {msg::Command, Clicked(msg::IdCancel), static_cast<std::intptr_t>(
                                                                                          Windows().GetDlgItem(dialog, msg::IdCancel))}}));
}

TEST_F(DesktopTest, SystemMenuKeysMoveOverSeparatorsAndSkipGrayedItems)
{
    ShowPortSetup();
    machine::Menu* menu = Windows().FindMenu(Windows().SystemMenuOf(dialog));
    menu->items.push_back({0x0800, 0, ""});
    menu->items.push_back({0, 0x0010, "&About..."});
    menu->items[0].flags = 0x0001;  // Move, grayed
    Key(msg::VkSpace, kAlt, ' ');
    received.clear();
    Key(msg::VkUp);
    EXPECT_EQ(session->View().menuHighlight, 3) << "up from the top wraps to the bottom";
    Key(msg::VkUp);
    EXPECT_EQ(session->View().menuHighlight, 1) << "the separator is passed over";
    Key(msg::VkUp);
    Key(msg::VkReturn);
    EXPECT_EQ(session->View().menuWindow, dialog) << "a grayed item cannot be chosen";
    EXPECT_TRUE(received.empty());
    Key('A', kNoModifier, 'a');
    EXPECT_EQ(session->View().menuWindow, 0u);
    EXPECT_EQ(received, (std::vector<Received>{{msg::SysCommand, 0x0010, 0}}));
}

TEST_F(DesktopTest, SystemMenuOpensOnItsBoxAndClosesOnEscapeOrAClickElsewhere)
{
    ShowPortSetup();
    Click(kMenuBoxCell);
    EXPECT_EQ(session->View().menuWindow, dialog);
    Key(msg::VkEscape);
    EXPECT_EQ(session->View().menuWindow, 0u);
    Click(kMenuBoxCell);
    Click(kCancelCell);
    EXPECT_EQ(session->View().menuWindow, 0u);
    EXPECT_TRUE(received.empty()) << "the click that closes the menu does nothing else";
    Click(kMenuBoxCell);
    Click({18, 8});  // the second item: Close
    EXPECT_EQ(received.front(), (Received{msg::SysCommand, msg::ScClose, 0}));
}

TEST_F(DesktopTest, SystemMenuClosesWhenItsWindowHides)
{
    ShowPortSetup();
    Key(msg::VkSpace, kAlt, ' ');
    Windows().ShowWindow(dialog, 0);
    session->Frame();
    EXPECT_EQ(session->View().menuWindow, 0u);
}

std::vector<std::intptr_t> TrayMessages(const std::vector<Received>& received)
{
    std::vector<std::intptr_t> messages;
    for (const Received& r : received) {
        if (r.message == kTrayCallback)
            messages.push_back(r.lParam);
    }
    return messages;
}

TEST_F(DesktopTest, TwoQuickClicksOnTheTrayIconAreADoubleClick)
{
    ShowPortSetup();
    AddTrayIcon();
    Click(kTrayIconCell, 1000);
    Click(kTrayIconCell, 1000 + kDoubleClickMilliseconds);
    Click(kTrayIconCell, 1000 + kDoubleClickMilliseconds + 10);
    EXPECT_EQ(TrayMessages(received), (std::vector<std::intptr_t>{msg::LButtonDown, msg::LButtonUp,
                                                                  msg::LButtonDoubleClick, msg::LButtonUp,
                                                                  msg::LButtonDown, msg::LButtonUp}));
}

TEST_F(DesktopTest, SlowOrInterruptedClicksOnTheTrayIconStaySingle)
{
    ShowPortSetup();
    AddTrayIcon();
    Click(kTrayIconCell, 1000);
    Click(kTrayIconCell, 1000 + kDoubleClickMilliseconds + 1);
    Click({1, 1}, 1000 + kDoubleClickMilliseconds + 2);
    Click(kTrayIconCell, 1000 + kDoubleClickMilliseconds + 3);
    Click(kTrayIconCell, 1000 + kDoubleClickMilliseconds + 4, MouseButton::Right);
    EXPECT_EQ(TrayMessages(received),
              (std::vector<std::intptr_t>{msg::LButtonDown, msg::LButtonUp, msg::LButtonDown, msg::LButtonUp,
                                          msg::LButtonDown, msg::LButtonUp, msg::RButtonDown, msg::RButtonUp}));
}

TEST_F(DesktopTest, TrayKeyDoubleClicksTheIconAndHoverMovesOverIt)
{
    ShowPortSetup();
    AddTrayIcon();
    Key(kTrayKey);
    EXPECT_EQ(TrayMessages(received), (std::vector<std::intptr_t>{msg::LButtonDown, msg::LButtonUp,
                                                                  msg::LButtonDoubleClick, msg::LButtonUp}));
    received.clear();
    Do(MouseEvent{MouseAction::Move, MouseButton::None, kTrayIconCell.column, kTrayIconCell.row, 0, 0});
    Do(MouseEvent{MouseAction::Move, MouseButton::None, kTrayIconCell.column, kTrayIconCell.row, 0, 0});
    Do(MouseEvent{MouseAction::Move, MouseButton::None, kTrayIconCell.column + 1, kTrayIconCell.row, 0, 0});
    EXPECT_EQ(TrayMessages(received), (std::vector<std::intptr_t>{msg::MouseMove, msg::MouseMove}));
}

struct LogOffCase {
    const char* name;
    TerminalEvent event;
};

class DesktopLogOffTest : public DesktopTest, public ::testing::WithParamInterface<LogOffCase> {};

TEST_P(DesktopLogOffTest, EndsTheSessionWithoutTheProgramsCloseSteps)
{
    ShowPortSetup();
    AddTrayIcon();
    Do(GetParam().event);
    EXPECT_TRUE(machine->SessionEnded());
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(Windows().IsWindow(dialog));
}

INSTANTIATE_TEST_SUITE_P(LogOff, DesktopLogOffTest,
                         ::testing::Values(LogOffCase{"CtrlQ", KeyPress{'Q', kControl, 'q'}},
                                           LogOffCase{"CtrlC", KeyPress{'C', kControl, 'c'}},
                                           LogOffCase{"TerminalGone", HangupEvent{}}),
                         test::CaseName{});

TEST_F(DesktopTest, WaitingDrawsAfterEachEventAndWakesTheMachineOnlyForInput)
{
    ShowPortSetup();
    terminal.reads = {{MouseEvent{MouseAction::Move, MouseButton::None, 3, 3, 0, 0}},
                      {ResizeEvent{100, 30}},
                      {KeyPress{msg::VkTab, kNoModifier, 0}}};
    session->WaitForInput(*machine);
    EXPECT_EQ(terminal.readCount, 3);
    EXPECT_EQ(terminal.frames.size(), 3u) << "one frame before each wait, none without an event";
    EXPECT_TRUE(Windows().HasPendingMessages());
    EXPECT_EQ(Windows().Screen(), (machine::Rect{0, 0, 800, 480}));
    EXPECT_EQ(Windows().WorkArea().bottom, 29 * 16);
}

TEST_F(DesktopTest, WaitingReturnsWhenTheSessionEnds)
{
    ShowPortSetup();
    terminal.reads = {{KeyPress{'Q', kControl, 'q'}}, {KeyPress{msg::VkTab, kNoModifier, 0}}};
    session->WaitForInput(*machine);
    EXPECT_TRUE(machine->SessionEnded());
    EXPECT_EQ(terminal.readCount, 1);
    EXPECT_FALSE(Windows().HasPendingMessages());
}

TEST_F(DesktopTest, KeysWithNoActiveWindowGoNowhere)
{
    ShowPortSetup();
    Windows().ShowWindow(dialog, 0);
    Key(msg::VkReturn);
    Key(msg::VkSpace, kAlt, ' ');
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(session->View().menuWindow, 0u);
    EXPECT_FALSE(Windows().HasPendingMessages());
}

}  // namespace
}  // namespace pervo::desktop
