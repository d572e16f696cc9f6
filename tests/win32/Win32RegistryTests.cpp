// The registry functions as the utility calls them: the error codes they
// return, what they leave in the caller's buffers, and what a user without
// rights may do.

#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace pervo::test {
namespace {

using test::PrintTo;

constexpr const char* kProduct = "SOFTWARE\\Varholm\\KX-9 Pervola";

class Win32Registry : public Win32Test {
protected:
    // Creates the product key with full access and stores a value in it.
    HKEY CreateProductKey()
    {
        HKEY key{};
        DWORD disposition = 0;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, &disposition),
                  0);
        return key;
    }

    LONG SetDword(HKEY key, const char* name, DWORD value)
    {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
};

TEST_F(Win32Registry, OpeningAMissingKeyIsFileNotFoundAndLeavesTheHandleAlone)
{
    HKEY key{0x5555u};
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, KEY_READ, &key), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(key.value, 0x5555u);
    EXPECT_EQ(Machine().Handles().Count(), 0u);
}

TEST_F(Win32Registry, CreateTellsANewKeyFromAnExistingOne)
{
    HKEY first{};
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &first, &disposition), 0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    HKEY second{};
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &second, &disposition), 0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_NE(first, second) << "each open is its own handle";
    HKEY opened{};
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\varholm\\kx-9 pervola", 0, KEY_READ, &opened), 0)
        << "key names do not care about case";
    for (HKEY key : {first, second, opened})
        EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(Win32Registry, ADwordReadsBackWithItsTypeAndSize)
{
    const HKEY key = CreateProductKey();
    ASSERT_EQ(SetDword(key, "CommPort", 3), 0);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    ASSERT_EQ(RegQueryValueExA(key, "CommPort", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(size, 4u);

    DWORD sizeOnly = 0;
    EXPECT_EQ(RegQueryValueExA(key, "CommPort", nullptr, nullptr, nullptr, &sizeOnly), 0) << "asking for the size alone";
    EXPECT_EQ(sizeOnly, 4u);
    RegCloseKey(key);
}

TEST_F(Win32Registry, ASmallBufferGetsMoreDataAndTheSizeNeededAndIsLeftAsItWas)
{
    const HKEY key = CreateProductKey();
    ASSERT_EQ(SetDword(key, "CommPort", 0x04030201), 0);
    std::array<BYTE, 3> buffer = {0xAA, 0xBB, 0xCC};
    DWORD size = buffer.size();
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "CommPort", nullptr, &type, buffer.data(), &size), static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(buffer, (std::array<BYTE, 3>{0xAA, 0xBB, 0xCC}));
    RegCloseKey(key);
}

TEST_F(Win32Registry, AMissingValueIsFileNotFound)
{
    const HKEY key = CreateProductKey();
    DWORD value = 0x12345678;
    DWORD size = sizeof value;
    DWORD type = 0x99;
    EXPECT_EQ(RegQueryValueExA(key, "CommPort", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(type, 0x99u);
    RegCloseKey(key);
}

TEST_F(Win32Registry, AValueShorterThanADwordFillsOnlyItsBytesAndSaysHowMany)
{
    const HKEY key = CreateProductKey();
    const BYTE shortValue[2] = {0x05, 0x00};
    ASSERT_EQ(RegSetValueExA(key, "CommPort", 0, REG_DWORD, shortValue, sizeof shortValue), 0);
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "CommPort", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 2u) << "a caller that checks the size sees the value is short";
    EXPECT_EQ(value, 0xFFFF0005u) << "the rest of the buffer is untouched";
    RegCloseKey(key);
}

TEST_F(Win32Registry, SettingAValueThroughAKeyOpenedForReadingIsDenied)
{
    const HKEY created = CreateProductKey();
    RegCloseKey(created);
    HKEY key{};
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, KEY_READ, &key), 0);
    EXPECT_EQ(SetDword(key, "CommPort", 2), static_cast<LONG>(ERROR_ACCESS_DENIED));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "CommPort", nullptr, nullptr, nullptr, &size), static_cast<LONG>(ERROR_FILE_NOT_FOUND))
        << "nothing was stored";
    RegCloseKey(key);
}

TEST_F(Win32Registry, ClosingAKeyTwiceOrAHandleThatIsNoKeyIsAnInvalidHandle)
{
    const HKEY key = CreateProductKey();
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(HKEY{0x1234u}), static_cast<LONG>(ERROR_INVALID_HANDLE));
    const HANDLE port = CreateFileA("COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, {});
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RegCloseKey(HKEY{port.value}), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(port)) << "the port is still open after the refused RegCloseKey";
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), 0) << "closing a root key does nothing and succeeds";
}

TEST_F(Win32Registry, AClosedKeyHandleCannotBeUsed)
{
    const HKEY key = CreateProductKey();
    RegCloseKey(key);
    EXPECT_EQ(SetDword(key, "CommPort", 2), static_cast<LONG>(ERROR_INVALID_HANDLE));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "CommPort", nullptr, nullptr, nullptr, &size), static_cast<LONG>(ERROR_INVALID_HANDLE));
    HKEY child{};
    EXPECT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_READ, &child), static_cast<LONG>(ERROR_INVALID_HANDLE));
}

struct AccessCase {
    const char* name;
    const char* subKey;
    REGSAM access;
    LONG expected;
};

class OpeningWithoutRights : public ::testing::TestWithParam<AccessCase> {};

TEST_P(OpeningWithoutRights, MayReadTheMachinesKeysButNotOpenThemForWriting)
{
    TestMachine test(Win32Config(machine::RegistryAccess::Denied));
    const AccessCase& c = GetParam();
    HKEY key{};
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, c.subKey, 0, c.access, &key), c.expected);
    if (c.expected == 0) {
        EXPECT_EQ(RegCloseKey(key), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OpeningWithoutRights,
                         ::testing::Values(AccessCase{"AllAccess", "SOFTWARE", KEY_ALL_ACCESS, 5},
                                           AccessCase{"Write", "SOFTWARE", KEY_WRITE, 5},
                                           AccessCase{"SetValue", "SOFTWARE", KEY_SET_VALUE, 5},
                                           AccessCase{"Read", "SOFTWARE", KEY_READ, 0},
                                           AccessCase{"QueryValue", "SOFTWARE", KEY_QUERY_VALUE, 0},
                                           AccessCase{"MissingKeyIsStillMissing", "SOFTWARE\\Nothing", KEY_ALL_ACCESS, 2}),
                         CaseName());

TEST(Win32RegistryWithoutRights, CannotCreateBelowTheMachineKeyButMayBelowTheUsersOwn)
{
    TestMachine test(Win32Config(machine::RegistryAccess::Denied));
    HKEY key{};
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(test.Get().GetRegistry().KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm"));
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
              static_cast<LONG>(ERROR_ACCESS_DENIED))
        << "creating a key is writing to its parent, whatever access is asked for the new key";
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProduct, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition), 0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(key), 0);
}

}  // namespace
}  // namespace pervo::test
