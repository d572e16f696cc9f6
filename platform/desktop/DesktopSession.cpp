#include "DesktopSession.h"

#include "DesktopRenderer.h"
#include "UserActions.h"
#include "WindowMessages.h"

#include <algorithm>
#include <cctype>

namespace pervo::desktop {
namespace msg = machine::msg;

DesktopSession::DesktopSession(machine::Machine& machine, TerminalPort& terminal)
    : m_machine(machine), m_terminal(terminal), m_columns(terminal.Columns()), m_rows(terminal.Rows())
{
    // The machine's screen is the terminal: its work area is all but the taskbar's row.
    m_machine.Windows().SetScreenSize(m_columns * machine::kCellWidth, m_rows * machine::kCellHeight);
}

DesktopLayout DesktopSession::Layout() const
{
    return DesktopLayout(m_machine, m_view, m_columns, m_rows);
}

ScreenGrid DesktopSession::Frame()
{
    CheckView();
    ScreenGrid grid(m_columns, m_rows);
    RenderDesktop(m_machine, m_view, grid);
    return grid;
}

void DesktopSession::WaitForInput(machine::Machine& machine)
{
    // Draw, then sleep in the terminal until the person acts. Only what the
    // machine must answer wakes it; the rest is drawn here and waited on again.
    while (!machine.SessionEnded()) {
        m_terminal.Show(Frame());
        for (const TerminalEvent& event : m_terminal.Read())
            Handle(event);
        if (machine.Windows().HasPendingMessages())
            return;
    }
}

void DesktopSession::Handle(const TerminalEvent& event)
{
    CheckView();
    if (const auto* key = std::get_if<KeyPress>(&event))
        HandleKey(*key);
    else if (const auto* mouse = std::get_if<MouseEvent>(&event))
        HandleMouse(*mouse);
    else if (const auto* size = std::get_if<ResizeEvent>(&event))
        Resize(size->columns, size->rows);
    else
        m_machine.EndSession();  // the terminal has gone, as the person has
}

void DesktopSession::Resize(int columns, int rows)
{
    m_columns = std::max(columns, 1);
    m_rows = std::max(rows, 1);
    machine::WindowManager& windows = m_machine.Windows();
    windows.SetScreenSize(m_columns * machine::kCellWidth, m_rows * machine::kCellHeight);
    // A window the smaller screen would cut off moves back inside, its top
    // left corner winning when it is too big, so that a dialog shown again
    // later is not out of reach.
    const machine::Rect area = windows.WorkArea();
    for (machine::Hwnd hwnd : windows.TopLevelWindows()) {
        const machine::Rect rect = windows.Find(hwnd)->rect;
        const int left = std::max(area.left, std::min(rect.left, area.right - rect.Width()));
        const int top = std::max(area.top, std::min(rect.top, area.bottom - rect.Height()));
        if (left != rect.left || top != rect.top)
            windows.MoveWindow(hwnd, rect.Offset(left - rect.left, top - rect.top));
    }
}

void DesktopSession::HandleKey(const KeyPress& key)
{
    const bool control = key.modifiers == machine::kControl;
    if (control && (key.virtualKey == kLogOffKey || key.virtualKey == 'C')) {
        // Logging off ends the program where it stands, without its Close steps.
        m_machine.EndSession();
        return;
    }
    if (key.virtualKey == kTrayKey && key.modifiers == machine::kNoModifier) {
        CloseMenu();
        UserActions(m_machine).Tray(machine::TrayEvent::DoubleClick);
        return;
    }
    if (m_view.menuWindow) {
        HandleMenuKey(key);
        return;
    }
    if (key.virtualKey == 0)
        return;  // a character no key of the machine's makes
    UserActions actions(m_machine);
    const machine::Hwnd active = m_machine.Windows().ActiveWindow();
    actions.Key(key);  // with no active window the key goes nowhere, as on a bare desktop
    if (key.virtualKey == msg::VkSpace && key.modifiers == machine::kAlt && active)
        OpenSystemMenu(active);
}

void DesktopSession::HandleMenuKey(const KeyPress& key)
{
    const machine::Menu* menu = Layout().OpenMenu();
    switch (key.virtualKey) {
    case msg::VkUp:
        MoveMenuHighlight(-1);
        return;
    case msg::VkDown:
        MoveMenuHighlight(1);
        return;
    case msg::VkReturn:
        ChooseMenuItem(m_view.menuHighlight);
        return;
    case msg::VkEscape:
    case msg::VkSpace:
        CloseMenu();
        return;
    default:
        break;
    }
    if (!menu || !key.character)
        return;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(key.character)));
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        const machine::MenuItem& item = menu->items[i];
        if (!item.IsSeparator() && machine::WindowManager::MnemonicOf(item.text) == letter) {
            ChooseMenuItem(static_cast<int>(i));
            return;
        }
    }
}

void DesktopSession::OpenSystemMenu(machine::Hwnd window)
{
    if (!m_machine.Windows().SystemMenuOf(window))
        return;
    m_view.menuWindow = window;
    m_view.menuHighlight = -1;
    MoveMenuHighlight(1);
}

void DesktopSession::MoveMenuHighlight(int direction)
{
    const machine::Menu* menu = Layout().OpenMenu();
    if (!menu || menu->items.empty())
        return;
    const int count = static_cast<int>(menu->items.size());
    int index = m_view.menuHighlight;
    for (int step = 0; step < count; ++step) {
        index = index < 0 && direction < 0 ? count - 1 : ((index + direction) % count + count) % count;
        if (!menu->items[static_cast<std::size_t>(index)].IsSeparator()) {
            m_view.menuHighlight = index;
            return;
        }
    }
}

void DesktopSession::ChooseMenuItem(int index)
{
    const machine::Menu* menu = Layout().OpenMenu();
    const machine::Hwnd window = m_view.menuWindow;
    if (!menu || index < 0 || index >= static_cast<int>(menu->items.size()))
        return;
    const machine::MenuItem item = menu->items[static_cast<std::size_t>(index)];
    if (item.IsSeparator() || item.IsGrayed())
        return;  // the menu stays open, as it does for a grayed item
    CloseMenu();
    m_machine.Windows().PostInput({window, msg::SysCommand, item.id, 0, machine::kNoModifier, {}});
}

void DesktopSession::CloseMenu()
{
    m_view.menuWindow = 0;
    m_view.menuHighlight = -1;
}

void DesktopSession::CheckView()
{
    if (m_view.menuWindow && m_machine.Windows().ActiveWindow() != m_view.menuWindow)
        CloseMenu();
}

bool DesktopSession::CanClick(machine::Hwnd hwnd) const
{
    const machine::WindowManager& windows = m_machine.Windows();
    const machine::Window* window = windows.Find(hwnd);
    const machine::Window* top = windows.Find(windows.TopLevelOf(hwnd));
    return window && top && window->enabled && window->visible && top->enabled;
}

void DesktopSession::HandleMouse(const MouseEvent& mouse)
{
    const CellPoint point{mouse.column, mouse.row};
    const Hit hit = Layout().HitTest(point);
    switch (mouse.action) {
    case MouseAction::Move: {
        const bool moved = !m_view.pointer || *m_view.pointer != point;
        m_view.pointer = point;
        if (moved && hit.kind == HitKind::TrayIcon)
            PostTrayMouse(hit.index, msg::MouseMove);
        return;
    }
    case MouseAction::Press:
        m_view.pointer = point;
        Press(mouse, hit);
        return;
    case MouseAction::Release:
        m_view.pointer = point;
        Release(mouse, hit);
        return;
    case MouseAction::WheelUp:
    case MouseAction::WheelDown:
        return;
    }
}

void DesktopSession::Press(const MouseEvent& mouse, const Hit& hit)
{
    machine::WindowManager& windows = m_machine.Windows();
    m_pressed = {};
    m_pressedButton = mouse.button;
    if (m_view.menuWindow) {
        // An open menu takes the next click: on an item it chooses, elsewhere it closes.
        if (hit.kind == HitKind::MenuItem && mouse.button == MouseButton::Left)
            ChooseMenuItem(hit.index);
        else
            CloseMenu();
        return;
    }
    if (hit.kind == HitKind::TrayIcon) {
        PressTrayIcon(mouse, hit.index);
        return;
    }
    m_trayIcon = -1;  // a click elsewhere comes between two on the icon
    if (mouse.button != MouseButton::Left)
        return;
    if (const machine::Hwnd combo = Layout().DroppedCombo()) {
        // A dropped list holds the mouse: an entry is picked, any other click closes it.
        if (hit.kind == HitKind::ListEntry) {
            windows.PostInput({combo, machine::kComboMousePick, static_cast<std::uintptr_t>(hit.index), 0, mouse.modifiers, {}});
        } else {
            windows.PostInput({combo, msg::LButtonDown, 1, 0, mouse.modifiers, {}});
            windows.PostInput({combo, msg::LButtonUp, 0, 0, mouse.modifiers, {}});
        }
        return;
    }
    switch (hit.kind) {
    case HitKind::SystemMenuBox:
        if (windows.ActiveWindow() == hit.hwnd)
            OpenSystemMenu(hit.hwnd);
        return;
    case HitKind::CloseBox:
        if (CanClick(hit.hwnd)) {
            windows.PostInput({hit.hwnd, msg::NcLButtonDown, msg::HtClose, 0, mouse.modifiers, {}});
            m_pressed = hit;
        }
        return;
    case HitKind::Control: {
        const machine::Window* control = windows.Find(hit.hwnd);
        if (!CanClick(hit.hwnd))
            return;
        if (control->windowClass == machine::WindowClass::ComboBox) {
            windows.PostInput({hit.hwnd, msg::LButtonDown, 1, 0, mouse.modifiers, {}});
            windows.PostInput({hit.hwnd, msg::LButtonUp, 0, 0, mouse.modifiers, {}});
        } else if (control->windowClass == machine::WindowClass::Button) {
            m_pressed = hit;  // a button is clicked when the mouse comes up on it
        }
        return;
    }
    default:
        return;
    }
}

void DesktopSession::Release(const MouseEvent& mouse, const Hit& hit)
{
    machine::WindowManager& windows = m_machine.Windows();
    const Hit pressed = m_pressed;
    const MouseButton button = m_pressedButton;
    m_pressed = {};
    m_pressedButton = MouseButton::None;
    if (pressed.kind == HitKind::TrayIcon) {
        PostTrayMouse(pressed.index, button == MouseButton::Right ? msg::RButtonUp : msg::LButtonUp);
        return;
    }
    // Released away from what it went down on, a click does not count.
    if (pressed.kind == HitKind::Nothing || hit != pressed || !CanClick(pressed.hwnd))
        return;
    if (pressed.kind == HitKind::CloseBox) {
        windows.PostInput({pressed.hwnd, msg::NcLButtonUp, msg::HtClose, 0, mouse.modifiers, {}});
    } else if (pressed.kind == HitKind::Control) {
        windows.PostInput({pressed.hwnd, msg::LButtonDown, 1, 0, mouse.modifiers, {}});
        windows.PostInput({pressed.hwnd, msg::LButtonUp, 0, 0, mouse.modifiers, {}});
    }
}

void DesktopSession::PressTrayIcon(const MouseEvent& mouse, int icon)
{
    if (mouse.button != MouseButton::Left && mouse.button != MouseButton::Right)
        return;
    const bool right = mouse.button == MouseButton::Right;
    const bool second = m_trayIcon == icon && m_trayButton == mouse.button && mouse.time >= m_trayTime &&
                        mouse.time - m_trayTime <= kDoubleClickMilliseconds;
    if (second) {
        PostTrayMouse(icon, right ? msg::RButtonDoubleClick : msg::LButtonDoubleClick);
        m_trayIcon = -1;  // a third press starts again
    } else {
        PostTrayMouse(icon, right ? msg::RButtonDown : msg::LButtonDown);
        m_trayIcon = icon;
        m_trayButton = mouse.button;
        m_trayTime = mouse.time;
    }
    m_pressed = {HitKind::TrayIcon, 0, icon};
}

void DesktopSession::PostTrayMouse(int icon, std::uint32_t mouseMessage)
{
    const auto& icons = m_machine.Tray().Icons();
    if (icon < 0 || icon >= static_cast<int>(icons.size()))
        return;
    const machine::TrayIcon& target = icons[static_cast<std::size_t>(icon)];
    if (target.callbackMessage)
        m_machine.Windows().Post(target.hwnd, target.callbackMessage, target.id, static_cast<std::intptr_t>(mouseMessage));
}

}  // namespace pervo::desktop
