// In-process benchmarks with Google Benchmark: reading and writing a hive's
// text, and delivering one message. Each stands beside a floor that does the
// least the same job can do: look at every byte of the hive once, copy the
// hive's bytes once, call a window procedure through one indirect call, or
// pass a message through a plain queue to such a call.
//
// It prints one Markdown row per pair (medians of 10 repetitions); with
// --console it prints Google Benchmark's own report as well.

#include "BenchSupport.h"
#include "RealisticHive.h"

#include "Machine.h"
#include "Registry.h"
#include "WindowMessages.h"

#include <benchmark/benchmark.h>

#include <deque>
#include <functional>
#include <map>

namespace pervo::bench {
namespace {

namespace msg = machine::msg;

constexpr int kOtherPrograms = 60;
constexpr int kRepetitions = 10;

const std::string& HiveText()
{
    static const std::string text = RealisticHive(kOtherPrograms)
        + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varholm\\KX-9 Pervola]\r\n"
          "\"CommPort\"=dword:00000002\r\n\r\n";
    return text;
}

void ParseHive(benchmark::State& state)
{
    const std::string& text = HiveText();
    for (auto _ : state) {
        auto tree = machine::ParseRegedit4(text, "bench.reg");
        if (!tree)
            state.SkipWithError(tree.GetStatus().Message().c_str());
        benchmark::DoNotOptimize(tree);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Reading every byte once and finding the lines: no parser can do less.
void ScanHiveLines(benchmark::State& state)
{
    const std::string& text = HiveText();
    for (auto _ : state) {
        auto lines = std::count(text.begin(), text.end(), '\n');
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void FormatHive(benchmark::State& state)
{
    auto tree = machine::ParseRegedit4(HiveText(), "bench.reg");
    if (!tree)
        Fail(tree.GetStatus().Message());
    for (auto _ : state) {
        std::string text = machine::FormatRegedit4(*tree.Value());
        benchmark::DoNotOptimize(text);
    }
}

// Making a new string of the same bytes: no writer can do less.
void CopyHiveText(benchmark::State& state)
{
    const std::string& text = HiveText();
    for (auto _ : state) {
        std::string copy(text.data(), text.size());
        benchmark::DoNotOptimize(copy);
    }
}

// A machine with one hidden dialog holding the port list, filled as the
// utility fills it, and an OK button.
struct DialogFixture {
    std::unique_ptr<machine::Machine> machine;
    machine::Hwnd dialog = 0;
    machine::Hwnd combo = 0;

    DialogFixture()
    {
        auto created = machine::Machine::Create(machine::MachineConfig{});
        if (!created)
            Fail(created.GetStatus().Message());
        machine = std::move(created.Value());
        machine::DialogLayout layout;
        layout.cx = 180;
        layout.cy = 60;
        layout.caption = "Bench";
        machine::DialogItemLayout list;
        list.windowClass = machine::WindowClass::ComboBox;
        list.style = msg::WsVisible | msg::WsTabStop | 0x0003 /* CBS_DROPDOWNLIST */;
        list.x = 10, list.y = 10, list.cx = 80, list.cy = 60;
        list.id = 1000;
        machine::DialogItemLayout ok;
        ok.windowClass = machine::WindowClass::Button;
        ok.style = msg::WsVisible | msg::WsTabStop | msg::BsDefPushButton;
        ok.x = 100, ok.y = 10, ok.cx = 50, ok.cy = 14;
        ok.id = 1;
        ok.text = "OK";
        layout.items = {list, ok};
        dialog = machine->Windows().CreateDialog(
            layout, 0, [](machine::Hwnd, std::uint32_t message, std::uintptr_t, std::intptr_t) -> std::intptr_t {
                return message == msg::User + 1 ? 1 : 0;
            },
            0);
        combo = machine->Windows().GetDlgItem(dialog, 1000);
        for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:"})
            machine->Windows().Send(combo, msg::ComboAddString, 0, reinterpret_cast<std::intptr_t>(port));
    }
};

// One message sent to the drop-down list: CB_SELECTSTRING, as the utility
// sends it when it restores the port.
void SendSelectString(benchmark::State& state)
{
    DialogFixture fixture;
    auto& windows = fixture.machine->Windows();
    const char* const ports[] = {"COM3:", "COM6:"};
    std::size_t i = 0;
    for (auto _ : state) {
        auto result = windows.Send(fixture.combo, msg::ComboSelectString, static_cast<std::uintptr_t>(-1),
                                   reinterpret_cast<std::intptr_t>(ports[i++ & 1]));
        benchmark::DoNotOptimize(result);
    }
}

// The least a sent message costs: one call through a window procedure.
void CallWindowProcedure(benchmark::State& state)
{
    std::vector<std::string> items{"COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:"};
    machine::WindowProc proc = [&items](machine::Hwnd, std::uint32_t, std::uintptr_t, std::intptr_t lParam) {
        return static_cast<std::intptr_t>(items.size()) + lParam;
    };
    benchmark::DoNotOptimize(proc);
    for (auto _ : state) {
        auto result = proc(0x10002, msg::ComboSelectString, 0, 0);
        benchmark::DoNotOptimize(result);
    }
}

// A whole round of the message loop: post to the dialog, get it back from
// the queue, dispatch it to the dialog's procedure.
void PostGetDispatch(benchmark::State& state)
{
    DialogFixture fixture;
    auto& windows = fixture.machine->Windows();
    machine::QueuedMessage message;
    for (auto _ : state) {
        windows.Post(fixture.dialog, msg::User + 1, 0, 0);
        if (!windows.GetMessage(message))
            state.SkipWithError("the message queue ended");
        auto result = windows.Dispatch(message);
        benchmark::DoNotOptimize(result);
    }
}

// The least a posted message costs: a push and a pop on a plain queue, and
// one call through a procedure.
void PlainQueueRound(benchmark::State& state)
{
    std::deque<machine::QueuedMessage> queue;
    machine::WindowProc proc = [](machine::Hwnd, std::uint32_t message, std::uintptr_t, std::intptr_t) {
        return static_cast<std::intptr_t>(message);
    };
    for (auto _ : state) {
        queue.push_back({0x10000, msg::User + 1, 0, 0, machine::kNoModifier, {}});
        const machine::QueuedMessage message = queue.front();
        queue.pop_front();
        auto result = proc(message.hwnd, message.message, message.wParam, message.lParam);
        benchmark::DoNotOptimize(result);
    }
}

// Collects the median of each benchmark's repetitions.
class MedianCollector final : public benchmark::BenchmarkReporter {
public:
    explicit MedianCollector(benchmark::BenchmarkReporter* console) : m_console(console) {}

    bool ReportContext(const Context& context) override { return m_console ? m_console->ReportContext(context) : true; }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        if (m_console)
            m_console->ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = run.GetAdjustedRealTime() * 1e-9;  // nanoseconds
        }
    }

    void Finalize() override
    {
        if (m_console)
            m_console->Finalize();
    }

    double Median(const std::string& name) const
    {
        const auto found = m_medians.find(name);
        if (found == m_medians.end())
            Fail("no result for " + name);
        return found->second;
    }

private:
    benchmark::BenchmarkReporter* m_console;
    std::map<std::string, double> m_medians;
};

void Register(const char* name, void (*function)(benchmark::State&))
{
    benchmark::RegisterBenchmark(name, function)
        ->Unit(benchmark::kNanosecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true)
        ->MinTime(0.05);
}

}  // namespace
}  // namespace pervo::bench

int main(int argc, char** argv)
{
    using namespace pervo::bench;
    bool console = false;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--console")
            console = true;
        else
            arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());

    Register("ParseHive", ParseHive);
    Register("ScanHiveLines", ScanHiveLines);
    Register("FormatHive", FormatHive);
    Register("CopyHiveText", CopyHiveText);
    Register("SendSelectString", SendSelectString);
    Register("CallWindowProcedure", CallWindowProcedure);
    Register("PostGetDispatch", PostGetDispatch);
    Register("PlainQueueRound", PlainQueueRound);

    benchmark::ConsoleReporter consoleReporter;
    MedianCollector collector(console ? &consoleReporter : nullptr);
    benchmark::RunSpecifiedBenchmarks(&collector);

    const std::string size = std::to_string(HiveText().size()) + " bytes";
    const std::string how = "Google Benchmark, median of " + std::to_string(kRepetitions) + " repetitions";
    const auto row = [&](const std::string& what, const char* pervo, const char* floor, const std::string& floorWhat,
                         const std::string& detail) {
        const double p = collector.Median(pervo);
        const double f = collector.Median(floor);
        PrintRow(what, Duration(p), Duration(f) + " (" + floorWhat + ")", Ratio(p, f), how + "; " + detail);
    };
    row("Hive parse (`ParseRegedit4`)", "ParseHive", "ScanHiveLines", "find the lines: `std::count` of `\\n`",
        "a hive of " + std::to_string(kOtherPrograms) + " programs' keys and the utility's, " + size
            + "; " + Format("%.0f MB/s", static_cast<double>(HiveText().size()) / collector.Median("ParseHive") / 1e6));
    row("Hive write (`FormatRegedit4`)", "FormatHive", "CopyHiveText", "copy the text into a new string",
        "the same hive, from its tree to " + size + " of text");
    row("One sent message (`WindowManager::Send`, CB_SELECTSTRING)", "SendSelectString", "CallWindowProcedure",
        "one call through a `std::function` window procedure",
        "the drop-down list of a dialog holding COM1: to COM8:, selecting COM3: and COM6: in turn");
    row("One message loop round (Post, GetMessage, Dispatch)", "PostGetDispatch", "PlainQueueRound",
        "push and pop on a `std::deque`, one `std::function` call",
        "a message posted to a hidden dialog, taken from the queue, dispatched to its dialog procedure");
    benchmark::Shutdown();
    return 0;
}
