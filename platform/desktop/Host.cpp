#include "Host.h"

#include "WinApp.h"

namespace pervo::desktop {

machine::Result<std::unique_ptr<Host>> Host::Create(const Options& options, std::string executablePath,
                                                     machine::SystemCalls& calls)
{
    machine::MachineConfig config;
    config.ports = EffectivePorts(options);
    config.registryFile = options.registryFile;
    config.registryAccess = options.registryAccess;
    config.helpSystemPresent = options.helpSystemPresent;
    config.executablePath = std::move(executablePath);
    auto created = machine::Machine::Create(std::move(config), calls);
    if (!created)
        return created.GetStatus();
    std::unique_ptr<Host> host(new Host());
    host->m_machine = std::move(created.Value());
    host->m_driver = quorvex::InstallQuorvex(host->m_machine->Devices(), options.driver);
    if (options.trace) {
        std::string error;
        if (!host->m_machine->GetTrace().Open(*options.trace, error))
            return machine::Status(machine::Error::Io, error);
    }
    return host;
}

int Host::RunUtility(machine::InputSource& input)
{
    machine::MachineScope scope(*m_machine);
    m_machine->SetInputSource(&input);
    m_running = true;
    const int status = AfxWinMain();
    m_running = false;
    m_ended = true;
    m_machine->EndProcess();
    m_machine->SetInputSource(nullptr);
    return status;
}

}  // namespace pervo::desktop
