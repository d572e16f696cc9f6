// The program's resources: dialog templates, string table, icon and version
// record.

#include "Resource.h"
#include "Win32Api.h"

namespace {

constexpr DialogItemTemplate kPortSetupItems[] = {
    {DialogControlClass::Button, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 128, 7, 50, 14, IDOK, "&OK", 0},
    {DialogControlClass::Button, BS_PUSHBUTTON | WS_TABSTOP, 0, 128, 23, 50, 14, IDCANCEL, "C&ancel", 0},
    {DialogControlClass::Button, BS_PUSHBUTTON | WS_TABSTOP, 0, 128, 71, 50, 14, IDC_CLOSE_APP, "&Close", 0},
    {DialogControlClass::Static, SS_LEFT | WS_GROUP, 0, 18, 22, 40, 12, -1, "Comm &Port:", 0},
    {DialogControlClass::ComboBox, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0, 61, 21, 48, 57,
     IDC_PORT_LIST, "", 0},
};

constexpr DialogTemplate kPortSetupDialog = {
    IDD_PORTSETUP_DIALOG,
    true,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    WS_EX_APPWINDOW,
    0,
    0,
    185,
    92,
    "KX-9 Pervola",
    8,
    "MS Sans Serif",
    kPortSetupItems,
    sizeof(kPortSetupItems) / sizeof(kPortSetupItems[0]),
};

constexpr DialogItemTemplate kAboutItems[] = {
    {DialogControlClass::Static, SS_ICON, 0, 11, 17, 20, 20, -1, "", 128},
    {DialogControlClass::Static, SS_LEFT | SS_NOPREFIX | WS_GROUP, 0, 40, 10, 119, 8, -1, "Pervo Version 1.0", 0},
    {DialogControlClass::Static, SS_LEFT | WS_GROUP, 0, 40, 25, 119, 8, -1, "(C) Varholm Technology Co.", 0},
    {DialogControlClass::Button, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 178, 7, 32, 14, IDOK, "OK", 0},
};

constexpr DialogTemplate kAboutDialog = {
    IDD_ABOUTBOX,
    false,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    0,
    0,
    0,
    217,
    55,
    "About Pervo",
    8,
    "MS Sans Serif",
    kAboutItems,
    sizeof(kAboutItems) / sizeof(kAboutItems[0]),
};

constexpr const DialogTemplate* kDialogs[] = {&kAboutDialog, &kPortSetupDialog};

constexpr StringResource kStrings[] = {
    {IDS_ABOUTBOX, "&About Pervo..."},
    {IDS_DRIVER_LOAD_FAILED, "Cannot load driver QUORVEX.VXD"},
};

// 32 x 32 in 16 colours; a text screen draws it as four cells by two.
constexpr const char* kAppIconPicture[] = {
    "/KX\\",
    "\\-9/",
};

constexpr IconResource kIcons[] = {
    {IDI_APP_ICON, 32, 32, 16, kAppIconPicture, 2},
};

constexpr VersionString kVersionStrings[] = {
    {"CompanyName", "Varholm Technology Co., Ltd."},
    {"FileDescription", "KX 9 Pervola Application"},
    {"FileVersion", "1, 0, 0, 1"},
    {"InternalName", "Pervo"},
    {"LegalCopyright", "Copyright (C) Varholm Technology Co., Ltd."},
    {"OriginalFilename", "Pervo.EXE"},
    {"ProductName", "KX 9 Pervola  Application"},
    {"ProductVersion", "1, 0, 0, 1"},
};

constexpr VersionResource kVersion = {
    {1, 0, 0, 1},
    {1, 0, 0, 1},
    0x4,  // 32-bit Windows
    0x1,  // an application
    "040904b0",
    0x0409,
    1200,
    kVersionStrings,
    sizeof(kVersionStrings) / sizeof(kVersionStrings[0]),
};

}  // namespace

extern const ResourceSection g_imageResources = {
    kDialogs, sizeof(kDialogs) / sizeof(kDialogs[0]),
    kStrings, sizeof(kStrings) / sizeof(kStrings[0]),
    kIcons,   sizeof(kIcons) / sizeof(kIcons[0]),
    &kVersion,
};
