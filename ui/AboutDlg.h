#pragma once

#include "Afx.h"

// The About box: the program's name, version and maker. OK or Escape ends it.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()
};
