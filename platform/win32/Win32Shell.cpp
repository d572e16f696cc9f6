// The shell's notification area.

#include "Win32Internal.h"

#include <cstring>

using namespace pervo;
using namespace pervo::win32;

BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData)
{
    BOOL result = FALSE;
    machine::Machine& machine = CurrentMachine();
    TracedCall call("Shell_NotifyIconA");
    call.Arg(dwMessage);
    if (!lpData) {
        call.Arg(nullptr).Return(0);
        return FALSE;
    }
    // The tip need not be terminated inside its 64 characters; the shell
    // shows at most 63 of them.
    const std::string tip(lpData->szTip, strnlen(lpData->szTip, sizeof(lpData->szTip) - 1));
    call.Arg(Json{{"cbSize", lpData->cbSize},
                  {"hWnd", lpData->hWnd.value},
                  {"uID", lpData->uID},
                  {"uFlags", lpData->uFlags},
                  {"uCallbackMessage", lpData->uCallbackMessage},
                  {"hIcon", lpData->hIcon.value},
                  {"szTip", tip}});
    if (lpData->cbSize == sizeof(NOTIFYICONDATAA) && machine.Windows().IsWindow(lpData->hWnd.value)) {
        machine::TrayIcon icon;
        icon.hwnd = lpData->hWnd.value;
        icon.id = lpData->uID;
        const bool setMessage = lpData->uFlags & NIF_MESSAGE;
        const bool setIcon = lpData->uFlags & NIF_ICON;
        const bool setTip = lpData->uFlags & NIF_TIP;
        icon.callbackMessage = setMessage ? lpData->uCallbackMessage : 0;
        icon.icon = setIcon ? lpData->hIcon.value : 0;
        icon.tip = setTip ? tip : "";
        switch (dwMessage) {
        case NIM_ADD:
            result = machine.Tray().Add(icon) ? TRUE : FALSE;
            break;
        case NIM_MODIFY:
            result = machine.Tray().Modify(icon, setMessage, setIcon, setTip) ? TRUE : FALSE;
            break;
        case NIM_DELETE:
            result = machine.Tray().Delete(icon.hwnd, icon.id) ? TRUE : FALSE;
            break;
        default:
            break;
        }
    } else if (dwMessage == NIM_DELETE && lpData->cbSize == sizeof(NOTIFYICONDATAA)) {
        result = machine.Tray().Delete(lpData->hWnd.value, lpData->uID) ? TRUE : FALSE;
    }
    call.Return(result);
    return result;
}
