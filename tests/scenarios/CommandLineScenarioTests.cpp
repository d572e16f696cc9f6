// The pervo executable from the outside, as a shell or a driving program sees
// it: its options, exit statuses, error lines, the trace on standard error,
// and a registry file it cannot read, which it must leave exactly as it was.

#include "ScenarioHarness.h"
#include "ScenarioProcess.h"

#include <algorithm>

namespace pervo::test {
namespace {

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_binary = PervoBinary();
        if (m_binary.empty())
            GTEST_SKIP() << "PERVO_BINARY names the executable under test";
    }

    ProcessResult Run(std::vector<std::string> arguments, const std::string& input = "")
    {
        return RunProcess(m_binary, arguments, input, m_folder.Path());
    }

    // A script file in the scratch folder.
    std::string ScriptFile(const std::string& text)
    {
        const std::string path = (m_folder.Path() / "script.pervo").string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        return path;
    }

    std::string Hive() const { return (m_folder.Path() / "registry.reg").string(); }
    const std::filesystem::path& Folder() const { return m_folder.Path(); }

    // Exactly one line on standard error, beginning "pervo: ".
    static void ExpectOneErrorLine(const ProcessResult& result)
    {
        const std::vector<std::string> lines = result.ErrLines();
        ASSERT_EQ(lines.size(), 1u) << result.err;
        EXPECT_EQ(lines[0].rfind("pervo: ", 0), 0u) << lines[0];
        EXPECT_GT(lines[0].size(), 8u);
        EXPECT_EQ(result.err.back(), '\n');
    }

private:
    std::string m_binary;
    ScratchFolder m_folder;
};

TEST_F(CommandLine, ScriptFromStandardInputPrintsOneSnapshotPerShow)
{
    const ProcessResult result = Run({"--registry", Hive(), "--script", "-"}, "show\ntray dblclick\nshow\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> lines = result.OutLines();
    ASSERT_EQ(lines.size(), 2u) << result.out;
    const Json first = Json::parse(lines[0]);
    const Json second = Json::parse(lines[1]);
    EXPECT_EQ(first["windows"][0]["visible"], false);
    EXPECT_EQ(second["windows"][0]["visible"], true);
    // The keys, in the documented order.
    std::vector<std::string> keys;
    for (auto it = first.begin(); it != first.end(); ++it)
        keys.push_back(it.key());
    const std::vector<std::string> expected = {"driver", "focus", "help", "ports", "running", "sysmenu", "tray",
                                               "windows"};
    EXPECT_EQ(keys, expected);  // nlohmann::json sorts them
    EXPECT_EQ(lines[0].rfind("{\"running\":", 0), 0u) << "running comes first on the line";
}

// Another program can drive pervo through a pipe: each line is acted on as
// it arrives and each snapshot is out before the next line is written.
TEST_F(CommandLine, PipeDrivesItOneLineAtATime)
{
    PipedProcess pervo(PervoBinary(), {"--registry", Hive(), "--script", "-"});
    pervo.WriteLine("show");
    const std::optional<std::string> first = pervo.ReadLine();
    ASSERT_TRUE(first);
    EXPECT_EQ(Json::parse(*first)["windows"][0]["visible"], false);

    pervo.WriteLine("tray dblclick");
    pervo.WriteLine("select COM1:");
    pervo.WriteLine("show");
    const std::optional<std::string> second = pervo.ReadLine();
    ASSERT_TRUE(second);
    EXPECT_EQ(Json::parse(*second)["windows"][0]["visible"], true);
    EXPECT_EQ(Json::parse(*second)["ports"]["text"], "COM1:");

    pervo.WriteLine("click OK");
    pervo.WriteLine("show");
    const std::optional<std::string> third = pervo.ReadLine();
    ASSERT_TRUE(third);
    EXPECT_EQ(Json::parse(*third)["driver"]["port"], 1);

    // Closing the pipe is the end of the script: a log-off.
    pervo.CloseInput();
    EXPECT_EQ(pervo.ReadLine(), std::nullopt);
    EXPECT_EQ(pervo.Wait(), 0);
}

TEST_F(CommandLine, ScriptFromAFileEndsWithStatusZero)
{
    const ProcessResult result =
        Run({"--registry", Hive(), "--script", ScriptFile("# change the port\n\ntray dblclick\nselect COM1:\n"
                                                            "click OK\nshow\n")});
    EXPECT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(result.OutLines().size(), 1u);
    EXPECT_EQ(Json::parse(result.OutLines()[0])["driver"]["port"], 1);
    EXPECT_NE(ReadFileText(Hive()).value_or("").find("\"CommPort\"=dword:00000001"), std::string::npos);
}

TEST_F(CommandLine, EndingThroughCloseOrLogoffIsStatusZero)
{
    for (const char* script : {"tray dblclick\nclick Close\n", "logoff\n", "", "show\n"}) {
        SCOPED_TRACE(script);
        const ProcessResult result = Run({"--registry", Hive(), "--script", "-"}, script);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
    }
}

TEST_F(CommandLine, VersionPrintsTheProductNameAndTheVersionRecord)
{
    const ProcessResult result = Run({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    for (const char* expected : {"KX 9 Pervola  Application", "1.0.0.1", "1, 0, 0, 1", "040904b0",
                                 "Varholm Technology Co., Ltd.", "KX 9 Pervola Application", "Pervo",
                                 "Pervo.EXE"})
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << " in:\n" << result.out;
    EXPECT_EQ(result.out.rfind("KX 9 Pervola  Application", 0), 0u) << "the product name comes first";
}

TEST_F(CommandLine, HelpNamesEveryOption)
{
    const ProcessResult result = Run({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("Usage: pervo", 0), 0u) << result.out;
    for (const char* option : {"--port", "COMn=", "sim", "busy", "--host-ports", "--driver", "present", "absent",
                               "failing", "--registry", "--registry-access", "denied", "--help-system", "--script",
                               "--trace", "--help", "--version", "XDG_STATE_HOME"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

TEST_F(CommandLine, UsageErrorsAreOneLineAndStatusTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"extra"},
        {"--port", "COM0=sim"},
        {"--port", "COM100=sim"},
        {"--port", "COM3"},
        {"--port", "COM3=elsewhere"},
        {"--port", "LPT1=sim"},
        {"--port"},
        {"--driver", "maybe"},
        {"--registry-access", "some"},
        {"--help-system", "gone"},
        {"--registry", ""},
        {"--script"},
        {"--trace"},
        {"--script", "/nonexistent/folder/script.pervo"},
    };
    for (const auto& arguments : cases) {
        std::vector<std::string> all = arguments;
        const bool hasRegistry = std::find(all.begin(), all.end(), "--registry") != all.end();
        if (!hasRegistry) {
            all.insert(all.begin(), Hive());
            all.insert(all.begin(), "--registry");
        }
        SCOPED_TRACE(Json(all).dump());
        const ProcessResult result = Run(all);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        ExpectOneErrorLine(result);
    }
}

TEST_F(CommandLine, WithoutAScriptItNeedsATerminal)
{
    // Standard input here is a file, not a terminal.
    const ProcessResult result = Run({"--registry", Hive()});
    EXPECT_EQ(result.status, 2);
    ExpectOneErrorLine(result);
    EXPECT_NE(result.err.find("--script"), std::string::npos) << "it says what to do instead";
}

TEST_F(CommandLine, ScriptErrorsNameTheLineAndAreStatusTwo)
{
    struct Case {
        const char* options;
        const char* script;
        int line;
        std::size_t snapshots;
    };
    const Case cases[] = {
        {"", "frob\n", 1, 0},
        {"", "# a comment\n\n   \nshow\nclick\n", 5, 1},
        {"", "tray dblclick\nclick Nope\n", 2, 0},
        {"", "tray dblclick\nselect COM7:\n", 2, 0},
        {"", "tray dblclick\nkey F13\n", 2, 0},
        {"", "tray wiggle\n", 1, 0},
        {"", "show\nclick OK\n", 2, 1},
        {"", "sysmenu About Pervo...\n", 1, 0},
        {"", "tray dblclick\nsysmenu Restore\n", 2, 0},
        {"absent", "tray click\n", 1, 0},
        {"absent", "click OK\nshow\nclick OK\n", 3, 1},
        {"", "tray dblclick\nclick Close\nshow\ntray dblclick\n", 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::vector<std::string> arguments = {"--registry", Hive(), "--script", "-"};
        if (*c.options) {
            arguments.push_back("--driver");
            arguments.push_back(c.options);
        }
        const ProcessResult result = Run(arguments, c.script);
        EXPECT_EQ(result.status, 2);
        ExpectOneErrorLine(result);
        const std::string prefix = "pervo: script line " + std::to_string(c.line) + ": ";
        EXPECT_EQ(result.err.rfind(prefix, 0), 0u) << result.err;
        // What was shown before the error still reached standard output.
        EXPECT_EQ(result.OutLines().size(), c.snapshots);
    }
}

TEST_F(CommandLine, UnreadableHiveStopsTheStartAndIsLeftExactlyAsItWas)
{
    struct Case {
        const char* name;
        std::string text;
        const char* where;  // what the message must name besides the file
    };
    const Case cases[] = {
        {"bad value data", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"x\"=bogus:1\r\n", ":4"},
        {"no header", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n", ":1"},
        {"unclosed key", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", ":3"},
        {"value before any key", "REGEDIT4\n\"CommPort\"=dword:00000003\n", ":2"},
        {"bad dword", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola]\n\"CommPort\"=dword:xyz\n",
         ":3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(Hive(), std::ios::binary | std::ios::trunc) << c.text;
        const auto before = std::filesystem::last_write_time(Hive());
        const ProcessResult result = Run({"--registry", Hive(), "--script", "-"}, "show\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "") << "the utility never started";
        ExpectOneErrorLine(result);
        EXPECT_NE(result.err.find(Hive() + c.where), std::string::npos) << result.err;
        EXPECT_EQ(ReadFileText(Hive()), c.text);
        EXPECT_EQ(std::filesystem::last_write_time(Hive()), before);
        // No temporary or backup file is left beside it.
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
            const std::string name = entry.path().filename().string();
            if (name != "stdin.txt" && name != "stdout.txt" && name != "stderr.txt")
                ++files;
        }
        EXPECT_LE(files, 2u) << "the hive and at most its lock file";
    }
}

TEST_F(CommandLine, TraceOnStandardErrorIsOneJsonObjectALine)
{
    const ProcessResult result =
        Run({"--registry", Hive(), "--trace", "-", "--script", "-"}, "tray dblclick\nshow\nclick Close\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.OutLines().size(), 1u);
    const std::vector<std::string> lines = result.ErrLines();
    ASSERT_GT(lines.size(), 20u);
    for (const std::string& line : lines) {
        const Json call = Json::parse(line);
        ASSERT_TRUE(call.contains("fn")) << line;
        ASSERT_TRUE(call.contains("args")) << line;
        ASSERT_TRUE(call.contains("ret")) << line;
        EXPECT_TRUE(call["args"].is_array()) << line;
    }
    EXPECT_EQ(Json::parse(lines.front())["fn"], "LoadIconA");
    EXPECT_EQ(Json::parse(lines.back())["fn"], "EndDialog");
}

TEST_F(CommandLine, TraceAndErrorShareStandardErrorWithTheErrorLast)
{
    const ProcessResult result = Run({"--registry", Hive(), "--trace", "-", "--script", "-"}, "show\nfrob\n");
    EXPECT_EQ(result.status, 2);
    const std::vector<std::string> lines = result.ErrLines();
    ASSERT_GT(lines.size(), 1u);
    EXPECT_EQ(lines.back().rfind("pervo: script line 2: ", 0), 0u) << lines.back();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(Json::accept(lines[i])) << lines[i];
}

TEST_F(CommandLine, TraceFileIsAppendedTo)
{
    const std::string trace = (Folder() / "calls.jsonl").string();
    const ProcessResult first = Run({"--registry", Hive(), "--trace", trace, "--script", "-"}, "");
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string once = ReadFileText(trace).value_or("");
    ASSERT_FALSE(once.empty());
    const ProcessResult second = Run({"--registry", Hive(), "--trace", trace, "--script", "-"}, "");
    ASSERT_EQ(second.status, 0) << second.err;
    const std::string twice = ReadFileText(trace).value_or("");
    EXPECT_EQ(twice.rfind(once, 0), 0u) << "the first run's lines are kept";
    EXPECT_GT(twice.size(), once.size());
}

TEST_F(CommandLine, AKilledRunKeepsEveryTracedCallBeforeIt)
{
    const std::string trace = (Folder() / "calls.jsonl").string();
    PipedProcess pervo(PervoBinary(), {"--registry", Hive(), "--trace", trace, "--script", "-"});
    pervo.WriteLine("show");
    ASSERT_TRUE(pervo.ReadLine()) << "the start is over once the first snapshot is out";
    pervo.Kill();
    EXPECT_EQ(pervo.Wait(), -1);

    std::vector<Json> calls;
    std::istringstream lines(ReadFileText(trace).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        ASSERT_TRUE(Json::accept(line)) << "a whole line: " << line;
        calls.push_back(Json::parse(line));
    }
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front()["fn"], "LoadIconA");
    EXPECT_EQ(calls.back()["fn"], "ShowWindow") << "the start's last call, hiding the dialog";
    EXPECT_EQ(calls.back()["args"][1], kSwHide);
}

TEST_F(CommandLine, TraceFileThatCannotBeOpenedIsAnError)
{
    const ProcessResult result =
        Run({"--registry", Hive(), "--trace", (Folder() / "missing" / "calls.jsonl").string(), "--script", "-"},
            "show\n");
    EXPECT_NE(result.status, 0);
    ExpectOneErrorLine(result);
    EXPECT_EQ(result.out, "");
}

TEST_F(CommandLine, PortOptionsDecideTheList)
{
    const ProcessResult result = Run({"--registry", Hive(), "--port", "COM3=sim", "--port", "COM5=busy", "--port",
                                      "COM12=sim", "--port", "com7=sim", "--script", "-"},
                                     "show\n");
    ASSERT_EQ(result.status, 0) << result.err;
    const Json snapshot = Json::parse(result.OutLines().at(0));
    EXPECT_EQ(snapshot["ports"]["items"], Json::array({"COM3:", "COM7:"}));
}

TEST_F(CommandLine, RegistryDefaultsToTheUsersStateFolder)
{
    struct Case {
        const char* name;
        std::vector<std::string> environment;
        std::filesystem::path expected;
    };
    const std::filesystem::path state = Folder() / "state";
    const std::filesystem::path home = Folder() / "home";
    const Case cases[] = {
        {"XDG_STATE_HOME", {"XDG_STATE_HOME=" + state.string(), "HOME=" + home.string()},
         state / "pervo" / "registry.reg"},
        {"HOME only", {"HOME=" + home.string()}, home / ".local" / "state" / "pervo" / "registry.reg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = {"-i"};
        arguments.insert(arguments.end(), c.environment.begin(), c.environment.end());
        arguments.push_back(PervoBinary());
        arguments.push_back("--script");
        arguments.push_back("-");
        const ProcessResult result = RunProcess("/usr/bin/env", arguments, "show\n", Folder());
        EXPECT_EQ(result.status, 0) << result.err;
        const std::optional<std::string> hive = ReadFileText(c.expected);
        ASSERT_TRUE(hive) << c.expected;
        EXPECT_NE(hive->find("\"CommPort\"=dword:00000002"), std::string::npos);
    }
}

TEST_F(CommandLine, WithoutAnyPlaceForTheRegistryItSaysToPassOne)
{
    const ProcessResult result =
        RunProcess("/usr/bin/env", {"-i", PervoBinary(), "--script", "-"}, "show\n", Folder());
    EXPECT_EQ(result.status, 2);
    ExpectOneErrorLine(result);
    EXPECT_NE(result.err.find("--registry"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace pervo::test
