#pragma once

#include "Geometry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pervo::machine {

using Hwnd = std::uint32_t;

// A window procedure in the machine's own terms; the win32 layer wraps the
// procedures the framework supplies into this form.
using WindowProc = std::function<std::intptr_t(Hwnd, std::uint32_t, std::uintptr_t, std::intptr_t)>;

enum class WindowClass {
    Dialog,
    Button,
    Static,
    ComboBox,
};

struct Window {
    Hwnd hwnd = 0;
    WindowClass windowClass = WindowClass::Dialog;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int id = 0;
    std::string text;
    Hwnd parent = 0;  // children: the dialog they belong to
    Hwnd owner = 0;   // top-level windows: the window they stay above
    Rect rect;        // top-level: screen; child: the parent's client area
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool needsPaint = false;
    std::uint64_t creationOrder = 0;

    WindowProc subclassProc;  // set by SetWindowLongPtr; empty means the class procedure
    WindowProc dialogProc;    // dialogs: the owner's dialog procedure
    std::intptr_t messageResult = 0;

    // Dialogs.
    bool isMessageBox = false;
    std::uint32_t messageBoxType = 0;
    std::string messageBoxText;
    bool dialogEnded = false;
    std::intptr_t dialogResult = 0;
    int defaultId = 1;
    Hwnd savedFocus = 0;
    std::uint32_t systemMenu = 0;
    std::uint32_t bigIcon = 0;
    std::uint32_t smallIcon = 0;
    int templateId = 0;

    // Buttons.
    bool pressed = false;

    // Static icons.
    std::uint32_t icon = 0;

    // Drop-down lists.
    std::vector<std::string> items;
    int currentSelection = -1;
    bool dropped = false;

    std::vector<Hwnd> children;  // in creation order, which is the tab order

    bool IsTopLevel() const { return parent == 0; }
};

}  // namespace pervo::machine
