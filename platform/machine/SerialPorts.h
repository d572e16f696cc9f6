#pragma once

#include "Status.h"
#include "SystemCalls.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace pervo::machine {

// What stands behind one serial port number.
enum class PortKind {
    Simulated,      // a port that opens
    SimulatedBusy,  // a port that another program holds open
    Device,         // a real device file, such as /dev/ttyUSB0
};

struct PortSpec {
    PortKind kind = PortKind::Simulated;
    std::string devicePath;  // for PortKind::Device only
};

// A port opened for exclusive reading and writing. It stays held, and so busy
// for everybody else, until this object is destroyed.
class OpenSerialPort {
public:
    virtual ~OpenSerialPort() = default;
};

// The machine's serial ports, COM1 and up.
//
// A real device is opened with O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC and taken
// with flock(LOCK_EX|LOCK_NB). It counts as busy when that lock fails, when
// TIOCGEXCL reports that its terminal is in exclusive use, or when a live UUCP
// lock file LCK..<name> exists in the lock folder; it counts as missing when the
// path does not exist or has no hardware behind it (tcgetattr fails). Opening
// never changes the line settings and never sets TIOCEXCL.
class SerialPorts {
public:
    explicit SerialPorts(SystemCalls& calls, std::string lockFolder = "/var/lock");
    ~SerialPorts();

    void Assign(unsigned number, PortSpec spec);
    const std::map<unsigned, PortSpec>& Assigned() const { return m_ports; }

    // Opens port `number`. Fails with Error::NotFound when nothing stands behind
    // it, and with Error::Busy when another program (or another open handle of
    // this machine) holds it.
    Result<std::unique_ptr<OpenSerialPort>> Open(unsigned number);

    // How many ports this machine holds open right now.
    std::size_t HeldCount() const { return m_held.size(); }

private:
    friend class HeldPort;
    void Release(unsigned number) { m_held.erase(number); }

    SystemCalls& m_calls;
    std::string m_lockFolder;
    std::map<unsigned, PortSpec> m_ports;
    std::set<unsigned> m_held;
};

}  // namespace pervo::machine
