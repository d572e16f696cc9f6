#pragma once

// Runs the real utility in-process on a fresh machine, driven by a script, and
// hands back everything a person or a trace reader could see: the exit status
// and error, each `show` snapshot, every traced call, the hive file as it was
// left, and the desktop's state at the moment each script line was read.
//
// The state per line comes from a script stream that hands the runner one
// line at a time: the runner reads a line only when the machine has nothing
// else to do, so what the desktop shows just before a line is read is what
// the person saw before that action.

#include "Host.h"
#include "Options.h"
#include "ScriptRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdio.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pervo::test {

using Json = nlohmann::json;

// The numbers the trace and the snapshots use.
inline constexpr std::uint32_t kWmSetIcon = 0x0080;
inline constexpr std::uint32_t kCbInsertString = 0x014A;
inline constexpr std::uint32_t kCbSelectString = 0x014D;
inline constexpr std::uint32_t kWmPostInit = 0x0464;
inline constexpr std::uint32_t kWmTrayNotify = 0x0465;
inline constexpr std::uint32_t kSwHide = 0;
inline constexpr std::uint32_t kSwRestore = 9;
inline constexpr std::uint32_t kNimAdd = 0;
inline constexpr std::uint32_t kNimDelete = 2;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;
inline constexpr std::uint32_t kInvalidHandle = 0xFFFFFFFF;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdCloseApp = 1000;
inline constexpr int kIdPortList = 1001;
inline constexpr std::uint32_t kMainHelpContext = 0x20000 + 102;
inline constexpr std::uint32_t kAboutHelpContext = 0x20000 + 100;

inline constexpr const char* kMainCaption = "KX-9 Pervola";
inline constexpr const char* kAboutCaption = "About Pervo";

// One top-level window as the desktop held it.
struct WindowView {
    machine::Hwnd hwnd = 0;
    machine::Hwnd owner = 0;
    std::string caption;
    machine::Rect rect;    // on the screen, frame included
    machine::Rect client;  // origin 0,0
    bool visible = false;
    bool enabled = false;
    bool isMessageBox = false;
};

// The desktop just before one script line was read.
struct DesktopState {
    std::vector<WindowView> windows;  // topmost first
    machine::Rect workArea;
    machine::Hwnd active = 0;
    machine::Hwnd focus = 0;
    std::size_t heldPorts = 0;

    const WindowView* Find(std::string_view caption) const
    {
        for (const WindowView& window : windows) {
            if (window.caption == caption)
                return &window;
        }
        return nullptr;
    }
};

// Everything one run left behind.
struct ScenarioRun {
    int status = -1;
    std::string error;
    std::vector<Json> snapshots;
    std::vector<Json> trace;
    std::optional<std::string> hive;  // nullopt when there is no hive file
    // views[i]: the desktop when line i + 1 was read; the last one is the
    // desktop at the end of the script, when it was reached.
    std::vector<DesktopState> views;

    // The traced calls of one function, in order.
    std::vector<Json> Calls(std::string_view fn) const
    {
        std::vector<Json> calls;
        for (const Json& call : trace) {
            if (call.at("fn") == fn)
                calls.push_back(call);
        }
        return calls;
    }

    std::vector<std::string> CallNames() const
    {
        std::vector<std::string> names;
        for (const Json& call : trace)
            names.push_back(call.at("fn").get<std::string>());
        return names;
    }

    // The driver requests' port numbers, decoded from their 4-byte buffers.
    std::vector<std::uint32_t> PortsSent() const
    {
        std::vector<std::uint32_t> ports;
        for (const Json& call : Calls("DeviceIoControl")) {
            const std::string hex = call.at("args").at(2).get<std::string>();
            std::uint32_t port = 0;
            for (std::size_t i = 0; i + 1 < hex.size() && i < 8; i += 2)
                port |= static_cast<std::uint32_t>(std::stoul(hex.substr(i, 2), nullptr, 16)) << (4 * i);
            ports.push_back(port);
        }
        return ports;
    }

    const Json& Snapshot(std::size_t index) const { return snapshots.at(index); }
    const Json& LastSnapshot() const { return snapshots.at(snapshots.size() - 1); }
};

// Hands out a script one line per refill and looks at the desktop before each.
class LineByLineScript final : public std::streambuf {
public:
    LineByLineScript(std::string text, std::function<void()> beforeEachLine)
        : m_text(std::move(text)), m_beforeEachLine(std::move(beforeEachLine))
    {
    }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        if (m_atEnd)
            return traits_type::eof();
        m_beforeEachLine();
        if (m_position >= m_text.size()) {
            m_atEnd = true;
            return traits_type::eof();
        }
        std::size_t end = m_text.find('\n', m_position);
        end = end == std::string::npos ? m_text.size() : end + 1;
        m_line = m_text.substr(m_position, end - m_position);
        m_position = end;
        setg(m_line.data(), m_line.data(), m_line.data() + m_line.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    std::string m_text;
    std::function<void()> m_beforeEachLine;
    std::string m_line;
    std::size_t m_position = 0;
    bool m_atEnd = false;
};

inline DesktopState LookAtDesktop(machine::Machine& machine)
{
    machine::WindowManager& windows = machine.Windows();
    DesktopState view;
    view.workArea = windows.WorkArea();
    view.active = windows.ActiveWindow();
    view.focus = windows.Focus();
    view.heldPorts = machine.Ports().HeldCount();
    for (machine::Hwnd hwnd : windows.TopLevelWindows()) {
        const machine::Window* window = windows.Find(hwnd);
        view.windows.push_back({hwnd, window->owner, window->text, window->rect, windows.ClientRectOf(hwnd),
                                window->visible, window->enabled, window->isMessageBox});
    }
    return view;
}

inline std::optional<std::string> ReadFileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A scratch folder that goes away with the test.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pervo-scenario-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "cannot make a scratch folder under " << pattern;
        m_path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A machine to run the utility on, set up the way the command line would,
// with its hive file in a scratch folder. Runs can be repeated on the same
// hive, as a person would start the program again.
class Scenario {
public:
    Scenario()
    {
        m_options.ports = {{1, {machine::PortKind::Simulated, {}}}, {2, {machine::PortKind::Simulated, {}}}};
        m_options.registryFile = HivePath().string();
    }

    // Replaces the default COM1 and COM2 with exactly the ports named here.
    Scenario& Ports(std::vector<std::pair<unsigned, machine::PortKind>> ports)
    {
        m_options.ports.clear();
        for (const auto& [number, kind] : ports)
            m_options.ports[number] = {kind, {}};
        return *this;
    }
    // Puts a real device file, such as a pseudo-terminal, behind port `number`.
    Scenario& DevicePort(unsigned number, std::string path)
    {
        m_options.ports[number] = {machine::PortKind::Device, std::move(path)};
        return *this;
    }
    Scenario& Driver(quorvex::DriverState state)
    {
        m_options.driver = state;
        return *this;
    }
    Scenario& RegistryAccess(machine::RegistryAccess access)
    {
        m_options.registryAccess = access;
        return *this;
    }
    Scenario& HelpSystem(bool present)
    {
        m_options.helpSystemPresent = present;
        return *this;
    }
    Scenario& Executable(std::string path)
    {
        m_executable = std::move(path);
        return *this;
    }
    // Writes the hive file as REGEDIT4 text, each line ended with CR LF.
    Scenario& Hive(std::initializer_list<std::string_view> lines)
    {
        std::string text;
        for (std::string_view line : lines) {
            text += line;
            text += "\r\n";
        }
        return HiveText(text);
    }
    Scenario& HiveText(const std::string& text)
    {
        std::ofstream out(HivePath(), std::ios::binary | std::ios::trunc);
        out << text;
        return *this;
    }
    // The product key with one value line, such as "\"CommPort\"=dword:00000003".
    Scenario& StoredValue(std::string_view valueLine)
    {
        return Hive({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola]", valueLine});
    }

    std::filesystem::path HivePath() const { return m_folder.Path() / "registry.reg"; }
    std::optional<std::string> HiveNow() const { return ReadFileText(HivePath()); }

    ScenarioRun Run(std::string_view script) const
    {
        ScenarioRun run;
        auto created = desktop::Host::Create(m_options, m_executable);
        if (!created) {
            run.status = 1;
            run.error = created.GetStatus().Message();
            run.hive = HiveNow();
            return run;
        }
        desktop::Host& host = *created.Value();

        char* traceBuffer = nullptr;
        std::size_t traceSize = 0;
        FILE* traceStream = open_memstream(&traceBuffer, &traceSize);
        host.GetMachine().GetTrace().Attach(traceStream);

        LineByLineScript lines(std::string(script), [&] { run.views.push_back(LookAtDesktop(host.GetMachine())); });
        std::istream scriptStream(&lines);
        std::ostringstream snapshots;
        desktop::ScriptRunner runner(host, scriptStream, snapshots);
        run.status = runner.Run();
        run.error = runner.Error();

        host.GetMachine().GetTrace().Attach(nullptr);
        std::fclose(traceStream);
        std::istringstream traceLines(std::string(traceBuffer, traceSize));
        std::free(traceBuffer);
        for (std::string line; std::getline(traceLines, line);)
            run.trace.push_back(Json::parse(line));

        std::istringstream snapshotLines(snapshots.str());
        for (std::string line; std::getline(snapshotLines, line);)
            run.snapshots.push_back(Json::parse(line));

        run.hive = HiveNow();
        return run;
    }

private:
    ScratchFolder m_folder;
    desktop::Options m_options;
    std::string m_executable = "/opt/pervo/pervo";
};

}  // namespace pervo::test
