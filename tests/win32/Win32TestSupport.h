#pragma once

// What the win32 layer's tests share: a machine with two simulated serial
// ports (COM3 opens, COM4 is held by another program) and the port driver
// installed, and a way to read back the call trace it writes.

#include "CaseName.h"
#include "MachineFixture.h"
#include "QuorvexDevice.h"
#include "Win32Api.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <unistd.h>
#include <sstream>
#include <string>
#include <vector>

namespace pervo::test {

inline machine::MachineConfig Win32Config(machine::RegistryAccess access)
{
    machine::MachineConfig config;
    config.ports[3] = {machine::PortKind::Simulated, {}};
    config.ports[4] = {machine::PortKind::SimulatedBusy, {}};
    config.registryAccess = access;
    return config;
}

class Win32Test : public ::testing::Test {
protected:
    explicit Win32Test(machine::RegistryAccess access = machine::RegistryAccess::Full,
                       quorvex::DriverState driver = quorvex::DriverState::Present)
        : m_test(Win32Config(access)), m_driver(quorvex::InstallQuorvex(m_test.Get().Devices(), driver))
    {
        SetLastError(0xDEADu);
    }

    machine::Machine& Machine() { return m_test.Get(); }

    HANDLE OpenDriver() { return CreateFileA("\\\\.\\QUORVEX.VXD", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, {}); }

    TestMachine m_test;
    quorvex::QuorvexDevice* m_driver;
};

// The trace written while it lives, one parsed JSON object a line.
class TraceCapture {
public:
    explicit TraceCapture(machine::Machine& machine) : m_machine(machine), m_file(std::tmpfile())
    {
        m_machine.GetTrace().Attach(m_file);
    }
    ~TraceCapture()
    {
        m_machine.GetTrace().Close();
        std::fclose(m_file);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // The text in the file so far, read past the stream's buffer: what a run
    // killed now would leave behind.
    std::string Text()
    {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = pread(fileno(m_file), buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0;)
            text.append(buffer, static_cast<std::size_t>(got));
        return text;
    }

    std::vector<nlohmann::ordered_json> Lines()
    {
        std::vector<nlohmann::ordered_json> lines;
        std::istringstream in(Text());
        for (std::string line; std::getline(in, line);)
            lines.push_back(nlohmann::ordered_json::parse(line));
        return lines;
    }

    // The names of the functions traced so far, in order.
    std::vector<std::string> Functions()
    {
        std::vector<std::string> names;
        for (const auto& line : Lines())
            names.push_back(line.at("fn").get<std::string>());
        return names;
    }

private:
    machine::Machine& m_machine;
    std::FILE* m_file;
};

}  // namespace pervo::test
