// CString::LoadString and the names the application object takes at start-up.

#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

namespace pervo::test {
namespace {

using test::PrintTo;

struct LoadCase {
    const char* name;
    UINT id;
    std::string text;
    BOOL loaded;
};

class LoadingAString : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadingAString, GivesTheWholeEntryHoweverLongOrEmptyWhenThereIsNone)
{
    TestMachine test;
    CString text("previous");
    EXPECT_EQ(text.LoadString(GetParam().id), GetParam().loaded);
    EXPECT_EQ(std::string(static_cast<LPCSTR>(text)), GetParam().text);
    EXPECT_EQ(text.GetLength(), static_cast<int>(GetParam().text.size()));
    EXPECT_EQ(text.IsEmpty(), GetParam().text.empty() ? TRUE : FALSE);
}

INSTANTIATE_TEST_SUITE_P(Cases, LoadingAString,
                         ::testing::Values(LoadCase{"Short", kShortString, "Short", TRUE},
                                           LoadCase{"FillsTheFirstBuffer", kString255, Letters(255), TRUE},
                                           LoadCase{"OneMoreThanTheFirstBuffer", kString256, Letters(256), TRUE},
                                           LoadCase{"GrowsTwice", kString600, Letters(600), TRUE},
                                           LoadCase{"Missing", kMissingString, "", FALSE}),
                         CaseName());

class ApplicationNames : public ::testing::Test {
protected:
    static machine::MachineConfig WithExecutable(std::string path)
    {
        machine::MachineConfig config;
        config.executablePath = std::move(path);
        return config;
    }
};

TEST_F(ApplicationNames, AGivenNameWinsAndTheRestComeFromTheExecutable)
{
    TestMachine test(WithExecutable("C:\\PERVO\\PERVO.EXE"));
    CWinApp app("Given Name");
    app.InitNames();
    EXPECT_STREQ(app.m_pszAppName, "Given Name");
    EXPECT_STREQ(AfxGetAppName(), "Given Name");
    EXPECT_STREQ(app.m_pszExeName, "PERVO");
    EXPECT_STREQ(app.m_pszHelpFilePath, "C:\\PERVO\\PERVO.HLP");
    EXPECT_STREQ(app.m_pszProfileName, "PERVO.INI");
    EXPECT_EQ(app.m_hInstance, kImageBase);
}

TEST_F(ApplicationNames, WithoutAGivenNameTheStringTablesTitleIsTheName)
{
    TestMachine test(WithExecutable("/usr/bin/pervo"));
    CWinApp app;
    app.InitNames();
    EXPECT_STREQ(app.m_pszAppName, kAppTitle);
    EXPECT_STREQ(app.m_pszExeName, "pervo");
}

TEST_F(ApplicationNames, ALongExecutablePathIsReadWhole)
{
    const std::string folder = "/opt/" + std::string(300, 'd') + "/";
    TestMachine test(WithExecutable(folder + "pervo.bin"));
    CWinApp app("Given Name");
    app.InitNames();
    EXPECT_EQ(std::string(app.m_pszHelpFilePath), folder + "pervo.HLP");
    EXPECT_STREQ(app.m_pszExeName, "pervo");
}

}  // namespace
}  // namespace pervo::test
