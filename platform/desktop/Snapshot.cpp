#include "Snapshot.h"

#include <nlohmann/json.hpp>

namespace pervo::desktop {

std::string Snapshot(Host& host)
{
    using Json = nlohmann::ordered_json;
    machine::Machine& machine = host.GetMachine();
    machine::WindowManager& windows = machine.Windows();

    Json snapshot;
    snapshot["running"] = host.Running();

    Json list = Json::array();
    for (machine::Hwnd hwnd : windows.TopLevelWindows()) {
        const machine::Window* window = windows.Find(hwnd);
        Json entry;
        entry["caption"] = window->text;
        entry["visible"] = window->visible;
        entry["enabled"] = window->enabled;
        if (window->isMessageBox) {
            entry["text"] = window->messageBoxText;
            entry["type"] = window->messageBoxType;
        }
        list.push_back(std::move(entry));
    }
    snapshot["windows"] = std::move(list);

    const machine::Window* focus = windows.Find(windows.Focus());
    snapshot["focus"] = focus && !focus->IsTopLevel() ? Json(focus->id) : Json(nullptr);

    const machine::Hwnd main = windows.MainWindowOfProcess();
    Json ports = nullptr;
    Json sysmenu = Json::array();
    if (const machine::Window* dialog = windows.Find(main)) {
        ports = Json{{"items", Json::array()}, {"text", ""}};
        for (machine::Hwnd child : dialog->children) {
            const machine::Window* control = windows.Find(child);
            if (control->windowClass != machine::WindowClass::ComboBox)
                continue;
            ports["items"] = control->items;
            if (control->currentSelection >= 0)
                ports["text"] = control->items[static_cast<std::size_t>(control->currentSelection)];
            break;
        }
        if (const machine::Menu* menu = windows.FindMenu(windows.SystemMenuOf(main))) {
            for (const machine::MenuItem& item : menu->items)
                sysmenu.push_back(item.IsSeparator() ? std::string("-") : item.text);
        }
    }
    snapshot["ports"] = std::move(ports);
    snapshot["sysmenu"] = std::move(sysmenu);

    Json tray = Json::array();
    for (const machine::TrayIcon& icon : machine.Tray().Icons())
        tray.push_back(Json{{"id", icon.id}, {"tip", icon.tip}});
    snapshot["tray"] = std::move(tray);

    const quorvex::QuorvexDevice* driver = host.Driver();
    Json state;
    state["loaded"] = driver && machine.Devices().IsLoaded(*driver);
    state["port"] = driver && driver->Port() ? Json(*driver->Port()) : Json(nullptr);
    state["requests"] = driver ? driver->Requests() : 0u;
    snapshot["driver"] = std::move(state);

    Json help = Json::array();
    for (const machine::HelpRequest& request : machine.Help().Requests())
        help.push_back(Json{{"file", request.file}, {"command", request.command}, {"data", request.data}});
    snapshot["help"] = std::move(help);

    return snapshot.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace pervo::desktop
