// pervo: the utility on its simulated machine, driven from a terminal
// desktop or a script.

#include "Host.h"
#include "Options.h"
#include "ScriptRunner.h"
#include "TerminalDesktop.h"
#include "VersionInfo.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>

extern char** environ;

namespace {

std::string ExecutablePath(const char* argv0)
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length > 0)
        return std::string(path, static_cast<std::size_t>(length));
    return argv0 ? argv0 : "pervo";
}

int Fail(const std::string& message, int status)
{
    std::cerr << "pervo: " << message << std::endl;
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace pervo::desktop;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::map<std::string, std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos)
            environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    const ParsedOptions parsed = ParseOptions(arguments, environment);
    if (!parsed.error.empty())
        return Fail(parsed.error, 2);
    const Options& options = parsed.options;
    if (options.showHelp) {
        std::cout << UsageText();
        return 0;
    }
    if (options.showVersion) {
        std::cout << VersionText();
        return 0;
    }
    if (!options.script && (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)))
        return Fail("there is no terminal to show the desktop on; drive pervo with --script FILE (or --script - for standard input)", 2);

    std::ifstream scriptFile;
    if (options.script && *options.script != "-") {
        scriptFile.open(*options.script);
        if (!scriptFile)
            return Fail("cannot read the script " + *options.script + "; check the file name", 2);
    }

    auto host = Host::Create(options, ExecutablePath(argv[0]));
    if (!host) {
        const pervo::machine::Status status = host.GetStatus();
        std::string message = status.Message();
        // A hive that does not parse was left alone; say how to get going again.
        if (status.GetError() == pervo::machine::Error::Corrupt)
            message += "; correct that line, or move the file away to start with an empty registry (it was left as it was)";
        return Fail(message, 1);
    }

    if (options.script) {
        std::istream& script = *options.script == "-" ? std::cin : scriptFile;
        ScriptRunner runner(*host.Value(), script, std::cout);
        const int status = runner.Run();
        if (status != 0)
            return Fail(runner.Error(), status);
        return 0;
    }
    std::string error;
    const int status = RunTerminalDesktop(*host.Value(), error);
    if (!error.empty())
        return Fail(error, status ? status : 1);
    return status;
}
