#include "SerialPorts.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace pervo::machine {

// The handle behind an open port. It holds the device descriptor (or nothing,
// for a simulated port) and gives its number back when it goes away.
class HeldPort final : public OpenSerialPort {
public:
    HeldPort(SerialPorts& owner, unsigned number, int fd) : m_owner(&owner), m_number(number), m_fd(fd) {}

    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    ~HeldPort() override
    {
        if (m_owner == nullptr)
            return;
        // Closing the descriptor also drops our flock, so the device is free
        // before the number is; nobody can find the number free and the device
        // still taken.
        CloseDevice();
        m_owner->Release(m_number);
    }

    // The ports are going away while this handle still lives: let go of the
    // device now, while the system calls are still there to do it, and never
    // reach back afterwards.
    void Detach()
    {
        CloseDevice();
        m_owner = nullptr;
    }

private:
    void CloseDevice()
    {
        if (m_fd < 0)
            return;
        // There is nothing a caller could do about a failed close: Linux has
        // released the descriptor either way.
        m_owner->m_calls.Close(m_fd);
        m_fd = -1;
    }

    SerialPorts* m_owner;
    unsigned m_number;
    int m_fd;
};

namespace {

std::string PortName(unsigned number) { return "COM" + std::to_string(number); }

std::string Describe(int error) { return std::error_code(error, std::generic_category()).message(); }

// A descriptor that closes itself unless it is handed on, so that every early
// return below leaves nothing open.
class ScopedDescriptor {
public:
    ScopedDescriptor(SystemCalls& calls, int fd) : m_calls(calls), m_fd(fd) {}
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    ~ScopedDescriptor()
    {
        if (m_fd >= 0)
            m_calls.Close(m_fd);
    }

    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    SystemCalls& m_calls;
    int m_fd;
};

// What the kernel's refusal to open or look at a device means for whoever
// wanted the port. `what` names the port and its device, such as
// "COM3 (/dev/ttyUSB0)".
Status OpenFailure(const std::string& what, const std::string& portName, int error)
{
    const std::string reason = " (" + Describe(error) + ")";
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return {Error::NotFound, what + " has no device behind it" + reason +
                                     "; connect the adapter or assign " + portName + " to another device."};
    case EBUSY:
        return {Error::Busy, what + " is held exclusively by another program" + reason +
                                 "; close that program or choose another port."};
    // A port we are not allowed to open is not in use by anybody: telling the
    // user to close another program would send them looking for something
    // that is not there, so this says what is wrong instead.
    case EACCES:
    case EPERM:
    case EROFS:
        return {Error::AccessDenied, what + " may not be opened by this user" + reason +
                                         "; give the user read and write access to the device (usually by "
                                         "joining its group, such as dialout) or choose another port."};
    default:
        return {Error::Io, what + " could not be opened" + reason + "; check the device and try again."};
    }
}

// The process id written in a UUCP lock file: ASCII digits, usually padded
// with spaces to ten places and ended by a newline, or, in the old binary
// format, a four-byte integer. Anything else names nobody.
std::optional<pid_t> ParseLockOwner(std::string_view content)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };

    // Four bytes that are not all text are the binary form: read as text,
    // a binary id such as 8245 (bytes "5 \0\0") would name process 5.
    const bool text = std::all_of(content.begin(), content.end(), [&](char c) { return isBlank(c) || (c >= 0x20 && c < 0x7F); });
    if (content.size() == sizeof(std::int32_t) && !text) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        return binary > 0 ? std::optional<pid_t>(static_cast<pid_t>(binary)) : std::nullopt;
    }

    std::size_t start = 0;
    while (start < content.size() && (content[start] == ' ' || content[start] == '\t'))
        ++start;
    long long value = 0;
    const char* first = content.data() + start;
    const char* last = content.data() + content.size();
    if (first != last && *first >= '0' && *first <= '9') {
        const auto [end, error] = std::from_chars(first, last, value);
        // Some programs add their name after the number; what follows the
        // number only has to be set apart from it.
        if (error == std::errc() && (end == last || isBlank(*end))) {
            // Zero and negative numbers are not processes: kill() would take
            // them for a process group or for everybody, and answer yes.
            if (value <= 0 || value > INT_MAX)
                return std::nullopt;
            return static_cast<pid_t>(value);
        }
    }
    if (content.size() == sizeof(std::int32_t)) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        if (binary > 0)
            return static_cast<pid_t>(binary);
    }
    return std::nullopt;
}

std::string_view BaseName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

SerialPorts::SerialPorts(SystemCalls& calls, std::string lockFolder) : m_calls(calls), m_lockFolder(std::move(lockFolder))
{
}

SerialPorts::~SerialPorts()
{
    for (auto& [number, holder] : m_holders)
        holder->Detach();
}

void SerialPorts::Assign(unsigned number, PortAssignment assignment) { m_ports[number] = std::move(assignment); }

void SerialPorts::Release(unsigned number)
{
    m_held.erase(number);
    m_holders.erase(number);
}

Result<std::unique_ptr<OpenSerialPort>> SerialPorts::Hold(unsigned number, int fd)
{
    assert(!m_held.contains(number) && "a port number is held twice");
    auto holder = std::make_unique<HeldPort>(*this, number, fd);
    m_held.insert(number);
    m_holders[number] = holder.get();
    return std::unique_ptr<OpenSerialPort>(std::move(holder));
}

Result<std::unique_ptr<OpenSerialPort>> SerialPorts::Open(unsigned number)
{
    const std::string portName = PortName(number);
    const auto found = m_ports.find(number);
    if (found == m_ports.end())
        return Status(Error::NotFound, portName + " has no port behind it on this machine; choose one of the "
                                                  "machine's ports or give it one when starting the machine.");
    if (m_held.contains(number))
        return Status(Error::Busy, portName + " is already open on this machine; close the handle that holds "
                                              "it before opening it again.");

    const PortAssignment& assignment = found->second;
    switch (assignment.kind) {
    case PortKind::Simulated:
        return Hold(number, -1);
    case PortKind::SimulatedBusy:
        return Status(Error::Busy,
                      portName + " is in use by another program; close that program or choose another port.");
    case PortKind::Device:
        return OpenDevice(number, assignment.devicePath);
    }
    return Status(Error::InvalidArgument, portName + " stands for a kind of port this machine does not know; "
                                                     "assign it again as a simulated port or a device.");
}

Result<std::unique_ptr<OpenSerialPort>> SerialPorts::OpenDevice(unsigned number, const std::string& path)
{
    const std::string portName = PortName(number);
    if (path.empty())
        return Status(Error::NotFound, portName + " is assigned to a device without a path; assign it again "
                                                  "with the device file, such as /dev/ttyUSB0.");
    const std::string what = portName + " (" + path + ")";

    // Looking first keeps us from opening things that are not devices at all.
    struct stat info {};
    if (m_calls.Stat(path.c_str(), &info) != 0)
        return OpenFailure(what, portName, errno);
    if (!S_ISCHR(info.st_mode))
        return Status(Error::NotFound, what + " is not a serial device; assign " + portName +
                                           " to a terminal device such as /dev/ttyUSB0.");

    // The lock file is read before the device is opened: a program that keeps
    // to the UUCP convention should not see its port opened under it.
    if (Status locked = CheckLockFile(portName, path); !locked)
        return locked;

    // No O_NOCTTY and the port could become our controlling terminal; no
    // O_NONBLOCK and the open could wait for carrier forever.
    ScopedDescriptor device(m_calls, m_calls.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0));
    if (device.Get() < 0)
        return OpenFailure(what, portName, errno);

    // A node with no hardware behind it (an unplugged adapter's leftover, or
    // a device that is no terminal) opens, but cannot report its settings.
    // We only read them: probing must leave the line as it was.
    struct termios settings {};
    if (m_calls.Tcgetattr(device.Get(), &settings) != 0)
        return Status(Error::NotFound, what + " is not a serial port with hardware behind it (" + Describe(errno) +
                                           "); connect the adapter or assign " + portName + " to another device.");

    // The kernel lets root open a terminal that another program has made
    // exclusive, so we ask rather than trust the open. We never set it
    // ourselves: it would outlive us on a terminal someone else still has open.
    int exclusive = 0;
    if (m_calls.Ioctl(device.Get(), TIOCGEXCL, &exclusive) != 0) {
        // Older kernels and some drivers cannot answer; then the open and the
        // flock below are all we can go by.
        if (errno != ENOTTY && errno != EINVAL)
            return Status(Error::Io, what + " could not be asked whether another program holds it (" +
                                         Describe(errno) + "); check the device and try again.");
    } else if (exclusive != 0) {
        return Status(Error::Busy, what + " is held exclusively by another program; close that program or "
                                          "choose another port.");
    }

    if (m_calls.Flock(device.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return Status(Error::Busy,
                          what + " is locked by another program; close that program or choose another port.");
        return Status(Error::Io, what + " could not be locked for our use (" + Describe(errno) +
                                     "); check the device and try again.");
    }

    return Hold(number, device.Release());
}

Status SerialPorts::CheckLockFile(const std::string& portName, const std::string& path)
{
    const std::string lockPath = m_lockFolder + "/LCK.." + std::string(BaseName(path));
    // A missing lock file is the usual case, and one we cannot read says
    // nothing about the port; either way the other checks decide.
    ScopedDescriptor lock(m_calls, m_calls.Open(lockPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0));
    if (lock.Get() < 0)
        return Status::Ok();

    // Every format we know fits in a few bytes; a longer file is not one of them.
    char content[64];
    std::size_t used = 0;
    while (used < sizeof content) {
        const ssize_t count = m_calls.Read(lock.Get(), content + used, sizeof content - used);
        if (count < 0)
            return Status::Ok();
        if (count == 0)
            break;
        used += static_cast<std::size_t>(count);
    }
    const std::optional<pid_t> owner = ParseLockOwner(std::string_view(content, used));
    if (!owner)
        return Status::Ok();

    // A lock left behind by a process that has ended is stale. We leave it
    // where it is: it is not ours to remove, and the next program that keeps
    // to the convention will replace it.
    if (m_calls.Kill(*owner, 0) != 0 && errno != EPERM)
        return Status::Ok();
    return Status(Error::Busy, portName + " (" + path + ") is in use by process " + std::to_string(*owner) +
                                   ", which holds the lock file " + lockPath +
                                   "; close that program or choose another port.");
}

}  // namespace pervo::machine
