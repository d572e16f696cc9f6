#include "Options.h"

#include <cctype>

namespace pervo::desktop {
namespace {

bool ParsePortAssignment(const std::string& text, Options& options, std::string& error)
{
    const std::size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    auto bad = [&](const std::string& why) {
        error = "--port " + text + ": " + why + "; write it as COMn=sim, COMn=busy or COMn=/dev/ttyUSB0";
        return false;
    };
    if (equals == std::string::npos)
        return bad("no '=' between the port and what stands behind it");
    if (name.size() < 4 || name.size() > 5 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "com") != 0))
        return bad("the port must be COM1 to COM99");
    unsigned number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return bad("the port must be COM1 to COM99");
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
    }
    if (number < 1 || number > 99 || name[3] == '0')
        return bad("the port must be COM1 to COM99");
    const std::string what = text.substr(equals + 1);
    machine::PortAssignment assignment;
    if (what == "sim") {
        assignment.kind = machine::PortKind::Simulated;
    } else if (what == "busy") {
        assignment.kind = machine::PortKind::SimulatedBusy;
    } else if (!what.empty() && what[0] == '/') {
        assignment.kind = machine::PortKind::Device;
        assignment.devicePath = what;
    } else {
        return bad("'" + what + "' is neither sim, busy nor an absolute device path");
    }
    options.ports[number] = assignment;
    return true;
}

std::string DefaultRegistry(const std::map<std::string, std::string>& environment, std::string& error)
{
    auto state = environment.find("XDG_STATE_HOME");
    if (state != environment.end() && !state->second.empty() && state->second[0] == '/')
        return state->second + "/pervo/registry.reg";
    auto home = environment.find("HOME");
    if (home != environment.end() && !home->second.empty())
        return home->second + "/.local/state/pervo/registry.reg";
    error = "neither XDG_STATE_HOME nor HOME is set, so there is no place for the registry; pass --registry FILE";
    return {};
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment)
{
    ParsedOptions parsed;
    Options& options = parsed.options;
    std::string& error = parsed.error;
    bool registryGiven = false;
    for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = option.find('='); option.starts_with("--") && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            error = option + " needs a value; see pervo --help";
            return std::nullopt;
        };
        auto choice = [&](const std::string& given, std::initializer_list<const char*> allowed) {
            std::string list;
            for (const char* one : allowed) {
                if (given == one)
                    return true;
                list += list.empty() ? one : std::string(", ") + one;
            }
            error = option + " takes " + list + " (got '" + given + "')";
            return false;
        };
        if (option == "--help" || option == "-h") {
            options.showHelp = true;
        } else if (option == "--version") {
            options.showVersion = true;
        } else if (option == "--host-ports") {
            options.hostPorts = true;
        } else if (option == "--port") {
            if (auto v = value())
                ParsePortAssignment(*v, options, error);
        } else if (option == "--driver") {
            if (auto v = value(); v && choice(*v, {"present", "absent", "failing"}))
                options.driver = *v == "present" ? quorvex::DriverState::Present
                                 : *v == "absent" ? quorvex::DriverState::Absent
                                                  : quorvex::DriverState::Failing;
        } else if (option == "--registry") {
            if (auto v = value()) {
                if (v->empty())
                    error = "--registry needs a file name";
                options.registryFile = *v;
                registryGiven = true;
            }
        } else if (option == "--registry-access") {
            if (auto v = value(); v && choice(*v, {"full", "denied"}))
                options.registryAccess = *v == "full" ? machine::RegistryAccess::Full : machine::RegistryAccess::Denied;
        } else if (option == "--help-system") {
            if (auto v = value(); v && choice(*v, {"present", "absent"}))
                options.helpSystemPresent = *v == "present";
        } else if (option == "--script") {
            if (auto v = value())
                options.script = *v;
        } else if (option == "--trace") {
            if (auto v = value())
                options.trace = *v;
        } else {
            error = "unknown option '" + arguments[i] + "'; see pervo --help";
        }
    }
    if (error.empty() && !registryGiven && !options.showHelp && !options.showVersion)
        options.registryFile = DefaultRegistry(environment, error);
    return parsed;
}

std::map<unsigned, machine::PortAssignment> EffectivePorts(const Options& options)
{
    std::map<unsigned, machine::PortAssignment> ports;
    if (options.hostPorts) {
        for (unsigned n = 1; n <= 8; ++n)
            ports[n] = {machine::PortKind::Device, "/dev/ttyS" + std::to_string(n - 1)};
    } else if (options.ports.empty()) {
        ports[1] = {machine::PortKind::Simulated, {}};
        ports[2] = {machine::PortKind::Simulated, {}};
    }
    for (const auto& [number, assignment] : options.ports)
        ports[number] = assignment;
    return ports;
}

std::string UsageText()
{
    return R"(Usage: pervo [OPTIONS]
Runs the KX-9 port utility on its simulated machine, on a terminal desktop or from a script.

  --port COMn=WHAT     what stands behind serial port n (1..99); may repeat:
                         sim    a simulated port that opens
                         busy   a simulated port that another program holds open
                         PATH   a real device file, opened exclusively (e.g. /dev/ttyUSB0)
                       Without any --port and without --host-ports: COM1=sim, COM2=sim.
  --host-ports         COMn is /dev/ttyS<n-1> for n = 1..8; a later --port overrides one
  --driver STATE       present (default) | absent | failing
  --registry FILE      the registry hive, a REGEDIT4 text file; created when missing.
                       Default: $XDG_STATE_HOME/pervo/registry.reg, or
                       ~/.local/state/pervo/registry.reg
  --registry-access A  full (default) | denied
  --help-system S      present (default) | absent
  --script FILE        drive the machine from FILE ('-' = standard input)
  --trace FILE         append every platform call to FILE ('-' = standard error)
  --help, --version
)";
}

}  // namespace pervo::desktop
