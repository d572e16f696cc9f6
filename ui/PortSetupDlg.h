#pragma once

#include "Afx.h"

// The main dialog: the port list with OK, Cancel and Close. It lives for the
// whole run, hidden most of the time behind its tray icon, and owns the
// driver channel, the tray record and the icon.
class CPortSetupDlg : public CDialog {
public:
    explicit CPortSetupDlg(CWnd* pParent = nullptr);

protected:
    HANDLE m_hDriver;
    NOTIFYICONDATAA m_nid;
    HICON m_hIcon;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HICON OnQueryDragIcon();
    afx_msg void OnCloseApp();
    afx_msg LRESULT OnPostInit(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    afx_msg void OnClose();

    DECLARE_MESSAGE_MAP()
};
