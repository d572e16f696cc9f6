#include "WindowManager.h"

#include "Machine.h"
#include "WindowMessages.h"

#include <algorithm>
#include <cassert>

namespace pervo::machine {

WindowManager::WindowManager(Machine& machine) : m_machine(machine) {}

WindowManager::~WindowManager() = default;

void WindowManager::SetScreenSize(int width, int height)
{
    m_screen = {0, 0, width, height};
}

Rect WindowManager::WorkArea() const
{
    Rect area = m_screen;
    area.bottom = std::max(area.top, area.bottom - kCellHeight);
    return area;
}

Window* WindowManager::Find(Hwnd hwnd)
{
    auto found = m_windows.find(hwnd);
    return found == m_windows.end() ? nullptr : found->second.get();
}

const Window* WindowManager::Find(Hwnd hwnd) const
{
    auto found = m_windows.find(hwnd);
    return found == m_windows.end() ? nullptr : found->second.get();
}

Hwnd WindowManager::NewHwnd()
{
    m_nextHwnd += 4;
    return m_nextHwnd;
}

Hwnd WindowManager::CreateDialog(const DialogLayout& layout, Hwnd owner, WindowProc dialogProc, std::intptr_t initParam)
{
    auto dialog = std::make_unique<Window>();
    Window& window = *dialog;
    window.hwnd = NewHwnd();
    window.windowClass = WindowClass::Dialog;
    window.style = layout.style & ~msg::WsVisible;
    window.exStyle = layout.exStyle;
    window.text = layout.caption;
    window.owner = owner ? TopLevelOf(owner) : 0;
    window.templateId = layout.templateId;
    window.creationOrder = NextCreationOrder();
    window.dialogProc = std::move(dialogProc);
    window.enabled = (layout.style & msg::WsDisabled) == 0;

    const int clientWidth = layout.cx * kPixelsPerDialogUnitX;
    const int clientHeight = layout.cy * kPixelsPerDialogUnitY;
    Point origin{};
    if (const Window* ownerWindow = Find(window.owner); ownerWindow && !(layout.style & msg::DsAbsAlign))
        origin = ClientOrigin(ownerWindow->hwnd);
    const int left = origin.x + layout.x * kPixelsPerDialogUnitX;
    const int top = origin.y + layout.y * kPixelsPerDialogUnitY;
    window.rect = {left, top, left + clientWidth + 2 * kFrameX, top + clientHeight + kCaptionHeight + kFrameBottom};

    const Hwnd hwnd = window.hwnd;
    m_windows.emplace(hwnd, std::move(dialog));
    m_zOrder.insert(m_zOrder.begin(), hwnd);

    for (const DialogItemLayout& item : layout.items) {
        auto child = std::make_unique<Window>();
        child->hwnd = NewHwnd();
        child->windowClass = item.windowClass;
        child->style = item.style;
        child->exStyle = item.exStyle;
        child->id = item.id;
        child->text = item.windowClass == WindowClass::ComboBox ? std::string() : item.text;
        child->icon = item.icon;
        child->parent = hwnd;
        child->visible = (item.style & msg::WsVisible) != 0;
        child->enabled = (item.style & msg::WsDisabled) == 0;
        child->creationOrder = NextCreationOrder();
        const int x = item.x * kPixelsPerDialogUnitX;
        const int y = item.y * kPixelsPerDialogUnitY;
        child->rect = {x, y, x + item.cx * kPixelsPerDialogUnitX, y + item.cy * kPixelsPerDialogUnitY};
        if (item.windowClass == WindowClass::Button && (item.style & msg::BsTypeMask) == msg::BsDefPushButton)
            Find(hwnd)->defaultId = item.id;
        Find(hwnd)->children.push_back(child->hwnd);
        m_windows.emplace(child->hwnd, std::move(child));
    }

    if (layout.style & msg::DsCenter)
        CenterOver(*Find(hwnd), Find(hwnd)->owner);

    const Hwnd firstTab = FirstTabItem(hwnd);
    const std::intptr_t setFocus = Send(hwnd, msg::InitDialog, firstTab, initParam);
    if (Window* created = Find(hwnd)) {
        if (setFocus && !created->savedFocus)
            created->savedFocus = firstTab;
        if (layout.style & msg::WsVisible)
            ShowWindow(hwnd, 1 /* SW_SHOWNORMAL */);
    }
    return IsWindow(hwnd) ? hwnd : 0;
}

void WindowManager::CenterOver(Window& window, Hwnd over)
{
    const Rect area = WorkArea();
    const Window* owner = Find(over);
    const Rect target = owner && owner->visible && !owner->minimized ? owner->rect : area;
    const int width = window.rect.Width();
    const int height = window.rect.Height();
    int left = target.left + (target.Width() - width) / 2;
    int top = target.top + (target.Height() - height) / 2;
    // Keep it inside the work area, the top-left corner winning when it is too big.
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    window.rect = {left, top, left + width, top + height};
}

bool WindowManager::DestroyWindow(Hwnd hwnd)
{
    Window* window = Find(hwnd);
    if (!window)
        return false;
    if (window->IsTopLevel()) {
        // Windows it owns go first, as on the original platform.
        for (Hwnd other : TopLevelWindows()) {
            const Window* owned = Find(other);
            if (owned && owned->owner == hwnd)
                DestroyWindow(other);
        }
    }
    window = Find(hwnd);
    if (!window)
        return false;
    if (window->visible && window->IsTopLevel())
        ShowWindow(hwnd, 0);
    Send(hwnd, msg::Destroy, 0, 0);
    window = Find(hwnd);
    if (!window)
        return true;
    const std::vector<Hwnd> children = window->children;
    for (Hwnd child : children) {
        Send(child, msg::Destroy, 0, 0);
        // A message posted to a control must not outlive it either.
        std::erase_if(m_posted, [&](const QueuedMessage& m) { return m.hwnd == child; });
        m_windows.erase(child);
        if (m_focus == child)
            m_focus = 0;
    }
    if (window->parent) {
        if (Window* parent = Find(window->parent))
            std::erase(parent->children, hwnd);
    }
    if (window->systemMenu)
        m_menus.erase(window->systemMenu);
    std::erase(m_zOrder, hwnd);
    m_machine.Tray().RemoveAllOf(hwnd);
    std::erase_if(m_posted, [&](const QueuedMessage& m) { return m.hwnd == hwnd; });
    m_windows.erase(hwnd);
    if (m_focus == hwnd)
        m_focus = 0;
    if (m_active == hwnd)
        m_active = 0;
    UpdateActivation();
    return true;
}

bool WindowManager::ShowWindow(Hwnd hwnd, int command)
{
    Window* window = Find(hwnd);
    if (!window)
        return false;
    const bool wasVisible = window->visible;
    const bool show = command != 0;
    if (show != wasVisible)
        Send(hwnd, msg::ShowWindow, show ? 1 : 0, 0);
    window = Find(hwnd);
    if (!window)
        return wasVisible;
    window->visible = show;
    if (command == 9 /* SW_RESTORE */ || command == 1 /* SW_SHOWNORMAL */)
        window->minimized = false;
    else if (command == 6 || command == 2 || command == 7)
        window->minimized = true;
    if (show)
        window->needsPaint = true;
    if (window->IsTopLevel()) {
        const bool activates = show && command != 4 /* SW_SHOWNOACTIVATE */ && command != 8 /* SW_SHOWNA */ &&
                               command != 7 /* SW_SHOWMINNOACTIVE */;
        if (activates && !wasVisible)
            BringToFront(hwnd);
        UpdateActivation();
    } else if (!show && m_focus == hwnd) {
        m_focus = 0;
        Send(hwnd, msg::KillFocus, 0, 0);
    }
    return wasVisible;
}

bool WindowManager::EnableWindow(Hwnd hwnd, bool enable)
{
    Window* window = Find(hwnd);
    if (!window)
        return false;
    const bool wasDisabled = !window->enabled;
    if (window->enabled != enable) {
        window->enabled = enable;
        Send(hwnd, msg::Enable, enable ? 1 : 0, 0);
        if (!enable && m_focus == hwnd) {
            m_focus = 0;
            Send(hwnd, msg::KillFocus, 0, 0);
        }
        if (window->IsTopLevel())
            UpdateActivation();
    }
    return wasDisabled;
}

void WindowManager::MoveWindow(Hwnd hwnd, Rect rect)
{
    if (Window* window = Find(hwnd))
        window->rect = rect;
}

void WindowManager::BringToFront(Hwnd hwnd)
{
    std::erase(m_zOrder, hwnd);
    m_zOrder.insert(m_zOrder.begin(), hwnd);
}

void WindowManager::UpdateActivation()
{
    Hwnd next = 0;
    for (Hwnd hwnd : m_zOrder) {
        const Window* window = Find(hwnd);
        if (window && window->visible && window->enabled) {
            next = hwnd;
            break;
        }
    }
    if (next == m_active)
        return;
    if (Window* old = Find(m_active)) {
        if (m_focus && TopLevelOf(m_focus) == m_active)
            old->savedFocus = m_focus;
        Send(m_active, msg::Activate, 0, static_cast<std::intptr_t>(next));
    }
    if (m_focus && (!next || TopLevelOf(m_focus) != next)) {
        const Hwnd lost = m_focus;
        m_focus = 0;
        Send(lost, msg::KillFocus, 0, 0);
    }
    m_active = next;
    if (Window* window = Find(next)) {
        Send(next, msg::Activate, 1, 0);
        window = Find(next);
        if (!window)
            return;
        Hwnd target = window->savedFocus;
        const Window* saved = Find(target);
        if (!saved || saved->parent != next || !saved->visible || !saved->enabled)
            target = FirstTabItem(next);
        SetFocus(target ? target : next);
    }
}

Hwnd WindowManager::SetFocus(Hwnd hwnd)
{
    const Hwnd previous = m_focus;
    Window* window = Find(hwnd);
    if (hwnd && (!window || !window->enabled))
        return previous;
    if (window && !window->IsTopLevel()) {
        if (Window* top = Find(TopLevelOf(hwnd)))
            top->savedFocus = hwnd;
    }
    if (hwnd && TopLevelOf(hwnd) != m_active)
        return previous;  // remembered for when its window is activated
    if (hwnd == previous)
        return previous;
    m_focus = hwnd;
    if (previous)
        Send(previous, msg::KillFocus, hwnd, 0);
    if (hwnd && m_focus == hwnd)
        Send(hwnd, msg::SetFocus, previous, 0);
    return previous;
}

Hwnd WindowManager::GetDlgItem(Hwnd dialog, int id) const
{
    const Window* window = Find(dialog);
    if (!window)
        return 0;
    for (Hwnd child : window->children) {
        const Window* control = Find(child);
        if (control && control->id == id)
            return child;
    }
    return 0;
}

Hwnd WindowManager::TopLevelOf(Hwnd hwnd) const
{
    const Window* window = Find(hwnd);
    while (window && window->parent)
        window = Find(window->parent);
    return window ? window->hwnd : 0;
}

Point WindowManager::ClientOrigin(Hwnd hwnd) const
{
    const Window* window = Find(hwnd);
    if (!window)
        return {};
    if (window->IsTopLevel())
        return {window->rect.left + kFrameX, window->rect.top + kCaptionHeight};
    const Point parent = ClientOrigin(window->parent);
    return {parent.x + window->rect.left, parent.y + window->rect.top};
}

Rect WindowManager::ScreenRectOf(Hwnd hwnd) const
{
    const Window* window = Find(hwnd);
    if (!window)
        return {};
    if (window->IsTopLevel())
        return window->rect;
    const Point parent = ClientOrigin(window->parent);
    return window->rect.Offset(parent.x, parent.y);
}

Rect WindowManager::ClientRectOf(Hwnd hwnd) const
{
    const Window* window = Find(hwnd);
    if (!window)
        return {};
    if (!window->IsTopLevel())
        return {0, 0, window->rect.Width(), window->rect.Height()};
    return {0, 0, window->rect.Width() - 2 * kFrameX, window->rect.Height() - kCaptionHeight - kFrameBottom};
}

std::vector<Hwnd> WindowManager::TopLevelWindows() const
{
    return m_zOrder;
}

Hwnd WindowManager::MainWindowOfProcess() const
{
    const Window* first = nullptr;
    for (Hwnd hwnd : m_zOrder) {
        const Window* window = Find(hwnd);
        if (window && !window->isMessageBox && (!first || window->creationOrder < first->creationOrder))
            first = window;
    }
    return first ? first->hwnd : 0;
}

Hwnd WindowManager::ShownDefaultButton(Hwnd dialog) const
{
    const Window* focus = Find(m_focus);
    if (focus && focus->parent == dialog && focus->windowClass == WindowClass::Button)
        return m_focus;
    const Window* window = Find(dialog);
    return window ? GetDlgItem(dialog, window->defaultId) : 0;
}

// Messages.

std::intptr_t WindowManager::Send(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    Window* window = Find(hwnd);
    if (!window)
        return 0;
    if (window->subclassProc) {
        WindowProc proc = window->subclassProc;  // the procedure may replace itself
        return proc(hwnd, message, wParam, lParam);
    }
    return ClassProc(hwnd, message, wParam, lParam);
}

bool WindowManager::Post(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (hwnd && !IsWindow(hwnd))
        return false;
    m_posted.push_back({hwnd, message, wParam, lParam, kNoModifier, {}});
    return true;
}

void WindowManager::PostInput(QueuedMessage message)
{
    m_input.push_back(message);
}

bool WindowManager::PeekMessage(QueuedMessage& message, bool remove)
{
    auto take = [&](std::deque<QueuedMessage>& queue) {
        message = queue.front();
        if (remove)
            queue.pop_front();
        return true;
    };
    if (!m_posted.empty())
        return take(m_posted);
    while (!m_input.empty()) {
        // Input for a window that has gone, or is disabled, falls on the floor.
        const Window* target = Find(m_input.front().hwnd);
        const Window* top = Find(TopLevelOf(m_input.front().hwnd));
        if (target && top && top->enabled && target->enabled) {
            take(m_input);
            if (remove)
                m_currentModifiers = message.modifiers;
            return true;
        }
        m_input.pop_front();
    }
    for (Hwnd hwnd : m_zOrder) {
        Window* window = Find(hwnd);
        if (window && window->visible && window->needsPaint) {
            message = {hwnd, msg::Paint, 0, 0, kNoModifier, {}};
            if (remove)
                window->needsPaint = false;
            return true;
        }
    }
    return false;
}

bool WindowManager::GetMessage(QueuedMessage& message)
{
    for (;;) {
        if (m_machine.SessionEnded())
            return false;
        if (PeekMessage(message, true))
            return true;
        if (!m_machine.WaitForInput())
            return false;
    }
}

std::intptr_t WindowManager::Dispatch(const QueuedMessage& message)
{
    return Send(message.hwnd, message.message, message.wParam, message.lParam);
}

// Menus.

std::uint32_t WindowManager::CreateMenu()
{
    const std::uint32_t menu = m_nextMenu;
    m_nextMenu += 4;
    m_menus[menu];
    return menu;
}

Menu* WindowManager::FindMenu(std::uint32_t menu)
{
    auto found = m_menus.find(menu);
    return found == m_menus.end() ? nullptr : &found->second;
}

std::uint32_t WindowManager::SystemMenuOf(Hwnd hwnd)
{
    Window* window = Find(hwnd);
    if (!window || !window->IsTopLevel() || !(window->style & msg::WsSysMenu))
        return 0;
    if (!window->systemMenu) {
        // The entries a window's system menu offers follow its frame: a fixed
        // dialog frame cannot be sized, and without the boxes it cannot be
        // minimised or maximised, which leaves Move and Close.
        window->systemMenu = CreateMenu();
        Menu& menu = m_menus[window->systemMenu];
        menu.items.push_back({0, msg::ScMove, "&Move"});
        menu.items.push_back({0, msg::ScClose, "&Close\tAlt+F4"});
    }
    return window->systemMenu;
}

}  // namespace pervo::machine
