#include "TrayIcon.h"

#include "Resource.h"

void AddTrayIcon(CWnd* pDlg, NOTIFYICONDATAA& nid)
{
    nid.cbSize = sizeof(NOTIFYICONDATAA);
    nid.hWnd = pDlg->m_hWnd;
    nid.uID = IDI_APP_ICON;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_TRAYNOTIFY;
    nid.hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_APP_ICON));
    pDlg->GetWindowText(nid.szTip, sizeof(nid.szTip));
    Shell_NotifyIconA(NIM_ADD, &nid);
}

void RemoveTrayIcon(NOTIFYICONDATAA& nid)
{
    Shell_NotifyIconA(NIM_DELETE, &nid);
}
