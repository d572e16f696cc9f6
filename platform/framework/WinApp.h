#pragma once

#include "CmdTarget.h"
#include "Wnd.h"

#include <string>

constexpr UINT ID_HELP = 0xE146;
constexpr UINT AFX_IDS_APP_TITLE = 0xE000;
constexpr DWORD HID_BASE_RESOURCE = 0x20000;
using DWORD_PTR = std::uintptr_t;

// The program's application object: exactly one, a global made before the
// framework's entry routine runs.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();

    // F1 without Shift, Ctrl or Alt becomes the Help command, sent to the
    // dialog the key was pressed in. TRUE when the message was taken.
    virtual BOOL ProcessMessageFilter(MSG* pMsg);

    virtual void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT);
    afx_msg void OnHelp();

    // Dialogs keep the system's own look from Windows 4.0 on; asking for the
    // three-dimensional controls changes nothing there.
    BOOL Enable3dControlsStatic() { return FALSE; }

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance{};
    LPCSTR m_pszAppName = nullptr;
    LPCSTR m_pszHelpFilePath = nullptr;
    LPCSTR m_pszProfileName = nullptr;
    LPCSTR m_pszExeName = nullptr;

    // The framework's start-up: names from the executable's path, unless the
    // program gave its own.
    void InitNames();

protected:
    DECLARE_MESSAGE_MAP()

private:
    std::string m_givenName;
    bool m_hasGivenName = false;
    std::string m_appName;
    std::string m_helpFile;
    std::string m_profileName;
    std::string m_exeName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
LPCSTR AfxGetAppName();
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);

// The framework's entry routine: runs the application object's start-up and
// its exit, and returns the process's exit status.
int AfxWinMain();
