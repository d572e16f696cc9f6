#include "QuorvexDevice.h"

#include <memory>

namespace pervo::quorvex {
namespace {
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kDeleteOnClose = 0x04000000u;
}  // namespace

machine::Status QuorvexDevice::Accept(const machine::DeviceOpenRequest& request)
{
    // A dynamically loaded driver is opened to be loaded, not to be read or
    // written: anything else is a caller's mistake.
    if (request.desiredAccess != 0 || request.shareMode != 0 || request.creationDisposition != kCreateNew ||
        (request.flags & kDeleteOnClose) == 0)
        return {machine::Error::InvalidArgument,
                "the port driver is opened with access 0, share mode 0, CREATE_NEW and FILE_FLAG_DELETE_ON_CLOSE"};
    return {};
}

machine::Status QuorvexDevice::Control(std::uint32_t code, std::span<const std::uint8_t> input,
                                       std::span<std::uint8_t> output, std::uint32_t& returned)
{
    returned = 0;
    ++m_requests;
    if (code != kSetCommPort)
        return {machine::Error::NotSupported, "the port driver knows only control code 0x1000"};
    if (input.size() != 4 || !output.empty())
        return {machine::Error::InvalidArgument, "control code 0x1000 takes a 4-byte port number and gives nothing back"};
    if (m_state == DriverState::Failing)
        return {machine::Error::Io, "the port driver failed the request"};
    m_port = static_cast<std::uint32_t>(input[0]) | (static_cast<std::uint32_t>(input[1]) << 8) |
             (static_cast<std::uint32_t>(input[2]) << 16) | (static_cast<std::uint32_t>(input[3]) << 24);
    return {};
}

QuorvexDevice* InstallQuorvex(machine::DeviceLoader& loader, DriverState state)
{
    if (state == DriverState::Absent)
        return nullptr;
    auto device = std::make_shared<QuorvexDevice>(state);
    QuorvexDevice* raw = device.get();
    loader.Install(QuorvexDevice::kFileName, std::move(device));
    return raw;
}

}  // namespace pervo::quorvex
