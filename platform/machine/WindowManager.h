#pragma once

#include "Geometry.h"
#include "Window.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pervo::machine {

class Machine;

// Which modifier keys were held when an input message was made.
enum Modifier : std::uint32_t {
    kNoModifier = 0,
    kShift = 1,
    kControl = 2,
    kAlt = 4,
};

struct QueuedMessage {
    Hwnd hwnd = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::uint32_t modifiers = kNoModifier;
    Point point;
};

// One control of a dialog template, in dialog units.
struct DialogItemLayout {
    WindowClass windowClass = WindowClass::Static;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int id = -1;
    std::string text;
    std::uint32_t icon = 0;  // static icons: the icon to show
};

// A dialog template, in dialog units.
struct DialogLayout {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    int templateId = 0;
    std::vector<DialogItemLayout> items;
};

struct MenuItem {
    std::uint32_t flags = 0;  // MF_ flags
    std::uint32_t id = 0;
    std::string text;
    bool IsSeparator() const { return (flags & 0x0800u) != 0; }
    bool IsGrayed() const { return (flags & 0x0003u) != 0; }
};

struct Menu {
    std::vector<MenuItem> items;
};

// The window manager: windows and their z-order, activation and focus, the
// message queue, the dialog manager and the built-in controls (push buttons,
// static text, drop-down lists), menus and message boxes.
class WindowManager {
public:
    explicit WindowManager(Machine& machine);
    ~WindowManager();

    // The screen, in pixels; the taskbar takes the bottom cell row.
    void SetScreenSize(int width, int height);
    Rect Screen() const { return m_screen; }
    Rect WorkArea() const;

    // Windows.
    Window* Find(Hwnd hwnd);
    const Window* Find(Hwnd hwnd) const;
    bool IsWindow(Hwnd hwnd) const { return Find(hwnd) != nullptr; }
    Hwnd CreateDialog(const DialogLayout& layout, Hwnd owner, WindowProc dialogProc, std::intptr_t initParam);
    bool DestroyWindow(Hwnd hwnd);
    bool ShowWindow(Hwnd hwnd, int command);  // the previous visibility
    bool EnableWindow(Hwnd hwnd, bool enable);  // whether it was disabled before
    void MoveWindow(Hwnd hwnd, Rect rect);
    Hwnd GetDlgItem(Hwnd dialog, int id) const;
    Hwnd TopLevelOf(Hwnd hwnd) const;
    Rect ScreenRectOf(Hwnd hwnd) const;  // children too
    Rect ClientRectOf(Hwnd hwnd) const;  // origin 0,0
    Point ClientOrigin(Hwnd hwnd) const; // on the screen
    std::vector<Hwnd> TopLevelWindows() const;  // topmost first
    Hwnd MainWindowOfProcess() const;  // the first top-level dialog still alive
    std::uint64_t NextCreationOrder() { return ++m_creationCounter; }

    // Activation and focus.
    Hwnd ActiveWindow() const { return m_active; }  // the topmost visible, enabled top-level window
    Hwnd Focus() const { return m_focus; }
    Hwnd SetFocus(Hwnd hwnd);
    Hwnd ShownDefaultButton(Hwnd dialog) const;  // the push button Enter would press

    // Messages.
    std::intptr_t Send(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    bool Post(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    void PostInput(QueuedMessage message);
    // Waits for the next message: posted, then input, then paint; only when
    // there is none does it ask the machine's input source, which blocks.
    // False once the session has ended.
    bool GetMessage(QueuedMessage& message);
    bool PeekMessage(QueuedMessage& message, bool remove);
    std::intptr_t Dispatch(const QueuedMessage& message);
    std::uint32_t CurrentModifiers() const { return m_currentModifiers; }
    bool HasPendingMessages() const { return !m_posted.empty() || !m_input.empty(); }

    // The class procedures, for CallWindowProc and default processing.
    std::intptr_t ClassProc(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t DefWindowProc(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t DefDialogProc(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // Default dialog processing alone, without asking the dialog procedure.
    std::intptr_t DefDialogDefaults(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

    // The dialog manager.
    bool IsDialogMessage(Hwnd dialog, const QueuedMessage& message);
    bool EndDialog(Hwnd dialog, std::intptr_t result);
    Hwnd NextTabItem(Hwnd dialog, Hwnd from, bool previous) const;
    Hwnd NextGroupItem(Hwnd dialog, Hwnd from, bool previous) const;
    static char MnemonicOf(std::string_view text);  // lower case; 0 when none

    // Menus.
    std::uint32_t CreateMenu();
    Menu* FindMenu(std::uint32_t menu);
    std::uint32_t SystemMenuOf(Hwnd hwnd);  // 0 when the window has none
    std::uint32_t PeekSystemMenu(Hwnd hwnd) const { auto* w = Find(hwnd); return w ? w->systemMenu : 0; }

    // A modal message box over `owner`; returns the id of the button that
    // closed it, or 0 when the session ended first.
    int MessageBox(Hwnd owner, std::string_view text, std::string_view caption, std::uint32_t type);

    // Drop-down lists.
    void SelectComboItem(Hwnd combo, int index, bool notify);

private:
    void UpdateActivation();
    void BringToFront(Hwnd hwnd);
    Hwnd FirstTabItem(Hwnd dialog) const;
    void NotifyParent(Hwnd control, std::uint16_t code);
    std::intptr_t ButtonProc(Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t ComboProc(Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t TextMessages(Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    bool HandleDialogKey(Window& dialog, const QueuedMessage& message);
    bool HandleMnemonic(Window& dialog, char letter);
    void CenterOver(Window& window, Hwnd over);
    Hwnd NewHwnd();

    Machine& m_machine;
    Rect m_screen{0, 0, 80 * kCellWidth, 25 * kCellHeight};
    std::map<Hwnd, std::unique_ptr<Window>> m_windows;
    std::vector<Hwnd> m_zOrder;  // top-level windows, topmost first
    std::map<std::uint32_t, Menu> m_menus;
    std::deque<QueuedMessage> m_posted;
    std::deque<QueuedMessage> m_input;
    Hwnd m_active = 0;
    Hwnd m_focus = 0;
    Hwnd m_nextHwnd = 0x10000;
    std::uint32_t m_nextMenu = 0x0100;
    std::uint32_t m_currentModifiers = kNoModifier;
    std::uint64_t m_creationCounter = 0;
};

// A private message a drop-down list understands: the mouse picked entry wParam.
constexpr std::uint32_t kComboMousePick = 0x7F01;

}  // namespace pervo::machine
