#pragma once

#include "Status.h"
#include "SystemCalls.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace pervo::machine {

class HeldPort;

// What stands behind one serial port number.
enum class PortKind {
    Simulated,      // a port that opens
    SimulatedBusy,  // a port that another program holds open
    Device,         // a real device file, such as /dev/ttyUSB0
};

struct PortAssignment {
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

    // Open ports point back at the ports that lent them out, so the ports
    // stay where they were made.
    SerialPorts(const SerialPorts&) = delete;
    SerialPorts& operator=(const SerialPorts&) = delete;

    void Assign(unsigned number, PortAssignment assignment);
    const std::map<unsigned, PortAssignment>& Assigned() const { return m_ports; }

    // Opens port `number`. Fails with Error::NotFound when nothing stands behind
    // it, with Error::Busy when another program (or another open handle of this
    // machine) holds it, and with Error::AccessDenied when this user may not
    // open the device at all. Anything else the kernel refuses is Error::Io.
    Result<std::unique_ptr<OpenSerialPort>> Open(unsigned number);

    // How many ports this machine holds open right now.
    std::size_t HeldCount() const { return m_held.size(); }

private:
    friend class HeldPort;
    void Release(unsigned number);
    Result<std::unique_ptr<OpenSerialPort>> Hold(unsigned number, int fd);
    Result<std::unique_ptr<OpenSerialPort>> OpenDevice(unsigned number, const std::string& path);
    Status CheckLockFile(const std::string& portName, const std::string& path);

    SystemCalls& m_calls;
    std::string m_lockFolder;
    std::map<unsigned, PortAssignment> m_ports;
    std::set<unsigned> m_held;
    // The open ports by number, so that ports still open when the machine
    // goes away can be closed here rather than reach back into freed memory.
    std::map<unsigned, HeldPort*> m_holders;
};

}  // namespace pervo::machine
