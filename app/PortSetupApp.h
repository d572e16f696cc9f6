#pragma once

#include "Afx.h"

// The application object: its start-up runs the main dialog and ends the
// program when the dialog ends.
class CPortSetupApp : public CWinApp {
public:
    CPortSetupApp();

    BOOL InitInstance() override;

protected:
    DECLARE_MESSAGE_MAP()
};
