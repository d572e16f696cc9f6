#include "Dialog.h"

#include "WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_lpszTemplateName(MAKEINTRESOURCEA(static_cast<WORD>(nIDTemplate))),
      m_pParentWnd(pParentWnd)
{
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        if (!dialog)
            return FALSE;
        dialog->Attach(hWnd);
        return dialog->HandleInitDialog();
    }
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (!wnd)
        return FALSE;
    if (wnd->m_defaulting == message) {
        // Default processing asked for by a handler: leave it to the window manager.
        wnd->m_defaulting = 0;
        return FALSE;
    }
    LRESULT result = 0;
    const BOOL handled = wnd->OnWndMsg(message, wParam, lParam, &result);
    if (message == WM_DESTROY) {
        wnd->OnWindowDestroyed();
        return FALSE;
    }
    if (!handled)
        return FALSE;
    if (message == WM_QUERYDRAGICON)
        return result;
    {
        Win32QuietCalls quiet;
        ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
    }
    return TRUE;
}

LRESULT CDialog::HandleInitDialog()
{
    RECT before{};
    {
        Win32QuietCalls quiet;
        ::GetWindowRect(m_hWnd, &before);
    }
    const BOOL result = OnInitDialog();
    Win32QuietCalls quiet;
    // A dialog that did not place itself, and whose template gives no place,
    // is centred once it is initialised.
    RECT after{};
    ::GetWindowRect(m_hWnd, &after);
    const DWORD style = GetStyle();
    if (after.left == before.left && after.top == before.top && !(style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)))
        CenterWindow();
    return result;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);
    m_nModalResult = nResult;
    m_continueModal = false;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The dialog's own procedure is the framework's; the window manager's
    // default dialog processing asks it first, so mark this message as one it
    // must pass on.
    const UINT saved = m_defaulting;
    m_defaulting = message;
    const LRESULT result = ::DefDlgProcA(m_hWnd, message, wParam, lParam);
    m_defaulting = saved;
    return result;
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    // Commands no dialog handles go on to the owner and then to the program.
    if (nCode != 0 || nID >= 0xF000)
        return FALSE;
    HWND owner{};
    {
        Win32QuietCalls quiet;
        owner = ::GetWindow(m_hWnd, GW_OWNER);
    }
    if (CWnd* ownerWnd = CWnd::FromHandlePermanent(owner); ownerWnd && ownerWnd->CCmdTarget::OnCmdMsg(nID, nCode))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    Win32QuietCalls quiet;
    if (CWinApp* app = AfxGetApp(); app && app->ProcessMessageFilter(pMsg))
        return TRUE;
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

INT_PTR CDialog::DoModal()
{
    Win32QuietCalls quiet;
    const HINSTANCE resources = AfxGetResourceHandle();
    const HRSRC found = ::FindResourceA(resources, m_lpszTemplateName, MAKEINTRESOURCEA(RT_DIALOG_ID));
    const auto* dialogTemplate = static_cast<const DialogTemplate*>(::LockResource(::LoadResource(resources, found)));
    if (!dialogTemplate)
        return -1;

    // A dialog given no parent is owned by the program's main window, which
    // is disabled while it runs.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : HWND{};
    if (!owner) {
        if (CWnd* main = AfxGetMainWnd(); main && main != this)
            owner = main->m_hWnd;
    }
    const bool enableOwner = owner && ::IsWindowEnabled(owner) && !::EnableWindow(owner, FALSE);

    m_continueModal = true;
    m_nModalResult = -1;
    const HWND created = ::CreateDialogIndirectParamA(resources, dialogTemplate, owner, AfxDlgProc,
                                                      reinterpret_cast<LPARAM>(this));
    if (created && m_continueModal)
        RunModalLoop(!(dialogTemplate->style & WS_VISIBLE));

    if (m_hWnd)
        ::ShowWindow(m_hWnd, SW_HIDE);
    if (enableOwner)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    return m_nModalResult;
}

void CDialog::RunModalLoop(bool showWhenIdle)
{
    MSG message{};
    while (m_continueModal) {
        // A dialog whose template is hidden appears when its loop first has
        // nothing else to do.
        if (showWhenIdle && !::PeekMessageA(&message, {}, 0, 0, PM_NOREMOVE)) {
            ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            showWhenIdle = false;
            continue;
        }
        if (!::GetMessageA(&message, {}, 0, 0)) {
            // The session is over; the dialog ends with it.
            m_continueModal = false;
            m_nModalResult = -1;
            break;
        }
        if (!PreTranslateMessage(&message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}
