#pragma once

#include <cstdint>

// The message, style and command numbers the window manager itself produces or
// interprets. They are the numbers of the original platform; the win32 layer
// publishes the same values under their familiar names and checks that they agree.
namespace pervo::machine::msg {

enum : std::uint32_t {
    Destroy = 0x0002,
    Activate = 0x0006,
    SetFocus = 0x0007,
    KillFocus = 0x0008,
    Enable = 0x000A,
    SetText = 0x000C,
    GetText = 0x000D,
    GetTextLength = 0x000E,
    Paint = 0x000F,
    Close = 0x0010,
    QueryEndSession = 0x0011,
    EndSession = 0x0016,
    ShowWindow = 0x0018,
    IconEraseBackground = 0x0027,
    NextDialogControl = 0x0028,
    SetFont = 0x0030,
    QueryDragIcon = 0x0037,
    SetIcon = 0x0080,
    GetDialogCode = 0x0087,
    NcLButtonDown = 0x00A1,
    NcLButtonUp = 0x00A2,
    ButtonClick = 0x00F5,
    KeyDown = 0x0100,
    KeyUp = 0x0101,
    Char = 0x0102,
    SysKeyDown = 0x0104,
    SysKeyUp = 0x0105,
    SysChar = 0x0106,
    InitDialog = 0x0110,
    Command = 0x0111,
    SysCommand = 0x0112,
    InitMenuPopup = 0x0117,
    MouseMove = 0x0200,
    LButtonDown = 0x0201,
    LButtonUp = 0x0202,
    LButtonDoubleClick = 0x0203,
    RButtonDown = 0x0204,
    RButtonUp = 0x0205,
    RButtonDoubleClick = 0x0206,
    User = 0x0400,
    GetDefaultId = 0x0400,
    SetDefaultId = 0x0401,

    ComboAddString = 0x0143,
    ComboGetCount = 0x0146,
    ComboGetCurSel = 0x0147,
    ComboGetLbText = 0x0148,
    ComboGetLbTextLength = 0x0149,
    ComboInsertString = 0x014A,
    ComboResetContent = 0x014B,
    ComboFindString = 0x014C,
    ComboSelectString = 0x014D,
    ComboSetCurSel = 0x014E,
    ComboShowDropDown = 0x014F,
    ComboGetDroppedState = 0x0157,
};

// Notification codes that ride in the high word of WM_COMMAND's wParam.
enum : std::uint16_t {
    ButtonClicked = 0,
    ComboSelChange = 1,
    ComboDropDown = 7,
    ComboCloseUp = 8,
    ComboSelEndOk = 9,
};

enum : std::uint32_t {
    ScMove = 0xF010,
    ScClose = 0xF060,
    ScKeyMenu = 0xF100,
    HtSysMenu = 3,
    HtClose = 20,
};

enum : int {
    IdOk = 1,
    IdCancel = 2,
};

enum : std::uint32_t {
    WsPopup = 0x80000000u,
    WsChild = 0x40000000u,
    WsMinimize = 0x20000000u,
    WsVisible = 0x10000000u,
    WsDisabled = 0x08000000u,
    WsCaption = 0x00C00000u,
    WsVScroll = 0x00200000u,
    WsSysMenu = 0x00080000u,
    WsGroup = 0x00020000u,
    WsTabStop = 0x00010000u,
    WsMinimizeBox = 0x00020000u,
    WsMaximizeBox = 0x00010000u,
    WsExAppWindow = 0x00040000u,
    DsAbsAlign = 0x01u,
    DsModalFrame = 0x80u,
    DsCenter = 0x0800u,
    BsDefPushButton = 0x1u,
    BsTypeMask = 0xFu,
    SsIcon = 0x3u,
    SsTypeMask = 0x1Fu,
    SsNoPrefix = 0x80u,
    CbsSort = 0x100u,
};

enum : std::intptr_t {
    DlgcWantArrows = 0x0001,
    DlgcWantAllKeys = 0x0004,
    DlgcDefPushButton = 0x0010,
    DlgcUndefPushButton = 0x0020,
    DlgcStatic = 0x0100,
    DlgcButton = 0x2000,
};

enum : std::uint32_t {
    VkTab = 0x09,
    VkReturn = 0x0D,
    VkShift = 0x10,
    VkControl = 0x11,
    VkMenu = 0x12,
    VkEscape = 0x1B,
    VkSpace = 0x20,
    VkLeft = 0x25,
    VkUp = 0x26,
    VkRight = 0x27,
    VkDown = 0x28,
    VkF1 = 0x70,
    VkF4 = 0x73,
};

enum : std::uint32_t {
    MbTypeMask = 0xF,
    MbOk = 0x0,
    MbOkCancel = 0x1,
    MbYesNoCancel = 0x3,
    MbYesNo = 0x4,
    MbRetryCancel = 0x5,
};

}  // namespace pervo::machine::msg
