// Windows, messages, dialogs, menus, painting, message boxes and help.

#include "Win32Internal.h"
#include "WindowMessages.h"

#include <cstring>

using namespace pervo;
using namespace pervo::win32;

static_assert(WM_COMMAND == machine::msg::Command && WM_SYSCOMMAND == machine::msg::SysCommand &&
              CB_SELECTSTRING == machine::msg::ComboSelectString && SC_CLOSE == machine::msg::ScClose &&
              WM_INITDIALOG == machine::msg::InitDialog && DM_GETDEFID == machine::msg::GetDefaultId,
              "the window manager and the win32 layer must number messages alike");

namespace {

machine::WindowManager& Windows()
{
    return CurrentMachine().Windows();
}

machine::Window* FindWindow(HWND hwnd)
{
    machine::Window* window = Windows().Find(hwnd.value);
    if (!window)
        SetError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

bool CarriesText(UINT message)
{
    return message == CB_INSERTSTRING || message == CB_ADDSTRING || message == CB_SELECTSTRING ||
           message == CB_FINDSTRING || message == WM_SETTEXT;
}

bool FillsBuffer(UINT message)
{
    return message == WM_GETTEXT || message == CB_GETLBTEXT;
}

// The utility is a 32-bit program: a message's wParam is 32 bits wide there,
// so the trace shows a sign-extended value such as -1 as the 32-bit number it
// stands for.
Json WordParameter(WPARAM wParam)
{
    const WPARAM high = wParam >> 32;
    return high == 0 || high == 0xFFFFFFFFu ? Json(static_cast<DWORD>(wParam)) : Json(wParam);
}

Json MessageParameter(UINT message, LPARAM lParam)
{
    if (CarriesText(message))
        return Text(reinterpret_cast<LPCSTR>(lParam));
    if (FillsBuffer(message))
        return Pointer(reinterpret_cast<const void*>(lParam));
    return lParam;
}

void ToMsg(const machine::QueuedMessage& from, MSG& to)
{
    to.hwnd = HWND{from.hwnd};
    to.message = from.message;
    to.wParam = from.wParam;
    to.lParam = from.lParam;
    to.time = 0;
    to.pt = {from.point.x, from.point.y};
}

machine::QueuedMessage FromMsg(const MSG& from)
{
    machine::QueuedMessage to;
    to.hwnd = from.hwnd.value;
    to.message = from.message;
    to.wParam = from.wParam;
    to.lParam = from.lParam;
    to.modifiers = Windows().CurrentModifiers();
    to.point = {from.pt.x, from.pt.y};
    return to;
}

RECT ToRect(const machine::Rect& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    BOOL wasVisible = FALSE;
    if (FindWindow(hWnd))
        wasVisible = Windows().ShowWindow(hWnd.value, nCmdShow) ? TRUE : FALSE;
    TracedCall("ShowWindow").Arg(hWnd.value).Arg(nCmdShow).Return(wasVisible);
    return wasVisible;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (FindWindow(hWnd))
        result = Windows().Send(hWnd.value, Msg, wParam, lParam);
    TracedCall("SendMessageA").Arg(hWnd.value).Arg(Msg).Arg(WordParameter(wParam)).Arg(MessageParameter(Msg, lParam)).Return(result);
    return result;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    BOOL result = FALSE;
    if (!hWnd || FindWindow(hWnd))
        result = Windows().Post(hWnd.value, Msg, wParam, lParam) ? TRUE : FALSE;
    TracedCall("PostMessageA").Arg(hWnd.value).Arg(Msg).Arg(WordParameter(wParam)).Arg(MessageParameter(Msg, lParam)).Return(result);
    return result;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    int result = 0;
    if (!hWnd || FindWindow(hWnd)) {
        // The original captions a box that names none "Error".
        result = Windows().MessageBox(hWnd.value, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType);
    }
    TracedCall("MessageBoxA").Arg(hWnd.value).Arg(Text(lpText)).Arg(Text(lpCaption)).Arg(uType).Return(result);
    return result;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    HWND item{};
    if (FindWindow(hDlg)) {
        item = HWND{Windows().GetDlgItem(hDlg.value, nIDDlgItem)};
        if (!item)
            SetError(ERROR_CONTROL_ID_NOT_FOUND);
    }
    TracedCall("GetDlgItem").Arg(hDlg.value).Arg(nIDDlgItem).Return(item.value);
    return item;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    int length = 0;
    if (lpString && nMaxCount > 0) {
        lpString[0] = '\0';
        if (FindWindow(hWnd))
            length = static_cast<int>(Windows().Send(hWnd.value, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                                     reinterpret_cast<LPARAM>(lpString)));
    }
    TracedCall call("GetWindowTextA");
    call.Arg(hWnd.value).Arg(Pointer(lpString)).Arg(nMaxCount);
    if (lpString && nMaxCount > 0)
        call.Out("lpString", lpString);
    call.Return(length);
    return length;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    BOOL result = FALSE;
    if (FindWindow(hWnd))
        result = Windows().Send(hWnd.value, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
    TracedCall("SetWindowTextA").Arg(hWnd.value).Arg(Text(lpString)).Return(result);
    return result;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    BOOL result = FALSE;
    if (FindWindow(hDlg))
        result = Windows().EndDialog(hDlg.value, nResult) ? TRUE : FALSE;
    TracedCall("EndDialog").Arg(hDlg.value).Arg(nResult).Return(result);
    return result;
}

BOOL WINAPI IsIconic(HWND hWnd)
{
    const machine::Window* window = FindWindow(hWnd);
    const BOOL iconic = window && window->minimized ? TRUE : FALSE;
    TracedCall("IsIconic").Arg(hWnd.value).Return(iconic);
    return iconic;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    BOOL result = FALSE;
    if (lpRect && FindWindow(hWnd)) {
        *lpRect = ToRect(Windows().ClientRectOf(hWnd.value));
        result = TRUE;
    }
    TracedCall call("GetClientRect");
    call.Arg(hWnd.value).Arg(Pointer(lpRect));
    if (result)
        call.Out("lpRect", Json{{"left", lpRect->left}, {"top", lpRect->top}, {"right", lpRect->right}, {"bottom", lpRect->bottom}});
    call.Return(result);
    return result;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    int value = 0;
    switch (nIndex) {
    case SM_CXSCREEN:
        value = Windows().Screen().Width();
        break;
    case SM_CYSCREEN:
        value = Windows().Screen().Height();
        break;
    case SM_CXICON:
    case SM_CYICON:
        value = machine::kIconSize;
        break;
    default:
        break;
    }
    TracedCall("GetSystemMetrics").Arg(nIndex).Return(value);
    return value;
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon)
{
    const BOOL result = hDC && CurrentMachine().FindIcon(hIcon.value) ? TRUE : FALSE;
    TracedCall("DrawIcon").Arg(hDC.value).Arg(X).Arg(Y).Arg(hIcon.value).Return(result);
    return result;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    HDC dc{};
    if (lpPaint && FindWindow(hWnd)) {
        machine::Window* window = Windows().Find(hWnd.value);
        window->needsPaint = false;
        *lpPaint = PAINTSTRUCT{};
        // A window's device context is named after the window itself.
        dc = HDC{hWnd.value | 0x01000000u};
        lpPaint->hdc = dc;
        lpPaint->rcPaint = ToRect(Windows().ClientRectOf(hWnd.value));
    }
    TracedCall("BeginPaint").Arg(hWnd.value).Arg(Pointer(lpPaint)).Return(dc.value);
    return dc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint)
{
    TracedCall("EndPaint").Arg(hWnd.value).Arg(Pointer(lpPaint)).Return(1);
    return TRUE;
}

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert)
{
    HMENU menu{};
    if (FindWindow(hWnd)) {
        if (bRevert) {
            machine::Window* window = Windows().Find(hWnd.value);
            window->systemMenu = 0;
            Windows().SystemMenuOf(hWnd.value);
        } else {
            menu = HMENU{Windows().SystemMenuOf(hWnd.value)};
        }
    }
    TracedCall("GetSystemMenu").Arg(hWnd.value).Arg(bRevert).Return(menu.value);
    return menu;
}

BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem)
{
    BOOL result = FALSE;
    machine::Menu* menu = Windows().FindMenu(hMenu.value);
    const bool separator = (uFlags & MF_SEPARATOR) != 0;
    if (!menu) {
        SetError(ERROR_INVALID_MENU_HANDLE);
    } else if (!separator && !lpNewItem) {
        SetError(ERROR_INVALID_PARAMETER);
    } else {
        menu->items.push_back({uFlags, static_cast<std::uint32_t>(uIDNewItem), separator ? "" : lpNewItem});
        result = TRUE;
    }
    TracedCall("AppendMenuA")
        .Arg(hMenu.value)
        .Arg(uFlags)
        .Arg(uIDNewItem)
        .Arg(separator ? Json(nullptr) : Text(lpNewItem))
        .Return(result);
    return result;
}

BOOL WINAPI WinHelpA(HWND hWndMain, LPCSTR lpszHelp, UINT uCommand, UINT_PTR dwData)
{
    const BOOL result =
        CurrentMachine().Help().Request({lpszHelp ? lpszHelp : "", uCommand, dwData}) ? TRUE : FALSE;
    TracedCall("WinHelpA").Arg(hWndMain.value).Arg(Text(lpszHelp)).Arg(uCommand).Arg(dwData).Return(result);
    return result;
}

// The machinery below serves the framework; it is not traced.

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam);

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    return FindWindow(hWnd) && Windows().DestroyWindow(hWnd.value) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    return Windows().IsWindow(hWnd.value) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    const machine::Window* window = Windows().Find(hWnd.value);
    return window && window->visible ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    const machine::Window* window = Windows().Find(hWnd.value);
    return window && window->enabled ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    if (!FindWindow(hWnd))
        return FALSE;
    return Windows().EnableWindow(hWnd.value, bEnable != FALSE) ? TRUE : FALSE;
}

HWND WINAPI GetFocus()
{
    return HWND{Windows().Focus()};
}

HWND WINAPI SetFocus(HWND hWnd)
{
    return HWND{Windows().SetFocus(hWnd.value)};
}

HWND WINAPI GetActiveWindow()
{
    return HWND{Windows().ActiveWindow()};
}

HWND WINAPI GetParent(HWND hWnd)
{
    const machine::Window* window = FindWindow(hWnd);
    if (!window)
        return {};
    return HWND{window->parent ? window->parent : window->owner};
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd)
{
    const machine::Window* window = FindWindow(hWnd);
    if (!window || uCmd != GW_OWNER)
        return {};
    return HWND{window->owner};
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    if (!lpRect || !FindWindow(hWnd))
        return FALSE;
    *lpRect = ToRect(Windows().ScreenRectOf(hWnd.value));
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL)
{
    if (!FindWindow(hWnd))
        return FALSE;
    Windows().MoveWindow(hWnd.value, {X, Y, X + nWidth, Y + nHeight});
    return TRUE;
}

BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT, LPVOID pvParam, UINT)
{
    if (uiAction != SPI_GETWORKAREA || !pvParam)
        return FALSE;
    *static_cast<RECT*>(pvParam) = ToRect(Windows().WorkArea());
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex)
{
    const machine::Window* window = FindWindow(hWnd);
    if (!window)
        return 0;
    switch (nIndex) {
    case GWL_STYLE:
        return static_cast<LONG_PTR>(window->style | (window->visible ? WS_VISIBLE : 0u) |
                                     (window->enabled ? 0u : WS_DISABLED) | (window->minimized ? WS_MINIMIZE : 0u));
    case GWL_EXSTYLE:
        return window->exStyle;
    case GWL_ID:
        return window->id;
    case DWLP_MSGRESULT:
        return window->messageResult;
    default:
        return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    machine::Window* window = FindWindow(hWnd);
    if (!window)
        return 0;
    LONG_PTR old = 0;
    switch (nIndex) {
    case DWLP_MSGRESULT:
        old = window->messageResult;
        window->messageResult = dwNewLong;
        break;
    case GWL_ID:
        old = window->id;
        window->id = static_cast<int>(dwNewLong);
        break;
    default:
        break;
    }
    return old;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return Windows().DefWindowProc(hWnd.value, Msg, wParam, lParam);
}

LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return Windows().DefDialogProc(hDlg.value, Msg, wParam, lParam);
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND, UINT, UINT)
{
    machine::QueuedMessage message;
    if (!Windows().GetMessage(message)) {
        ToMsg({0, WM_QUIT, 0, 0, 0, {}}, *lpMsg);
        return FALSE;
    }
    ToMsg(message, *lpMsg);
    return TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND, UINT, UINT, UINT wRemoveMsg)
{
    machine::QueuedMessage message;
    if (CurrentMachine().SessionEnded()) {
        ToMsg({0, WM_QUIT, 0, 0, 0, {}}, *lpMsg);
        return TRUE;
    }
    if (!Windows().PeekMessage(message, (wRemoveMsg & PM_REMOVE) != 0))
        return FALSE;
    ToMsg(message, *lpMsg);
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    // The machine's keyboard already delivers the character messages with
    // the keys that make them.
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    return Windows().Dispatch(FromMsg(*lpMsg));
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg)
{
    return Windows().IsDialogMessage(hDlg.value, FromMsg(*lpMsg)) ? TRUE : FALSE;
}

short WINAPI GetKeyState(int nVirtKey)
{
    const std::uint32_t modifiers = Windows().CurrentModifiers();
    bool down = false;
    if (nVirtKey == static_cast<int>(VK_SHIFT))
        down = modifiers & machine::kShift;
    else if (nVirtKey == static_cast<int>(VK_CONTROL))
        down = modifiers & machine::kControl;
    else if (nVirtKey == static_cast<int>(VK_MENU))
        down = modifiers & machine::kAlt;
    return down ? static_cast<short>(0x8000 - 0x10000) : 0;
}
