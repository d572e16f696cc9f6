#pragma once

#include "DesktopLayout.h"
#include "DesktopView.h"
#include "Machine.h"
#include "ScreenGrid.h"
#include "TerminalPort.h"

namespace pervo::desktop {

// The terminal desktop as the machine's source of input. When the machine
// has nothing left to do it asks here: the desktop draws the screen, blocks
// until the person does something, and turns that into the input the real
// window manager would make (keys through the dialog manager, clicks on
// controls, the caption's boxes and the tray icon), or ends the session.
// Things only the desktop shows (the system menu, the icon's tip) change
// without waking the machine.
class DesktopSession : public machine::InputSource {
public:
    DesktopSession(machine::Machine& machine, TerminalPort& terminal);

    void WaitForInput(machine::Machine& machine) override;

    // One event, as WaitForInput handles it.
    void Handle(const TerminalEvent& event);
    // The frame the desktop would show now.
    ScreenGrid Frame();
    const DesktopView& View() const { return m_view; }

private:
    void HandleKey(const KeyPress& key);
    void HandleMenuKey(const KeyPress& key);
    void HandleMouse(const MouseEvent& mouse);
    void Press(const MouseEvent& mouse, const Hit& hit);
    void Release(const MouseEvent& mouse, const Hit& hit);
    void PressTrayIcon(const MouseEvent& mouse, int icon);
    void Resize(int columns, int rows);

    void OpenSystemMenu(machine::Hwnd window);
    void MoveMenuHighlight(int direction);
    void ChooseMenuItem(int index);
    void CloseMenu();
    // The menu closes by itself when its window stops being the active one.
    void CheckView();
    void PostTrayMouse(int icon, std::uint32_t mouseMessage);
    bool CanClick(machine::Hwnd hwnd) const;
    DesktopLayout Layout() const;

    machine::Machine& m_machine;
    TerminalPort& m_terminal;
    DesktopView m_view;
    int m_columns;
    int m_rows;
    Hit m_pressed;  // what a mouse button went down on, until it comes up
    MouseButton m_pressedButton = MouseButton::None;
    // The last press on a tray icon, to tell a double click.
    int m_trayIcon = -1;
    MouseButton m_trayButton = MouseButton::None;
    std::uint64_t m_trayTime = 0;
};

// Two presses on a tray icon this close together make a double click, as
// the original platform's default setting.
constexpr std::uint64_t kDoubleClickMilliseconds = 500;

}  // namespace pervo::desktop
