// The utility's start: what it does before the person sees anything, in the
// order the trace records it; where its window appears; what happens without
// the driver; and how a log-off ends it.

#include "ScenarioHarness.h"

#include <limits>

namespace pervo::test {
namespace {

// The calls up to and including the first one named `last`.
std::vector<Json> CallsThrough(const ScenarioRun& run, std::string_view last)
{
    std::vector<Json> calls;
    for (const Json& call : run.trace) {
        calls.push_back(call);
        if (call.at("fn") == last)
            break;
    }
    return calls;
}

std::vector<std::string> Names(const std::vector<Json>& calls)
{
    std::vector<std::string> names;
    for (const Json& call : calls)
        names.push_back(call.at("fn").get<std::string>());
    return names;
}

TEST(StartupScenario, FreshMachineStartsInTheTrayWithCom2Selected)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("show\n");

    ASSERT_EQ(run.status, 0) << run.error;
    ASSERT_EQ(run.snapshots.size(), 1u);
    const Json expected = Json::parse(R"({
        "running": true,
        "windows": [{"caption": "KX-9 Pervola", "visible": false, "enabled": true}],
        "focus": null,
        "ports": {"items": ["COM1:", "COM2:"], "text": "COM2:"},
        "sysmenu": ["&Move", "&Close\tAlt+F4", "-", "&About Pervo..."],
        "tray": [{"id": 132, "tip": "KX-9 Pervola"}],
        "driver": {"loaded": true, "port": 2, "requests": 1},
        "help": []})");
    EXPECT_EQ(run.Snapshot(0), expected);
}

TEST(StartupScenario, CallsHappenInTheOrderOfTheStart)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("show\n");
    ASSERT_EQ(run.status, 0) << run.error;

    // Up to the dialog hiding itself after the deferred start.
    const std::vector<Json> start = CallsThrough(run, "ShowWindow");
    std::vector<std::string> expected = {
        "LoadIconA", "GetSystemMenu", "LoadStringA", "AppendMenuA", "AppendMenuA", "SendMessageA", "SendMessageA",
        "CreateFileA", "GetDlgItem",
        // COM1 and COM2 open and are listed; COM3 to COM8 do not exist.
        "wsprintfA", "CreateFileA", "GetDlgItem", "SendMessageA", "CloseHandle",
        "wsprintfA", "CreateFileA", "GetDlgItem", "SendMessageA", "CloseHandle"};
    for (int port = 3; port <= 8; ++port) {
        expected.push_back("wsprintfA");
        expected.push_back("CreateFileA");
    }
    for (const char* name : {"RegOpenKeyExA", "RegCreateKeyExA", "RegQueryValueExA", "RegSetValueExA",
                             "DeviceIoControl", "wsprintfA", "GetDlgItem", "SendMessageA", "RegCloseKey",
                             "RegCloseKey", "PostMessageA", "LoadIconA", "GetWindowTextA", "Shell_NotifyIconA",
                             "ShowWindow"})
        expected.push_back(name);
    ASSERT_EQ(Names(start), expected);

    const Json main = start[1]["args"][0];
    const Json icon = start[0]["ret"];
    const Json menu = start[1]["ret"];
    EXPECT_EQ(start[1]["args"], Json::array({main, 0}));
    EXPECT_EQ(start[2]["args"][1], 101);
    EXPECT_EQ(start[3]["args"], Json::array({menu, 0x0800, 0, nullptr}));
    EXPECT_EQ(start[4]["args"], Json::array({menu, 0, 0x0010, "&About Pervo..."}));
    EXPECT_EQ(start[5]["args"], Json::array({main, kWmSetIcon, 1, icon}));
    EXPECT_EQ(start[6]["args"], Json::array({main, kWmSetIcon, 0, icon}));

    const Json& driverOpen = start[7];
    EXPECT_EQ(driverOpen["args"], Json::parse(R"(["\\\\.\\QUORVEX.VXD", 0, 0, null, 1, 67108864, null])"));
    const Json driver = driverOpen["ret"];
    ASSERT_NE(driver, kInvalidHandle);

    // The probes: each name built, opened exclusively, listed, closed at once.
    const Json list = start[8]["ret"];
    EXPECT_EQ(start[8]["args"], Json::array({main, kIdPortList}));
    for (int port = 1; port <= 2; ++port) {
        const std::size_t at = 9 + 5 * static_cast<std::size_t>(port - 1);
        const std::string name = "COM" + std::to_string(port) + ":";
        EXPECT_EQ(start[at]["out"]["lpOut"], name);
        EXPECT_EQ(start[at + 1]["args"], Json::array({name, 0xC0000000u, 0, nullptr, 3, 0, nullptr}));
        const Json probe = start[at + 1]["ret"];
        EXPECT_EQ(start[at + 3]["args"],
                  Json::array({list, kCbInsertString, 0xFFFFFFFFu, name}));
        EXPECT_EQ(start[at + 4]["args"], Json::array({probe}));
        EXPECT_EQ(start[at + 4]["ret"], 1);
    }

    // The setting: SOFTWARE opened, the product key created, the value
    // missing and so written as 2, sent, selected, keys closed in reverse.
    const std::size_t reg = 19 + 12;
    EXPECT_EQ(start[reg]["args"], Json::array({kHkeyLocalMachine, "SOFTWARE", 0, kKeyAllAccess, true}));
    const Json parent = start[reg]["out"]["phkResult"];
    const Json& create = start[reg + 1];
    EXPECT_EQ(create["args"],
              Json::array({parent, "Varholm\\KX-9 Pervola", 0, nullptr, 0, kKeyAllAccess, nullptr, true, true}));
    const Json product = create["out"]["phkResult"];
    EXPECT_EQ(start[reg + 2]["args"], Json::array({product, "CommPort", nullptr, true, true, 4}));
    EXPECT_NE(start[reg + 2]["ret"], 0);
    EXPECT_EQ(start[reg + 3]["args"], Json::array({product, "CommPort", 0, 4, "02000000", 4}));
    EXPECT_EQ(start[reg + 4]["args"], Json::parse("[" + driver.dump() + R"(, 4096, "02000000", 4, null, 0, true, null])"));
    EXPECT_EQ(start[reg + 7]["args"], Json::array({list, kCbSelectString, 0, "COM2:"}));
    EXPECT_EQ(start[reg + 8]["args"], Json::array({product}));
    EXPECT_EQ(start[reg + 9]["args"], Json::array({parent}));

    EXPECT_EQ(start[reg + 10]["args"], Json::array({main, kWmPostInit, 0, 0}));
    const Json trayIcon = start[reg + 11]["ret"];
    EXPECT_EQ(start[reg + 12]["out"]["lpString"], kMainCaption);
    const Json& add = start[reg + 13];
    EXPECT_EQ(add["args"][0], kNimAdd);
    EXPECT_EQ(add["args"][1], (Json{{"cbSize", 88}, {"hWnd", main}, {"uID", 132}, {"uFlags", 7},
                                    {"uCallbackMessage", kWmTrayNotify}, {"hIcon", trayIcon},
                                    {"szTip", kMainCaption}}));
    // The window was showing when the deferred start hid it.
    EXPECT_EQ(start[reg + 14]["args"], Json::array({main, kSwHide}));
    EXPECT_EQ(start[reg + 14]["ret"], 1);

    // Nothing else happens until the person acts.
    EXPECT_EQ(run.trace.size(), start.size());
}

TEST(StartupScenario, DialogIsCentredInTheWorkAreaAtItsTemplateSize)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("show\n");
    ASSERT_FALSE(run.views.empty());
    const DesktopState& view = run.views.front();
    const WindowView* main = view.Find(kMainCaption);
    ASSERT_NE(main, nullptr);

    // 185 x 92 dialog units of 2 pixels, inside a frame of one cell a side
    // with the caption in the top one.
    EXPECT_EQ(main->client.Width(), 370);
    EXPECT_EQ(main->client.Height(), 184);
    EXPECT_EQ(main->rect.Width(), 370 + 2 * machine::kFrameX);
    EXPECT_EQ(main->rect.Height(), 184 + machine::kCaptionHeight + machine::kFrameBottom);

    const machine::Rect area = view.workArea;
    EXPECT_EQ(main->rect.left, area.left + (area.Width() - main->rect.Width()) / 2);
    EXPECT_EQ(main->rect.top, area.top + (area.Height() - main->rect.Height()) / 2);
    // Hidden in the tray since the start, and at the same place when restored.
    EXPECT_FALSE(main->visible);
    const ScenarioRun restored = scenario.Run("tray dblclick\nshow\n");
    ASSERT_GE(restored.views.size(), 2u);
    const WindowView* again = restored.views[1].Find(kMainCaption);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->visible);
    EXPECT_EQ(again->rect, main->rect);
}

TEST(StartupScenario, WithoutTheDriverTheNoticeIsShownOverTheDialogAndItsOkEndsTheProgram)
{
    Scenario scenario;
    scenario.Driver(quorvex::DriverState::Absent);
    const ScenarioRun run = scenario.Run("show\nclick OK\nshow\n");

    ASSERT_EQ(run.status, 0) << run.error;
    ASSERT_EQ(run.snapshots.size(), 2u);
    const Json notice = Json::parse(R"({
        "running": true,
        "windows": [{"caption": "pervo", "visible": true, "enabled": true,
                     "text": "Cannot load driver QUORVEX.VXD", "type": 0},
                    {"caption": "KX-9 Pervola", "visible": true, "enabled": false}],
        "focus": 1,
        "ports": {"items": [], "text": ""},
        "sysmenu": ["&Move", "&Close\tAlt+F4", "-", "&About Pervo..."],
        "tray": [],
        "driver": {"loaded": false, "port": null, "requests": 0},
        "help": []})");
    EXPECT_EQ(run.Snapshot(0), notice);
    EXPECT_EQ(run.Snapshot(1)["running"], false);
    EXPECT_EQ(run.Snapshot(1)["windows"], Json::array());
    EXPECT_EQ(run.Snapshot(1)["tray"], Json::array());

    // The box belongs to the dialog, which was shown before it.
    const DesktopState& view = run.views.front();
    ASSERT_EQ(view.windows.size(), 2u);
    EXPECT_TRUE(view.windows[0].isMessageBox);
    EXPECT_EQ(view.windows[0].owner, view.windows[1].hwnd);

    const auto boxes = run.Calls("MessageBoxA");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["args"], Json::array({view.windows[1].hwnd, "Cannot load driver QUORVEX.VXD", "pervo", 0}));

    // The registry is never touched: no call, and no hive file made.
    for (const std::string& name : run.CallNames()) {
        EXPECT_FALSE(name.starts_with("Reg")) << name;
        EXPECT_NE(name, "Shell_NotifyIconA");
        EXPECT_NE(name, "DeviceIoControl");
    }
    EXPECT_EQ(run.hive, std::nullopt);
}

// Every way of dismissing the notice ends the program, since its answer is not looked at.
TEST(StartupScenario, EveryWayOfDismissingTheDriverNoticeEndsTheProgram)
{
    for (const char* dismiss : {"click OK", "key Enter", "key Space", "key Escape", "closebox", "key Alt+F4"}) {
        SCOPED_TRACE(dismiss);
        Scenario scenario;
        scenario.Driver(quorvex::DriverState::Absent);
        const ScenarioRun run = scenario.Run(std::string(dismiss) + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        ASSERT_EQ(run.snapshots.size(), 1u);
        EXPECT_EQ(run.Snapshot(0)["running"], false);
        EXPECT_EQ(run.Snapshot(0)["windows"], Json::array());
    }
}

TEST(StartupScenario, AfterTheProgramHasEndedOnlyShowAndLogoffMayFollow)
{
    struct Case {
        const char* tail;
        int status;
    };
    const Case cases[] = {
        {"show\nshow\n", 0},
        {"# a comment\n\nlogoff\n", 0},
        {"show\nclick OK\n", 2},
        {"tray dblclick\n", 2},
        {"key Escape\n", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        Scenario scenario;
        scenario.Driver(quorvex::DriverState::Absent);
        const ScenarioRun run = scenario.Run(std::string("click OK\n") + c.tail);
        EXPECT_EQ(run.status, c.status);
        if (c.status == 0) {
            EXPECT_EQ(run.error, "");
        } else {
            EXPECT_TRUE(run.error.starts_with("script line ")) << run.error;
            EXPECT_EQ(run.error.find('\n'), std::string::npos);
        }
    }
}

TEST(StartupScenario, MessageBoxCaptionAndHelpFileFollowTheExecutablesName)
{
    struct Case {
        const char* executable;
        const char* appName;
        const char* helpFile;
    };
    const Case cases[] = {
        {"/opt/pervo/pervo", "pervo", "/opt/pervo/pervo.HLP"},
        {"/usr/lib/kx9/Pervo.EXE", "Pervo", "/usr/lib/kx9/Pervo.HLP"},
        // A dot in a folder's name is not the file's extension.
        {"/opt/pervo.d/pervo", "pervo", "/opt/pervo.d/pervo.HLP"},
        {"/opt/pervo/pervo.bin.x", "pervo.bin", "/opt/pervo/pervo.bin.HLP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable);
        Scenario withoutDriver;
        withoutDriver.Driver(quorvex::DriverState::Absent).Executable(c.executable);
        const ScenarioRun notice = withoutDriver.Run("show\n");
        ASSERT_EQ(notice.snapshots.size(), 1u);
        EXPECT_EQ(notice.Snapshot(0)["windows"][0]["caption"], c.appName);

        Scenario withDriver;
        withDriver.Executable(c.executable);
        const ScenarioRun help = withDriver.Run("tray dblclick\nkey F1\nshow\n");
        ASSERT_EQ(help.snapshots.size(), 1u);
        EXPECT_EQ(help.Snapshot(0)["help"],
                  Json::parse(R"([{"file": ")" + std::string(c.helpFile) + R"(", "command": 1, "data": 131174}])"));
    }
}

// A log-off ends the process without the Close button's steps: the icon is
// not deleted and the driver channel is not closed by the utility.
TEST(StartupScenario, LogoffEndsWithoutTheCloseButtonsSteps)
{
    struct Case {
        const char* name;
        quorvex::DriverState driver;
        const char* script;
    };
    const Case cases[] = {
        {"hidden, end of script", quorvex::DriverState::Present, "show\n"},
        {"hidden, logoff", quorvex::DriverState::Present, "logoff\nclick Close\n"},
        {"visible", quorvex::DriverState::Present, "tray dblclick\nselect COM1:\nlogoff\n"},
        {"About box open", quorvex::DriverState::Present, "tray dblclick\nsysmenu About Pervo...\nlogoff\n"},
        {"driver notice open", quorvex::DriverState::Absent, "logoff\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario scenario;
        scenario.Driver(c.driver);
        const ScenarioRun first = scenario.Run("");
        const ScenarioRun run = scenario.Run(c.script);
        EXPECT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.error, "");
        for (const Json& call : run.Calls("Shell_NotifyIconA"))
            EXPECT_EQ(call["args"][0], kNimAdd);
        // Only the probes' handles are closed; the driver's stays open.
        const auto opens = run.Calls("CreateFileA");
        ASSERT_FALSE(opens.empty());
        for (const Json& close : run.Calls("CloseHandle"))
            EXPECT_NE(close["args"][0], opens.front()["ret"]);
        // Nothing is saved on the way out.
        EXPECT_EQ(run.hive, first.hive);
    }
}

}  // namespace
}  // namespace pervo::test
