#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace pervo::machine {

class Device;
class OpenSerialPort;

// What a kernel handle stands for.
struct KernelObject {
    enum class Kind { DeviceChannel, SerialPort, RegistryKey };

    Kind kind = Kind::DeviceChannel;
    Device* device = nullptr;                     // DeviceChannel
    std::unique_ptr<OpenSerialPort> serialPort;   // SerialPort
    unsigned portNumber = 0;                      // SerialPort
    std::string keyPath;                          // RegistryKey: full path
    bool writable = false;                        // RegistryKey: opened for writing
};

// Kernel handles, numbered as the original platform numbers them: multiples of
// four, the lowest free value first, so a closed handle's number comes back.
class HandleTable {
public:
    static constexpr std::uint32_t kFirstHandle = 16;

    std::uint32_t Add(KernelObject object);
    KernelObject* Find(std::uint32_t handle);
    std::optional<KernelObject> Remove(std::uint32_t handle);
    std::size_t Count() const { return m_objects.size(); }
    template <typename Visit>
    void ForEach(Visit visit)
    {
        for (auto& [handle, object] : m_objects)
            visit(handle, object);
    }

private:
    std::map<std::uint32_t, KernelObject> m_objects;
};

}  // namespace pervo::machine
