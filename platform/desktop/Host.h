#pragma once

#include "Machine.h"
#include "Options.h"
#include "QuorvexDevice.h"

#include <memory>
#include <string>

namespace pervo::desktop {

// One machine with the utility on it: built from the command line's options,
// it runs the utility until the utility ends or the session does.
class Host {
public:
    static machine::Result<std::unique_ptr<Host>> Create(const Options& options, std::string executablePath,
                                                         machine::SystemCalls& calls = machine::RealSystemCalls());

    machine::Machine& GetMachine() { return *m_machine; }
    const quorvex::QuorvexDevice* Driver() const { return m_driver; }
    bool Running() const { return m_running; }
    bool Ended() const { return m_ended; }

    // Runs the utility with `input` as the source of the person's actions.
    // Returns when the utility has ended or the session is over; the process's
    // handles are then closed and its windows gone, as at a real exit.
    int RunUtility(machine::InputSource& input);

private:
    Host() = default;

    std::unique_ptr<machine::Machine> m_machine;
    quorvex::QuorvexDevice* m_driver = nullptr;
    bool m_running = false;
    bool m_ended = false;
};

}  // namespace pervo::desktop
