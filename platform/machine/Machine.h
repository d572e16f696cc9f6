#pragma once

#include "Devices.h"
#include "HandleTable.h"
#include "Registry.h"
#include "SerialPorts.h"
#include "Shell.h"
#include "Status.h"
#include "SystemCalls.h"
#include "Trace.h"
#include "WindowManager.h"

#include <map>
#include <memory>
#include <string>

namespace pervo::machine {

class Machine;

// Where a person's or a script's actions come from. The machine asks only when
// every queue is empty, and the call blocks until there is something to do: it
// injects input, or ends the session.
class InputSource {
public:
    virtual ~InputSource() = default;
    virtual void WaitForInput(Machine& machine) = 0;
};

enum class RegistryAccess { Full, Denied };

struct MachineConfig {
    std::map<unsigned, PortAssignment> ports;
    std::string registryFile;  // empty: a registry that lives only in memory
    RegistryAccess registryAccess = RegistryAccess::Full;
    bool helpSystemPresent = true;
    std::string executablePath = "/usr/bin/pervo";
    std::string lockFolder = "/var/lock";
};

// The simulated machine the utility runs on: its kernel objects, registry,
// serial ports, drivers, windows, shell and help, and the trace of every call.
// Tests build one per test; the win32 layer reaches the one installed as current.
class Machine {
public:
    static Result<std::unique_ptr<Machine>> Create(MachineConfig config, SystemCalls& calls = RealSystemCalls());
    ~Machine();

    static Machine* Current();
    static void SetCurrent(Machine* machine);

    const MachineConfig& Config() const { return m_config; }
    SystemCalls& Calls() { return m_calls; }
    WindowManager& Windows() { return *m_windows; }
    const WindowManager& Windows() const { return *m_windows; }
    HandleTable& Handles() { return m_handles; }
    Registry& GetRegistry() { return *m_registry; }
    SerialPorts& Ports() { return *m_ports; }
    DeviceLoader& Devices() { return m_devices; }
    NotificationArea& Tray() { return m_tray; }
    const NotificationArea& Tray() const { return m_tray; }
    HelpSystem& Help() { return m_help; }
    Trace& GetTrace() { return m_trace; }

    // Icons, by handle; loading the same resource twice gives the same handle.
    std::uint32_t AddIcon(IconImage image);
    const IconImage* FindIcon(std::uint32_t icon) const;
    std::uint32_t FindIconByResource(int resourceId) const;

    // Input and the session.
    void SetInputSource(InputSource* source) { m_input = source; }
    // Asks the input source for more; false when the session has ended.
    bool WaitForInput();
    void EndSession() { m_sessionEnded = true; }
    bool SessionEnded() const { return m_sessionEnded; }

    // What the system does when the utility's process ends: its handles are
    // closed (so a driver it loaded unloads) and its windows destroyed.
    void EndProcess();

private:
    Machine(MachineConfig config, SystemCalls& calls);

    MachineConfig m_config;
    SystemCalls& m_calls;
    std::unique_ptr<WindowManager> m_windows;
    HandleTable m_handles;
    std::unique_ptr<Registry> m_registry;
    std::unique_ptr<SerialPorts> m_ports;
    DeviceLoader m_devices;
    NotificationArea m_tray;
    HelpSystem m_help;
    Trace m_trace;
    std::map<std::uint32_t, IconImage> m_icons;
    std::uint32_t m_nextIcon = 0x20;
    InputSource* m_input = nullptr;
    bool m_sessionEnded = false;
};

// Installs a machine as the current one for as long as it lives.
class MachineScope {
public:
    explicit MachineScope(Machine& machine) : m_previous(Machine::Current()) { Machine::SetCurrent(&machine); }
    ~MachineScope() { Machine::SetCurrent(m_previous); }
    MachineScope(const MachineScope&) = delete;
    MachineScope& operator=(const MachineScope&) = delete;

private:
    Machine* m_previous;
};

}  // namespace pervo::machine
