// The ways the dialog goes back to the tray and the one way the program ends:
// hiding keeps the icon and the driver, the Close button gives both up; and
// the tray icon's mouse events, of which only the double-click does anything.

#include "ScenarioHarness.h"

namespace pervo::test {
namespace {

// The calls after the start, which ends when the dialog first hides itself,
// leaving out the painting (which asks whether the window is minimised).
std::vector<Json> CallsAfterStart(const ScenarioRun& run)
{
    std::vector<Json> after;
    bool started = false;
    for (const Json& call : run.trace) {
        if (started && call.at("fn") != "IsIconic")
            after.push_back(call);
        else if (call.at("fn") == "ShowWindow")
            started = true;
    }
    return after;
}

bool Visible(const Json& snapshot)
{
    return snapshot.at("windows").at(0).at("visible").get<bool>();
}

TEST(HideScenario, EveryWayOfDismissingTheDialogOnlyHidesIt)
{
    struct Case {
        const char* name;
        const char* actions;
    };
    const Case cases[] = {
        {"Cancel button", "click Cancel"},
        {"Escape", "key Escape"},
        {"Escape with the focus on the list", "focus 1001\nkey Escape"},
        {"Alt+F4", "key Alt+F4"},
        {"close box", "closebox"},
        {"system menu Close", "sysmenu Close"},
        {"Cancel's mnemonic", "key Alt+A"},
        {"Enter on Cancel", "focus Cancel\nkey Enter"},
        {"OK button", "click OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario scenario;
        const ScenarioRun run = scenario.Run(std::string("tray dblclick\nshow\n") + c.actions + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        ASSERT_EQ(run.snapshots.size(), 2u);
        EXPECT_TRUE(Visible(run.Snapshot(0)));

        const Json& after = run.Snapshot(1);
        EXPECT_EQ(after["running"], true);
        ASSERT_EQ(after["windows"].size(), 1u);
        EXPECT_EQ(after["windows"][0]["visible"], false);
        EXPECT_EQ(after["windows"][0]["enabled"], true);
        EXPECT_EQ(after["tray"], Json::parse(R"([{"id": 132, "tip": "KX-9 Pervola"}])"));
        EXPECT_EQ(after["driver"]["loaded"], true);
        EXPECT_EQ(after["ports"], run.Snapshot(0)["ports"]);

        const std::vector<Json> later = CallsAfterStart(run);
        ASSERT_FALSE(later.empty());
        EXPECT_EQ(later.back()["fn"], "ShowWindow");
        EXPECT_EQ(later.back()["args"][1], kSwHide);
        for (const Json& call : later) {
            EXPECT_NE(call["fn"], "Shell_NotifyIconA");
            EXPECT_NE(call["fn"], "CloseHandle");
            EXPECT_NE(call["fn"], "EndDialog");
        }
        // And it comes back from the tray as it was.
        const ScenarioRun again = scenario.Run(std::string("tray dblclick\n") + c.actions + "\ntray dblclick\nshow\n");
        ASSERT_EQ(again.snapshots.size(), 1u);
        EXPECT_TRUE(Visible(again.Snapshot(0)));
        EXPECT_EQ(again.Snapshot(0)["ports"]["text"], "COM2:");
        EXPECT_FALSE(again.Snapshot(0)["focus"].is_null()) << "a control of the dialog has the focus again";
    }
}

TEST(CloseScenario, EveryWayOfPressingCloseRemovesTheIconClosesTheDriverAndEnds)
{
    struct Case {
        const char* name;
        const char* actions;
    };
    const Case cases[] = {
        {"click", "click Close"},
        {"click by id", "click 1000"},
        {"Enter on Close", "focus Close\nkey Enter"},
        {"Space on Close", "focus Close\nkey Space"},
        {"mnemonic", "key Alt+C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario scenario;
        // A choice made but not applied is not stored on this way out.
        const ScenarioRun run = scenario.Run(std::string("tray dblclick\nselect COM1:\n") + c.actions + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        ASSERT_EQ(run.snapshots.size(), 1u);
        const Json expected = Json::parse(R"({
            "running": false, "windows": [], "focus": null, "ports": null, "sysmenu": [], "tray": [],
            "driver": {"loaded": false, "port": 2, "requests": 1}, "help": []})");
        EXPECT_EQ(run.Snapshot(0), expected);

        const Json driver = run.Calls("CreateFileA").front()["ret"];
        const Json record = run.Calls("Shell_NotifyIconA").front()["args"][1];
        const std::vector<Json> later = CallsAfterStart(run);
        std::vector<std::string> names;
        for (const Json& call : later)
            names.push_back(call["fn"].get<std::string>());
        // Restored, then the icon deleted with the same record, the channel
        // closed, the dialog ended; nothing read or written in the registry.
        ASSERT_EQ(names, (std::vector<std::string>{"ShowWindow", "Shell_NotifyIconA", "CloseHandle", "EndDialog"}))
            << Json(later).dump();
        EXPECT_EQ(later[1]["args"], Json::array({kNimDelete, record}));
        EXPECT_EQ(later[2]["args"], Json::array({driver}));
        EXPECT_EQ(later[2]["ret"], 1);
        EXPECT_EQ(later[3]["args"][1], kIdOk);
        EXPECT_EQ(run.hive, scenario.HiveNow());
        EXPECT_NE(run.hive->find("\"CommPort\"=dword:00000002"), std::string::npos);
    }
}

TEST(CloseScenario, CloseDoesNotTouchTheHiveFile)
{
    Scenario scenario;
    scenario.StoredValue("\"CommPort\"=dword:00000001");
    const std::optional<std::string> before = scenario.HiveNow();
    const ScenarioRun run = scenario.Run("tray dblclick\nselect COM2:\nclick Close\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.hive, before);
}

TEST(TrayScenario, OnlyADoubleClickRestoresTheDialog)
{
    struct Case {
        const char* event;
        bool restores;
    };
    const Case cases[] = {
        {"click", false}, {"rclick", false}, {"rdblclick", false}, {"move", false}, {"dblclick", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        Scenario scenario;
        const ScenarioRun run = scenario.Run(std::string("tray ") + c.event + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(Visible(run.Snapshot(0)), c.restores);
        const std::vector<Json> later = CallsAfterStart(run);
        if (c.restores) {
            ASSERT_FALSE(later.empty());
            EXPECT_EQ(later.front()["fn"], "ShowWindow");
            EXPECT_EQ(later.front()["args"][1], kSwRestore);
            EXPECT_EQ(later.front()["ret"], 0) << "it was hidden";
            EXPECT_EQ(run.Snapshot(0)["focus"], kIdOk);
        } else {
            EXPECT_TRUE(later.empty()) << Json(later).dump();
        }
    }
}

TEST(TrayScenario, EventsWhileVisibleLeaveTheDialogVisible)
{
    for (const char* event : {"dblclick", "click", "rclick", "rdblclick", "move"}) {
        SCOPED_TRACE(event);
        Scenario scenario;
        const ScenarioRun run = scenario.Run(std::string("tray dblclick\nfocus 1001\ntray ") + event + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_TRUE(Visible(run.Snapshot(0)));
        EXPECT_EQ(run.Snapshot(0)["windows"][0]["enabled"], true);
        EXPECT_EQ(run.Snapshot(0)["focus"], kIdPortList);
        for (const Json& call : run.Calls("ShowWindow")) {
            if (call["args"][1] == kSwRestore)
                continue;
            EXPECT_EQ(call["args"][1], kSwHide);
        }
    }
}

TEST(TrayScenario, DoubleClickWhileTheAboutBoxIsOpenLeavesItOnTop)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("tray dblclick\nsysmenu About Pervo...\nshow\ntray dblclick\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.Snapshot(1)["windows"], run.Snapshot(0)["windows"]);
    EXPECT_EQ(run.Snapshot(1)["focus"], run.Snapshot(0)["focus"]);
}

TEST(TrayScenario, WithoutTheDriverThereIsNoIconToClick)
{
    Scenario scenario;
    scenario.Driver(quorvex::DriverState::Absent);
    const ScenarioRun run = scenario.Run("show\ntray dblclick\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.error.rfind("script line 2: ", 0), 0u) << run.error;
    EXPECT_EQ(run.Snapshot(0)["tray"], Json::array());
    EXPECT_TRUE(run.Calls("Shell_NotifyIconA").empty());
}

TEST(TrayScenario, AfterCloseTheIconIsGoneForGood)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("tray dblclick\nclick Close\ntray dblclick\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.error.rfind("script line 3: ", 0), 0u) << run.error;
}

// Tab walks OK, Cancel, Close and the list; Enter then acts on wherever the
// focus is: the list and OK apply, Cancel hides, Close ends.
TEST(HideScenario, EnterActsOnTheControlTabReached)
{
    struct Case {
        int tabs;
        int focus;
        bool running;
        bool stored;
    };
    const Case cases[] = {
        {0, kIdOk, true, true},
        {1, kIdCancel, true, false},
        {2, kIdCloseApp, false, false},
        {3, kIdPortList, true, true},
        {4, kIdOk, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tabs);
        Scenario scenario;
        scenario.Ports({{1, machine::PortKind::Simulated}, {2, machine::PortKind::Simulated}});
        std::string script = "tray dblclick\nselect COM1:\n";
        for (int i = 0; i < c.tabs; ++i)
            script += "key Tab\n";
        script += "show\nkey Enter\nshow\n";
        const ScenarioRun run = scenario.Run(script);
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.Snapshot(0)["focus"], c.focus);
        EXPECT_EQ(run.Snapshot(1)["running"], c.running);
        if (c.running) {
            EXPECT_EQ(run.Snapshot(1)["windows"][0]["visible"], false);
        }
        const bool stored = run.hive && run.hive->find("\"CommPort\"=dword:00000001") != std::string::npos;
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(run.PortsSent().size(), c.stored ? 2u : 1u);
    }
}

TEST(HideScenario, ShiftTabWalksBackwards)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("tray dblclick\nkey Shift+Tab\nshow\nkey Shift+Tab\nshow\nkey Shift+Tab\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.Snapshot(0)["focus"], kIdPortList);
    EXPECT_EQ(run.Snapshot(1)["focus"], kIdCloseApp);
    EXPECT_EQ(run.Snapshot(2)["focus"], kIdCancel);
}

TEST(HideScenario, HiddenDialogCannotBeActedOn)
{
    for (const char* action : {"click OK", "key Escape", "closebox", "sysmenu About Pervo...", "select COM1:",
                               "focus 1001"}) {
        SCOPED_TRACE(action);
        Scenario scenario;
        const ScenarioRun run = scenario.Run(std::string("show\n") + action + "\nshow\n");
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error.rfind("script line 2: ", 0), 0u) << run.error;
        EXPECT_EQ(run.snapshots.size(), 1u) << "the script stops at its error";
    }
}

}  // namespace
}  // namespace pervo::test
