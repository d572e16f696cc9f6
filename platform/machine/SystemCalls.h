#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>

#include <cerrno>
#include <cstddef>

namespace pervo::machine {

// Every system call the machine makes goes through this seam, so that tests can
// make any one of them fail (EINTR, EBUSY, ENOSPC, EIO) without a real fault.
// The functions keep the POSIX contract: -1 and errno on failure.
class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    virtual int Open(const char* path, int flags, mode_t mode) = 0;
    virtual int Close(int fd) = 0;
    virtual ssize_t Read(int fd, void* buffer, size_t size) = 0;
    virtual ssize_t Write(int fd, const void* buffer, size_t size) = 0;
    virtual int Fsync(int fd) = 0;
    virtual int Rename(const char* from, const char* to) = 0;
    virtual int Unlink(const char* path) = 0;
    virtual int Mkdir(const char* path, mode_t mode) = 0;
    virtual int Stat(const char* path, struct stat* info) = 0;
    virtual int Flock(int fd, int operation) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual int Tcgetattr(int fd, struct termios* attributes) = 0;
    virtual int Kill(pid_t pid, int signal) = 0;
};

// Runs a call again while a signal interrupts it; any other failure goes back
// to the caller unchanged.
template <typename Call>
auto RetryOnInterrupt(Call call)
{
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR)
            return result;
    }
}

// The calls as the kernel answers them.
SystemCalls& RealSystemCalls();

}  // namespace pervo::machine
