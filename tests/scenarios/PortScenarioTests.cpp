// The utility's main job: which ports the list offers, which port the start
// restores from the registry and tells the driver, and what OK applies and
// stores.

#include "ScenarioHarness.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

namespace pervo::test {
namespace {

using machine::PortKind;

constexpr PortKind kSim = PortKind::Simulated;
constexpr PortKind kBusy = PortKind::SimulatedBusy;

const std::vector<std::pair<unsigned, PortKind>> kCom1To3 = {{1, kSim}, {2, kSim}, {3, kSim}};

// The stored "CommPort" line of a hive file, or "" when there is none.
std::string StoredLine(const std::optional<std::string>& hive)
{
    if (!hive)
        return "";
    const std::size_t at = hive->find("\"CommPort\"=");
    if (at == std::string::npos)
        return "";
    const std::size_t end = hive->find_first_of("\r\n", at);
    return hive->substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::vector<std::string> ProbedNames(const ScenarioRun& run)
{
    std::vector<std::string> names;
    for (const Json& call : run.Calls("CreateFileA")) {
        const std::string name = call["args"][0].get<std::string>();
        if (name.starts_with("COM"))
            names.push_back(name);
    }
    return names;
}

TEST(DiscoveryScenario, ListsTheOpenablePortsAmongCom1ToCom8InOrder)
{
    Scenario scenario;
    scenario.Ports({{9, kSim}, {4, kBusy}, {3, kSim}, {1, kSim}});
    const ScenarioRun run = scenario.Run("show\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.Snapshot(0)["ports"]["items"], Json::array({"COM1:", "COM3:"}));

    // Each of COM1 to COM8 is tried once, COM9 never.
    EXPECT_EQ(ProbedNames(run), (std::vector<std::string>{"COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:",
                                                          "COM7:", "COM8:"}));
    // Every probe that opened is closed, and nothing stays held.
    std::vector<Json> opened;
    for (const Json& call : run.Calls("CreateFileA")) {
        if (call["args"][0].get<std::string>().starts_with("COM") && call["ret"] != kInvalidHandle)
            opened.push_back(call["ret"]);
    }
    EXPECT_EQ(opened.size(), 2u);
    std::vector<Json> closed;
    for (const Json& call : run.Calls("CloseHandle"))
        closed.push_back(call["args"][0]);
    EXPECT_EQ(closed, opened);
    ASSERT_FALSE(run.views.empty());
    EXPECT_EQ(run.views.front().heldPorts, 0u);
}

TEST(DiscoveryScenario, BusyPortStaysOutOfTheListForTheWholeRun)
{
    Scenario scenario;
    scenario.Ports({{1, kBusy}, {2, kSim}});
    const ScenarioRun run = scenario.Run("tray dblclick\nclick Cancel\ntray dblclick\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.Snapshot(0)["ports"]["items"], Json::array({"COM2:"}));
    EXPECT_EQ(ProbedNames(run).size(), 8u) << "discovery runs once";
}

TEST(DiscoveryScenario, WithoutTheDriverNoPortIsProbed)
{
    Scenario scenario;
    scenario.Driver(quorvex::DriverState::Absent);
    const ScenarioRun run = scenario.Run("show\n");
    EXPECT_EQ(run.Snapshot(0)["ports"], Json::parse(R"({"items": [], "text": ""})"));
    EXPECT_TRUE(ProbedNames(run).empty());
    EXPECT_TRUE(run.Calls("wsprintfA").empty());
}

// A pseudo-terminal: a real device file with a terminal behind it.
class PseudoTerminal {
public:
    PseudoTerminal()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0) {
            char name[128] = {};
            if (ptsname_r(m_master, name, sizeof(name)) == 0)
                m_path = name;
        }
    }
    ~PseudoTerminal()
    {
        if (m_master >= 0)
            close(m_master);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Path() const { return m_path; }

private:
    int m_master = -1;
    std::string m_path;
};

// Another program holding a device the way the machine's ports do.
class Holder {
public:
    explicit Holder(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~Holder()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool Lock() { return m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0; }

private:
    int m_fd;
};

TEST(DiscoveryScenario, RealDevicesAreListedWhenFreeAndLeftOutWhenHeld)
{
    PseudoTerminal free;
    PseudoTerminal held;
    ASSERT_FALSE(free.Path().empty());
    ASSERT_FALSE(held.Path().empty());
    Holder otherProgram(held.Path());
    ASSERT_TRUE(otherProgram.Lock());

    Scenario scenario;
    scenario.Ports({{1, kSim}}).DevicePort(2, free.Path()).DevicePort(3, held.Path()).DevicePort(4, "/dev/null");
    scenario.DevicePort(5, "/nonexistent/ttyUSB9");
    const ScenarioRun run = scenario.Run("show\n");
    ASSERT_EQ(run.status, 0) << run.error;
    // /dev/null opens but has no terminal behind it, so it is no serial port.
    EXPECT_EQ(run.Snapshot(0)["ports"]["items"], Json::array({"COM1:", "COM2:"}));
    EXPECT_EQ(run.views.front().heldPorts, 0u);
    // The probe let go of the free device: another program can take it now.
    Holder next(free.Path());
    EXPECT_TRUE(next.Lock());
}

// What the start makes of the stored value: what it tells the driver, what
// the list shows, and what the hive holds afterwards.
TEST(RestoreScenario, StoredValueIsSentAndSelected)
{
    struct Case {
        const char* name;
        std::optional<const char*> stored;  // the value line; nullopt: no hive file at all
        std::vector<std::pair<unsigned, PortKind>> ports;
        std::uint32_t sent;
        const char* text;
        const char* storedAfter;  // the value line afterwards
    };
    const Case cases[] = {
        {"fresh machine", std::nullopt, {{1, kSim}, {2, kSim}}, 2, "COM2:", "\"CommPort\"=dword:00000002"},
        {"key without the value", "", {{1, kSim}, {2, kSim}}, 2, "COM2:", "\"CommPort\"=dword:00000002"},
        {"stored 3, COM3 present", "\"CommPort\"=dword:00000003", kCom1To3, 3, "COM3:", "\"CommPort\"=dword:00000003"},
        {"stored 1", "\"CommPort\"=dword:00000001", kCom1To3, 1, "COM1:", "\"CommPort\"=dword:00000001"},
        {"stored 5, no COM5", "\"CommPort\"=dword:00000005", kCom1To3, 5, "", "\"CommPort\"=dword:00000005"},
        {"stored 0", "\"CommPort\"=dword:00000000", kCom1To3, 0, "", "\"CommPort\"=dword:00000000"},
        {"stored 12", "\"CommPort\"=dword:0000000c", kCom1To3, 12, "", "\"CommPort\"=dword:0000000c"},
        {"stored 0xffffffff", "\"CommPort\"=dword:ffffffff", kCom1To3, 0xFFFFFFFFu, "", "\"CommPort\"=dword:ffffffff"},
        {"a dword written as hex", "\"CommPort\"=hex(4):03,00,00,00", kCom1To3, 3, "COM3:",
         "\"CommPort\"=hex(4):03,00,00,00"},
        // Longer than the 4-byte buffer: the query fails and the default replaces it.
        {"string COM3", "\"CommPort\"=\"COM3\"", kCom1To3, 2, "COM2:", "\"CommPort\"=dword:00000002"},
        {"five bytes", "\"CommPort\"=hex:03,00,00,00,00", kCom1To3, 2, "COM2:", "\"CommPort\"=dword:00000002"},
        // Up to 4 bytes of any type are used as they are, the rest zero.
        {"two bytes", "\"CommPort\"=hex:03,00", kCom1To3, 3, "COM3:", "\"CommPort\"=hex:03,00"},
        {"two high bytes", "\"CommPort\"=hex:34,12", kCom1To3, 0x1234, "", "\"CommPort\"=hex:34,12"},
        {"one byte", "\"CommPort\"=hex:01", kCom1To3, 1, "COM1:", "\"CommPort\"=hex:01"},
        {"string 3", "\"CommPort\"=\"3\"", kCom1To3, '3', "", "\"CommPort\"=\"3\""},
        {"empty string", "\"CommPort\"=\"\"", kCom1To3, 0, "", "\"CommPort\"=\"\""},
        {"stored 2, list empty", "\"CommPort\"=dword:00000002", {{1, kBusy}, {2, kBusy}}, 2, "",
         "\"CommPort\"=dword:00000002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario scenario;
        scenario.Ports(c.ports);
        if (c.stored)
            scenario.StoredValue(*c.stored);
        const std::optional<std::string> before = scenario.HiveNow();
        const ScenarioRun run = scenario.Run("show\n");
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.PortsSent(), std::vector<std::uint32_t>{c.sent});
        EXPECT_EQ(run.Snapshot(0)["driver"]["port"], c.sent);
        EXPECT_EQ(run.Snapshot(0)["ports"]["text"], c.text);
        EXPECT_EQ(StoredLine(run.hive), c.storedAfter);
        // A value that could be read is left alone, down to the file's bytes.
        const bool readable = run.Calls("RegQueryValueExA").at(0)["ret"] == 0;
        EXPECT_EQ(run.Calls("RegSetValueExA").empty(), readable);
        if (readable) {
            EXPECT_EQ(run.hive, before);
        }
        // The request goes out before the entry is selected.
        const std::vector<std::string> names = run.CallNames();
        const auto sentAt = std::find(names.begin(), names.end(), "DeviceIoControl");
        const auto queryAt = std::find(names.begin(), names.end(), "RegQueryValueExA");
        EXPECT_LT(queryAt, sentAt);
    }
}

TEST(RestoreScenario, ANextStartRestoresWhatOkStored)
{
    Scenario scenario;
    scenario.Ports(kCom1To3);
    const ScenarioRun first = scenario.Run("tray dblclick\nselect COM3:\nclick OK\n");
    ASSERT_EQ(first.status, 0) << first.error;
    EXPECT_EQ(StoredLine(first.hive), "\"CommPort\"=dword:00000003");

    const ScenarioRun second = scenario.Run("show\n");
    ASSERT_EQ(second.status, 0) << second.error;
    EXPECT_EQ(second.PortsSent(), std::vector<std::uint32_t>{3});
    EXPECT_EQ(second.Snapshot(0)["ports"]["text"], "COM3:");
    EXPECT_TRUE(second.Calls("RegSetValueExA").empty());
    EXPECT_EQ(second.hive, first.hive) << "a start with a stored port does not write";
}

TEST(ApplyScenario, EveryWayOfPressingOkSendsAndStoresTheChosenPort)
{
    struct Case {
        const char* name;
        const char* press;
    };
    const Case cases[] = {
        {"click", "click OK"},
        {"click by id", "click 1"},
        {"Enter with the focus on the list", "focus 1001\nkey Enter"},
        {"Enter with the focus on OK", "focus OK\nkey Enter"},
        {"Space on OK", "focus OK\nkey Space"},
        {"OK's mnemonic", "key Alt+O"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario scenario;
        scenario.Ports(kCom1To3);
        const ScenarioRun run = scenario.Run(std::string("tray dblclick\nselect COM1:\n") + c.press + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.PortsSent(), (std::vector<std::uint32_t>{2, 1}));
        const Json& after = run.Snapshot(0);
        EXPECT_EQ(after["driver"]["port"], 1);
        EXPECT_EQ(after["windows"][0]["visible"], false);
        EXPECT_EQ(after["running"], true);
        EXPECT_EQ(after["ports"]["text"], "COM1:");
        EXPECT_EQ(StoredLine(run.hive), "\"CommPort\"=dword:00000001");

        // Sent, then stored through freshly opened keys, then hidden.
        std::vector<std::string> names;
        bool applying = false;
        for (const Json& call : run.trace) {
            if (call["fn"] == "GetWindowTextA" && call["args"][2] == 128)
                applying = true;
            if (applying)
                names.push_back(call["fn"].get<std::string>());
        }
        EXPECT_EQ(names, (std::vector<std::string>{"GetWindowTextA", "DeviceIoControl", "RegOpenKeyExA",
                                                   "RegCreateKeyExA", "RegSetValueExA", "RegCloseKey", "RegCloseKey",
                                                   "ShowWindow"}));
    }
}

TEST(ApplyScenario, OkSendsEvenTheSamePortAgain)
{
    Scenario scenario;
    const ScenarioRun run = scenario.Run("tray dblclick\nclick OK\ntray dblclick\nclick OK\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.PortsSent(), (std::vector<std::uint32_t>{2, 2, 2}));
    EXPECT_EQ(run.Snapshot(0)["driver"]["requests"], 3);
}

TEST(ApplyScenario, DismissingAChangeStoresNothing)
{
    for (const char* dismiss : {"click Cancel", "key Escape", "closebox", "sysmenu Close", "focus Cancel\nkey Enter",
                                "focus 1001\nkey Escape"}) {
        SCOPED_TRACE(dismiss);
        Scenario scenario;
        scenario.Ports(kCom1To3);
        const ScenarioRun run =
            scenario.Run(std::string("tray dblclick\nselect COM3:\n") + dismiss + "\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.Snapshot(0)["windows"][0]["visible"], false);
        EXPECT_EQ(run.PortsSent(), std::vector<std::uint32_t>{2});
        EXPECT_EQ(run.Calls("RegSetValueExA").size(), 1u) << "only the start's default";
        EXPECT_EQ(StoredLine(run.hive), "\"CommPort\"=dword:00000002");

        const ScenarioRun next = scenario.Run("show\n");
        EXPECT_EQ(next.Snapshot(0)["ports"]["text"], "COM2:");
    }
}

TEST(ApplyScenario, OkThenCancelKeepsWhatOkStored)
{
    Scenario scenario;
    scenario.Ports(kCom1To3);
    const ScenarioRun run =
        scenario.Run("tray dblclick\nselect COM3:\nclick OK\ntray dblclick\nselect COM1:\nclick Cancel\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.PortsSent(), (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(run.Snapshot(0)["driver"]["port"], 3);
    EXPECT_EQ(StoredLine(run.hive), "\"CommPort\"=dword:00000003");
}

TEST(ApplyScenario, OkWithNothingSelectedSendsNothingAndKeepsTheStoredPort)
{
    struct Case {
        const char* name;
        std::vector<std::pair<unsigned, PortKind>> ports;
        const char* stored;
    };
    const Case cases[] = {
        {"every port busy", {{1, kBusy}, {2, kBusy}}, "\"CommPort\"=dword:00000002"},
        {"stored port not in the list", {{1, kSim}, {2, kSim}}, "\"CommPort\"=dword:00000005"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario scenario;
        scenario.Ports(c.ports).StoredValue(c.stored);
        const std::optional<std::string> before = scenario.HiveNow();
        const ScenarioRun run = scenario.Run("tray dblclick\nclick OK\nshow\n");
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.PortsSent().size(), 1u) << "only the start's request";
        EXPECT_EQ(run.Calls("RegOpenKeyExA").size(), 1u) << "only the start's";
        EXPECT_EQ(run.Snapshot(0)["windows"][0]["visible"], false);
        EXPECT_EQ(run.hive, before);
    }
}

TEST(ApplyScenario, WithoutRegistryRightsOkStillTellsTheDriverButStoresNothing)
{
    Scenario scenario;
    scenario.RegistryAccess(machine::RegistryAccess::Denied).StoredValue("\"CommPort\"=dword:00000003");
    scenario.Ports(kCom1To3);
    const std::optional<std::string> before = scenario.HiveNow();
    const ScenarioRun run = scenario.Run("show\ntray dblclick\nselect COM1:\nclick OK\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;

    // The start sends nothing and selects nothing.
    const Json& start = run.Snapshot(0);
    EXPECT_EQ(start["driver"], Json::parse(R"({"loaded": true, "port": null, "requests": 0})"));
    EXPECT_EQ(start["ports"]["text"], "");
    // OK sends, but cannot store; there is no message about it.
    const Json& after = run.Snapshot(1);
    EXPECT_EQ(after["driver"]["port"], 1);
    EXPECT_EQ(after["windows"].size(), 1u);
    EXPECT_TRUE(run.Calls("MessageBoxA").empty());
    EXPECT_EQ(run.PortsSent(), std::vector<std::uint32_t>{1});

    const auto opens = run.Calls("RegOpenKeyExA");
    ASSERT_EQ(opens.size(), 2u);
    for (const Json& open : opens)
        EXPECT_NE(open["ret"], 0);
    for (const std::string& name : run.CallNames()) {
        EXPECT_NE(name, "RegCreateKeyExA");
        EXPECT_NE(name, "RegSetValueExA");
        EXPECT_NE(name, "RegCloseKey") << "nothing was opened, so nothing is closed";
    }
    EXPECT_EQ(run.hive, before);
}

TEST(ApplyScenario, WithoutRegistryRightsOnAFreshMachineNoHiveFileIsMade)
{
    Scenario scenario;
    scenario.RegistryAccess(machine::RegistryAccess::Denied);
    const ScenarioRun run = scenario.Run("tray dblclick\nclick OK\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.hive, std::nullopt);
}

TEST(ApplyScenario, AFailingDriverDoesNotStopTheStore)
{
    Scenario scenario;
    scenario.Driver(quorvex::DriverState::Failing);
    const ScenarioRun run = scenario.Run("show\ntray dblclick\nselect COM1:\nclick OK\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    const auto requests = run.Calls("DeviceIoControl");
    ASSERT_EQ(requests.size(), 2u);
    for (const Json& request : requests)
        EXPECT_EQ(request["ret"], 0);
    EXPECT_EQ(run.Snapshot(0)["ports"]["text"], "COM2:") << "the selection does not wait for the driver";
    EXPECT_EQ(run.Snapshot(1)["windows"][0]["visible"], false);
    EXPECT_TRUE(run.Calls("MessageBoxA").empty());
    EXPECT_EQ(StoredLine(run.hive), "\"CommPort\"=dword:00000001");
}

TEST(ApplyScenario, CloseAfterAChangeLeavesTheStoredPortAndTheDriversPort)
{
    Scenario scenario;
    scenario.Ports(kCom1To3);
    const ScenarioRun run = scenario.Run("tray dblclick\nselect COM3:\nclick Close\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.PortsSent(), std::vector<std::uint32_t>{2});
    EXPECT_EQ(StoredLine(run.hive), "\"CommPort\"=dword:00000002");
    const ScenarioRun next = scenario.Run("show\n");
    EXPECT_EQ(next.Snapshot(0)["ports"]["text"], "COM2:");
}

TEST(ApplyScenario, TheKeyboardAloneCanChangeThePort)
{
    Scenario scenario;
    scenario.Ports(kCom1To3);
    // The label's mnemonic moves to the list, the arrows move the selection,
    // and Enter in the list is OK.
    const ScenarioRun run = scenario.Run("tray dblclick\nkey Alt+P\nshow\nkey Down\nshow\nkey Up\nkey Up\nshow\n"
                                         "key Enter\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.Snapshot(0)["focus"], kIdPortList);
    EXPECT_EQ(run.Snapshot(1)["ports"]["text"], "COM3:");
    EXPECT_EQ(run.Snapshot(2)["ports"]["text"], "COM1:");
    EXPECT_EQ(run.Snapshot(2)["driver"]["port"], 2) << "moving in the list tells the driver nothing";
    EXPECT_EQ(run.Snapshot(3)["windows"][0]["visible"], false);
    EXPECT_EQ(run.PortsSent(), (std::vector<std::uint32_t>{2, 1}));
    EXPECT_EQ(StoredLine(run.hive), "\"CommPort\"=dword:00000001");
}

TEST(ApplyScenario, PickingAnEntryAloneChangesOnlyTheList)
{
    Scenario scenario;
    scenario.Ports(kCom1To3);
    const ScenarioRun run = scenario.Run("tray dblclick\nselect COM3:\nshow\nselect COM1:\nshow\n");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.Snapshot(0)["ports"]["text"], "COM3:");
    EXPECT_EQ(run.Snapshot(1)["ports"]["text"], "COM1:");
    EXPECT_EQ(run.Snapshot(1)["driver"]["port"], 2);
    EXPECT_EQ(run.Snapshot(1)["windows"][0]["visible"], true);
    EXPECT_EQ(run.PortsSent(), std::vector<std::uint32_t>{2});
}

}  // namespace
}  // namespace pervo::test
