#include "HandleTable.h"

#include "SerialPorts.h"

namespace pervo::machine {

std::uint32_t HandleTable::Add(KernelObject object)
{
    std::uint32_t handle = kFirstHandle;
    for (const auto& entry : m_objects) {
        if (entry.first != handle)
            break;
        handle += 4;
    }
    m_objects.emplace(handle, std::move(object));
    return handle;
}

KernelObject* HandleTable::Find(std::uint32_t handle)
{
    auto found = m_objects.find(handle);
    return found == m_objects.end() ? nullptr : &found->second;
}

std::optional<KernelObject> HandleTable::Remove(std::uint32_t handle)
{
    auto found = m_objects.find(handle);
    if (found == m_objects.end())
        return std::nullopt;
    KernelObject object = std::move(found->second);
    m_objects.erase(found);
    return object;
}

}  // namespace pervo::machine
