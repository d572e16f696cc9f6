#pragma once

#include "Afx.h"

// At start: reads the stored port (creating it with the default when
// missing), tells the driver, and selects the port in the dialog's list. Does
// nothing when the setting's keys cannot be opened.
void RestorePortSelection(CWnd* pDlg, HANDLE hDriver);

// The port number a list text names: TRUE when the text begins with "COM" (in
// any case), and the number is what follows, read as the C library's atoi
// reads it, wrapping modulo 2^32.
BOOL PortFromListText(const char* pszText, DWORD* pdwPort);

// The size of the buffer the list's text is read into.
#define PORT_TEXT_MAX 128
