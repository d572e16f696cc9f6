#include "UserActions.h"

#include "WindowMessages.h"

#include <cctype>
#include <charconv>

namespace pervo::desktop {
namespace msg = machine::msg;
namespace {

std::optional<std::uint32_t> NamedKey(std::string_view name)
{
    static const std::pair<std::string_view, std::uint32_t> kKeys[] = {
        {"Enter", msg::VkReturn}, {"Escape", msg::VkEscape}, {"Tab", msg::VkTab},   {"Space", msg::VkSpace},
        {"Up", msg::VkUp},        {"Down", msg::VkDown},     {"Left", msg::VkLeft}, {"Right", msg::VkRight},
    };
    for (const auto& [keyName, key] : kKeys) {
        if (name == keyName)
            return key;
    }
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
        unsigned number = 0;
        auto [end, error] = std::from_chars(name.data() + 1, name.data() + name.size(), number);
        if (error == std::errc() && end == name.data() + name.size() && number >= 1 && number <= 12)
            return msg::VkF1 + number - 1;
    }
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(name[0])));
    return std::nullopt;
}

}  // namespace

std::optional<KeyPress> ParseKey(std::string_view name)
{
    KeyPress key;
    for (;;) {
        if (name.starts_with("Shift+")) {
            key.modifiers |= machine::kShift;
            name.remove_prefix(6);
        } else if (name.starts_with("Ctrl+")) {
            key.modifiers |= machine::kControl;
            name.remove_prefix(5);
        } else if (name.starts_with("Alt+")) {
            key.modifiers |= machine::kAlt;
            name.remove_prefix(4);
        } else {
            break;
        }
    }
    auto virtualKey = NamedKey(name);
    if (!virtualKey)
        return std::nullopt;
    key.virtualKey = *virtualKey;
    if (name.size() == 1)
        key.character = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return key;
}

std::string UserActions::PlainText(std::string_view text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\t')
            break;
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        plain.push_back(text[i]);
    }
    return plain;
}

machine::Hwnd UserActions::FindControl(std::string_view name) const
{
    machine::WindowManager& windows = m_machine.Windows();
    const machine::Window* active = windows.Find(windows.ActiveWindow());
    if (!active)
        return 0;
    int id = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), id);
    const bool numeric = error == std::errc() && end == name.data() + name.size();
    for (machine::Hwnd child : active->children) {
        const machine::Window* control = windows.Find(child);
        if (numeric && control->id == id)
            return child;
        if (!numeric && control->windowClass != machine::WindowClass::ComboBox && PlainText(control->text) == name)
            return child;
    }
    return 0;
}

std::string UserActions::Click(std::string_view name)
{
    machine::WindowManager& windows = m_machine.Windows();
    if (!windows.ActiveWindow())
        return "there is no active window to click in";
    const machine::Window* button = windows.Find(FindControl(name));
    if (!button || button->windowClass != machine::WindowClass::Button)
        return "the active window has no button '" + std::string(name) + "'";
    if (!button->enabled || !button->visible)
        return "the button '" + std::string(name) + "' cannot be pressed now";
    windows.PostInput({button->hwnd, msg::LButtonDown, 1, 0, machine::kNoModifier, {}});
    windows.PostInput({button->hwnd, msg::LButtonUp, 0, 0, machine::kNoModifier, {}});
    return {};
}

std::string UserActions::Select(std::string_view entry)
{
    machine::WindowManager& windows = m_machine.Windows();
    const machine::Window* active = windows.Find(windows.ActiveWindow());
    if (!active)
        return "there is no active window to pick a list entry in";
    for (machine::Hwnd child : active->children) {
        const machine::Window* control = windows.Find(child);
        if (control->windowClass != machine::WindowClass::ComboBox)
            continue;
        for (std::size_t i = 0; i < control->items.size(); ++i) {
            if (control->items[i] == entry) {
                windows.PostInput({child, machine::kComboMousePick, i, 0, machine::kNoModifier, {}});
                return {};
            }
        }
        return "the list has no entry '" + std::string(entry) + "'";
    }
    return "the active window has no drop-down list";
}

std::string UserActions::Focus(std::string_view name)
{
    machine::WindowManager& windows = m_machine.Windows();
    if (!windows.ActiveWindow())
        return "there is no active window to move the focus in";
    const machine::Window* control = windows.Find(FindControl(name));
    if (!control || control->windowClass == machine::WindowClass::Static)
        return "the active window has no control '" + std::string(name) + "' that can take the focus";
    if (!control->enabled || !control->visible)
        return "the control '" + std::string(name) + "' cannot take the focus now";
    windows.SetFocus(control->hwnd);
    return {};
}

std::string UserActions::Key(const KeyPress& key)
{
    machine::WindowManager& windows = m_machine.Windows();
    if (!windows.ActiveWindow())
        return "there is no active window to type in";
    const machine::Hwnd target = windows.Focus() ? windows.Focus() : windows.ActiveWindow();
    const bool alt = key.modifiers & machine::kAlt;
    windows.PostInput({target, alt ? msg::SysKeyDown : msg::KeyDown, key.virtualKey, 0, key.modifiers, {}});
    if (alt && key.character)
        windows.PostInput({target, msg::SysChar, static_cast<std::uintptr_t>(key.character), 0, key.modifiers, {}});
    windows.PostInput({target, alt ? msg::SysKeyUp : msg::KeyUp, key.virtualKey, 0, key.modifiers, {}});
    return {};
}

std::string UserActions::CloseBox()
{
    machine::WindowManager& windows = m_machine.Windows();
    const machine::Window* active = windows.Find(windows.ActiveWindow());
    if (!active)
        return "there is no active window to close";
    if (!(active->style & msg::WsSysMenu))
        return "the active window has no close box";
    windows.PostInput({active->hwnd, msg::NcLButtonDown, msg::HtClose, 0, machine::kNoModifier, {}});
    windows.PostInput({active->hwnd, msg::NcLButtonUp, msg::HtClose, 0, machine::kNoModifier, {}});
    return {};
}

std::string UserActions::SystemMenu(std::string_view item)
{
    machine::WindowManager& windows = m_machine.Windows();
    const machine::Hwnd active = windows.ActiveWindow();
    if (!active)
        return "there is no active window whose system menu could open";
    const machine::Menu* menu = windows.FindMenu(windows.SystemMenuOf(active));
    if (!menu)
        return "the active window has no system menu";
    for (const machine::MenuItem& entry : menu->items) {
        if (entry.IsSeparator() || PlainText(entry.text) != item)
            continue;
        if (entry.IsGrayed())
            return "the system menu's '" + std::string(item) + "' is not available now";
        windows.PostInput({active, msg::SysCommand, entry.id, 0, machine::kNoModifier, {}});
        return {};
    }
    return "the system menu has no item '" + std::string(item) + "'";
}

std::string UserActions::Tray(machine::TrayEvent event)
{
    const auto& icons = m_machine.Tray().Icons();
    if (icons.empty())
        return "there is no icon in the notification area";
    // A person aims at the program's icon: the newest one stands for it.
    const machine::TrayIcon& icon = icons.back();
    if (!icon.callbackMessage)
        return {};
    for (std::uint32_t mouse : machine::NotificationArea::MouseMessagesFor(event))
        m_machine.Windows().Post(icon.hwnd, icon.callbackMessage, icon.id, static_cast<std::intptr_t>(mouse));
    return {};
}

}  // namespace pervo::desktop
