// The registry as its callers see it: which keys exist, how names match, what
// is refused, and what a value reads back as. These run on an in-memory hive;
// the file behind a hive has its own tests.

#include "RegistryTestSupport.h"

#include <gtest/gtest.h>

namespace pervo::test {
namespace {

using machine::Error;
using machine::FormatRegedit4;
using machine::Registry;
using machine::RegistryValue;

constexpr std::string_view kProductKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola";

class RegistryInMemory : public ::testing::Test {
protected:
    std::unique_ptr<Registry> m_registry = Registry::InMemory();
};

TEST_F(RegistryInMemory, HasTheRootKeysAndSoftwareFromTheStart)
{
    for (const auto path : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS",
                            "HKEY_CURRENT_CONFIG", "HKEY_LOCAL_MACHINE\\SOFTWARE"}) {
        EXPECT_TRUE(m_registry->KeyExists(path)) << path;
        bool created = true;
        EXPECT_TRUE(m_registry->CreateKey(path, &created).IsOk()) << path;
        EXPECT_FALSE(created) << path;
    }
    EXPECT_FALSE(m_registry->KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm"));
    EXPECT_EQ(m_registry->Path(), "");
    EXPECT_EQ(m_registry->SaveCount(), 0u);
}

TEST_F(RegistryInMemory, CreateKeyMakesMissingParentsAndTellsWhetherTheKeyIsNew)
{
    bool created = false;
    ASSERT_TRUE(m_registry->CreateKey(kProductKey, &created).IsOk());
    EXPECT_TRUE(created);
    EXPECT_TRUE(m_registry->KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm"));
    EXPECT_TRUE(m_registry->KeyExists(kProductKey));

    ASSERT_TRUE(m_registry->CreateKey(kProductKey, &created).IsOk());
    EXPECT_FALSE(created);
    ASSERT_TRUE(m_registry->CreateKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm", nullptr).IsOk());
    EXPECT_EQ(m_registry->SaveCount(), 0u) << "an in-memory hive writes no file";
}

TEST_F(RegistryInMemory, NamesMatchWithoutRegardToCaseAndKeepTheCaseTheyWereCreatedWith)
{
    ASSERT_TRUE(m_registry->CreateKey(kProductKey, nullptr).IsOk());
    bool created = true;
    ASSERT_TRUE(m_registry->CreateKey("hkey_local_machine\\software\\VARHOLM\\kx-9 PERVOLA", &created).IsOk());
    EXPECT_FALSE(created);
    EXPECT_TRUE(m_registry->KeyExists("Hkey_Local_Machine\\Software\\varholm"));

    ASSERT_TRUE(m_registry->SetValue(kProductKey, "CommPort", Dword(2)).IsOk());
    ASSERT_TRUE(m_registry->SetValue("HKEY_LOCAL_MACHINE\\software\\varholm\\KX-9 PERVOLA", "COMMPORT", Dword(3)).IsOk());
    EXPECT_EQ(m_registry->QueryValue(kProductKey, "commport"), Dword(3));

    const auto* varholm = m_registry->Root().FindSubkey("HKEY_LOCAL_MACHINE")->FindSubkey("software")->FindSubkey("varholm");
    ASSERT_NE(varholm, nullptr);
    EXPECT_EQ(varholm->name, "Varholm");
    ASSERT_EQ(varholm->subkeys.size(), 1u);
    const auto& product = *varholm->subkeys.front();
    EXPECT_EQ(product.name, "KX-9 Pervola");
    ASSERT_EQ(product.values.size(), 1u);
    EXPECT_EQ(product.values.front().first, "CommPort");
}

TEST_F(RegistryInMemory, ReplacedValueKeepsItsPlaceAmongTheOthers)
{
    ASSERT_TRUE(m_registry->CreateKey("HKEY_CURRENT_USER\\Order", nullptr).IsOk());
    for (const auto name : {"a", "b", "c"})
        ASSERT_TRUE(m_registry->SetValue("HKEY_CURRENT_USER\\Order", name, Dword(1)).IsOk());
    ASSERT_TRUE(m_registry->SetValue("HKEY_CURRENT_USER\\Order", "b", Sz("new")).IsOk());

    const auto& values = m_registry->Root().FindSubkey("HKEY_CURRENT_USER")->FindSubkey("Order")->values;
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].first, "a");
    EXPECT_EQ(values[1].first, "b");
    EXPECT_EQ(values[1].second, Sz("new"));
    EXPECT_EQ(values[2].first, "c");
}

TEST_F(RegistryInMemory, DefaultValueIsTheOneWithTheEmptyName)
{
    ASSERT_TRUE(m_registry->CreateKey("HKEY_CLASSES_ROOT\\.kx9", nullptr).IsOk());
    ASSERT_TRUE(m_registry->SetValue("HKEY_CLASSES_ROOT\\.kx9", "", Sz("Pervola.Setting")).IsOk());
    EXPECT_EQ(m_registry->QueryValue("HKEY_CLASSES_ROOT\\.kx9", ""), Sz("Pervola.Setting"));
    EXPECT_EQ(m_registry->QueryValue("HKEY_CLASSES_ROOT\\.kx9", "@"), std::nullopt);
}

TEST_F(RegistryInMemory, ValuesOfAnyTypeAndSizeReadBackUnchanged)
{
    ASSERT_TRUE(m_registry->CreateKey("HKEY_CURRENT_USER\\Kinds", nullptr).IsOk());
    const RegistryValue values[] = {Dword(0), Dword(12), Sz(""), Raw(kRegSz, {'x'}), Raw(kRegBinary, {}),
                                    Raw(kRegDword, {1, 2}), Raw(0xFFFFFFFF, std::vector<std::uint8_t>(5000, 7))};
    for (const auto& value : values) {
        ASSERT_TRUE(m_registry->SetValue("HKEY_CURRENT_USER\\Kinds", "v", value).IsOk());
        EXPECT_EQ(m_registry->QueryValue("HKEY_CURRENT_USER\\Kinds", "v"), value);
    }
}

TEST_F(RegistryInMemory, MissingKeysAndValuesReadAsNothing)
{
    EXPECT_EQ(m_registry->QueryValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "CommPort"), std::nullopt);
    EXPECT_EQ(m_registry->QueryValue(kProductKey, "CommPort"), std::nullopt);
    EXPECT_EQ(m_registry->QueryValue("not a path", "CommPort"), std::nullopt);
    EXPECT_FALSE(m_registry->KeyExists(""));
}

struct BadPathCase {
    const char* label;
    std::string path;
};

class RegistryBadPath : public ::testing::TestWithParam<BadPathCase> {};

TEST_P(RegistryBadPath, IsRefusedAndChangesNothing)
{
    auto registry = Registry::InMemory();
    const std::string before = FormatRegedit4(registry->Root());
    bool created = false;
    const auto status = registry->CreateKey(GetParam().path, &created);
    EXPECT_EQ(status.GetError(), Error::InvalidArgument) << status.Message();
    EXPECT_FALSE(status.Message().empty());
    EXPECT_FALSE(registry->KeyExists(GetParam().path));
    EXPECT_EQ(registry->SetValue(GetParam().path, "v", Dword(1)).GetError(), Error::InvalidArgument);
    EXPECT_EQ(FormatRegedit4(registry->Root()), before);
}

std::string TooDeepPath()
{
    std::string path = "HKEY_CURRENT_USER";
    for (int i = 1; i < 513; ++i)
        path += "\\k";
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RegistryBadPath,
    ::testing::Values(BadPathCase{"Empty", ""}, BadPathCase{"UnknownRoot", "HKEY_NOWHERE\\X"},
                      BadPathCase{"NoRoot", "SOFTWARE\\Varholm"}, BadPathCase{"AbbreviatedRoot", "HKLM\\SOFTWARE"},
                      BadPathCase{"TwoBackslashes", "HKEY_LOCAL_MACHINE\\\\X"},
                      BadPathCase{"TrailingBackslash", "HKEY_LOCAL_MACHINE\\X\\"},
                      BadPathCase{"LeadingBackslash", "\\HKEY_LOCAL_MACHINE\\X"},
                      BadPathCase{"LineBreakInAName", "HKEY_LOCAL_MACHINE\\a\nb"},
                      BadPathCase{"NulInAName", std::string("HKEY_LOCAL_MACHINE\\a\0b", 22)},
                      BadPathCase{"DeeperThanTheRegistryAllows", TooDeepPath()}),
    [](const ::testing::TestParamInfo<BadPathCase>& test) { return std::string(test.param.label); });

TEST_F(RegistryInMemory, SetValueNeedsAnExistingKeyAndANameTheFileCanHold)
{
    const auto missing = m_registry->SetValue(kProductKey, "CommPort", Dword(2));
    EXPECT_EQ(missing.GetError(), Error::NotFound);
    EXPECT_NE(missing.Message().find("Create the key"), std::string::npos) << missing.Message();
    EXPECT_FALSE(m_registry->KeyExists(kProductKey)) << "a failed SetValue must not create the key";

    ASSERT_TRUE(m_registry->CreateKey(kProductKey, nullptr).IsOk());
    for (const auto name : {"a\nb", "a\rb", "tab\there"})
        EXPECT_EQ(m_registry->SetValue(kProductKey, name, Dword(2)).GetError(), Error::InvalidArgument) << name;
    EXPECT_TRUE(m_registry->Root().FindSubkey("HKEY_LOCAL_MACHINE")->FindSubkey("SOFTWARE")->FindSubkey("Varholm")
                    ->FindSubkey("KX-9 Pervola")->values.empty());
}

}  // namespace
}  // namespace pervo::test
