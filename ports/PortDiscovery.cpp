#include "PortDiscovery.h"

#include "Resource.h"

void FillPortList(CWnd* pDlg)
{
    char szPort[16];
    for (int nPort = 1; nPort <= 8; nPort++) {
        wsprintfA(szPort, "COM%d:", nPort);
        // Exclusive access: a port another program holds is left out.
        HANDLE hPort = CreateFileA(szPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hPort != INVALID_HANDLE_VALUE) {
            // The list is sorted, but the ports arrive in order, so they are
            // simply appended.
            pDlg->GetDlgItem(IDC_PORT_LIST)->SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(-1),
                                                         reinterpret_cast<LPARAM>(szPort));
            CloseHandle(hPort);
        }
    }
}
