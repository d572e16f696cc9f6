#pragma once

#include "Afx.h"

// Puts the program's icon into the notification area, with the dialog's
// caption as its tip; the record is kept for the removal.
void AddTrayIcon(CWnd* pDlg, NOTIFYICONDATAA& nid);

// Takes the icon out again, with the record as it was filled.
void RemoveTrayIcon(NOTIFYICONDATAA& nid);
