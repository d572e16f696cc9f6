#pragma once

#include "Status.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>

namespace pervo::machine {

// What a caller asked for when opening a device, in the numbers of the file API.
struct DeviceOpenRequest {
    std::uint32_t desiredAccess = 0;
    std::uint32_t shareMode = 0;
    std::uint32_t creationDisposition = 0;
    std::uint32_t flags = 0;
};

// A loadable device driver as the machine sees it: opened by name under \\.\,
// asked control requests, closed. The machine loads it at its first open and
// unloads it when the last handle is closed.
class Device {
public:
    virtual ~Device() = default;

    // Decides whether this open is one the driver accepts.
    virtual Status Accept(const DeviceOpenRequest& request) = 0;

    // One control request. `returned` receives the number of output bytes written.
    virtual Status Control(std::uint32_t code, std::span<const std::uint8_t> input,
                           std::span<std::uint8_t> output, std::uint32_t& returned) = 0;

    virtual void Loaded() {}
    virtual void Unloaded() {}
};

// The drivers this machine can load, by file name (upper case, such as "QUORVEX.VXD").
class DeviceLoader {
public:
    void Install(std::string fileName, std::shared_ptr<Device> device);
    Device* Find(const std::string& fileName) const;  // nullptr when not installed

    // Reference counting of open handles; the first open loads, the last close unloads.
    void AddReference(Device& device);
    void Release(Device& device);
    bool IsLoaded(const Device& device) const;

private:
    std::map<std::string, std::shared_ptr<Device>> m_devices;
    std::map<const Device*, int> m_references;
};

}  // namespace pervo::machine
