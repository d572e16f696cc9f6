// The names the framework derives from the executable's path.

#include "AppNames.h"
#include "CaseName.h"

#include <gtest/gtest.h>

namespace pervo::test {
namespace {

using test::PrintTo;

struct NamesCase {
    const char* name;
    const char* path;
    const char* appName;
    const char* helpFile;
    const char* profileName;
};

class DerivingAppNames : public ::testing::TestWithParam<NamesCase> {};

TEST_P(DerivingAppNames, TakeTheFileNameWithoutItsExtensionAndKeepTheFolderForHelp)
{
    const NamesCase& c = GetParam();
    const AppNames names = DeriveAppNames(c.path);
    EXPECT_EQ(names.appName, c.appName);
    EXPECT_EQ(names.helpFile, c.helpFile);
    EXPECT_EQ(names.profileName, c.profileName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DerivingAppNames,
    ::testing::Values(NamesCase{"WindowsPath", "C:\\PERVO\\PERVO.EXE", "PERVO", "C:\\PERVO\\PERVO.HLP", "PERVO.INI"},
                      NamesCase{"UnixPath", "/usr/bin/pervo", "pervo", "/usr/bin/pervo.HLP", "pervo.INI"},
                      NamesCase{"DotInAFolderName", "/a.b/pervo", "pervo", "/a.b/pervo.HLP", "pervo.INI"},
                      NamesCase{"DotInAWindowsFolderName", "C:\\a.b\\pervo", "pervo", "C:\\a.b\\pervo.HLP", "pervo.INI"},
                      NamesCase{"OnlyTheLastExtensionGoes", "pervo.x.exe", "pervo.x", "pervo.x.HLP", "pervo.x.INI"},
                      NamesCase{"RelativePath", "./pervo", "pervo", "./pervo.HLP", "pervo.INI"},
                      NamesCase{"NoFolder", "pervo", "pervo", "pervo.HLP", "pervo.INI"},
                      NamesCase{"TrailingDot", "/opt/pervo.", "pervo", "/opt/pervo.HLP", "pervo.INI"},
                      NamesCase{"MixedSeparators", "C:/apps\\bin/Pervo.Exe", "Pervo", "C:/apps\\bin/Pervo.HLP", "Pervo.INI"}),
    CaseName());

}  // namespace
}  // namespace pervo::test
