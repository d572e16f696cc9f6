#include "Wnd.h"

#include "Dialog.h"
#include "WinApp.h"

#include <map>
#include <memory>

namespace {

// Windows the framework made objects for, and the stand-ins it made on demand.
std::map<DWORD, CWnd*>& PermanentMap()
{
    static std::map<DWORD, CWnd*> map;
    return map;
}

std::map<DWORD, std::unique_ptr<CWnd>>& TemporaryMap()
{
    static std::map<DWORD, std::unique_ptr<CWnd>> map;
    return map;
}

std::map<DWORD, std::unique_ptr<CMenu>>& TemporaryMenus()
{
    static std::map<DWORD, std::unique_ptr<CMenu>> map;
    return map;
}

}  // namespace

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd()
{
    if (m_hWnd)
        PermanentMap().erase(m_hWnd.value);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    auto found = PermanentMap().find(hWnd.value);
    return found == PermanentMap().end() ? nullptr : found->second;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* permanent = FromHandlePermanent(hWnd))
        return permanent;
    auto& temporary = TemporaryMap()[hWnd.value];
    if (!temporary) {
        temporary = std::make_unique<CWnd>();
        temporary->m_hWnd = hWnd;
    }
    return temporary.get();
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    PermanentMap()[hWnd.value] = this;
}

HWND CWnd::Detach()
{
    const HWND hWnd = m_hWnd;
    if (hWnd)
        PermanentMap().erase(hWnd.value);
    m_hWnd = {};
    return hWnd;
}

void AfxDeleteTemporaryObjects()
{
    TemporaryMap().clear();
    TemporaryMenus().clear();
}

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (!hMenu)
        return nullptr;
    auto& menu = TemporaryMenus()[hMenu.value];
    if (!menu) {
        menu = std::make_unique<CMenu>();
        menu->m_hMenu = hMenu;
    }
    return menu.get();
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType)
{
    // A box that names no caption carries the program's name.
    if (!lpszCaption)
        lpszCaption = AfxGetAppName();
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return HICON{static_cast<std::uint32_t>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, static_cast<LPARAM>(hIcon.value)))};
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    Win32QuietCalls quiet;
    RECT area{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    // Centre over the owner while it can be seen, otherwise in the work area,
    // and keep the whole window inside the work area.
    HWND owner = pAlternateOwner ? pAlternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    RECT target = area;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &target);
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int left = target.left + ((target.right - target.left) - width) / 2;
    int top = target.top + ((target.bottom - target.top) - height) / 2;
    if (left + width > area.right)
        left = area.right - width;
    if (top + height > area.bottom)
        top = area.bottom - height;
    if (left < area.left)
        left = area.left;
    if (top < area.top)
        top = area.top;
    ::MoveWindow(m_hWnd, left, top, width, height, FALSE);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMessage, m_currentWParam, m_currentLParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const UINT savedMessage = m_currentMessage;
    const WPARAM savedWParam = m_currentWParam;
    const LPARAM savedLParam = m_currentLParam;
    m_currentMessage = message;
    m_currentWParam = wParam;
    m_currentLParam = lParam;
    BOOL handled = FALSE;
    if (message == WM_COMMAND) {
        handled = OnCommand(wParam, lParam);
        if (handled && pResult)
            *pResult = 0;
    } else {
        handled = DispatchToMap(message, wParam, lParam, pResult);
    }
    m_currentMessage = savedMessage;
    m_currentWParam = savedWParam;
    m_currentLParam = savedLParam;
    return handled;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

void CWnd::OnSysCommand(UINT, LPARAM)
{
    Default();
}

void CWnd::OnPaint()
{
    Default();
}

void CWnd::OnClose()
{
    Default();
}

HICON CWnd::OnQueryDragIcon()
{
    return HICON{static_cast<std::uint32_t>(Default())};
}

void CWnd::OnWindowDestroyed()
{
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    TemporaryMap().erase(m_hWnd.value);
    Detach();
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}
