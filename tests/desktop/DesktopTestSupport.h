#pragma once

// A small desktop for tests: a machine of its own, a dialog laid out like a
// port-setup dialog, a terminal that hands out prepared events and keeps
// every frame shown, and a message loop like a modal dialog's.

#include "DesktopSession.h"
#include "Machine.h"
#include "TerminalPort.h"
#include "WindowMessages.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace pervo::desktop::testing_support {

namespace msg = machine::msg;

class FakeTerminal : public TerminalPort {
public:
    int columns = 80;
    int rows = 25;
    std::deque<std::vector<TerminalEvent>> reads;
    std::vector<std::string> frames;
    int readCount = 0;

    int Columns() const override { return columns; }
    int Rows() const override { return rows; }
    void Show(const ScreenGrid& frame) override { frames.push_back(frame.Dump()); }
    std::vector<TerminalEvent> Read() override
    {
        ++readCount;
        if (reads.empty())
            return {HangupEvent{}};  // a test that runs out of input ends the session
        std::vector<TerminalEvent> next = std::move(reads.front());
        reads.pop_front();
        return next;
    }
};

// What reached the dialog's procedure, in order.
struct Received {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool operator==(const Received&) const = default;
};

constexpr int kCloseId = 1000;
constexpr int kListId = 1001;
constexpr std::uint32_t kTrayCallback = msg::User + 101;

// Where the port-setup dialog's parts stand on an 80 x 25 terminal (see the
// rendering snapshot): the column and row of a cell inside each.
constexpr CellPoint kOkCell{50, 7};
constexpr CellPoint kCancelCell{50, 9};
constexpr CellPoint kCloseButtonCell{50, 15};
constexpr CellPoint kListFieldCell{36, 9};
constexpr CellPoint kMenuBoxCell{16, 5};
constexpr CellPoint kCloseBoxCell{63, 5};
constexpr CellPoint kTrayIconCell{77, 24};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto created = machine::Machine::Create(machine::MachineConfig{});
        ASSERT_TRUE(created);
        machine = std::move(created.Value());
        session = std::make_unique<DesktopSession>(*machine, terminal);
        machine->SetInputSource(session.get());
    }

    machine::WindowManager& Windows() { return machine->Windows(); }

    machine::DialogLayout PortSetupTemplate() const
    {
        machine::DialogLayout layout;
        layout.style = msg::WsPopup | msg::WsCaption | msg::WsSysMenu | msg::DsModalFrame | msg::DsCenter;
        layout.exStyle = msg::WsExAppWindow;
        layout.cx = 185;
        layout.cy = 92;
        layout.caption = "KX-9 Pervola";
        auto item = [](machine::WindowClass kind, std::uint32_t style, int x, int y, int cx, int cy, int id, const char* text) {
            machine::DialogItemLayout control;
            control.windowClass = kind;
            control.style = style | msg::WsVisible;
            control.x = x;
            control.y = y;
            control.cx = cx;
            control.cy = cy;
            control.id = id;
            control.text = text;
            return control;
        };
        using machine::WindowClass;
        layout.items = {
            item(WindowClass::Button, msg::BsDefPushButton | msg::WsTabStop, 128, 7, 50, 14, msg::IdOk, "&OK"),
            item(WindowClass::Button, msg::WsTabStop, 128, 23, 50, 14, msg::IdCancel, "C&ancel"),
            item(WindowClass::Button, msg::WsTabStop, 128, 71, 50, 14, kCloseId, "&Close"),
            item(WindowClass::Static, msg::WsGroup, 18, 22, 40, 12, -1, "Comm &Port:"),
            item(WindowClass::ComboBox, msg::WsTabStop | msg::WsVScroll, 61, 21, 48, 57, kListId, ""),
        };
        return layout;
    }

    // The dialog, shown, its list holding `ports` with `selected` chosen.
    machine::Hwnd ShowPortSetup(std::vector<std::string> ports = {"COM1:", "COM2:", "COM3:"}, int selected = 1)
    {
        dialog = Windows().CreateDialog(PortSetupTemplate(), 0, Recorder(), 0);
        const machine::Hwnd list = Windows().GetDlgItem(dialog, kListId);
        for (const std::string& port : ports)
            Windows().Send(list, msg::ComboAddString, 0, reinterpret_cast<std::intptr_t>(port.c_str()));
        Windows().Send(list, msg::ComboSetCurSel, static_cast<std::uintptr_t>(selected), 0);
        Windows().ShowWindow(dialog, 1);
        received.clear();
        return dialog;
    }

    // Adds the dialog's icon to the notification area.
    void AddTrayIcon(const std::string& tip = "KX-9 Pervola")
    {
        machine::IconImage image;
        image.resourceId = 128;
        image.picture = {"/KX\\", "\\-9/"};
        const std::uint32_t icon = machine->AddIcon(image);
        machine->Tray().Add({dialog, 132, kTrayCallback, icon, tip});
    }

    machine::WindowProc Recorder()
    {
        return [this](machine::Hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
            if (message == msg::InitDialog)
                return 1;
            if (message == msg::Command || message == msg::SysCommand || message == kTrayCallback)
                received.push_back({message, wParam, lParam});
            return 0;
        };
    }

    // Delivers what is queued, as a modal dialog's loop does.
    void Pump()
    {
        machine::QueuedMessage message;
        while (Windows().PeekMessage(message, true)) {
            if (!Windows().IsDialogMessage(dialog, message))
                Windows().Dispatch(message);
        }
    }

    void Do(const TerminalEvent& event)
    {
        session->Handle(event);
        Pump();
    }

    void Key(std::uint32_t virtualKey, std::uint32_t modifiers = machine::kNoModifier, char character = 0)
    {
        Do(KeyPress{virtualKey, modifiers, character});
    }

    void Click(CellPoint at, std::uint64_t time = 0, MouseButton button = MouseButton::Left)
    {
        Do(MouseEvent{MouseAction::Press, button, at.column, at.row, machine::kNoModifier, time});
        Do(MouseEvent{MouseAction::Release, button, at.column, at.row, machine::kNoModifier, time});
    }

    std::vector<std::uintptr_t> Commands() const
    {
        std::vector<std::uintptr_t> commands;
        for (const Received& r : received) {
            if (r.message == msg::Command)
                commands.push_back(r.wParam);
        }
        return commands;
    }

    static std::uintptr_t Clicked(int id) { return static_cast<std::uintptr_t>(id); }
    static std::uintptr_t Notified(int id, std::uint16_t code)
    {
        return static_cast<std::uintptr_t>(id) | (static_cast<std::uintptr_t>(code) << 16);
    }

    const machine::Window& List() { return *Windows().Find(Windows().GetDlgItem(dialog, kListId)); }

    FakeTerminal terminal;
    std::unique_ptr<machine::Machine> machine;
    std::unique_ptr<DesktopSession> session;
    machine::Hwnd dialog = 0;
    std::vector<Received> received;
};

}  // namespace pervo::desktop::testing_support
