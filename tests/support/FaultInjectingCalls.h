#pragma once

// A SystemCalls double for tests: it passes every call on to another
// SystemCalls (the kernel's by default), records what was called and on which
// path, and can make chosen calls fail with a chosen errno or make writes
// short, so that tests reach the error paths without a real full disk or a
// broken drive.

#include "SystemCalls.h"

#include <cerrno>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pervo::test {

enum class Call { Open, Close, Read, Write, Fsync, Rename, Unlink, Mkdir, Stat, Flock, Ioctl, Tcgetattr, Kill };

inline std::string_view CallName(Call call)
{
    constexpr std::string_view kNames[] = {"Open",  "Close", "Read",  "Write", "Fsync",     "Rename", "Unlink",
                                           "Mkdir", "Stat",  "Flock", "Ioctl", "Tcgetattr", "Kill"};
    return kNames[static_cast<int>(call)];
}

struct CallRecord {
    Call call;
    std::string path;  // the path named, or the one the descriptor was opened with; "" when unknown
    int flags = 0;     // Open's flags, Flock's operation
};

class FaultInjectingCalls final : public machine::SystemCalls {
public:
    explicit FaultInjectingCalls(machine::SystemCalls& inner = machine::RealSystemCalls()) : m_inner(inner) {}

    // Makes the nth call of this kind from now on (1 = the next one) fail with
    // the error. The failing call is not passed on, except Close, which closes
    // and then reports the error, as Linux does.
    void FailNth(Call call, int nth, int error) { m_faults.push_back({call, Count(call) + nth, error}); }

    // Makes every call of this kind from now on fail with the error.
    void FailAll(Call call, int error) { m_faults.push_back({call, kEveryCall, error}); }

    void StopFailing() { m_faults.clear(); }

    // Each write takes at most this many bytes, as a write to a nearly full
    // disk or one cut short by a signal does.
    void LimitWrites(std::size_t maxBytes) { m_writeLimit = maxBytes; }

    // Runs before each call is passed on (or failed), with what is called.
    void BeforeEachCall(std::function<void(const CallRecord&)> hook) { m_hook = std::move(hook); }

    // How many calls of this kind were made since construction.
    int Count(Call call) const
    {
        const auto found = m_counts.find(call);
        return found == m_counts.end() ? 0 : found->second;
    }

    // The calls made since construction or the last ClearLog, in order.
    const std::vector<CallRecord>& Log() const { return m_log; }
    void ClearLog() { m_log.clear(); }

    int Open(const char* path, int flags, mode_t mode) override
    {
        if (Begin({Call::Open, path, flags}))
            return -1;
        const int fd = m_inner.Open(path, flags, mode);
        if (fd >= 0)
            m_paths[fd] = path;
        return fd;
    }
    int Close(int fd) override
    {
        const bool fail = Begin({Call::Close, PathOf(fd)});
        const int error = errno;
        m_paths.erase(fd);
        const int result = m_inner.Close(fd);
        if (fail) {
            errno = error;
            return -1;
        }
        return result;
    }
    ssize_t Read(int fd, void* buffer, size_t size) override
    {
        return Begin({Call::Read, PathOf(fd)}) ? -1 : m_inner.Read(fd, buffer, size);
    }
    ssize_t Write(int fd, const void* buffer, size_t size) override
    {
        if (Begin({Call::Write, PathOf(fd)}))
            return -1;
        return m_inner.Write(fd, buffer, size < m_writeLimit ? size : m_writeLimit);
    }
    int Fsync(int fd) override { return Begin({Call::Fsync, PathOf(fd)}) ? -1 : m_inner.Fsync(fd); }
    int Rename(const char* from, const char* to) override
    {
        return Begin({Call::Rename, std::string(from) + " -> " + to}) ? -1 : m_inner.Rename(from, to);
    }
    int Unlink(const char* path) override { return Begin({Call::Unlink, path}) ? -1 : m_inner.Unlink(path); }
    int Mkdir(const char* path, mode_t mode) override
    {
        return Begin({Call::Mkdir, path}) ? -1 : m_inner.Mkdir(path, mode);
    }
    int Stat(const char* path, struct stat* info) override
    {
        return Begin({Call::Stat, path}) ? -1 : m_inner.Stat(path, info);
    }
    int Flock(int fd, int operation) override
    {
        return Begin({Call::Flock, PathOf(fd), operation}) ? -1 : m_inner.Flock(fd, operation);
    }
    int Ioctl(int fd, unsigned long request, void* argument) override
    {
        return Begin({Call::Ioctl, PathOf(fd)}) ? -1 : m_inner.Ioctl(fd, request, argument);
    }
    int Tcgetattr(int fd, struct termios* attributes) override
    {
        return Begin({Call::Tcgetattr, PathOf(fd)}) ? -1 : m_inner.Tcgetattr(fd, attributes);
    }
    int Kill(pid_t pid, int signal) override { return Begin({Call::Kill, ""}) ? -1 : m_inner.Kill(pid, signal); }

private:
    static constexpr int kEveryCall = -1;

    struct Fault {
        Call call;
        int atCount;  // kEveryCall, or the value of Count(call) that fails
        int error;
    };

    // Records the call and tells whether it is to fail; errno is set if so.
    bool Begin(CallRecord record)
    {
        const int count = ++m_counts[record.call];
        if (m_hook)
            m_hook(record);
        const Call call = record.call;
        m_log.push_back(std::move(record));
        for (auto fault = m_faults.begin(); fault != m_faults.end(); ++fault) {
            if (fault->call != call || (fault->atCount != kEveryCall && fault->atCount != count))
                continue;
            const int error = fault->error;
            if (fault->atCount != kEveryCall)
                m_faults.erase(fault);
            errno = error;
            return true;
        }
        return false;
    }

    std::string PathOf(int fd) const
    {
        const auto found = m_paths.find(fd);
        return found == m_paths.end() ? std::string() : found->second;
    }

    machine::SystemCalls& m_inner;
    std::vector<Fault> m_faults;
    std::map<Call, int> m_counts;
    std::map<int, std::string> m_paths;
    std::vector<CallRecord> m_log;
    std::size_t m_writeLimit = static_cast<std::size_t>(-1);
    std::function<void(const CallRecord&)> m_hook;
};

// Which call of its kind (1-based) the first logged call of that kind whose
// path contains pathPart was; 0 when there was none.
inline int OccurrenceOf(const std::vector<CallRecord>& log, Call call, std::string_view pathPart)
{
    int occurrence = 0;
    for (const auto& record : log) {
        if (record.call != call)
            continue;
        ++occurrence;
        if (record.path.find(pathPart) != std::string::npos)
            return occurrence;
    }
    return 0;
}

}  // namespace pervo::test
