#include "SystemCalls.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace pervo::machine {
namespace {

class KernelCalls final : public SystemCalls {
public:
    int Open(const char* path, int flags, mode_t mode) override
    {
        return RetryOnInterrupt([&] { return ::open(path, flags, mode); });
    }
    // close() must not be retried on Linux: the descriptor is gone either way.
    int Close(int fd) override { return ::close(fd); }
    ssize_t Read(int fd, void* buffer, size_t size) override
    {
        return RetryOnInterrupt([&] { return ::read(fd, buffer, size); });
    }
    ssize_t Write(int fd, const void* buffer, size_t size) override
    {
        return RetryOnInterrupt([&] { return ::write(fd, buffer, size); });
    }
    int Fsync(int fd) override { return RetryOnInterrupt([&] { return ::fsync(fd); }); }
    int Rename(const char* from, const char* to) override { return ::rename(from, to); }
    int Unlink(const char* path) override { return ::unlink(path); }
    int Mkdir(const char* path, mode_t mode) override { return ::mkdir(path, mode); }
    int Stat(const char* path, struct stat* info) override { return ::stat(path, info); }
    int Flock(int fd, int operation) override
    {
        return RetryOnInterrupt([&] { return ::flock(fd, operation); });
    }
    int Ioctl(int fd, unsigned long request, void* argument) override
    {
        return RetryOnInterrupt([&] { return ::ioctl(fd, request, argument); });
    }
    int Tcgetattr(int fd, struct termios* attributes) override { return ::tcgetattr(fd, attributes); }
    int Kill(pid_t pid, int signal) override { return ::kill(pid, signal); }
};

}  // namespace

SystemCalls& RealSystemCalls()
{
    static KernelCalls calls;
    return calls;
}

}  // namespace pervo::machine
