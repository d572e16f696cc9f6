#include "Machine.h"

#include <cassert>

namespace pervo::machine {
namespace {
Machine* g_current = nullptr;
}

Machine::Machine(MachineConfig config, SystemCalls& calls)
    : m_config(std::move(config)), m_calls(calls), m_help(m_config.helpSystemPresent)
{
    m_windows = std::make_unique<WindowManager>(*this);
    m_ports = std::make_unique<SerialPorts>(m_calls, m_config.lockFolder);
    for (const auto& [number, assignment] : m_config.ports)
        m_ports->Assign(number, assignment);
}

Machine::~Machine()
{
    if (g_current == this)
        g_current = nullptr;
}

Result<std::unique_ptr<Machine>> Machine::Create(MachineConfig config, SystemCalls& calls)
{
    std::unique_ptr<Machine> machine(new Machine(std::move(config), calls));
    if (machine->m_config.registryFile.empty()) {
        machine->m_registry = Registry::InMemory();
    } else {
        auto registry = Registry::Load(machine->m_config.registryFile, calls);
        if (!registry)
            return registry.GetStatus();
        machine->m_registry = std::move(registry.Value());
    }
    return machine;
}

Machine* Machine::Current()
{
    return g_current;
}

void Machine::SetCurrent(Machine* machine)
{
    g_current = machine;
}

std::uint32_t Machine::AddIcon(IconImage image)
{
    std::uint32_t handle = m_nextIcon;
    m_nextIcon += 4;
    m_icons.emplace(handle, std::move(image));
    return handle;
}

const IconImage* Machine::FindIcon(std::uint32_t icon) const
{
    auto found = m_icons.find(icon);
    return found == m_icons.end() ? nullptr : &found->second;
}

std::uint32_t Machine::FindIconByResource(int resourceId) const
{
    for (const auto& [handle, image] : m_icons) {
        if (image.resourceId == resourceId)
            return handle;
    }
    return 0;
}

bool Machine::WaitForInput()
{
    if (m_sessionEnded)
        return false;
    assert(m_input && "the machine waited for input with no input source attached");
    if (!m_input)
        m_sessionEnded = true;
    else
        m_input->WaitForInput(*this);
    return !m_sessionEnded;
}

void Machine::EndProcess()
{
    std::vector<std::uint32_t> handles;
    m_handles.ForEach([&](std::uint32_t handle, KernelObject&) { handles.push_back(handle); });
    for (auto handle : handles) {
        auto object = m_handles.Remove(handle);
        if (object && object->kind == KernelObject::Kind::DeviceChannel && object->device)
            m_devices.Release(*object->device);
    }
    for (Hwnd hwnd : m_windows->TopLevelWindows())
        m_windows->DestroyWindow(hwnd);
}

}  // namespace pervo::machine
