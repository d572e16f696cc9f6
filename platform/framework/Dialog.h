#pragma once

#include "Wnd.h"

// A dialog made from a template and run modally: DoModal creates it, runs its
// own message loop until EndDialog, and destroys it.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // The template's id names the dialog's help context.
    UINT m_nIDHelp;

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCmdMsg(UINT nID, int nCode) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The dialog procedure's share of WM_INITDIALOG: the program's own
    // initialisation, then the framework's centring.
    LRESULT HandleInitDialog();

protected:
    DECLARE_MESSAGE_MAP()

    LPCSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;

private:
    void RunModalLoop(bool showWhenIdle);

    bool m_continueModal = false;
    INT_PTR m_nModalResult = -1;
};
