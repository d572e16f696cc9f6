// Message tables: a derived class's row wins over its base's, a row only in
// the base is still found, WM_COMMAND rows match both the id and the
// notification code, and commands no dialog handles go on to the dialog's
// owner and then to the application object.

#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pervo::test {
namespace {

using test::PrintTo;

constexpr UINT kShared = 2001;     // in the base dialog and the derived one
constexpr UINT kBaseOnly = 2002;   // only in the base dialog
constexpr UINT kList = 2003;       // the dialog takes CBN_SELCHANGE; the program takes the plain command
constexpr UINT kOwnerOnly = 2004;  // only in the owner
constexpr UINT kBoth = 2005;       // in the owner and the program
constexpr UINT kAppOnly = 2006;    // only in the program
constexpr UINT kNobody = 2007;
constexpr UINT kSharedMessage = WM_USER + 5;
constexpr UINT kBaseMessage = WM_USER + 6;

// The handlers that ran, in order, by name.
std::vector<std::string>& Handled()
{
    static std::vector<std::string> handled;
    return handled;
}

class CTestApp : public CWinApp {
public:
    CTestApp() : CWinApp("Message Map Test") {}

protected:
    afx_msg void OnAppOnly() { Handled().push_back("app.appOnly"); }
    afx_msg void OnBoth() { Handled().push_back("app.both"); }
    afx_msg void OnList() { Handled().push_back("app.list"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestApp, CWinApp)
    ON_COMMAND(kAppOnly, OnAppOnly)
    ON_COMMAND(kBoth, OnBoth)
    ON_COMMAND(kList, OnList)
END_MESSAGE_MAP()

class COwnerDlg : public CDialog {
public:
    COwnerDlg() : CDialog(kSimpleDialog) {}

protected:
    afx_msg void OnOwnerOnly() { Handled().push_back("owner.ownerOnly"); }
    afx_msg void OnBoth() { Handled().push_back("owner.both"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COwnerDlg, CDialog)
    ON_COMMAND(kOwnerOnly, OnOwnerOnly)
    ON_COMMAND(kBoth, OnBoth)
END_MESSAGE_MAP()

class CBaseDlg : public CDialog {
public:
    CBaseDlg() : CDialog(kSimpleDialog) {}

protected:
    afx_msg void OnShared() { Handled().push_back("base.shared"); }
    afx_msg void OnBaseOnly() { Handled().push_back("base.baseOnly"); }
    afx_msg void OnListSelChange() { Handled().push_back("base.listSelChange"); }
    afx_msg LRESULT OnSharedMessage(WPARAM, LPARAM) { Handled().push_back("base.sharedMessage"); return 7; }
    afx_msg LRESULT OnBaseMessage(WPARAM wParam, LPARAM lParam)
    {
        Handled().push_back("base.baseMessage");
        return static_cast<LRESULT>(wParam) + lParam;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
    ON_COMMAND(kShared, OnShared)
    ON_COMMAND(kBaseOnly, OnBaseOnly)
    {WM_COMMAND, CBN_SELCHANGE, kList, kList,
     [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { static_cast<CBaseDlg*>(target)->OnListSelChange(); return 0; }},
    ON_MESSAGE(kSharedMessage, OnSharedMessage)
    ON_MESSAGE(kBaseMessage, OnBaseMessage)
END_MESSAGE_MAP()

class CDerivedDlg : public CBaseDlg {
protected:
    afx_msg void OnShared() { Handled().push_back("derived.shared"); }
    afx_msg LRESULT OnSharedMessage(WPARAM, LPARAM) { Handled().push_back("derived.sharedMessage"); return 42; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDlg, CBaseDlg)
    ON_COMMAND(kShared, OnShared)
    ON_MESSAGE(kSharedMessage, OnSharedMessage)
END_MESSAGE_MAP()

class MessageMaps : public ::testing::Test {
protected:
    MessageMaps()
    {
        Handled().clear();
        m_ownerHwnd = CreateFromTemplate(m_owner, kSimpleDialog);
        m_dialogHwnd = CreateFromTemplate(m_dialog, kSimpleDialog, m_ownerHwnd);
    }
    ~MessageMaps() override
    {
        if (IsWindow(m_ownerHwnd))
            DestroyWindow(m_ownerHwnd);
    }

    LRESULT Command(UINT id, UINT code) { return SendMessageA(m_dialogHwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)), 0); }

    TestMachine m_test;
    CTestApp m_app;
    COwnerDlg m_owner;
    CDerivedDlg m_dialog;
    HWND m_ownerHwnd{};
    HWND m_dialogHwnd{};
};

TEST_F(MessageMaps, TheDialogsAreAttachedToTheirWindows)
{
    ASSERT_TRUE(m_dialogHwnd);
    EXPECT_EQ(m_dialog.m_hWnd, m_dialogHwnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(m_dialogHwnd), &m_dialog);
    EXPECT_EQ(CWnd::FromHandlePermanent(m_ownerHwnd), &m_owner);
    EXPECT_EQ(GetWindow(m_dialogHwnd, GW_OWNER), m_ownerHwnd);
}

struct RouteCase {
    const char* name;
    UINT id;
    UINT code;
    std::vector<std::string> handled;
};

class CommandRouting : public MessageMaps, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(CommandRouting, FindsTheRowThatTakesTheCommand)
{
    Command(GetParam().id, GetParam().code);
    EXPECT_EQ(Handled(), GetParam().handled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandRouting,
    ::testing::Values(RouteCase{"TheDerivedRowWins", kShared, 0, {"derived.shared"}},
                      RouteCase{"ARowOnlyInTheBaseIsFound", kBaseOnly, 0, {"base.baseOnly"}},
                      RouteCase{"ANotificationRowMatchesItsCode", kList, CBN_SELCHANGE, {"base.listSelChange"}},
                      RouteCase{"APlainCommandSkipsANotificationRow", kList, 0, {"app.list"}},
                      RouteCase{"ANotificationNoRowTakesStaysInTheDialog", kList, CBN_DROPDOWN, {}},
                      RouteCase{"TheOwnerTakesWhatTheDialogDoesNot", kOwnerOnly, 0, {"owner.ownerOnly"}},
                      RouteCase{"TheOwnerComesBeforeTheProgram", kBoth, 0, {"owner.both"}},
                      RouteCase{"TheProgramTakesWhatNoWindowDoes", kAppOnly, 0, {"app.appOnly"}},
                      RouteCase{"NobodyTakesAnUnknownCommand", kNobody, 0, {}},
                      RouteCase{"SystemCommandIdsDoNotLeaveTheDialog", 0xF060, 0, {}}),
    CaseName());

TEST_F(MessageMaps, OtherMessagesFindTheDerivedRowFirstAndReturnTheHandlersResult)
{
    EXPECT_EQ(SendMessageA(m_dialogHwnd, kSharedMessage, 0, 0), 42);
    EXPECT_EQ(SendMessageA(m_dialogHwnd, kBaseMessage, 3, 4), 7);
    EXPECT_EQ(Handled(), (std::vector<std::string>{"derived.sharedMessage", "base.baseMessage"}));
}

TEST_F(MessageMaps, CancelWithoutARowOfItsOwnReachesTheFrameworksDialogAndEndsIt)
{
    Command(IDCANCEL, BN_CLICKED);
    EXPECT_TRUE(Handled().empty());
    const machine::Window* window = m_test.Windows().Find(m_dialogHwnd.value);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->dialogEnded);
    EXPECT_EQ(window->dialogResult, IDCANCEL);
    EXPECT_FALSE(m_test.Windows().Find(m_ownerHwnd.value)->dialogEnded) << "the owner is not ended with it";
}

TEST_F(MessageMaps, ACommandForAnOwnerWithoutAFrameworkObjectGoesToTheProgram)
{
    DestroyWindow(m_ownerHwnd);
    Handled().clear();
    CDerivedDlg alone;
    const HWND hwnd = CreateFromTemplate(alone, kSimpleDialog);
    SendMessageA(hwnd, WM_COMMAND, kBoth, 0);
    EXPECT_EQ(Handled(), std::vector<std::string>{"app.both"});
    DestroyWindow(hwnd);
}

TEST_F(MessageMaps, DestroyingTheWindowLetsTheObjectGo)
{
    DestroyWindow(m_ownerHwnd);
    EXPECT_FALSE(m_dialog.m_hWnd) << "an owned dialog goes with its owner";
    EXPECT_FALSE(m_owner.m_hWnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(m_dialogHwnd), nullptr);
}

}  // namespace
}  // namespace pervo::test
