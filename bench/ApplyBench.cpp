// What OK costs: the whole path from the click on OK until the machine is
// idle again (the dialog reads the list's text, the driver request, the
// registry write that reaches the disk, the dialog hiding), set beside one
// durable atomic write of a file the size of the hive, which every change
// that survives a crash must pay at least.
//
// It runs in-process, driving the real utility on its machine as a script
// would but without a process start or a script parser in the measurement:
// an input source opens the dialog from the tray, picks the other port, and
// times from the click on OK to the moment the machine asks for input again.
// Each OK has one floor write beside it, alternately just after and just
// before it, so that both see the same disk in the same states.
//
// Usage: pervo_apply_bench [--work DIR] [--cycles N] [--other-programs K]

#include "BenchSupport.h"
#include "RealisticHive.h"

#include "Host.h"
#include "UserActions.h"

#include <filesystem>
#include <fstream>

namespace pervo::bench {
namespace {

class OkCycles final : public machine::InputSource {
public:
    OkCycles(desktop::Host& host, std::string folder, std::string hive, int cycles)
        : m_host(host), m_folder(std::move(folder)), m_hive(std::move(hive)), m_cycles(cycles)
    {
    }

    void WaitForInput(machine::Machine& machine) override
    {
        desktop::UserActions actions(machine);
        std::string why;
        switch (m_step) {
        case Step::Open:
            if (m_clickedAt != 0.0)
                FinishCycle(machine);
            if (static_cast<int>(m_okTimes.size()) == m_cycles) {
                machine.EndSession();
                return;
            }
            why = actions.Tray(machine::TrayEvent::DoubleClick);
            m_step = Step::Select;
            break;
        case Step::Select:
            // The other port each time, so that every OK changes the setting.
            why = actions.Select(m_okTimes.size() % 2 == 0 ? "COM1:" : "COM2:");
            m_step = Step::Ok;
            break;
        case Step::Ok:
            // Every other floor write comes just before an OK rather than
            // just after one, so that neither always follows a flush.
            if (m_okTimes.size() % 2 == 1)
                FloorWrite();
            m_savesBefore = machine.GetRegistry().SaveCount();
            m_requestsBefore = m_host.Driver()->Requests();
            m_clickedAt = Now();
            why = actions.Click("OK");
            m_step = Step::Open;
            break;
        }
        if (!why.empty())
            Fail("the utility did not take the action: " + why);
    }

    const std::vector<double>& OkTimes() const { return m_okTimes; }
    const std::vector<double>& FloorTimes() const { return m_floorTimes; }
    off_t HiveSize() const { return m_hiveSize; }

private:
    enum class Step { Open, Select, Ok };

    void FinishCycle(machine::Machine& machine)
    {
        const double done = Now();
        m_okTimes.push_back(done - m_clickedAt);
        m_clickedAt = 0.0;
        if (machine.GetRegistry().SaveCount() != m_savesBefore + 1 || m_host.Driver()->Requests() != m_requestsBefore + 1)
            Fail("an OK did not make exactly one registry write and one driver request");
        m_hiveSize = FileSize(m_hive);
        if (m_okTimes.size() % 2 == 1)
            FloorWrite();
    }

    void FloorWrite()
    {
        const std::string same(static_cast<std::size_t>(m_hiveSize), 'x');
        const double start = Now();
        DurableAtomicWrite(m_folder, "floor.reg", same);
        m_floorTimes.push_back(Now() - start);
    }

    desktop::Host& m_host;
    std::string m_folder;
    std::string m_hive;
    int m_cycles;
    Step m_step = Step::Open;
    double m_clickedAt = 0.0;
    std::uint64_t m_savesBefore = 0;
    std::uint32_t m_requestsBefore = 0;
    off_t m_hiveSize = 0;
    std::vector<double> m_okTimes;
    std::vector<double> m_floorTimes;
};

}  // namespace
}  // namespace pervo::bench

int main(int argc, char** argv)
{
    using namespace pervo;
    using namespace pervo::bench;
    const std::string work = Option(argc, argv, "--work", "/tmp");
    const int cycles = IntOption(argc, argv, "--cycles", 200);
    const int otherPrograms = IntOption(argc, argv, "--other-programs", 0);

    const std::string folder = MakeWorkFolder(work, "apply");
    const std::string hive = folder + "/registry.reg";
    if (otherPrograms > 0)
        std::ofstream(hive, std::ios::binary) << RealisticHive(otherPrograms);

    desktop::Options options;
    options.registryFile = hive;
    auto host = desktop::Host::Create(options, "/usr/bin/pervo");
    if (!host)
        Fail(host.GetStatus().Message());
    OkCycles input(*host.Value(), folder, hive, cycles);
    host.Value()->RunUtility(input);
    if (static_cast<int>(input.OkTimes().size()) != cycles)
        Fail("the utility ended before every OK was measured");

    const double ok = Median(input.OkTimes());
    const double floor = Median(input.FloorTimes());
    const std::string size = std::to_string(input.HiveSize()) + " bytes";
    const std::string what = otherPrograms > 0
        ? "Apply: OK in a hive shared with " + std::to_string(otherPrograms) + " other programs' keys (" + size + ")"
        : "Apply: OK, the utility's own hive (" + size + ")";
    PrintRow(what, Duration(ok), Duration(floor) + " (durable atomic write of " + size + ")", Ratio(ok, floor),
             "in-process, the real utility on its machine: click on OK until the machine is idle again (driver "
             "request, lock, re-read, write, fsync, rename, fsync of the folder); median of "
                 + std::to_string(cycles) + " OKs, each beside one floor write (write, fsync, rename, fsync of the folder)");
    std::filesystem::remove_all(folder);
    return 0;
}
