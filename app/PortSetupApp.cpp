#include "PortSetupApp.h"

#include "PortSetupDlg.h"

BEGIN_MESSAGE_MAP(CPortSetupApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CPortSetupApp::CPortSetupApp() {}

// The one application object.
CPortSetupApp theApp;

BOOL CPortSetupApp::InitInstance()
{
    Enable3dControlsStatic();

    CPortSetupDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The dialog has ended; returning FALSE skips the message loop and ends
    // the program.
    return FALSE;
}
