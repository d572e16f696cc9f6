#include "WinApp.h"

#include "AppNames.h"
#include "Dialog.h"

#include <cassert>
#include <vector>

namespace {
CWinApp* g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    assert(!g_app && "a program has exactly one application object");
    g_app = this;
    if (lpszAppName) {
        m_givenName = lpszAppName;
        m_hasGivenName = true;
    }
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::InitNames()
{
    Win32QuietCalls quiet;
    m_hInstance = ::GetModuleHandleA(nullptr);
    std::vector<char> path(260);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    const AppNames names = DeriveAppNames(path.data());
    m_exeName = names.appName;
    m_helpFile = names.helpFile;
    m_profileName = names.profileName;
    // The name is the program's own when it gave one, else the string table's
    // title, else the executable's name.
    if (m_hasGivenName) {
        m_appName = m_givenName;
    } else {
        CString title;
        if (title.LoadString(AFX_IDS_APP_TITLE))
            m_appName = static_cast<LPCSTR>(title);
        else
            m_appName = names.appName;
    }
    m_pszAppName = m_appName.c_str();
    m_pszHelpFilePath = m_helpFile.c_str();
    m_pszProfileName = m_profileName.c_str();
    m_pszExeName = m_exeName.c_str();
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

int CWinApp::Run()
{
    // The programs this framework runs end their work inside InitInstance.
    return ExitInstance();
}

BOOL CWinApp::ProcessMessageFilter(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN || pMsg->wParam != VK_F1)
        return FALSE;
    if (::GetKeyState(static_cast<int>(VK_SHIFT)) < 0 || ::GetKeyState(static_cast<int>(VK_CONTROL)) < 0 ||
        ::GetKeyState(static_cast<int>(VK_MENU)) < 0)
        return FALSE;
    HWND top = pMsg->hwnd;
    while (HWND parent = ::GetParent(top)) {
        if (::GetWindowLongPtrA(top, GWL_STYLE) & WS_CHILD)
            top = parent;
        else
            break;
    }
    ::SendMessageA(top, WM_COMMAND, ID_HELP, 0);
    return TRUE;
}

void CWinApp::OnHelp()
{
    // The help context belongs to the dialog that holds the focus.
    HWND focus{};
    {
        Win32QuietCalls quiet;
        focus = ::GetFocus();
        while (focus && (::GetWindowLongPtrA(focus, GWL_STYLE) & WS_CHILD))
            focus = ::GetParent(focus);
    }
    auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(focus));
    if (!dialog)
        dialog = dynamic_cast<CDialog*>(m_pMainWnd);
    if (dialog && dialog->m_nIDHelp)
        WinHelp(HID_BASE_RESOURCE + dialog->m_nIDHelp, HELP_CONTEXT);
}

void CWinApp::WinHelp(DWORD_PTR dwData, UINT nCmd)
{
    const HWND main = m_pMainWnd ? m_pMainWnd->m_hWnd : HWND{};
    if (!::WinHelpA(main, m_pszHelpFilePath, nCmd, dwData))
        AfxMessageBox("Failed to launch help.", MB_OK | MB_ICONEXCLAMATION);
}

CWinApp* AfxGetApp()
{
    return g_app;
}

CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : kImageBase;
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

LPCSTR AfxGetAppName()
{
    return g_app && g_app->m_pszAppName ? g_app->m_pszAppName : "";
}

int AfxMessageBox(LPCSTR lpszText, UINT nType)
{
    // The box is owned by the window the person is working in.
    HWND owner{};
    {
        Win32QuietCalls quiet;
        owner = ::GetActiveWindow();
        if (!owner && AfxGetMainWnd())
            owner = AfxGetMainWnd()->m_hWnd;
    }
    return ::MessageBoxA(owner, lpszText, AfxGetAppName(), nType);
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_pMainWnd = nullptr;
    app->InitNames();
    int status = 0;
    if (!app->InitInstance())
        status = app->ExitInstance();
    else
        status = app->Run();
    AfxDeleteTemporaryObjects();
    return status;
}
