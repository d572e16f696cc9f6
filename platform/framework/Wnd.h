#pragma once

#include "AfxString.h"
#include "CmdTarget.h"

class CMenu;
class CDataExchange;

struct CRect : RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
};

// A device context for drawing.
class CDC {
public:
    HDC m_hDC{};
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
};

class CWnd;

// The context of a paint message: begun when constructed, ended when destroyed.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd{};
};

// A window: the framework object attached to a window handle, with its
// message table and default processing.
class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd{};
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The framework object of a window: its own when it has one, otherwise a
    // temporary one that lives until the window is destroyed or the program ends.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    void Attach(HWND hWnd);
    HWND Detach();

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageA(m_hWnd, message, wParam, lParam); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) { return ::PostMessageA(m_hWnd, message, wParam, lParam); }
    CWnd* GetDlgItem(int nID) const;
    int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const { return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount); }
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
    CMenu* GetSystemMenu(BOOL bRevert) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }

    // Default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // The default handlers a derived table may name.
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg void OnClose();
    afx_msg HICON OnQueryDragIcon();

    // Called when the window is destroyed: the object lets go of it.
    virtual void OnWindowDestroyed();

protected:
    DECLARE_MESSAGE_MAP()

    // The message being handled, for Default().
    UINT m_currentMessage = 0;
    WPARAM m_currentWParam = 0;
    LPARAM m_currentLParam = 0;
    // Set while default processing of this message is under way, so that the
    // dialog procedure lets the window manager do it rather than route it again.
    UINT m_defaulting = 0;

    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

class CMenu {
public:
    HMENU m_hMenu{};
    static CMenu* FromHandle(HMENU hMenu);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr)
    {
        return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
    }
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Drops the temporary objects made by FromHandle; the framework calls it as
// the program ends.
void AfxDeleteTemporaryObjects();
