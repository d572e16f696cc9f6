#include "CmdTarget.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY kEntries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP kMap = {nullptr, &kEntries[0]};
    return &kMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->handler; ++entry) {
            if (entry->nMessage == WM_COMMAND && entry->nCode == static_cast<UINT>(nCode) && nID >= entry->nID &&
                nID <= entry->nLastID) {
                entry->handler(this, MAKEWPARAM(static_cast<WORD>(nID), static_cast<WORD>(nCode)), 0);
                return TRUE;
            }
        }
    }
    return FALSE;
}

BOOL CCmdTarget::DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->handler; ++entry) {
            if (entry->nMessage == message && message != WM_COMMAND) {
                const LRESULT value = entry->handler(this, wParam, lParam);
                if (result)
                    *result = value;
                return TRUE;
            }
        }
    }
    return FALSE;
}
