#include "Devices.h"

#include <cassert>

namespace pervo::machine {

void DeviceLoader::Install(std::string fileName, std::shared_ptr<Device> device)
{
    m_devices[std::move(fileName)] = std::move(device);
}

Device* DeviceLoader::Find(const std::string& fileName) const
{
    auto found = m_devices.find(fileName);
    return found == m_devices.end() ? nullptr : found->second.get();
}

void DeviceLoader::AddReference(Device& device)
{
    if (m_references[&device]++ == 0)
        device.Loaded();
}

void DeviceLoader::Release(Device& device)
{
    auto found = m_references.find(&device);
    assert(found != m_references.end() && found->second > 0 && "device released more often than opened");
    if (--found->second == 0) {
        m_references.erase(found);
        device.Unloaded();
    }
}

bool DeviceLoader::IsLoaded(const Device& device) const
{
    return m_references.contains(&device);
}

}  // namespace pervo::machine
