// F1: the application object's message filter turns it into the Help command
// of the dialog it was pressed in, unless Shift, Ctrl or Alt is held; the
// program's Help handler asks for the help of the dialog with the focus.

#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

namespace pervo::test {
namespace {

using test::PrintTo;

class CHelpApp : public CWinApp {
public:
    CHelpApp() : CWinApp("Help Test") {}

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHelpApp, CWinApp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

class HelpRouting : public ::testing::Test {
protected:
    HelpRouting()
    {
        m_app.InitNames();
        m_mainHwnd = CreateFromTemplate(m_main, kSimpleDialog);
        m_app.m_pMainWnd = &m_main;
    }
    ~HelpRouting() override
    {
        if (IsWindow(m_mainHwnd))
            DestroyWindow(m_mainHwnd);
    }

    machine::WindowManager& Windows() { return m_test.Windows(); }
    const std::vector<machine::HelpRequest>& Requests() { return m_test.Get().Help().Requests(); }

    // Presses F1 on the control with the focus and gives the message the
    // modal loop takes to the application's filter.
    BOOL PressF1(std::uint32_t message, std::uint32_t modifiers)
    {
        Windows().PostInput({Windows().Focus(), message, VK_F1, 0, modifiers, {}});
        MSG taken{};
        EXPECT_TRUE(GetMessageA(&taken, {}, 0, 0));
        EXPECT_EQ(taken.message, message);
        return m_app.ProcessMessageFilter(&taken);
    }

    TestMachine m_test;
    CHelpApp m_app;
    CDialog m_main{kSimpleDialog};
    HWND m_mainHwnd{};
};

struct F1Case {
    const char* name;
    std::uint32_t message;
    std::uint32_t modifiers;
    BOOL taken;
};

class PressingF1 : public HelpRouting, public ::testing::WithParamInterface<F1Case> {};

TEST_P(PressingF1, AsksForTheDialogsHelpOnlyWithoutModifiers)
{
    ASSERT_EQ(GetFocus(), GetDlgItem(m_mainHwnd, IDOK)) << "F1 is pressed on a control, not on the dialog";
    EXPECT_EQ(PressF1(GetParam().message, GetParam().modifiers), GetParam().taken);
    if (GetParam().taken) {
        ASSERT_EQ(Requests().size(), 1u);
        EXPECT_EQ(Requests()[0].file, "/usr/bin/pervo.HLP");
        EXPECT_EQ(Requests()[0].command, HELP_CONTEXT);
        EXPECT_EQ(Requests()[0].data, HID_BASE_RESOURCE + kSimpleDialog);
    } else {
        EXPECT_TRUE(Requests().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PressingF1,
                         ::testing::Values(F1Case{"Plain", WM_KEYDOWN, machine::kNoModifier, TRUE},
                                           F1Case{"Shift", WM_KEYDOWN, machine::kShift, FALSE},
                                           F1Case{"Ctrl", WM_KEYDOWN, machine::kControl, FALSE},
                                           F1Case{"ShiftCtrl", WM_KEYDOWN, machine::kShift | machine::kControl, FALSE},
                                           F1Case{"AltAsTheKeyboardSendsIt", WM_SYSKEYDOWN, machine::kAlt, FALSE},
                                           F1Case{"AltHeldOnAKeyDown", WM_KEYDOWN, machine::kAlt, FALSE}),
                         CaseName());

TEST_F(HelpRouting, TheModifiersAreThoseOfTheKeyNotOfAnEarlierOne)
{
    EXPECT_FALSE(PressF1(WM_KEYDOWN, machine::kShift));
    EXPECT_TRUE(PressF1(WM_KEYDOWN, machine::kNoModifier));
    EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(HelpRouting, OtherKeysPassTheFilter)
{
    Windows().PostInput({Windows().Focus(), WM_KEYDOWN, VK_RETURN, 0, machine::kNoModifier, {}});
    MSG taken{};
    ASSERT_TRUE(GetMessageA(&taken, {}, 0, 0));
    EXPECT_FALSE(m_app.ProcessMessageFilter(&taken));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(HelpRouting, TheHelpIsThatOfTheDialogWithTheFocus)
{
    CDialog about(kHiddenDialog);
    const HWND aboutHwnd = CreateFromTemplate(about, kHiddenDialog, m_mainHwnd);
    ShowWindow(aboutHwnd, SW_SHOWNORMAL);
    ASSERT_EQ(GetActiveWindow(), aboutHwnd);
    EXPECT_TRUE(PressF1(WM_KEYDOWN, machine::kNoModifier));
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0].data, HID_BASE_RESOURCE + kHiddenDialog);
    DestroyWindow(aboutHwnd);
}

TEST(HelpWithoutAHelpSystem, ThePersonIsToldSoInABoxOverTheDialog)
{
    machine::MachineConfig config;
    config.helpSystemPresent = false;
    TestMachine test(config);
    CHelpApp app;
    app.InitNames();
    CDialog dialog(kSimpleDialog);
    const HWND hwnd = CreateFromTemplate(dialog, kSimpleDialog);
    app.m_pMainWnd = &dialog;
    bool sawBox = false;
    test.Input().Then([&](machine::Machine& machine) {
        const machine::Window* box = machine.Windows().Find(machine.Windows().ActiveWindow());
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isMessageBox);
        EXPECT_EQ(box->messageBoxText, "Failed to launch help.");
        EXPECT_EQ(box->text, "Help Test") << "the box carries the program's name";
        EXPECT_EQ(box->owner, hwnd.value);
        sawBox = true;
        PressKey(machine.Windows(), VK_RETURN);
    });
    test.Windows().PostInput({test.Windows().Focus(), WM_KEYDOWN, VK_F1, 0, machine::kNoModifier, {}});
    MSG taken{};
    ASSERT_TRUE(GetMessageA(&taken, {}, 0, 0));
    EXPECT_TRUE(app.ProcessMessageFilter(&taken));
    EXPECT_TRUE(sawBox);
    EXPECT_TRUE(test.Get().Help().Requests().empty());
    DestroyWindow(hwnd);
}

}  // namespace
}  // namespace pervo::test
