#pragma once

// Identifiers of the program's resources and private messages.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_PORTSETUP_DIALOG 102
#define IDS_DRIVER_LOAD_FAILED 102
#define IDI_APP_ICON 132
#define IDC_CLOSE_APP 1000
#define IDC_PORT_LIST 1001
#define IDM_ABOUTBOX 0x0010

#define WM_POSTINIT (WM_USER + 100)
#define WM_TRAYNOTIFY (WM_USER + 101)
