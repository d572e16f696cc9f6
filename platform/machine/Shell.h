#pragma once

#include "Window.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pervo::machine {

// One icon in the notification area.
struct TrayIcon {
    Hwnd hwnd = 0;
    std::uint32_t id = 0;
    std::uint32_t callbackMessage = 0;  // 0: the icon tells its window nothing
    std::uint32_t icon = 0;
    std::string tip;
};

// The mouse events a person can make on a tray icon.
enum class TrayEvent { Click, DoubleClick, RightClick, RightDoubleClick, Move };

// The shell's notification area: icons keyed by window and id, in the order
// they were added.
class NotificationArea {
public:
    bool Add(const TrayIcon& icon);     // false when the window already has that id
    bool Modify(const TrayIcon& icon, bool setMessage, bool setIcon, bool setTip);
    bool Delete(Hwnd hwnd, std::uint32_t id);
    void RemoveAllOf(Hwnd hwnd);
    const std::vector<TrayIcon>& Icons() const { return m_icons; }
    const TrayIcon* Find(Hwnd hwnd, std::uint32_t id) const;

    // The mouse messages a real mouse produces for an event, in order; each
    // reaches the icon's window as its callback message.
    static std::vector<std::uint32_t> MouseMessagesFor(TrayEvent event);

private:
    std::vector<TrayIcon> m_icons;
};

// An icon image: its size and a picture a terminal can draw (rows of text).
struct IconImage {
    int width = 32;
    int height = 32;
    int resourceId = 0;
    std::vector<std::string> picture;
};

// The help system: present, it records each request (a person's desktop shows
// what it would open); absent, it cannot be started.
struct HelpRequest {
    std::string file;
    std::uint32_t command = 0;
    std::uintptr_t data = 0;
};

class HelpSystem {
public:
    explicit HelpSystem(bool present) : m_present(present) {}
    bool Request(HelpRequest request);
    const std::vector<HelpRequest>& Requests() const { return m_requests; }

private:
    bool m_present;
    std::vector<HelpRequest> m_requests;
};

}  // namespace pervo::machine
