#pragma once

// The application framework: what a program built on it includes.

#include "AfxString.h"
#include "CmdTarget.h"
#include "Dialog.h"
#include "WinApp.h"
#include "Wnd.h"
