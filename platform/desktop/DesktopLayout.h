#pragma once

#include "DesktopView.h"
#include "Machine.h"
#include "ScreenGrid.h"

#include <string>
#include <vector>

namespace pervo::desktop {

enum class HitKind {
    Nothing,
    MenuItem,       // index: the system menu's item
    ListEntry,      // hwnd: the drop-down list; index: its entry
    TrayIcon,       // index: the icon in the notification area
    Taskbar,        // hwnd: the window whose taskbar button it is, or 0
    SystemMenuBox,  // hwnd: the window
    CloseBox,       // hwnd: the window
    Control,        // hwnd: the control
    Window,         // hwnd: the window, anywhere else in its frame
};

struct Hit {
    HitKind kind = HitKind::Nothing;
    machine::Hwnd hwnd = 0;
    int index = -1;
    bool operator==(const Hit&) const = default;
};

struct TaskbarItem {
    CellRect cells;
    machine::Hwnd hwnd = 0;  // buttons: their window
    int icon = -1;           // tray icons: the index in the notification area
    std::string label;
};

// Where things are on a screen of text cells. The machine lays windows out in
// pixels; a top-level window covers every cell its rectangle touches, with
// the caption in its top row. A control's cells are counted from its
// window's client area, so a dialog looks the same wherever it stands; a
// push button, a line of text and a drop-down list's field take the one row
// that holds their middle. Drawing and the mouse both ask here, so a click
// lands on what is drawn.
class DesktopLayout {
public:
    DesktopLayout(machine::Machine& machine, const DesktopView& view, int columns, int rows);

    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }
    int TaskbarRow() const { return m_rows - 1; }

    // The top-level windows the screen shows (visible, not minimised), topmost first.
    std::vector<machine::Hwnd> ShownWindows() const;

    CellRect WindowCells(machine::Hwnd window) const;
    CellRect ClientCells(machine::Hwnd window) const;
    CellRect SystemMenuBox(machine::Hwnd window) const;  // empty without a system menu
    CellRect CloseBox(machine::Hwnd window) const;
    CellRect ControlCells(machine::Hwnd control) const;  // clipped to its window's client area

    // A dropped list's entries, below its field, framed; the first entry it
    // shows and how many, so that the selection is always among them.
    CellRect DroppedListCells(machine::Hwnd combo) const;
    int FirstShownEntry(machine::Hwnd combo) const;
    int ShownEntries(machine::Hwnd combo) const;

    // The open system menu's popup, framed; each item takes one row.
    CellRect SystemMenuCells() const;
    const machine::Menu* OpenMenu() const;

    std::vector<TaskbarItem> TaskbarButtons() const;
    std::vector<TaskbarItem> TrayIcons() const;
    // The desktop keys' reminder, between the buttons and the tray; empty when it does not fit.
    CellRect KeyHintCells() const;
    static std::string KeyHintText();

    Hit HitTest(CellPoint point) const;

    // The machine's dropped list in a shown window, or 0.
    machine::Hwnd DroppedCombo() const;

private:
    machine::Machine& m_machine;
    const DesktopView& m_view;
    int m_columns;
    int m_rows;
};

}  // namespace pervo::desktop
