#include "DesktopLayout.h"

#include "UserActions.h"
#include "WindowMessages.h"

#include <algorithm>

namespace pervo::desktop {
namespace msg = machine::msg;
namespace {

int FloorDiv(int value, int divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

constexpr int kComboFieldHeight = 24;  // pixels: a drop-down list's field, 12 dialog units
constexpr int kTrayButtonWidth = 22;   // the most a taskbar button shows of its caption

}  // namespace

DesktopLayout::DesktopLayout(machine::Machine& machine, const DesktopView& view, int columns, int rows)
    : m_machine(machine), m_view(view), m_columns(columns), m_rows(rows)
{
}

std::vector<machine::Hwnd> DesktopLayout::ShownWindows() const
{
    std::vector<machine::Hwnd> shown;
    const machine::WindowManager& windows = m_machine.Windows();
    for (machine::Hwnd hwnd : windows.TopLevelWindows()) {
        const machine::Window* window = windows.Find(hwnd);
        if (window && window->visible && !window->minimized)
            shown.push_back(hwnd);
    }
    return shown;
}

CellRect DesktopLayout::WindowCells(machine::Hwnd window) const
{
    const machine::Window* found = m_machine.Windows().Find(window);
    if (!found)
        return {};
    const machine::Rect& rect = found->rect;
    return {FloorDiv(rect.left, machine::kCellWidth), FloorDiv(rect.top, machine::kCellHeight),
            FloorDiv(rect.right - 1, machine::kCellWidth) + 1, FloorDiv(rect.bottom - 1, machine::kCellHeight) + 1};
}

CellRect DesktopLayout::ClientCells(machine::Hwnd window) const
{
    const CellRect frame = WindowCells(window);
    if (frame.Width() < 2 || frame.Height() < 2)
        return {};
    return {frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
}

CellRect DesktopLayout::SystemMenuBox(machine::Hwnd window) const
{
    const machine::Window* found = m_machine.Windows().Find(window);
    const CellRect frame = WindowCells(window);
    if (!found || !(found->style & msg::WsSysMenu) || frame.Width() < 8)
        return {};
    return {frame.left, frame.top, frame.left + 3, frame.top + 1};
}

CellRect DesktopLayout::CloseBox(machine::Hwnd window) const
{
    const machine::Window* found = m_machine.Windows().Find(window);
    const CellRect frame = WindowCells(window);
    if (!found || !(found->style & msg::WsSysMenu) || frame.Width() < 8)
        return {};
    return {frame.right - 3, frame.top, frame.right, frame.top + 1};
}

CellRect DesktopLayout::ControlCells(machine::Hwnd control) const
{
    const machine::WindowManager& windows = m_machine.Windows();
    const machine::Window* found = windows.Find(control);
    if (!found || found->IsTopLevel())
        return {};
    const machine::Hwnd top = windows.TopLevelOf(control);
    const CellRect client = ClientCells(top);
    // The control's place inside the client area, in pixels from its corner.
    const machine::Point origin = windows.ClientOrigin(control);
    const machine::Point clientOrigin = windows.ClientOrigin(top);
    const int x = origin.x - clientOrigin.x;
    const int y = origin.y - clientOrigin.y;
    const int width = found->rect.Width();
    const int height = found->rect.Height();
    CellRect cells{client.left + FloorDiv(x, machine::kCellWidth), 0,
                   client.left + FloorDiv(x + std::max(width, 1) - 1, machine::kCellWidth) + 1, 0};
    const bool icon = found->windowClass == machine::WindowClass::Static &&
                      (found->style & msg::SsTypeMask) == msg::SsIcon;
    if (icon || (found->windowClass == machine::WindowClass::Static && height > 2 * machine::kCellHeight)) {
        cells.top = client.top + FloorDiv(y, machine::kCellHeight);
        cells.bottom = client.top + FloorDiv(y + std::max(height, 1) - 1, machine::kCellHeight) + 1;
    } else {
        const int lineHeight = found->windowClass == machine::WindowClass::ComboBox ? kComboFieldHeight
                                                                                  : std::min(height, kComboFieldHeight);
        cells.top = client.top + FloorDiv(y + lineHeight / 2, machine::kCellHeight);
        cells.bottom = cells.top + 1;
    }
    return cells.Intersect(client);
}

machine::Hwnd DesktopLayout::DroppedCombo() const
{
    const machine::WindowManager& windows = m_machine.Windows();
    for (machine::Hwnd top : ShownWindows()) {
        for (machine::Hwnd child : windows.Find(top)->children) {
            const machine::Window* control = windows.Find(child);
            if (control && control->visible && control->windowClass == machine::WindowClass::ComboBox && control->dropped)
                return child;
        }
    }
    return 0;
}

int DesktopLayout::ShownEntries(machine::Hwnd combo) const
{
    const machine::Window* found = m_machine.Windows().Find(combo);
    const CellRect field = ControlCells(combo);
    if (!found || !found->dropped || field.Empty())
        return 0;
    // The list's rectangle says how far it may reach; it always shows at
    // least one entry, and never runs into the taskbar.
    const machine::Rect screen = m_machine.Windows().ScreenRectOf(combo);
    const int reach = std::max(FloorDiv(screen.bottom - 1, machine::kCellHeight) - field.top, 2);
    const int room = std::min(reach, TaskbarRow() - field.bottom) - 1;  // less the bottom border
    return std::clamp(static_cast<int>(found->items.size()), 0, std::max(room, 1));
}

int DesktopLayout::FirstShownEntry(machine::Hwnd combo) const
{
    const machine::Window* found = m_machine.Windows().Find(combo);
    const int shown = ShownEntries(combo);
    if (!found || shown == 0)
        return 0;
    const int count = static_cast<int>(found->items.size());
    return std::clamp(found->currentSelection - shown + 1, 0, std::max(count - shown, 0));
}

CellRect DesktopLayout::DroppedListCells(machine::Hwnd combo) const
{
    const int shown = ShownEntries(combo);
    if (shown == 0)
        return {};
    const CellRect field = ControlCells(combo);
    return {field.left, field.bottom, field.right, field.bottom + shown + 1};
}

const machine::Menu* DesktopLayout::OpenMenu() const
{
    if (!m_view.menuWindow)
        return nullptr;
    return m_machine.Windows().FindMenu(m_machine.Windows().PeekSystemMenu(m_view.menuWindow));
}

CellRect DesktopLayout::SystemMenuCells() const
{
    const machine::Menu* menu = OpenMenu();
    if (!menu || menu->items.empty())
        return {};
    std::size_t labels = 0, accelerators = 0;
    for (const machine::MenuItem& item : menu->items) {
        const std::size_t tab = item.text.find('\t');
        labels = std::max(labels, UserActions::PlainText(item.text).size());
        if (tab != std::string::npos)
            accelerators = std::max(accelerators, item.text.size() - tab - 1);
    }
    const int width = static_cast<int>(labels + (accelerators ? accelerators + 3 : 0)) + 4;
    const CellRect box = SystemMenuBox(m_view.menuWindow);
    const CellRect frame = WindowCells(m_view.menuWindow);
    const int left = std::max(0, std::min(box.Empty() ? frame.left : box.left, m_columns - width));
    const int top = frame.top + 1;
    return {left, top, left + width, top + static_cast<int>(menu->items.size()) + 2};
}

std::vector<TaskbarItem> DesktopLayout::TrayIcons() const
{
    std::vector<TaskbarItem> icons;
    const auto& tray = m_machine.Tray().Icons();
    int right = m_columns - 1;
    for (int i = static_cast<int>(tray.size()) - 1; i >= 0; --i) {
        const machine::TrayIcon& icon = tray[static_cast<std::size_t>(i)];
        std::string label;
        if (const machine::IconImage* image = m_machine.FindIcon(icon.icon); image && !image->picture.empty())
            label = image->picture.front();
        if (label.empty())
            label = icon.tip.substr(0, 4);
        if (label.empty())
            label = "?";
        const int left = right - static_cast<int>(label.size());
        if (left < 0)
            break;
        icons.insert(icons.begin(), TaskbarItem{{left, TaskbarRow(), right, TaskbarRow() + 1}, 0, i, label});
        right = left - 1;
    }
    return icons;
}

std::vector<TaskbarItem> DesktopLayout::TaskbarButtons() const
{
    const machine::WindowManager& windows = m_machine.Windows();
    std::vector<const machine::Window*> owners;
    for (machine::Hwnd hwnd : windows.TopLevelWindows()) {
        const machine::Window* window = windows.Find(hwnd);
        if (window && window->visible && (window->exStyle & msg::WsExAppWindow))
            owners.push_back(window);
    }
    // The taskbar keeps the order the windows were made in, not their z-order.
    std::sort(owners.begin(), owners.end(), [](auto* a, auto* b) { return a->creationOrder < b->creationOrder; });
    std::vector<TaskbarItem> buttons;
    int left = 0;
    for (const machine::Window* window : owners) {
        const std::string label = "[" + window->text.substr(0, kTrayButtonWidth) + "]";
        const int width = static_cast<int>(label.size());
        buttons.push_back({{left, TaskbarRow(), left + width, TaskbarRow() + 1}, window->hwnd, -1, label});
        left += width + 1;
    }
    return buttons;
}

std::string DesktopLayout::KeyHintText()
{
    return std::string(kTrayKeyName) + " Tray icon  " + kLogOffKeyName + " Log off";
}

CellRect DesktopLayout::KeyHintCells() const
{
    const auto buttons = TaskbarButtons();
    const auto icons = TrayIcons();
    const int start = buttons.empty() ? 0 : buttons.back().cells.right + 1;
    const int end = (icons.empty() ? m_columns : icons.front().cells.left - 2) - 1;
    const int width = static_cast<int>(KeyHintText().size());
    if (end - start < width)
        return {};
    return {end - width, TaskbarRow(), end, TaskbarRow() + 1};
}

Hit DesktopLayout::HitTest(CellPoint point) const
{
    if (const machine::Menu* menu = OpenMenu()) {
        const CellRect cells = SystemMenuCells();
        const int index = point.row - cells.top - 1;
        if (cells.Contains(point) && index >= 0 && index < static_cast<int>(menu->items.size()))
            return {HitKind::MenuItem, m_view.menuWindow, index};
    }
    if (const machine::Hwnd combo = DroppedCombo()) {
        const CellRect list = DroppedListCells(combo);
        const int index = point.row - list.top;
        if (list.Contains(point) && index < ShownEntries(combo))
            return {HitKind::ListEntry, combo, FirstShownEntry(combo) + index};
    }
    if (point.row == TaskbarRow()) {
        for (const TaskbarItem& icon : TrayIcons()) {
            if (icon.cells.Contains(point))
                return {HitKind::TrayIcon, 0, icon.icon};
        }
        for (const TaskbarItem& button : TaskbarButtons()) {
            if (button.cells.Contains(point))
                return {HitKind::Taskbar, button.hwnd, -1};
        }
        return {HitKind::Taskbar, 0, -1};
    }
    const machine::WindowManager& windows = m_machine.Windows();
    for (machine::Hwnd top : ShownWindows()) {
        if (!WindowCells(top).Contains(point))
            continue;
        if (SystemMenuBox(top).Contains(point))
            return {HitKind::SystemMenuBox, top, -1};
        if (CloseBox(top).Contains(point))
            return {HitKind::CloseBox, top, -1};
        for (machine::Hwnd child : windows.Find(top)->children) {
            const machine::Window* control = windows.Find(child);
            if (control && control->visible && ControlCells(child).Contains(point))
                return {HitKind::Control, child, -1};
        }
        return {HitKind::Window, top, -1};
    }
    return {};
}

}  // namespace pervo::desktop
