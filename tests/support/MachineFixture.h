#pragma once

// A fresh machine for one test, installed as the current machine, with an
// input source the test scripts; small builders for dialog templates; a dialog
// procedure that writes down what its dialog receives; and the keyboard and
// message loop as a person and a modal loop would drive them.

#include "Machine.h"
#include "WindowMessages.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pervo::test {

namespace msg = machine::msg;

// The input source a test scripts. Each time the machine has nothing left to
// hand out it asks for input; the source then runs the next step (which
// usually injects input), and when the steps have run out it ends the session,
// as the end of a script logs the person off.
class ScriptedInput final : public machine::InputSource {
public:
    using Step = std::function<void(machine::Machine&)>;

    void Then(Step step) { m_steps.push_back(std::move(step)); }

    void WaitForInput(machine::Machine& machine) override
    {
        ++m_calls;
        machine::QueuedMessage waiting;
        if (machine.Windows().PeekMessage(waiting, false))
            m_askedWhileBusy = true;
        if (m_steps.empty()) {
            machine.EndSession();
            return;
        }
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(machine);
    }

    // How often the machine asked for input.
    int Calls() const { return m_calls; }
    // Whether the machine ever asked while it still had a message to hand out.
    bool AskedWhileBusy() const { return m_askedWhileBusy; }
    std::size_t StepsLeft() const { return m_steps.size(); }

private:
    std::deque<Step> m_steps;
    int m_calls = 0;
    bool m_askedWhileBusy = false;
};

// One machine for one test: created from `config`, current while it lives,
// and driven by a ScriptedInput.
class TestMachine {
public:
    explicit TestMachine(machine::MachineConfig config = {}) : m_previous(machine::Machine::Current())
    {
        auto created = machine::Machine::Create(std::move(config));
        if (!created) {
            ADD_FAILURE() << "the test machine could not be made: " << created.GetStatus().Message();
            created = machine::Machine::Create({});
        }
        m_machine = std::move(created.Value());
        m_machine->SetInputSource(&m_input);
        machine::Machine::SetCurrent(m_machine.get());
    }
    // Restored by hand rather than through an optional MachineScope, which
    // GCC 12's optimiser mistakes for a read of uninitialised memory.
    ~TestMachine() { machine::Machine::SetCurrent(m_previous); }
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    machine::Machine& Get() { return *m_machine; }
    machine::WindowManager& Windows() { return m_machine->Windows(); }
    ScriptedInput& Input() { return m_input; }

private:
    std::unique_ptr<machine::Machine> m_machine;
    ScriptedInput m_input;
    machine::Machine* m_previous;
};

inline constexpr std::uint32_t kCbsDropDownList = 0x3;

inline machine::DialogItemLayout PushButton(int id, std::string text, std::uint32_t style = msg::WsTabStop | msg::WsVisible)
{
    machine::DialogItemLayout item;
    item.windowClass = machine::WindowClass::Button;
    item.style = msg::WsChild | style;
    item.cx = 50;
    item.cy = 14;
    item.id = id;
    item.text = std::move(text);
    return item;
}

inline machine::DialogItemLayout Label(std::string text, std::uint32_t style = msg::WsVisible)
{
    machine::DialogItemLayout item;
    item.windowClass = machine::WindowClass::Static;
    item.style = msg::WsChild | style;
    item.cx = 40;
    item.cy = 8;
    item.id = -1;
    item.text = std::move(text);
    return item;
}

inline machine::DialogItemLayout DropDownList(int id, std::uint32_t style = msg::WsTabStop | msg::WsVisible)
{
    machine::DialogItemLayout item;
    item.windowClass = machine::WindowClass::ComboBox;
    item.style = msg::WsChild | kCbsDropDownList | style;
    item.cx = 48;
    item.cy = 57;
    item.id = id;
    return item;
}

inline machine::DialogLayout DialogWith(std::vector<machine::DialogItemLayout> items, std::string caption = "Test",
                                      std::uint32_t style = msg::WsPopup | msg::WsCaption | msg::WsSysMenu |
                                                            msg::WsVisible)
{
    machine::DialogLayout layout;
    layout.style = style;
    layout.cx = 180;
    layout.cy = 90;
    layout.caption = std::move(caption);
    layout.items = std::move(items);
    return layout;
}

// What a dialog received, in order. Its procedure handles nothing itself
// (returns FALSE), except WM_INITDIALOG, where it lets the dialog manager
// give the focus to the first tab stop.
class DialogLog {
public:
    struct Entry {
        machine::Hwnd hwnd;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    machine::WindowProc Proc()
    {
        return [this](machine::Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
            m_entries.push_back({hwnd, message, wParam, lParam});
            if (m_onMessage)
                m_onMessage(hwnd, message, wParam);
            return message == msg::InitDialog ? 1 : 0;
        };
    }

    // Runs for every message after it is written down.
    void OnMessage(std::function<void(machine::Hwnd, std::uint32_t, std::uintptr_t)> hook) { m_onMessage = std::move(hook); }

    const std::vector<Entry>& Entries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

    // The WM_COMMANDs as (id, notification code).
    std::vector<std::pair<int, int>> Commands() const
    {
        std::vector<std::pair<int, int>> commands;
        for (const Entry& entry : m_entries) {
            if (entry.message == msg::Command)
                commands.emplace_back(static_cast<int>(entry.wParam & 0xFFFF), static_cast<int>((entry.wParam >> 16) & 0xFFFF));
        }
        return commands;
    }

    // The messages among `wanted`, in the order they came.
    std::vector<std::uint32_t> Only(std::initializer_list<std::uint32_t> wanted) const
    {
        std::vector<std::uint32_t> messages;
        for (const Entry& entry : m_entries) {
            for (std::uint32_t message : wanted) {
                if (entry.message == message)
                    messages.push_back(message);
            }
        }
        return messages;
    }

private:
    std::vector<Entry> m_entries;
    std::function<void(machine::Hwnd, std::uint32_t, std::uintptr_t)> m_onMessage;
};

// A key as the keyboard makes it: down, the character Alt makes with a
// letter, and up, all to the control with the focus (or the active window).
inline void PressKey(machine::WindowManager& windows, std::uint32_t key, std::uint32_t modifiers = machine::kNoModifier)
{
    const machine::Hwnd target = windows.Focus() ? windows.Focus() : windows.ActiveWindow();
    const bool alt = (modifiers & machine::kAlt) != 0;
    windows.PostInput({target, alt ? msg::SysKeyDown : msg::KeyDown, key, 0, modifiers, {}});
    const bool letter = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    if (alt && letter)
        windows.PostInput({target, msg::SysChar, static_cast<std::uintptr_t>(key | 0x20), 0, modifiers, {}});
    windows.PostInput({target, alt ? msg::SysKeyUp : msg::KeyUp, key, 0, modifiers, {}});
}

// Hands out every message that waits, as a modal dialog's loop does, and
// returns when none is left; the input source is not asked.
inline void DeliverPending(machine::WindowManager& windows, machine::Hwnd dialog)
{
    machine::QueuedMessage message;
    while (windows.PeekMessage(message, true)) {
        if (!dialog || !windows.IsDialogMessage(dialog, message))
            windows.Dispatch(message);
    }
}

// The control id that has the focus; 0 when none, the dialog's own id (0) when
// the dialog itself has it.
inline int FocusId(const machine::WindowManager& windows)
{
    const machine::Window* focus = windows.Find(windows.Focus());
    return focus ? focus->id : 0;
}

}  // namespace pervo::test
