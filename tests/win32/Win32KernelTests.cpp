// Opening serial ports and the driver with CreateFileA, and the driver's
// control requests through DeviceIoControl: what a caller gets back and what
// GetLastError says.

#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace pervo::test {
namespace {

using test::PrintTo;

struct NameCase {
    const char* name;
    const char* fileName;
    std::optional<unsigned> port;  // the port opened; nullopt when the open fails
    DWORD error;
};

class OpeningByName : public Win32Test, public ::testing::WithParamInterface<NameCase> {};

TEST_P(OpeningByName, MapsTheNameToASerialPortOrFailsWithTheRightError)
{
    const NameCase& c = GetParam();
    const HANDLE handle = CreateFileA(c.fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, {});
    EXPECT_EQ(GetLastError(), c.error);
    if (!c.port) {
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Machine().Handles().Count(), 0u);
        return;
    }
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    const machine::KernelObject* object = Machine().Handles().Find(handle.value);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->kind, machine::KernelObject::Kind::SerialPort);
    EXPECT_EQ(object->portNumber, *c.port);
    EXPECT_EQ(Machine().Ports().HeldCount(), 1u);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(Machine().Ports().HeldCount(), 0u) << "closing lets go of the port";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpeningByName,
    ::testing::Values(NameCase{"Plain", "COM3", 3u, ERROR_SUCCESS},
                      NameCase{"WithColon", "COM3:", 3u, ERROR_SUCCESS},
                      NameCase{"DevicePath", "\\\\.\\COM3", 3u, ERROR_SUCCESS},
                      NameCase{"LowerCaseWithColon", "com3:", 3u, ERROR_SUCCESS},
                      NameCase{"DevicePathWithColon", "\\\\.\\com3:", 3u, ERROR_SUCCESS},
                      NameCase{"Busy", "COM4:", std::nullopt, ERROR_ACCESS_DENIED},
                      NameCase{"NothingBehindIt", "COM5:", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"PortZero", "COM0", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"NoNumber", "COM", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"NoNumberWithColon", "COM:", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"NotANumber", "COMx", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"TrailingText", "COM3x", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"HugeNumber", "COM99999999999999999999", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"OtherDevice", "\\\\.\\OTHER", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"AFile", "C:\\PERVO\\PERVO.INI", std::nullopt, ERROR_FILE_NOT_FOUND},
                      NameCase{"Empty", "", std::nullopt, ERROR_PATH_NOT_FOUND}),
    CaseName());

TEST_F(Win32Test, APortOpenedOnceIsBusyForTheNextOpenUntilClosed)
{
    const HANDLE first = CreateFileA("COM3:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, {});
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, {}),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(CloseHandle(first));
    const HANDLE again = CreateFileA("COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, {});
    EXPECT_EQ(again, first) << "the closed handle's number comes back";
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_FALSE(CloseHandle(again));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Win32Test, TheDriverIsLoadedByItsFirstHandleAndUnloadedWithItsLast)
{
    const HANDLE first = OpenDriver();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(first.value, 16u);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(Machine().Devices().IsLoaded(*m_driver));
    const HANDLE second = CreateFileA("\\\\.\\quorvex.vxd", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, {});
    ASSERT_NE(second, INVALID_HANDLE_VALUE) << "device names do not care about case";
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(Machine().Devices().IsLoaded(*m_driver));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_FALSE(Machine().Devices().IsLoaded(*m_driver));
}

TEST_F(Win32Test, TheDriverRefusesAnOpenItDoesNotExpect)
{
    EXPECT_EQ(CreateFileA("\\\\.\\QUORVEX.VXD", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, {}), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(Machine().Devices().IsLoaded(*m_driver));
    EXPECT_EQ(Machine().Handles().Count(), 0u);
}

class Win32WithoutDriver : public Win32Test {
protected:
    Win32WithoutDriver() : Win32Test(machine::RegistryAccess::Full, quorvex::DriverState::Absent) {}
};

TEST_F(Win32WithoutDriver, OpeningTheDriverFailsWithFileNotFound)
{
    EXPECT_EQ(OpenDriver(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32Test, DeviceIoControlTellsTheDriverThePort)
{
    const HANDLE driver = OpenDriver();
    DWORD port = 2;
    DWORD returned = 77;
    EXPECT_TRUE(DeviceIoControl(driver, 0x1000, &port, sizeof port, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(m_driver->Port(), 2u);
    EXPECT_EQ(m_driver->Requests(), 1u);
    CloseHandle(driver);
}

struct ControlErrorCase {
    const char* name;
    enum class Target { Unknown, Invalid, SerialPort, Driver } target;
    DWORD code;
    DWORD inputSize;
    bool withBytesReturned;
    DWORD error;
    bool reachesTheDriver;
};

class DeviceIoControlErrors : public Win32Test, public ::testing::WithParamInterface<ControlErrorCase> {};

TEST_P(DeviceIoControlErrors, FailWithTheErrorACallerOfTheOriginalSees)
{
    const ControlErrorCase& c = GetParam();
    using Target = ControlErrorCase::Target;
    HANDLE handle{0x1234u};
    if (c.target == Target::Invalid)
        handle = INVALID_HANDLE_VALUE;
    else if (c.target == Target::SerialPort)
        handle = CreateFileA("COM3:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, {});
    else if (c.target == Target::Driver)
        handle = OpenDriver();
    std::uint8_t input[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    DWORD returned = 0;

    EXPECT_FALSE(DeviceIoControl(handle, c.code, input, c.inputSize, nullptr, 0, c.withBytesReturned ? &returned : nullptr,
                                 nullptr));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(m_driver->Requests(), c.reachesTheDriver ? 1u : 0u);
    EXPECT_FALSE(m_driver->Port().has_value());
}

using Target = ControlErrorCase::Target;
INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceIoControlErrors,
    ::testing::Values(
        ControlErrorCase{"UnknownHandle", Target::Unknown, 0x1000, 4, true, ERROR_INVALID_HANDLE, false},
        ControlErrorCase{"InvalidHandleValue", Target::Invalid, 0x1000, 4, true, ERROR_INVALID_HANDLE, false},
        ControlErrorCase{"ASerialPort", Target::SerialPort, 0x1000, 4, true, ERROR_INVALID_FUNCTION, false},
        ControlErrorCase{"NoPlaceForTheCount", Target::Driver, 0x1000, 4, false, ERROR_INVALID_PARAMETER, false},
        ControlErrorCase{"AnotherCode", Target::Driver, 0x2000, 4, true, ERROR_NOT_SUPPORTED, true},
        ControlErrorCase{"TooLongInput", Target::Driver, 0x1000, 8, true, ERROR_INVALID_PARAMETER, true}),
    CaseName());

TEST_F(Win32Test, DeviceIoControlRejectsAMissingBufferWithASize)
{
    const HANDLE driver = OpenDriver();
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(driver, 0x1000, nullptr, 4, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(m_driver->Requests(), 0u);
    CloseHandle(driver);
}

class Win32WithFailingDriver : public Win32Test {
protected:
    Win32WithFailingDriver() : Win32Test(machine::RegistryAccess::Full, quorvex::DriverState::Failing) {}
};

TEST_F(Win32WithFailingDriver, ARequestTheDriverFailsIsAGeneralFailure)
{
    const HANDLE driver = OpenDriver();
    ASSERT_NE(driver, INVALID_HANDLE_VALUE);
    DWORD port = 2;
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(driver, 0x1000, &port, sizeof port, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(m_driver->Requests(), 1u);
    CloseHandle(driver);
}

TEST_F(Win32Test, CloseHandleRefusesRegistryKeysAndUnknownHandles)
{
    HKEY key{};
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), 0);
    EXPECT_FALSE(CloseHandle(HANDLE{key.value}));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), 0) << "the key is still open";
    EXPECT_FALSE(CloseHandle(HANDLE{0x40u}));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Win32Test, GetModuleFileNameGivesTheExecutablePathAndCutsItToTheBuffer)
{
    char path[64];
    EXPECT_EQ(GetModuleFileNameA({}, path, sizeof path), 14u);
    EXPECT_STREQ(path, "/usr/bin/pervo");
    char small[6];
    EXPECT_EQ(GetModuleFileNameA({}, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(small, "/usr/");
}

}  // namespace
}  // namespace pervo::test
