#pragma once

#include "Devices.h"

#include <cstdint>
#include <optional>

namespace pervo::quorvex {

// How the stand-in behaves.
enum class DriverState {
    Present,  // loads and accepts its requests
    Absent,   // cannot be loaded: the machine does not have it installed
    Failing,  // loads, but every control request fails
};

// The port driver's stand-in. It accepts exactly what the utility's channel
// does: an open with access 0, share mode 0, CREATE_NEW and
// FILE_FLAG_DELETE_ON_CLOSE; control code 0x1000 with a 4-byte port number and
// no output, any number of times; and closing. It keeps the last port it
// accepted and counts the requests it received.
class QuorvexDevice final : public machine::Device {
public:
    static constexpr const char* kFileName = "QUORVEX.VXD";
    static constexpr std::uint32_t kSetCommPort = 0x1000;

    explicit QuorvexDevice(DriverState state = DriverState::Present) : m_state(state) {}

    machine::Status Accept(const machine::DeviceOpenRequest& request) override;
    machine::Status Control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                            std::uint32_t& returned) override;

    std::optional<std::uint32_t> Port() const { return m_port; }
    std::uint32_t Requests() const { return m_requests; }

private:
    DriverState m_state;
    std::optional<std::uint32_t> m_port;
    std::uint32_t m_requests = 0;
};

// Installs the stand-in into a machine, unless the driver is to be absent.
// Returns the device, or nullptr when absent.
QuorvexDevice* InstallQuorvex(machine::DeviceLoader& loader, DriverState state);

}  // namespace pervo::quorvex
