#include "Shell.h"

#include "WindowMessages.h"

#include <algorithm>

namespace pervo::machine {

bool NotificationArea::Add(const TrayIcon& icon)
{
    if (Find(icon.hwnd, icon.id))
        return false;
    m_icons.push_back(icon);
    return true;
}

bool NotificationArea::Modify(const TrayIcon& icon, bool setMessage, bool setIcon, bool setTip)
{
    for (auto& existing : m_icons) {
        if (existing.hwnd != icon.hwnd || existing.id != icon.id)
            continue;
        if (setMessage)
            existing.callbackMessage = icon.callbackMessage;
        if (setIcon)
            existing.icon = icon.icon;
        if (setTip)
            existing.tip = icon.tip;
        return true;
    }
    return false;
}

bool NotificationArea::Delete(Hwnd hwnd, std::uint32_t id)
{
    auto found = std::find_if(m_icons.begin(), m_icons.end(),
                              [&](const TrayIcon& icon) { return icon.hwnd == hwnd && icon.id == id; });
    if (found == m_icons.end())
        return false;
    m_icons.erase(found);
    return true;
}

void NotificationArea::RemoveAllOf(Hwnd hwnd)
{
    std::erase_if(m_icons, [&](const TrayIcon& icon) { return icon.hwnd == hwnd; });
}

const TrayIcon* NotificationArea::Find(Hwnd hwnd, std::uint32_t id) const
{
    for (const auto& icon : m_icons) {
        if (icon.hwnd == hwnd && icon.id == id)
            return &icon;
    }
    return nullptr;
}

std::vector<std::uint32_t> NotificationArea::MouseMessagesFor(TrayEvent event)
{
    switch (event) {
    case TrayEvent::Click:
        return {msg::LButtonDown, msg::LButtonUp};
    case TrayEvent::DoubleClick:
        return {msg::LButtonDown, msg::LButtonUp, msg::LButtonDoubleClick, msg::LButtonUp};
    case TrayEvent::RightClick:
        return {msg::RButtonDown, msg::RButtonUp};
    case TrayEvent::RightDoubleClick:
        return {msg::RButtonDown, msg::RButtonUp, msg::RButtonDoubleClick, msg::RButtonUp};
    case TrayEvent::Move:
        return {msg::MouseMove};
    }
    return {};
}

bool HelpSystem::Request(HelpRequest request)
{
    if (!m_present)
        return false;
    m_requests.push_back(std::move(request));
    return true;
}

}  // namespace pervo::machine
