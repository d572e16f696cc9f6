#include "PortSetupDlg.h"

#include "AboutDlg.h"
#include "DriverChannel.h"
#include "PortDiscovery.h"
#include "PortSelection.h"
#include "PortSettingStore.h"
#include "Resource.h"
#include "TrayIcon.h"

CPortSetupDlg::CPortSetupDlg(CWnd* pParent)
    : CDialog(IDD_PORTSETUP_DIALOG, pParent), m_hDriver(INVALID_HANDLE_VALUE), m_nid{}
{
    m_hIcon = LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_APP_ICON));
}

void CPortSetupDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BEGIN_MESSAGE_MAP(CPortSetupDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_CLOSE_APP, OnCloseApp)
    ON_MESSAGE(WM_POSTINIT, OnPostInit)
    ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

BOOL CPortSetupDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // "About..." goes at the end of the system menu, below a separator.
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_hDriver = OpenDriverChannel();
    if (m_hDriver != INVALID_HANDLE_VALUE && GetDlgItem(IDC_PORT_LIST) != nullptr) {
        FillPortList(this);
        RestorePortSelection(this, m_hDriver);
    }

    // The rest waits until the window exists and is shown.
    PostMessage(WM_POSTINIT, 0, 0);
    return TRUE;
}

LRESULT CPortSetupDlg::OnPostInit(WPARAM, LPARAM)
{
    if (m_hDriver == INVALID_HANDLE_VALUE) {
        CString strFailed;
        strFailed.LoadString(IDS_DRIVER_LOAD_FAILED);
        MessageBox(strFailed, nullptr, MB_OK);
        CDialog::OnOK();
    } else {
        AddTrayIcon(this, m_nid);
    }
    ShowWindow(SW_HIDE);
    return 0;
}

LRESULT CPortSetupDlg::OnTrayNotify(WPARAM, LPARAM lParam)
{
    if (lParam == WM_LBUTTONDBLCLK)
        ShowWindow(SW_RESTORE);
    return 0;
}

void CPortSetupDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CPortSetupDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, static_cast<WPARAM>(dc.GetSafeHdc().value), 0);

        // Centre the icon in the client rectangle.
        int cxIcon = GetSystemMetrics(SM_CXICON);
        int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        int x = (rect.Width() - cxIcon + 1) / 2;
        int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HICON CPortSetupDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void CPortSetupDlg::OnOK()
{
    CWnd* pList = GetDlgItem(IDC_PORT_LIST);
    if (pList != nullptr) {
        char szText[PORT_TEXT_MAX] = {};
        pList->GetWindowText(szText, PORT_TEXT_MAX);
        DWORD dwPort = 0;
        // Only a port the list names is sent and stored; otherwise the stored
        // setting stays as it was.
        if (PortFromListText(szText, &dwPort)) {
            SendCommPort(m_hDriver, dwPort);
            WritePortSetting(dwPort);
        }
    }
    ShowWindow(SW_HIDE);
}

void CPortSetupDlg::OnCancel()
{
    ShowWindow(SW_HIDE);
}

void CPortSetupDlg::OnClose()
{
    CDialog::OnClose();
}

void CPortSetupDlg::OnCloseApp()
{
    RemoveTrayIcon(m_nid);
    if (m_hDriver != INVALID_HANDLE_VALUE)
        CloseDriverChannel(m_hDriver);
    // The base class's OK ends the run; the selection is not stored on this way out.
    CDialog::OnOK();
}
