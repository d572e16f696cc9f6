// The About box behind the system menu, and F1: which help the program asks
// for from each window, and what a person sees when help cannot start.

#include "ScenarioHarness.h"

namespace pervo::test {
namespace {

const Json kNoHelp = Json::array();

TEST(AboutScenario, SystemMenuEndsWithASeparatorAndTheAboutEntry)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("show\n");
    const Json sysmenu = run.Snapshot(0)["sysmenu"];
    ASSERT_GE(sysmenu.size(), 3u);
    EXPECT_EQ(sysmenu[sysmenu.size() - 2], "-");
    EXPECT_EQ(sysmenu[sysmenu.size() - 1], "&About Pervo...");
    // The window's own entries come first and stay as they were.
    EXPECT_EQ(sysmenu[0], "&Move");
    EXPECT_EQ(sysmenu[1], "&Close\tAlt+F4");
}

TEST(AboutScenario, OpensOverTheDisabledMainDialogCentredOverIt)
{
    Scenario scenario;
    scenario.Ports({{1, machine::PortKind::Simulated}, {3, machine::PortKind::Simulated}});
    const ScenarioRun run = scenario.Run("tray dblclick\nsysmenu About Pervo...\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    const Json& shown = run.Snapshot(0);
    EXPECT_EQ(shown["windows"], Json::parse(R"([
        {"caption": "About Pervo", "visible": true, "enabled": true},
        {"caption": "KX-9 Pervola", "visible": true, "enabled": false}])"));
    EXPECT_EQ(shown["focus"], kIdOk) << "the About box's OK button";
    EXPECT_EQ(shown["running"], true);

    ASSERT_GE(run.views.size(), 3u);
    const DesktopState& view = run.views[2];
    const WindowView* about = view.Find(kAboutCaption);
    const WindowView* main = view.Find(kMainCaption);
    ASSERT_NE(about, nullptr);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(about->owner, main->hwnd);
    EXPECT_EQ(view.active, about->hwnd);
    // 217 x 55 dialog units, centred over the dialog and inside the work area.
    EXPECT_EQ(about->client.Width(), 434);
    EXPECT_EQ(about->client.Height(), 110);
    const int left = main->rect.left + (main->rect.Width() - about->rect.Width()) / 2;
    const int top = main->rect.top + (main->rect.Height() - about->rect.Height()) / 2;
    EXPECT_EQ(about->rect.left, std::max(view.workArea.left, std::min(left, view.workArea.right - about->rect.Width())));
    EXPECT_EQ(about->rect.top, std::max(view.workArea.top, std::min(top, view.workArea.bottom - about->rect.Height())));
    EXPECT_GE(about->rect.left, view.workArea.left);
    EXPECT_LE(about->rect.right, view.workArea.right);
}

TEST(AboutScenario, ClosingItReturnsToTheMainDialogAsItWas)
{
    for (const char* close : {"click OK", "key Enter", "key Escape", "key Space", "closebox", "key Alt+F4",
                              "sysmenu Close"}) {
        SCOPED_TRACE(close);
        Scenario scenario;
        scenario.Ports({{1, machine::PortKind::Simulated}, {2, machine::PortKind::Simulated},
                        {3, machine::PortKind::Simulated}});
        const ScenarioRun run = scenario.Run(std::string("tray dblclick\nselect COM3:\nfocus 1001\nshow\n"
                                                         "sysmenu About Pervo...\n") +
                                             close + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        ASSERT_EQ(run.snapshots.size(), 2u);
        const Json& before = run.Snapshot(0);
        const Json& after = run.Snapshot(1);
        EXPECT_EQ(after["windows"], Json::parse(R"([{"caption": "KX-9 Pervola", "visible": true, "enabled": true}])"));
        EXPECT_EQ(after["focus"], kIdPortList);
        EXPECT_EQ(after["ports"], before["ports"]);
        EXPECT_EQ(after["driver"], before["driver"]);
        EXPECT_EQ(after["tray"], before["tray"]);
        EXPECT_EQ(after["ports"]["text"], "COM3:");
        // Nothing of the main dialog's OK or Cancel ran.
        EXPECT_EQ(run.PortsSent().size(), 1u);
        const auto shows = run.Calls("ShowWindow");
        ASSERT_EQ(shows.size(), 2u) << "the start's hide and the restore from the tray, nothing more";
        EXPECT_EQ(shows[0]["args"][1], kSwHide);
        EXPECT_EQ(shows[1]["args"][1], kSwRestore);
        // The main dialog is active again: the next action reaches it.
        const ScenarioRun cancel = scenario.Run(std::string("tray dblclick\nsysmenu About Pervo...\n") + close +
                                                "\nclick Cancel\nshow\n");
        ASSERT_EQ(cancel.status, 0) << cancel.error;
        EXPECT_EQ(cancel.Snapshot(0)["windows"][0]["visible"], false);
    }
}

TEST(AboutScenario, CanOpenAgainAfterClosing)
{
    Scenario scenario;
    const ScenarioRun run =
        scenario.Run("tray dblclick\nsysmenu About Pervo...\nclick OK\nsysmenu About Pervo...\nshow\nkey Escape\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.Snapshot(0)["windows"].size(), 2u);
    EXPECT_EQ(run.Snapshot(1)["windows"].size(), 1u);
}

TEST(AboutScenario, MainDialogCannotBeReachedWhileItIsOpen)
{
    for (const char* action : {"click Cancel", "click Close", "select COM1:", "sysmenu About Pervo..."}) {
        SCOPED_TRACE(action);
        Scenario scenario;
        const ScenarioRun run = scenario.Run(std::string("tray dblclick\nsysmenu About Pervo...\n") + action + "\n");
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error.rfind("script line 3: ", 0), 0u) << run.error;
    }
}

TEST(HelpScenario, F1AsksForTheHelpOfTheWindowWithTheFocus)
{
    struct Case {
        const char* key;
        bool about;
        Json help;
    };
    const Json mainHelp = Json::parse(R"([{"file": "/opt/pervo/pervo.HLP", "command": 1, "data": 131174}])");
    const Json aboutHelp = Json::parse(R"([{"file": "/opt/pervo/pervo.HLP", "command": 1, "data": 131172}])");
    const Case cases[] = {
        {"F1", false, mainHelp},         {"F1", true, aboutHelp},          {"Shift+F1", false, kNoHelp},
        {"Shift+F1", true, kNoHelp},     {"Ctrl+F1", false, kNoHelp},      {"Ctrl+F1", true, kNoHelp},
        {"Alt+F1", false, kNoHelp},      {"Alt+F1", true, kNoHelp},        {"Ctrl+Shift+F1", false, kNoHelp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + (c.about ? " in the About box" : " in the main dialog"));
        Scenario scenario;
        const std::string open = c.about ? "tray dblclick\nsysmenu About Pervo...\n" : "tray dblclick\nfocus 1001\n";
        const ScenarioRun run = scenario.Run(open + "show\nkey " + c.key + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        ASSERT_EQ(run.snapshots.size(), 2u);
        const Json& before = run.Snapshot(0);
        const Json& after = run.Snapshot(1);
        EXPECT_EQ(after["help"], c.help);
        // Help changes nothing else a person sees.
        EXPECT_EQ(after["windows"], before["windows"]);
        EXPECT_EQ(after["focus"], before["focus"]);
        EXPECT_EQ(after["ports"], before["ports"]);
        const auto calls = run.Calls("WinHelpA");
        ASSERT_EQ(calls.size(), c.help.size());
        if (!calls.empty()) {
            EXPECT_EQ(calls[0]["args"][1], "/opt/pervo/pervo.HLP");
            EXPECT_EQ(calls[0]["args"][2], 1);
            EXPECT_EQ(calls[0]["args"][3], c.help[0]["data"]);
            EXPECT_EQ(calls[0]["ret"], 1);
        }
    }
}

TEST(HelpScenario, EachF1IsOneRequestInOrder)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("tray dblclick\nkey F1\nsysmenu About Pervo...\nkey F1\nkey Escape\nkey F1\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    std::vector<std::uint32_t> contexts;
    for (const Json& request : run.Snapshot(0)["help"])
        contexts.push_back(request["data"].get<std::uint32_t>());
    EXPECT_EQ(contexts, (std::vector<std::uint32_t>{kMainHelpContext, kAboutHelpContext, kMainHelpContext}));
}

TEST(HelpScenario, WithoutTheHelpSystemAWarningIsShownAndDismissed)
{
    for (bool about : {false, true}) {
        SCOPED_TRACE(about ? "from the About box" : "from the main dialog");
        Scenario scenario;
        scenario.HelpSystem(false);
        const std::string open = about ? "tray dblclick\nsysmenu About Pervo...\n" : "tray dblclick\n";
        const ScenarioRun run = scenario.Run(open + "show\nkey F1\nshow\nclick OK\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        ASSERT_EQ(run.snapshots.size(), 3u);
        const Json& warning = run.Snapshot(1);
        ASSERT_GE(warning["windows"].size(), 2u);
        EXPECT_EQ(warning["windows"][0], Json::parse(R"({"caption": "pervo", "visible": true, "enabled": true,
                                                         "text": "Failed to launch help.", "type": 48})"));
        for (std::size_t i = 1; i < warning["windows"].size(); ++i)
            EXPECT_EQ(warning["windows"][i]["enabled"], false) << i;
        EXPECT_EQ(warning["help"], kNoHelp);
        EXPECT_EQ(warning["running"], true);

        const auto boxes = run.Calls("MessageBoxA");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0]["args"][1], "Failed to launch help.");
        EXPECT_EQ(boxes[0]["args"][2], "pervo");
        EXPECT_EQ(boxes[0]["args"][3], 0x30);
        EXPECT_EQ(run.Calls("WinHelpA").size(), 1u);
        EXPECT_EQ(run.Calls("WinHelpA")[0]["ret"], 0);

        // Its OK returns to where F1 was pressed, as it was.
        EXPECT_EQ(run.Snapshot(2)["windows"], run.Snapshot(0)["windows"]);
        EXPECT_EQ(run.Snapshot(2)["focus"], run.Snapshot(0)["focus"]);
    }
}

}  // namespace
}  // namespace pervo::test
