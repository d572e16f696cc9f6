// Message boxes: a small modal dialog made on the fly, with the text, the
// buttons its type asks for, and its own message loop.

#include "Machine.h"
#include "WindowManager.h"
#include "WindowMessages.h"

#include <algorithm>

namespace pervo::machine {
namespace {

struct ButtonChoice {
    int id;
    const char* text;
};

std::vector<ButtonChoice> ButtonsFor(std::uint32_t type)
{
    switch (type & msg::MbTypeMask) {
    case msg::MbOkCancel:
        return {{1, "OK"}, {2, "Cancel"}};
    case 2:
        return {{3, "&Abort"}, {4, "&Retry"}, {5, "&Ignore"}};
    case msg::MbYesNoCancel:
        return {{6, "&Yes"}, {7, "&No"}, {2, "Cancel"}};
    case msg::MbYesNo:
        return {{6, "&Yes"}, {7, "&No"}};
    case msg::MbRetryCancel:
        return {{4, "&Retry"}, {2, "Cancel"}};
    default:
        return {{1, "OK"}};
    }
}

}  // namespace

int WindowManager::MessageBox(Hwnd owner, std::string_view text, std::string_view caption, std::uint32_t type)
{
    const std::vector<ButtonChoice> buttons = ButtonsFor(type);
    const bool hasCancel = std::any_of(buttons.begin(), buttons.end(), [](const ButtonChoice& b) { return b.id == msg::IdCancel; });
    const int onlyButton = buttons.size() == 1 ? buttons.front().id : 0;

    // Lay the box out in dialog units: the text on one line, the buttons
    // centred in a row below it; an icon, when asked for, at the left.
    const bool hasIcon = (type & 0xF0u) != 0;
    const int textWidth = static_cast<int>(text.size()) * 4 + 8;
    const int iconWidth = hasIcon ? 24 : 0;
    const int buttonsWidth = static_cast<int>(buttons.size()) * 54;
    const int width = std::max({textWidth + iconWidth + 16, buttonsWidth + 16, 100});
    DialogLayout layout;
    layout.style = msg::WsPopup | msg::WsCaption | msg::WsSysMenu | msg::DsModalFrame;
    layout.cx = width;
    layout.cy = 48;
    layout.caption = std::string(caption);
    DialogItemLayout label;
    label.windowClass = WindowClass::Static;
    label.style = msg::WsVisible | msg::SsNoPrefix;
    label.x = 8 + iconWidth;
    label.y = 8;
    label.cx = textWidth;
    label.cy = 8;
    label.id = 0xFFFF;
    label.text = std::string(text);
    layout.items.push_back(label);
    int x = (width - buttonsWidth) / 2 + 2;
    for (const ButtonChoice& choice : buttons) {
        DialogItemLayout button;
        button.windowClass = WindowClass::Button;
        button.style = msg::WsVisible | msg::WsTabStop | (choice.id == buttons.front().id ? msg::BsDefPushButton : 0u);
        button.x = x;
        button.y = 26;
        button.cx = 50;
        button.cy = 14;
        button.id = choice.id;
        button.text = choice.text;
        layout.items.push_back(button);
        x += 54;
    }

    const Hwnd ownerTop = owner ? TopLevelOf(owner) : 0;
    WindowProc boxProc = [this, hasCancel, onlyButton](Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) -> std::intptr_t {
        if (message == msg::InitDialog)
            return 1;
        if (message != msg::Command || (wParam >> 16) != msg::ButtonClicked)
            return 0;
        int id = static_cast<int>(wParam & 0xFFFF);
        // Escape and the close box mean Cancel. A box without Cancel answers
        // with its only button; one that asks a question (Yes or No) has no
        // such answer, so there they do nothing rather than answer OK.
        if (id == msg::IdCancel && !hasCancel)
            id = onlyButton;
        if (id == 0 || !GetDlgItem(hwnd, id))
            return 1;
        EndDialog(hwnd, id);
        return 1;
    };
    const Hwnd box = CreateDialog(layout, ownerTop, std::move(boxProc), 0);
    if (!box)
        return 0;
    if (Window* window = Find(box)) {
        window->isMessageBox = true;
        window->messageBoxText = std::string(text);
        window->messageBoxType = type;
        CenterOver(*window, ownerTop);
    }
    const bool ownerWasEnabled = ownerTop && !EnableWindow(ownerTop, false);
    ShowWindow(box, 1);

    int result = 0;
    QueuedMessage message;
    for (;;) {
        const Window* window = Find(box);
        if (!window)
            break;
        if (window->dialogEnded) {
            result = static_cast<int>(window->dialogResult);
            break;
        }
        if (!GetMessage(message))
            break;
        if (!IsDialogMessage(box, message))
            Dispatch(message);
    }
    if (ownerWasEnabled)
        EnableWindow(ownerTop, true);
    DestroyWindow(box);
    return result;
}

}  // namespace pervo::machine
