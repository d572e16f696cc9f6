// The port driver's stand-in: which opens and control requests it takes, what
// it keeps, and how the machine loads and unloads it.

#include "CaseName.h"
#include "QuorvexDevice.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace pervo::test {
namespace {

using test::PrintTo;

using machine::DeviceOpenRequest;
using machine::Error;
using quorvex::DriverState;
using quorvex::QuorvexDevice;

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kDeleteOnClose = 0x04000000u;
constexpr std::uint32_t kAttributeNormal = 0x80u;

struct OpenCase {
    const char* name;
    DeviceOpenRequest request;
    bool accepted;
};

class OpeningTheDriver : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpeningTheDriver, IsAcceptedOnlyTheWayADynamicDriverIsLoaded)
{
    QuorvexDevice device;
    const machine::Status status = device.Accept(GetParam().request);
    EXPECT_EQ(status.IsOk(), GetParam().accepted) << status.Message();
    if (!GetParam().accepted) {
        EXPECT_EQ(status.GetError(), Error::InvalidArgument);
        EXPECT_FALSE(status.Message().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpeningTheDriver,
    ::testing::Values(OpenCase{"AsTheUtilityOpensIt", {0, 0, kCreateNew, kDeleteOnClose}, true},
                      OpenCase{"WithMoreFlagsBesideDeleteOnClose", {0, 0, kCreateNew, kDeleteOnClose | kAttributeNormal}, true},
                      OpenCase{"ForReading", {kGenericRead, 0, kCreateNew, kDeleteOnClose}, false},
                      OpenCase{"ForReadingAndWriting", {kGenericRead | kGenericWrite, 0, kCreateNew, kDeleteOnClose}, false},
                      OpenCase{"Shared", {0, 1, kCreateNew, kDeleteOnClose}, false},
                      OpenCase{"OpenExisting", {0, 0, kOpenExisting, kDeleteOnClose}, false},
                      OpenCase{"CreateAlways", {0, 0, kCreateAlways, kDeleteOnClose}, false},
                      OpenCase{"WithoutDeleteOnClose", {0, 0, kCreateNew, 0}, false}),
    CaseName());

struct ControlCase {
    const char* name;
    DriverState state;
    std::uint32_t code;
    std::vector<std::uint8_t> input;
    std::size_t outputSize;
    Error error;
    std::optional<std::uint32_t> portAfter;
};

class ControlRequest : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlRequest, IsTakenOnlyWithCodeX1000AndAFourBytePortNumber)
{
    const ControlCase& c = GetParam();
    QuorvexDevice device(c.state);
    std::vector<std::uint8_t> output(c.outputSize, 0xEE);
    std::uint32_t returned = 99;

    const machine::Status status = device.Control(c.code, c.input, output, returned);

    EXPECT_EQ(status.GetError(), c.error) << status.Message();
    EXPECT_EQ(returned, 0u) << "the driver never gives anything back";
    EXPECT_EQ(output, std::vector<std::uint8_t>(c.outputSize, 0xEE));
    EXPECT_EQ(device.Port(), c.portAfter);
    EXPECT_EQ(device.Requests(), 1u) << "every request counts, taken or not";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ControlRequest,
    ::testing::Values(
        ControlCase{"PortTwo", DriverState::Present, 0x1000, {2, 0, 0, 0}, 0, Error::None, 2u},
        ControlCase{"PortNumberIsLittleEndian", DriverState::Present, 0x1000, {0x10, 0x27, 0, 0}, 0, Error::None, 10000u},
        ControlCase{"OtherCode", DriverState::Present, 0x1001, {2, 0, 0, 0}, 0, Error::NotSupported, std::nullopt},
        ControlCase{"CodeZero", DriverState::Present, 0, {}, 0, Error::NotSupported, std::nullopt},
        ControlCase{"ThreeBytes", DriverState::Present, 0x1000, {2, 0, 0}, 0, Error::InvalidArgument, std::nullopt},
        ControlCase{"FiveBytes", DriverState::Present, 0x1000, {2, 0, 0, 0, 0}, 0, Error::InvalidArgument, std::nullopt},
        ControlCase{"NoInput", DriverState::Present, 0x1000, {}, 0, Error::InvalidArgument, std::nullopt},
        ControlCase{"AskingForOutput", DriverState::Present, 0x1000, {2, 0, 0, 0}, 4, Error::InvalidArgument, std::nullopt},
        ControlCase{"FailingDriver", DriverState::Failing, 0x1000, {2, 0, 0, 0}, 0, Error::Io, std::nullopt},
        ControlCase{"FailingDriverOtherCode", DriverState::Failing, 0x1001, {2, 0, 0, 0}, 0, Error::NotSupported, std::nullopt}),
    CaseName());

TEST(QuorvexDevice, KeepsTheLastPortItAcceptedAndCountsEveryRequest)
{
    QuorvexDevice device;
    std::uint32_t returned = 0;
    const std::array<std::uint8_t, 4> three = {3, 0, 0, 0};
    const std::array<std::uint8_t, 4> five = {5, 0, 0, 0};
    const std::array<std::uint8_t, 2> cut = {7, 0};
    EXPECT_FALSE(device.Port().has_value()) << "no port before the first request";
    EXPECT_TRUE(device.Control(0x1000, three, {}, returned).IsOk());
    EXPECT_FALSE(device.Control(0x1000, cut, {}, returned).IsOk());
    EXPECT_FALSE(device.Control(0x2000, five, {}, returned).IsOk());
    EXPECT_EQ(device.Port(), 3u) << "a rejected request leaves the port";
    EXPECT_TRUE(device.Control(0x1000, five, {}, returned).IsOk());
    EXPECT_TRUE(device.Control(0x1000, five, {}, returned).IsOk()) << "the same port again is taken again";
    EXPECT_EQ(device.Port(), 5u);
    EXPECT_EQ(device.Requests(), 5u);
}

TEST(QuorvexDevice, IsInstalledUnderItsFileNameUnlessAbsent)
{
    machine::DeviceLoader loader;
    EXPECT_EQ(quorvex::InstallQuorvex(loader, DriverState::Absent), nullptr);
    EXPECT_EQ(loader.Find("QUORVEX.VXD"), nullptr);

    QuorvexDevice* device = quorvex::InstallQuorvex(loader, DriverState::Present);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(loader.Find("QUORVEX.VXD"), device);
    EXPECT_EQ(loader.Find("quorvex.vxd"), nullptr) << "the loader is asked in upper case";
    EXPECT_FALSE(loader.IsLoaded(*device)) << "installed is not loaded";
}

TEST(QuorvexDevice, IsLoadedWhileAnyHandleIsOpenAndUnloadedWithTheLast)
{
    machine::DeviceLoader loader;
    QuorvexDevice* device = quorvex::InstallQuorvex(loader, DriverState::Present);
    ASSERT_NE(device, nullptr);
    loader.AddReference(*device);
    loader.AddReference(*device);
    EXPECT_TRUE(loader.IsLoaded(*device));
    loader.Release(*device);
    EXPECT_TRUE(loader.IsLoaded(*device)) << "one handle is still open";
    loader.Release(*device);
    EXPECT_FALSE(loader.IsLoaded(*device));
    loader.AddReference(*device);
    EXPECT_TRUE(loader.IsLoaded(*device)) << "it loads again at the next open";
    loader.Release(*device);
}

TEST(QuorvexDevice, AFailingDriverStillLoads)
{
    machine::DeviceLoader loader;
    QuorvexDevice* device = quorvex::InstallQuorvex(loader, DriverState::Failing);
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->Accept({0, 0, kCreateNew, kDeleteOnClose}).IsOk());
    loader.AddReference(*device);
    EXPECT_TRUE(loader.IsLoaded(*device));
    loader.Release(*device);
}

}  // namespace
}  // namespace pervo::test
