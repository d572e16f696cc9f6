// The window manager as a program and a person see it: the order in which the
// queue hands out messages and when it asks for more input, which window is
// active and which control has the focus, and what goes when a window goes.

#include "CaseName.h"
#include "MachineFixture.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pervo::test {
namespace {

using test::PrintTo;

using machine::Hwnd;
using machine::QueuedMessage;

constexpr std::uint32_t kFirstPosted = msg::User + 10;
constexpr std::uint32_t kSecondPosted = msg::User + 11;
constexpr std::uint32_t kPostedByInput = msg::User + 12;

struct Handed {
    std::uint32_t message;
    std::uintptr_t wParam;
    int inputCallsBefore;  // how often the input source had been asked when it came
    bool operator==(const Handed&) const = default;
};

void PrintTo(const Handed& handed, std::ostream* out)
{
    *out << "{0x" << std::hex << handed.message << std::dec << ", " << handed.wParam << ", asked "
         << handed.inputCallsBefore << "}";
}

TEST(WindowManagerQueue, HandsOutPostedThenInputThenPaintAndAsksForInputOnlyWhenNothingIsLeft)
{
    TestMachine test;
    machine::WindowManager& windows = test.Windows();
    DialogLog log;
    const Hwnd dialog = windows.CreateDialog(DialogWith({PushButton(msg::IdOk, "OK")}), 0, log.Proc(), 0);
    ASSERT_NE(dialog, 0u);
    const Hwnd button = windows.GetDlgItem(dialog, msg::IdOk);
    // Showing the dialog left it needing paint; input and posted messages
    // arrive after that, interleaved.
    windows.PostInput({button, msg::KeyDown, 'A', 0, machine::kNoModifier, {}});
    windows.Post(dialog, kFirstPosted, 1, 0);
    windows.PostInput({button, msg::KeyUp, 'A', 0, machine::kNoModifier, {}});
    windows.Post(dialog, kSecondPosted, 2, 0);
    test.Input().Then([&](machine::Machine& machine) {
        machine.Windows().PostInput({button, msg::KeyDown, 'B', 0, machine::kNoModifier, {}});
        machine.Windows().Post(dialog, kPostedByInput, 3, 0);
    });

    std::vector<Handed> handed;
    QueuedMessage message;
    while (windows.GetMessage(message))
        handed.push_back({message.message, message.wParam, test.Input().Calls()});

    const std::vector<Handed> expected = {
        {kFirstPosted, 1, 0},  {kSecondPosted, 2, 0},  {msg::KeyDown, 'A', 0}, {msg::KeyUp, 'A', 0},
        {msg::Paint, 0, 0},    {kPostedByInput, 3, 1}, {msg::KeyDown, 'B', 1},
    };
    EXPECT_EQ(handed, expected);
    EXPECT_EQ(test.Input().Calls(), 2) << "once for more input, once more to learn that the session ended";
    EXPECT_FALSE(test.Input().AskedWhileBusy());
    EXPECT_TRUE(test.Get().SessionEnded());
}

TEST(WindowManagerQueue, AfterTheSessionEndsGetMessageReturnsFalseWithoutAskingAgain)
{
    TestMachine test;
    machine::WindowManager& windows = test.Windows();
    QueuedMessage message;
    EXPECT_FALSE(windows.GetMessage(message));
    EXPECT_EQ(test.Input().Calls(), 1);
    windows.Post(0, kFirstPosted, 0, 0);
    EXPECT_FALSE(windows.GetMessage(message)) << "an ended session hands out nothing, even what is queued";
    EXPECT_EQ(test.Input().Calls(), 1);
}

TEST(WindowManagerQueue, InputForAWindowThatIsDisabledOrGoneIsDropped)
{
    TestMachine test;
    machine::WindowManager& windows = test.Windows();
    DialogLog log;
    const Hwnd dialog = windows.CreateDialog(
        DialogWith({PushButton(msg::IdOk, "OK"), PushButton(msg::IdCancel, "Cancel")}), 0, log.Proc(), 0);
    const Hwnd ok = windows.GetDlgItem(dialog, msg::IdOk);
    const Hwnd cancel = windows.GetDlgItem(dialog, msg::IdCancel);
    windows.PostInput({cancel, msg::KeyDown, 'C', 0, machine::kNoModifier, {}});
    windows.PostInput({0xDEAD0, msg::KeyDown, 'X', 0, machine::kNoModifier, {}});
    windows.PostInput({ok, msg::KeyDown, 'O', 0, machine::kNoModifier, {}});
    windows.EnableWindow(cancel, false);

    QueuedMessage message;
    ASSERT_TRUE(windows.GetMessage(message));
    EXPECT_EQ(message.hwnd, ok);
    EXPECT_EQ(message.wParam, std::uintptr_t{'O'});

    // A disabled dialog takes no input for any of its controls.
    windows.PostInput({ok, msg::KeyDown, 'P', 0, machine::kNoModifier, {}});
    windows.EnableWindow(dialog, false);
    ASSERT_TRUE(windows.GetMessage(message));
    EXPECT_EQ(message.message, msg::Paint);
    EXPECT_FALSE(windows.GetMessage(message));
}

TEST(WindowManagerQueue, TheModifiersInForceAreThoseOfTheLastInputTaken)
{
    TestMachine test;
    machine::WindowManager& windows = test.Windows();
    DialogLog log;
    const Hwnd dialog = windows.CreateDialog(DialogWith({PushButton(msg::IdOk, "OK")}), 0, log.Proc(), 0);
    const Hwnd ok = windows.GetDlgItem(dialog, msg::IdOk);
    windows.PostInput({ok, msg::KeyDown, msg::VkTab, 0, machine::kShift | machine::kControl, {}});
    windows.PostInput({ok, msg::KeyDown, msg::VkTab, 0, machine::kNoModifier, {}});

    QueuedMessage message;
    EXPECT_TRUE(windows.PeekMessage(message, false));
    EXPECT_EQ(windows.CurrentModifiers(), machine::kNoModifier) << "looking at input is not taking it";
    ASSERT_TRUE(windows.GetMessage(message));
    EXPECT_EQ(windows.CurrentModifiers(), machine::kShift | machine::kControl);
    windows.Post(dialog, kFirstPosted, 0, 0);
    ASSERT_TRUE(windows.GetMessage(message));
    EXPECT_EQ(message.message, kFirstPosted);
    EXPECT_EQ(windows.CurrentModifiers(), machine::kShift | machine::kControl) << "a posted message is not a key";
    ASSERT_TRUE(windows.GetMessage(message));
    EXPECT_EQ(windows.CurrentModifiers(), machine::kNoModifier);
}

// Three top-level windows, created A, B, C, so C is on top.
class WindowManagerActivation : public ::testing::Test {
protected:
    Hwnd Make(const char* caption)
    {
        return Windows().CreateDialog(
            DialogWith({PushButton(msg::IdOk, "OK"), PushButton(msg::IdCancel, "Cancel"), PushButton(1000, "Close")},
                       caption),
            0, m_log.Proc(), 0);
    }

    machine::WindowManager& Windows() { return m_test.Windows(); }
    // The id of the control of `window` that has the focus; -1 when the
    // focus is elsewhere.
    int FocusIdIn(Hwnd window)
    {
        const machine::Window* focus = Windows().Find(Windows().Focus());
        return focus && focus->parent == window ? focus->id : -1;
    }

    TestMachine m_test;
    DialogLog m_log;
    Hwnd m_a = Make("A");
    Hwnd m_b = Make("B");
    Hwnd m_c = Make("C");
};

struct HideCase {
    const char* name;
    bool disableB;
    bool hideB;
    bool disableA;
    char expectedActive;  // 'A', 'B', or 0 for none
};

class HidingTheActiveWindow : public WindowManagerActivation, public ::testing::WithParamInterface<HideCase> {};

TEST_P(HidingTheActiveWindow, ActivatesTheNextVisibleEnabledWindow)
{
    const HideCase& c = GetParam();
    ASSERT_EQ(Windows().ActiveWindow(), m_c);
    if (c.disableB)
        Windows().EnableWindow(m_b, false);
    if (c.hideB)
        Windows().ShowWindow(m_b, 0);
    if (c.disableA)
        Windows().EnableWindow(m_a, false);
    ASSERT_EQ(Windows().ActiveWindow(), m_c) << "changes below the active window leave it active";

    Windows().ShowWindow(m_c, 0);

    const Hwnd expected = c.expectedActive == 'A' ? m_a : c.expectedActive == 'B' ? m_b : 0;
    EXPECT_EQ(Windows().ActiveWindow(), expected);
    if (expected) {
        EXPECT_EQ(Windows().TopLevelOf(Windows().Focus()), expected) << "the focus goes with the activation";
        EXPECT_EQ(FocusIdIn(expected), msg::IdOk) << "to the control that had it, its first tab stop";
    } else {
        EXPECT_EQ(Windows().Focus(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HidingTheActiveWindow,
    ::testing::Values(HideCase{"NextOneDown", false, false, false, 'B'},
                      HideCase{"SkipsADisabledOwner", true, false, false, 'A'},
                      HideCase{"SkipsAHiddenWindow", false, true, false, 'A'},
                      HideCase{"NoneWhenTheRestAreDisabled", true, false, true, 0},
                      HideCase{"NoneWhenTheRestAreHiddenOrDisabled", false, true, true, 0}),
    CaseName());

TEST_F(WindowManagerActivation, TheActiveWindowIsTheTopmostVisibleEnabledOneAndShowingBringsAWindowUp)
{
    EXPECT_EQ(Windows().TopLevelWindows(), (std::vector<Hwnd>{m_c, m_b, m_a}));
    EXPECT_EQ(Windows().ActiveWindow(), m_c);
    Windows().ShowWindow(m_a, 0);
    Windows().ShowWindow(m_a, 5 /* SW_SHOW */);
    EXPECT_EQ(Windows().TopLevelWindows(), (std::vector<Hwnd>{m_a, m_c, m_b}));
    EXPECT_EQ(Windows().ActiveWindow(), m_a);
    Windows().EnableWindow(m_a, false);
    EXPECT_EQ(Windows().ActiveWindow(), m_c) << "a disabled window gives up the activation";
    Windows().EnableWindow(m_a, true);
    EXPECT_EQ(Windows().ActiveWindow(), m_a);
}

enum class GoAway { Destroy, Hide, Disable };

struct RestoreCase {
    const char* name;
    GoAway how;
    bool disableSavedControl;
    int expectedFocus;
};

class ReactivatingAWindow : public WindowManagerActivation, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(ReactivatingAWindow, GivesTheFocusBackToTheControlThatHadIt)
{
    const RestoreCase& c = GetParam();
    // Only A is up; the person moves the focus to its Close button.
    Windows().DestroyWindow(m_c);
    Windows().DestroyWindow(m_b);
    ASSERT_EQ(Windows().ActiveWindow(), m_a);
    Windows().SetFocus(Windows().GetDlgItem(m_a, 1000));
    ASSERT_EQ(FocusIdIn(m_a), 1000);

    // Another window comes up and takes the activation and the focus.
    const Hwnd other = Make("Other");
    ASSERT_EQ(Windows().ActiveWindow(), other);
    EXPECT_EQ(FocusIdIn(other), msg::IdOk);
    if (c.disableSavedControl)
        Windows().EnableWindow(Windows().GetDlgItem(m_a, 1000), false);

    switch (c.how) {
    case GoAway::Destroy:
        Windows().DestroyWindow(other);
        break;
    case GoAway::Hide:
        Windows().ShowWindow(other, 0);
        break;
    case GoAway::Disable:
        Windows().EnableWindow(other, false);
        break;
    }
    EXPECT_EQ(Windows().ActiveWindow(), m_a);
    EXPECT_EQ(FocusIdIn(m_a), c.expectedFocus);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReactivatingAWindow,
                         ::testing::Values(RestoreCase{"AfterTheOtherIsDestroyed", GoAway::Destroy, false, 1000},
                                           RestoreCase{"AfterTheOtherIsHidden", GoAway::Hide, false, 1000},
                                           RestoreCase{"AfterTheOtherIsDisabled", GoAway::Disable, false, 1000},
                                           RestoreCase{"OrToTheFirstTabStopWhenThatControlIsDisabled",
                                                       GoAway::Destroy, true, msg::IdOk}),
                         CaseName());

TEST_F(WindowManagerActivation, ActivationAndFocusChangesAreAnnouncedToTheWindowsConcerned)
{
    m_log.Clear();
    Windows().ShowWindow(m_c, 0);
    std::vector<std::tuple<Hwnd, std::uint32_t, std::uintptr_t>> seen;
    for (const auto& entry : m_log.Entries()) {
        if (entry.message == msg::Activate)
            seen.emplace_back(entry.hwnd, entry.message, entry.wParam);
    }
    const std::vector<std::tuple<Hwnd, std::uint32_t, std::uintptr_t>> expected = {
        {m_c, msg::Activate, 0},
        {m_b, msg::Activate, 1},
    };
    EXPECT_EQ(seen, expected);
}

struct ShowCase {
    const char* name;
    bool visibleBefore;
    int command;
    bool expectedReturn;
    bool visibleAfter;
    bool minimizedAfter;
};

class ShowWindowReturn : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowWindowReturn, TellsWhetherTheWindowWasVisibleBefore)
{
    const ShowCase& c = GetParam();
    TestMachine test;
    DialogLog log;
    machine::DialogLayout layout = DialogWith({PushButton(msg::IdOk, "OK")});
    if (!c.visibleBefore)
        layout.style &= ~msg::WsVisible;
    const Hwnd dialog = test.Windows().CreateDialog(layout, 0, log.Proc(), 0);
    ASSERT_EQ(test.Windows().Find(dialog)->visible, c.visibleBefore);
    log.Clear();

    EXPECT_EQ(test.Windows().ShowWindow(dialog, c.command), c.expectedReturn);
    EXPECT_EQ(test.Windows().Find(dialog)->visible, c.visibleAfter);
    EXPECT_EQ(test.Windows().Find(dialog)->minimized, c.minimizedAfter);
    const bool announced = !log.Only({msg::ShowWindow}).empty();
    EXPECT_EQ(announced, c.visibleBefore != c.visibleAfter) << "WM_SHOWWINDOW comes only with a change";
}

INSTANTIATE_TEST_SUITE_P(Cases, ShowWindowReturn,
                         ::testing::Values(ShowCase{"ShowHidden", false, 5, false, true, false},
                                           ShowCase{"ShowVisible", true, 5, true, true, false},
                                           ShowCase{"HideVisible", true, 0, true, false, false},
                                           ShowCase{"HideHidden", false, 0, false, false, false},
                                           ShowCase{"ShowNormalHidden", false, 1, false, true, false},
                                           ShowCase{"MinimizeVisible", true, 6, true, true, true},
                                           ShowCase{"RestoreHidden", false, 9, false, true, false}),
                         CaseName());

TEST(WindowManagerShow, RestoringAMinimizedWindowClearsTheMinimizedState)
{
    TestMachine test;
    DialogLog log;
    const Hwnd dialog = test.Windows().CreateDialog(DialogWith({}), 0, log.Proc(), 0);
    EXPECT_TRUE(test.Windows().ShowWindow(dialog, 6 /* SW_MINIMIZE */));
    EXPECT_TRUE(test.Windows().Find(dialog)->minimized);
    EXPECT_TRUE(test.Windows().ShowWindow(dialog, 9 /* SW_RESTORE */));
    EXPECT_FALSE(test.Windows().Find(dialog)->minimized);
    EXPECT_FALSE(test.Windows().ShowWindow(0xBAD0, 5)) << "an unknown window was not visible";
}

class WindowManagerDestroy : public ::testing::Test {
protected:
    Hwnd Make(const char* caption, Hwnd owner)
    {
        return Windows().CreateDialog(DialogWith({PushButton(msg::IdOk, "OK")}, caption), owner, m_log.Proc(), 0);
    }
    machine::WindowManager& Windows() { return m_test.Windows(); }

    TestMachine m_test;
    DialogLog m_log;
    Hwnd m_owner = Make("Owner", 0);
    Hwnd m_owned = Make("Owned", m_owner);
    Hwnd m_ownedByOwned = Make("Owned by owned", m_owned);
    Hwnd m_unrelated = Make("Unrelated", 0);
};

TEST_F(WindowManagerDestroy, TakesTheWindowsItOwnsWithItAndThoseGoFirst)
{
    const Hwnd button = Windows().GetDlgItem(m_owner, msg::IdOk);
    m_log.Clear();
    EXPECT_TRUE(Windows().DestroyWindow(m_owner));

    for (Hwnd gone : {m_owner, m_owned, m_ownedByOwned, button})
        EXPECT_FALSE(Windows().IsWindow(gone)) << gone;
    EXPECT_TRUE(Windows().IsWindow(m_unrelated));
    EXPECT_EQ(Windows().TopLevelWindows(), std::vector<Hwnd>{m_unrelated});

    std::vector<Hwnd> destroyed;
    for (const auto& entry : m_log.Entries()) {
        if (entry.message == msg::Destroy)
            destroyed.push_back(entry.hwnd);
    }
    EXPECT_EQ(destroyed, (std::vector<Hwnd>{m_ownedByOwned, m_owned, m_owner}));
    EXPECT_EQ(Windows().ActiveWindow(), m_unrelated);
    EXPECT_FALSE(Windows().DestroyWindow(m_owner)) << "a window is destroyed once";
}

TEST_F(WindowManagerDestroy, RemovesTheTrayIconsAndQueuedMessagesOfTheWindowAndAllItTakesWithIt)
{
    machine::NotificationArea& tray = m_test.Get().Tray();
    ASSERT_TRUE(tray.Add({m_owner, 1, msg::User, 0, "owner"}));
    ASSERT_TRUE(tray.Add({m_owned, 1, msg::User, 0, "owned"}));
    ASSERT_TRUE(tray.Add({m_unrelated, 1, msg::User, 0, "unrelated"}));
    Windows().Post(m_owner, kFirstPosted, 1, 0);
    Windows().Post(m_unrelated, kFirstPosted, 2, 0);
    Windows().Post(m_owned, kFirstPosted, 3, 0);
    Windows().Post(Windows().GetDlgItem(m_owned, msg::IdOk), kFirstPosted, 4, 0);
    Windows().PostInput({Windows().GetDlgItem(m_owner, msg::IdOk), msg::KeyDown, 'A', 0, machine::kNoModifier, {}});

    Windows().DestroyWindow(m_owner);

    ASSERT_EQ(tray.Icons().size(), 1u);
    EXPECT_EQ(tray.Icons()[0].tip, "unrelated");
    std::vector<std::pair<Hwnd, std::uintptr_t>> handed;
    QueuedMessage message;
    while (Windows().GetMessage(message)) {
        if (message.message != msg::Paint)
            handed.emplace_back(message.hwnd, message.wParam);
    }
    EXPECT_EQ(handed, (std::vector<std::pair<Hwnd, std::uintptr_t>>{{m_unrelated, 2}}));
}

TEST_F(WindowManagerDestroy, TheFocusLeavesWithADestroyedControl)
{
    const Hwnd dialog = Windows().CreateDialog(
        DialogWith({PushButton(msg::IdOk, "OK"), PushButton(msg::IdCancel, "Cancel")}), 0, m_log.Proc(), 0);
    const Hwnd cancel = Windows().GetDlgItem(dialog, msg::IdCancel);
    Windows().SetFocus(cancel);
    ASSERT_EQ(Windows().Focus(), cancel);
    EXPECT_TRUE(Windows().DestroyWindow(cancel));
    EXPECT_EQ(Windows().GetDlgItem(dialog, msg::IdCancel), 0u);
    EXPECT_NE(Windows().Focus(), cancel);
    EXPECT_EQ(Windows().Find(dialog)->children.size(), 1u);
}

}  // namespace
}  // namespace pervo::test
