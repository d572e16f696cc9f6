// The dialog manager: default dialog processing, keyboard navigation and the
// rules that turn keys into commands (Enter, Escape, Tab, arrows, mnemonics).

#include "Machine.h"
#include "WindowManager.h"
#include "WindowMessages.h"

#include <cctype>

namespace pervo::machine {
namespace {

bool IsTabStop(const Window& window)
{
    return window.visible && window.enabled && (window.style & msg::WsTabStop);
}

bool IsPushButton(const Window& window)
{
    return window.windowClass == WindowClass::Button;
}

// Messages whose dialog-procedure result is the message's result itself, not a
// "handled" flag.
bool ReturnsDirectly(std::uint32_t message)
{
    return message == msg::InitDialog || message == msg::QueryDragIcon || (message >= 0x0132 && message <= 0x0138) ||
           message == 0x0039 /* WM_COMPAREITEM */ || message == 0x002E /* WM_VKEYTOITEM */ ||
           message == 0x002F /* WM_CHARTOITEM */;
}

}  // namespace

Hwnd WindowManager::FirstTabItem(Hwnd dialog) const
{
    const Window* window = Find(dialog);
    if (!window)
        return 0;
    for (Hwnd child : window->children) {
        const Window* control = Find(child);
        if (control && IsTabStop(*control))
            return child;
    }
    return 0;
}

Hwnd WindowManager::NextTabItem(Hwnd dialog, Hwnd from, bool previous) const
{
    const Window* window = Find(dialog);
    if (!window || window->children.empty())
        return 0;
    const auto& children = window->children;
    const int count = static_cast<int>(children.size());
    int start = -1;
    for (int i = 0; i < count; ++i) {
        if (children[static_cast<std::size_t>(i)] == from)
            start = i;
    }
    if (start < 0)
        start = previous ? 0 : count - 1;
    for (int step = 1; step <= count; ++step) {
        const int index = ((start + (previous ? -step : step)) % count + count) % count;
        const Window* control = Find(children[static_cast<std::size_t>(index)]);
        if (control && IsTabStop(*control))
            return control->hwnd;
    }
    return 0;
}

Hwnd WindowManager::NextGroupItem(Hwnd dialog, Hwnd from, bool previous) const
{
    const Window* window = Find(dialog);
    if (!window)
        return 0;
    const auto& children = window->children;
    const auto position = std::find(children.begin(), children.end(), from);
    if (position == children.end())
        return 0;
    // A group runs from a control with WS_GROUP (or the first control) up to
    // the next control that starts a group.
    std::size_t first = static_cast<std::size_t>(position - children.begin());
    while (first > 0 && !(Find(children[first])->style & msg::WsGroup))
        --first;
    std::size_t last = static_cast<std::size_t>(position - children.begin());
    while (last + 1 < children.size() && !(Find(children[last + 1])->style & msg::WsGroup))
        ++last;
    const std::size_t size = last - first + 1;
    const std::size_t here = static_cast<std::size_t>(position - children.begin()) - first;
    for (std::size_t step = 1; step < size; ++step) {
        const std::size_t index = first + (previous ? (here + size - step) % size : (here + step) % size);
        const Window* control = Find(children[index]);
        if (control && control->visible && control->enabled && control->windowClass != WindowClass::Static)
            return control->hwnd;
    }
    return from;
}

char WindowManager::MnemonicOf(std::string_view text)
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
    }
    return 0;
}

void WindowManager::NotifyParent(Hwnd control, std::uint16_t code)
{
    const Window* window = Find(control);
    if (!window || !window->parent)
        return;
    const auto id = static_cast<std::uint16_t>(window->id);
    Send(window->parent, msg::Command, static_cast<std::uintptr_t>(id) | (static_cast<std::uintptr_t>(code) << 16),
         static_cast<std::intptr_t>(control));
}

bool WindowManager::EndDialog(Hwnd dialog, std::intptr_t result)
{
    Window* window = Find(dialog);
    if (!window || window->windowClass != WindowClass::Dialog)
        return false;
    window->dialogEnded = true;
    window->dialogResult = result;
    return true;
}

std::intptr_t WindowManager::ClassProc(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    Window* window = Find(hwnd);
    if (!window)
        return 0;
    switch (window->windowClass) {
    case WindowClass::Dialog:
        return DefDialogProc(hwnd, message, wParam, lParam);
    case WindowClass::Button:
        return ButtonProc(*window, message, wParam, lParam);
    case WindowClass::ComboBox:
        return ComboProc(*window, message, wParam, lParam);
    case WindowClass::Static:
        if (message == msg::GetDialogCode)
            return msg::DlgcStatic;
        return DefWindowProc(hwnd, message, wParam, lParam);
    }
    return 0;
}

std::intptr_t WindowManager::DefDialogProc(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    Window* window = Find(hwnd);
    if (!window)
        return 0;
    if (window->dialogProc) {
        WindowProc proc = window->dialogProc;
        const std::intptr_t handled = proc(hwnd, message, wParam, lParam);
        window = Find(hwnd);
        if (!window)
            return 0;
        if (ReturnsDirectly(message))
            return handled;
        if (handled)
            return window->messageResult;
    }
    return DefDialogDefaults(hwnd, message, wParam, lParam);
}

std::intptr_t WindowManager::DefDialogDefaults(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam,
                                               std::intptr_t lParam)
{
    Window* window = Find(hwnd);
    if (!window)
        return 0;
    switch (message) {
    case msg::Close: {
        // The close box and Alt+F4 are the Cancel button, unless it is disabled.
        const Hwnd cancel = GetDlgItem(hwnd, msg::IdCancel);
        const Window* button = Find(cancel);
        if (button && !button->enabled)
            return 0;
        Send(hwnd, msg::Command, static_cast<std::uintptr_t>(msg::IdCancel) | (std::uintptr_t{msg::ButtonClicked} << 16),
             static_cast<std::intptr_t>(cancel));
        return 0;
    }
    case msg::GetDefaultId:
        return static_cast<std::intptr_t>(static_cast<std::uint32_t>(window->defaultId) | (0x534Bu << 16));
    case msg::SetDefaultId:
        window->defaultId = static_cast<int>(wParam);
        return 1;
    case msg::NextDialogControl: {
        Hwnd target = lParam ? static_cast<Hwnd>(wParam) : NextTabItem(hwnd, m_focus, wParam != 0);
        if (target)
            SetFocus(target);
        return 0;
    }
    default:
        return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

std::intptr_t WindowManager::DefWindowProc(Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    Window* window = Find(hwnd);
    if (!window)
        return 0;
    bool handled = false;
    const std::intptr_t text = TextMessages(*window, message, wParam, lParam, handled);
    if (handled)
        return text;
    switch (message) {
    case msg::SysCommand:
        if ((wParam & 0xFFF0) == msg::ScClose)
            Send(hwnd, msg::Close, 0, 0);
        // Move and the menu keys start interactive loops a person drives with
        // the mouse; the desktop offers neither, so they end at once.
        return 0;
    case msg::Close:
        DestroyWindow(hwnd);
        return 0;
    case msg::SysKeyDown:
        if (wParam == msg::VkF4 && (m_currentModifiers & kAlt))
            Send(TopLevelOf(hwnd), msg::SysCommand, msg::ScClose, 0);
        else if (wParam == msg::VkSpace && (m_currentModifiers & kAlt))
            Send(TopLevelOf(hwnd), msg::SysCommand, msg::ScKeyMenu, ' ');
        return 0;
    case msg::NcLButtonUp:
        if (wParam == msg::HtClose)
            Send(hwnd, msg::SysCommand, msg::ScClose, lParam);
        return 0;
    case msg::Paint:
        window->needsPaint = false;
        return 0;
    case msg::SetIcon: {
        std::uint32_t& slot = wParam == 0 ? window->smallIcon : window->bigIcon;
        const std::uint32_t old = slot;
        slot = static_cast<std::uint32_t>(lParam);
        return old;
    }
    case msg::QueryEndSession:
        return 1;
    default:
        return 0;
    }
}

std::intptr_t WindowManager::TextMessages(Window& window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam, bool& handled)
{
    handled = true;
    switch (message) {
    case msg::SetText:
        window.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        return 1;
    case msg::GetText: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        const std::size_t copied = std::min<std::size_t>(window.text.size(), wParam - 1);
        window.text.copy(buffer, copied);
        buffer[copied] = '\0';
        return static_cast<std::intptr_t>(copied);
    }
    case msg::GetTextLength:
        return static_cast<std::intptr_t>(window.text.size());
    default:
        handled = false;
        return 0;
    }
}

bool WindowManager::IsDialogMessage(Hwnd dialog, const QueuedMessage& message)
{
    Window* window = Find(dialog);
    if (!window || !message.hwnd || TopLevelOf(message.hwnd) != dialog)
        return false;
    switch (message.message) {
    case msg::KeyDown:
        return HandleDialogKey(*window, message);
    case msg::SysChar:
        if (HandleMnemonic(*window, static_cast<char>(std::tolower(static_cast<int>(message.wParam & 0xFF)))))
            return true;
        return true;
    case msg::Char:
        // The characters of the keys the dialog manager took are eaten with them.
        return message.wParam == '\r' || message.wParam == '\t' || message.wParam == 0x1B;
    default:
        return false;
    }
}

bool WindowManager::HandleDialogKey(Window& dialog, const QueuedMessage& message)
{
    const Hwnd dialogHwnd = dialog.hwnd;
    const Window* focus = Find(m_focus);
    const std::intptr_t code = focus ? Send(m_focus, msg::GetDialogCode, message.wParam, 0) : 0;
    if (code & msg::DlgcWantAllKeys) {
        if (message.wParam != msg::VkTab) {
            Dispatch(message);
            return true;
        }
        // Tab leaves an open list as a click elsewhere would: the list closes
        // on its current entry and the focus moves on.
        Send(m_focus, msg::ComboShowDropDown, 0, 0);
    }
    switch (message.wParam) {
    case msg::VkTab: {
        const Hwnd next = NextTabItem(dialogHwnd, m_focus, (message.modifiers & kShift) != 0);
        if (next)
            SetFocus(next);
        return true;
    }
    case msg::VkReturn: {
        // Enter presses the focused push button, or else the default one.
        int id = 0;
        Hwnd button = 0;
        if (focus && focus->parent == dialogHwnd && IsPushButton(*focus)) {
            id = focus->id;
            button = focus->hwnd;
        } else {
            const std::intptr_t result = Send(dialogHwnd, msg::GetDefaultId, 0, 0);
            id = static_cast<int>(result & 0xFFFF);
            button = GetDlgItem(dialogHwnd, id);
            const Window* control = Find(button);
            if (control && !control->enabled)
                return true;
        }
        Send(dialogHwnd, msg::Command, static_cast<std::uint16_t>(id) | (std::uintptr_t{msg::ButtonClicked} << 16),
             static_cast<std::intptr_t>(button));
        return true;
    }
    case msg::VkEscape: {
        const Hwnd cancel = GetDlgItem(dialogHwnd, msg::IdCancel);
        Send(dialogHwnd, msg::Command, static_cast<std::uintptr_t>(msg::IdCancel) | (std::uintptr_t{msg::ButtonClicked} << 16),
             static_cast<std::intptr_t>(cancel));
        return true;
    }
    case msg::VkLeft:
    case msg::VkUp:
    case msg::VkRight:
    case msg::VkDown:
        if (code & msg::DlgcWantArrows) {
            Dispatch(message);
        } else if (m_focus) {
            const bool previous = message.wParam == msg::VkLeft || message.wParam == msg::VkUp;
            const Hwnd next = NextGroupItem(dialogHwnd, m_focus, previous);
            if (next)
                SetFocus(next);
        }
        return true;
    default: {
        // A letter typed on a control that takes no characters of its own (a
        // push button) is a mnemonic even without Alt.
        // Letter keys are numbered 'A' to 'Z' and digit keys '0' to '9'; the
        // other virtual keys (F1 is 0x70, 'p') are no characters.
        const auto key = static_cast<char>(message.wParam);
        const bool plainLetter = !(message.modifiers & (kControl | kAlt)) &&
                                 ((message.wParam >= 'A' && message.wParam <= 'Z') ||
                                  (message.wParam >= '0' && message.wParam <= '9'));
        if (plainLetter && focus && focus->windowClass == WindowClass::Button &&
            HandleMnemonic(dialog, static_cast<char>(std::tolower(static_cast<unsigned char>(key)))))
            return true;
        Dispatch(message);
        return true;
    }
    }
}

bool WindowManager::HandleMnemonic(Window& dialog, char letter)
{
    if (!letter)
        return false;
    const auto& children = dialog.children;
    const std::size_t count = children.size();
    std::size_t start = count - 1;
    for (std::size_t i = 0; i < count; ++i) {
        if (children[i] == m_focus)
            start = i;
    }
    // Search from the control after the focus, round to the focus itself.
    for (std::size_t step = 1; step <= count; ++step) {
        const Window* control = Find(children[(start + step) % count]);
        if (!control || !control->visible || !control->enabled)
            continue;
        if (control->windowClass == WindowClass::Static && (control->style & msg::SsNoPrefix))
            continue;
        if (control->windowClass == WindowClass::ComboBox || MnemonicOf(control->text) != letter)
            continue;
        if (control->windowClass == WindowClass::Static) {
            // A label's mnemonic takes the focus to the control it labels.
            const Hwnd next = NextTabItem(dialog.hwnd, control->hwnd, false);
            if (next)
                SetFocus(next);
        } else {
            NotifyParent(control->hwnd, msg::ButtonClicked);
        }
        return true;
    }
    return false;
}

// Built-in controls.

std::intptr_t WindowManager::ButtonProc(Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    const Hwnd hwnd = window.hwnd;
    switch (message) {
    case msg::LButtonDown:
        window.pressed = true;
        SetFocus(hwnd);
        return 0;
    case msg::LButtonUp:
        if (window.pressed) {
            window.pressed = false;
            NotifyParent(hwnd, msg::ButtonClicked);
        }
        return 0;
    case msg::KeyDown:
        if (wParam == msg::VkSpace)
            window.pressed = true;
        return 0;
    case msg::KeyUp:
        if (wParam == msg::VkSpace && window.pressed) {
            window.pressed = false;
            NotifyParent(hwnd, msg::ButtonClicked);
        }
        return 0;
    case msg::KillFocus:
        window.pressed = false;
        return 0;
    case msg::ButtonClick:
        Send(hwnd, msg::LButtonDown, 0, 0);
        Send(hwnd, msg::LButtonUp, 0, 0);
        return 0;
    case msg::GetDialogCode:
        return msg::DlgcButton | (ShownDefaultButton(window.parent) == hwnd ? std::intptr_t{msg::DlgcDefPushButton} : std::intptr_t{msg::DlgcUndefPushButton});
    default:
        return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

// Entries are matched as the list matches them: without regard to case, on
// the beginning of the entry's text.
static bool StartsWithNoCase(const std::string& entry, std::string_view prefix)
{
    if (prefix.size() > entry.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(entry[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

static int CompareNoCase(const std::string& a, const std::string& b)
{
    const std::size_t size = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < size; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void WindowManager::SelectComboItem(Hwnd combo, int index, bool notify)
{
    Window* window = Find(combo);
    if (!window || index < -1 || index >= static_cast<int>(window->items.size()))
        return;
    const bool changed = window->currentSelection != index;
    window->currentSelection = index;
    if (notify && changed)
        NotifyParent(combo, msg::ComboSelChange);
}

std::intptr_t WindowManager::ComboProc(Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    const Hwnd hwnd = window.hwnd;
    auto& items = window.items;
    const auto count = static_cast<std::intptr_t>(items.size());
    // Start searching after `start`, wrapping round, and try `start` itself last.
    auto search = [&](std::intptr_t start, std::string_view text) -> std::intptr_t {
        if (items.empty())
            return -1;
        if (start < -1 || start >= count)
            start = -1;
        for (std::intptr_t step = 1; step <= count; ++step) {
            const std::intptr_t index = (start + step + count) % count;
            if (StartsWithNoCase(items[static_cast<std::size_t>(index)], text))
                return index;
        }
        return -1;
    };
    const char* text = reinterpret_cast<const char*>(lParam);
    switch (message) {
    case msg::ComboInsertString: {
        if (!text)
            return -1;
        const auto index = static_cast<std::intptr_t>(wParam);
        if (index == -1 || static_cast<std::uintptr_t>(wParam) == static_cast<std::uintptr_t>(-1)) {
            items.emplace_back(text);
            return count;
        }
        if (index < 0 || index > count)
            return -1;
        items.insert(items.begin() + index, text);
        if (window.currentSelection >= index)
            ++window.currentSelection;
        return index;
    }
    case msg::ComboAddString: {
        if (!text)
            return -1;
        std::size_t index = items.size();
        if (window.style & msg::CbsSort) {
            index = 0;
            while (index < items.size() && CompareNoCase(items[index], text) <= 0)
                ++index;
        }
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), text);
        if (window.currentSelection >= static_cast<int>(index))
            ++window.currentSelection;
        return static_cast<std::intptr_t>(index);
    }
    case msg::ComboGetCount:
        return count;
    case msg::ComboGetCurSel:
        return window.currentSelection;
    case msg::ComboSetCurSel: {
        const auto index = static_cast<std::intptr_t>(wParam);
        if (index < 0 || index >= count) {
            window.currentSelection = -1;
            return -1;
        }
        window.currentSelection = static_cast<int>(index);
        return index;
    }
    case msg::ComboSelectString:
    case msg::ComboFindString: {
        if (!text)
            return -1;
        const std::intptr_t found = search(static_cast<std::intptr_t>(wParam), text);
        if (message == msg::ComboSelectString && found >= 0)
            window.currentSelection = static_cast<int>(found);
        return found;
    }
    case msg::ComboGetLbText: {
        const auto index = static_cast<std::intptr_t>(wParam);
        if (index < 0 || index >= count || !lParam)
            return -1;
        const std::string& entry = items[static_cast<std::size_t>(index)];
        char* buffer = reinterpret_cast<char*>(lParam);
        entry.copy(buffer, entry.size());
        buffer[entry.size()] = '\0';
        return static_cast<std::intptr_t>(entry.size());
    }
    case msg::ComboGetLbTextLength: {
        const auto index = static_cast<std::intptr_t>(wParam);
        if (index < 0 || index >= count)
            return -1;
        return static_cast<std::intptr_t>(items[static_cast<std::size_t>(index)].size());
    }
    case msg::ComboResetContent:
        items.clear();
        window.currentSelection = -1;
        return 0;
    case msg::ComboShowDropDown:
        if (window.dropped != (wParam != 0)) {
            window.dropped = wParam != 0;
            NotifyParent(hwnd, window.dropped ? msg::ComboDropDown : msg::ComboCloseUp);
        }
        return 1;
    case msg::ComboGetDroppedState:
        return window.dropped ? 1 : 0;
    case msg::GetText: {
        // A drop-down list's text is its selected entry's.
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        const std::string entry = window.currentSelection >= 0 ? items[static_cast<std::size_t>(window.currentSelection)] : "";
        const std::size_t copied = std::min<std::size_t>(entry.size(), wParam - 1);
        entry.copy(buffer, copied);
        buffer[copied] = '\0';
        return static_cast<std::intptr_t>(copied);
    }
    case msg::GetTextLength:
        return window.currentSelection >= 0 ? static_cast<std::intptr_t>(items[static_cast<std::size_t>(window.currentSelection)].size()) : 0;
    case msg::GetDialogCode:
        return msg::DlgcWantArrows | (window.dropped ? std::intptr_t{msg::DlgcWantAllKeys} : std::intptr_t{0});
    case msg::LButtonDown:
        SetFocus(hwnd);
        Send(hwnd, msg::ComboShowDropDown, window.dropped ? 0 : 1, 0);
        return 0;
    case kComboMousePick:
        if (static_cast<std::intptr_t>(wParam) < count) {
            SelectComboItem(hwnd, static_cast<int>(wParam), true);
            NotifyParent(hwnd, msg::ComboSelEndOk);
        }
        if (Window* still = Find(hwnd); still && still->dropped)
            Send(hwnd, msg::ComboShowDropDown, 0, 0);
        return 0;
    case msg::KeyDown:
    case msg::SysKeyDown: {
        // F4 opens and closes the list; with Alt held it is the frame's Close,
        // which default processing below turns into SC_CLOSE.
        const bool alt = (m_currentModifiers & kAlt) != 0;
        const bool toggles = message == msg::KeyDown ? wParam == msg::VkF4
                                                     : alt && (wParam == msg::VkDown || wParam == msg::VkUp);
        if (toggles) {
            Send(hwnd, msg::ComboShowDropDown, window.dropped ? 0 : 1, 0);
            return 0;
        }
        if (message == msg::SysKeyDown)
            return DefWindowProc(hwnd, message, wParam, lParam);
        if (window.dropped && (wParam == msg::VkReturn || wParam == msg::VkEscape)) {
            if (wParam == msg::VkReturn)
                NotifyParent(hwnd, msg::ComboSelEndOk);
            Send(hwnd, msg::ComboShowDropDown, 0, 0);
            return 0;
        }
        int next = window.currentSelection;
        if (wParam == msg::VkDown || wParam == msg::VkRight)
            next = std::min(next + 1, static_cast<int>(count) - 1);
        else if (wParam == msg::VkUp || wParam == msg::VkLeft)
            next = next < 0 ? static_cast<int>(count) - 1 : std::max(next - 1, 0);
        if (next != window.currentSelection && next >= 0)
            SelectComboItem(hwnd, next, true);
        return 0;
    }
    case msg::KillFocus:
        if (window.dropped)
            Send(hwnd, msg::ComboShowDropDown, 0, 0);
        return 0;
    default:
        return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

}  // namespace pervo::machine
