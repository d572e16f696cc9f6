#pragma once

#include "Machine.h"
#include "QuorvexDevice.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pervo::desktop {

// Everything the command line says.
struct Options {
    std::map<unsigned, machine::PortAssignment> ports;
    bool hostPorts = false;
    quorvex::DriverState driver = quorvex::DriverState::Present;
    std::string registryFile;
    machine::RegistryAccess registryAccess = machine::RegistryAccess::Full;
    bool helpSystemPresent = true;
    std::optional<std::string> script;  // "-" is standard input
    std::optional<std::string> trace;   // "-" is standard error
    bool showHelp = false;
    bool showVersion = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // one line, without the "pervo: " prefix; empty when fine
};

// Parses the arguments after the program's name. `environment` looks up
// XDG_STATE_HOME and HOME for the registry's default place.
ParsedOptions ParseOptions(const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment);

// The serial ports the options stand for: the defaults, --host-ports, then
// each --port over them.
std::map<unsigned, machine::PortAssignment> EffectivePorts(const Options& options);

std::string UsageText();

}  // namespace pervo::desktop
