// CDialog::DoModal: the owner is disabled while the dialog runs, a hidden
// template shows when its loop is first idle, keys go through the program's
// filter and the dialog manager, and the session ending ends the dialog.

#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

namespace pervo::test {
namespace {

class CModalApp : public CWinApp {
public:
    CModalApp() : CWinApp("Modal Test") {}

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CModalApp, CWinApp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

class DoModal : public ::testing::Test {
protected:
    DoModal()
    {
        m_app.InitNames();
        m_mainHwnd = CreateFromTemplate(m_main, kSimpleDialog);
        m_app.m_pMainWnd = &m_main;
    }
    ~DoModal() override
    {
        if (IsWindow(m_mainHwnd))
            DestroyWindow(m_mainHwnd);
    }

    machine::WindowManager& Windows() { return m_test.Windows(); }

    TestMachine m_test;
    CModalApp m_app;
    CDialog m_main{kSimpleDialog};
    HWND m_mainHwnd{};
};

TEST_F(DoModal, ShowsAHiddenDialogOverItsDisabledOwnerAndEndsWithTheButtonPressed)
{
    CDialog about(kHiddenDialog);
    m_test.Input().Then([&](machine::Machine& machine) {
        const machine::Window* window = machine.Windows().Find(about.m_hWnd.value);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->visible) << "shown once its loop had nothing else to do";
        EXPECT_EQ(machine.Windows().ActiveWindow(), about.m_hWnd.value);
        EXPECT_EQ(window->owner, m_mainHwnd.value) << "a dialog given no parent is owned by the main window";
        EXPECT_FALSE(IsWindowEnabled(m_mainHwnd));
        PressKey(machine.Windows(), VK_RETURN);
    });
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_FALSE(about.m_hWnd) << "the dialog's window is gone";
    EXPECT_TRUE(IsWindowEnabled(m_mainHwnd));
    EXPECT_EQ(GetActiveWindow(), m_mainHwnd);
    EXPECT_EQ(m_test.Input().Calls(), 1);
}

TEST_F(DoModal, F1InsideTheDialogAsksForItsHelpAndEscapeCancels)
{
    CDialog about(kHiddenDialog);
    m_test.Input().Then([](machine::Machine& machine) { PressKey(machine.Windows(), VK_F1); });
    m_test.Input().Then([](machine::Machine& machine) { PressKey(machine.Windows(), VK_ESCAPE); });
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    const auto& requests = m_test.Get().Help().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].data, HID_BASE_RESOURCE + kHiddenDialog);
}

TEST_F(DoModal, TheSessionEndingEndsTheDialogWithMinusOne)
{
    CDialog about(kHiddenDialog);
    EXPECT_EQ(about.DoModal(), -1);
    EXPECT_TRUE(IsWindowEnabled(m_mainHwnd));
    EXPECT_EQ(m_test.Get().Windows().TopLevelWindows(), std::vector<machine::Hwnd>{m_mainHwnd.value});
}

TEST_F(DoModal, ADialogWhoseTemplateIsMissingReturnsMinusOneAtOnce)
{
    CDialog missing(999);
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_EQ(m_test.Input().Calls(), 0);
    EXPECT_TRUE(IsWindowEnabled(m_mainHwnd));
}

}  // namespace
}  // namespace pervo::test
