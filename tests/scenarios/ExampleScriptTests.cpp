// The example scripts in examples/ are what a newcomer runs first: each must
// run to its end without a script error and do what its comments say.

#include "ScenarioHarness.h"

#include <filesystem>
#include <functional>
#include <map>

namespace pervo::test {
namespace {

std::filesystem::path ExamplesFolder()
{
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "examples";
}

TEST(ExampleScripts, EveryExampleRunsToItsEnd)
{
    std::size_t examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ExamplesFolder())) {
        if (entry.path().extension() != ".pervo")
            continue;
        ++examples;
        SCOPED_TRACE(entry.path().filename().string());
        const std::optional<std::string> script = ReadFileText(entry.path());
        ASSERT_TRUE(script);
        Scenario scenario;
        const ScenarioRun run = scenario.Run(*script);
        EXPECT_EQ(run.status, 0) << run.error;
        EXPECT_FALSE(run.snapshots.empty()) << "an example shows what it did";
    }
    EXPECT_GT(examples, 0u) << "no examples in " << ExamplesFolder();
}

TEST(ExampleScripts, EachExampleDoesWhatItsCommentsSay)
{
    const std::map<std::string, std::function<void(const ScenarioRun&)>> checks = {
        {"change-port.pervo",
         [](const ScenarioRun& run) {
             EXPECT_EQ(run.LastSnapshot()["driver"]["port"], 1);
             EXPECT_EQ(run.LastSnapshot()["windows"][0]["visible"], false);
             ASSERT_TRUE(run.hive);
             EXPECT_NE(run.hive->find("\"CommPort\"=dword:00000001"), std::string::npos);
         }},
        {"about-and-help.pervo",
         [](const ScenarioRun& run) {
             EXPECT_EQ(run.LastSnapshot()["help"].size(), 2u);
             EXPECT_EQ(run.LastSnapshot()["running"], true);
             EXPECT_EQ(run.LastSnapshot()["windows"][0]["visible"], false);
         }},
        {"close.pervo",
         [](const ScenarioRun& run) {
             EXPECT_EQ(run.LastSnapshot()["running"], false);
             EXPECT_EQ(run.LastSnapshot()["tray"], Json::array());
             ASSERT_TRUE(run.hive);
             EXPECT_NE(run.hive->find("\"CommPort\"=dword:00000002"), std::string::npos);
         }},
    };
    for (const auto& [name, check] : checks) {
        SCOPED_TRACE(name);
        const std::optional<std::string> script = ReadFileText(ExamplesFolder() / name);
        ASSERT_TRUE(script) << "missing example";
        Scenario scenario;
        const ScenarioRun run = scenario.Run(*script);
        ASSERT_EQ(run.status, 0) << run.error;
        ASSERT_FALSE(run.snapshots.empty());
        check(run);
    }
}

}  // namespace
}  // namespace pervo::test
