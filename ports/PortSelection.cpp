#include "PortSelection.h"

#include "DriverChannel.h"
#include "PortSettingStore.h"
#include "Resource.h"

namespace {

char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares exactly `count` bytes, folding only A to Z: a terminator is just
// another byte that does not match.
bool SamePrefix(const char* text, const char* prefix, int count)
{
    for (int i = 0; i < count; i++) {
        if (FoldCase(text[i]) != FoldCase(prefix[i]))
            return false;
    }
    return true;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi's reading of a number, done in unsigned arithmetic so that an
// overlong number wraps instead of overflowing.
DWORD ReadNumber(const char* text)
{
    while (IsSpace(*text))
        text++;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        text++;
    }
    DWORD value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10u + static_cast<DWORD>(*text - '0');
        text++;
    }
    return negative ? 0u - value : value;
}

}  // namespace

BOOL PortFromListText(const char* pszText, DWORD* pdwPort)
{
    if (!SamePrefix(pszText, "COM", 3))
        return FALSE;
    *pdwPort = ReadNumber(pszText + 3);
    return TRUE;
}

void RestorePortSelection(CWnd* pDlg, HANDLE hDriver)
{
    CPortSettingKey key;
    if (!key.Open())
        return;
    const DWORD dwPort = key.ReadPortSetting();
    SendCommPort(hDriver, dwPort);
    char szPort[16];
    wsprintfA(szPort, "COM%d:", static_cast<int>(dwPort));
    pDlg->GetDlgItem(IDC_PORT_LIST)->SendMessage(CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(szPort));
    key.Close();
}
