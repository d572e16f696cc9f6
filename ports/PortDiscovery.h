#pragma once

#include "Afx.h"

// Fills the dialog's port list with the serial ports among COM1 to COM8 that
// can be opened for reading and writing without sharing, in ascending order.
void FillPortList(CWnd* pDlg);
