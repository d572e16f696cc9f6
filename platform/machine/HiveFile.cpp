#include "HiveFile.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <system_error>

namespace pervo::machine {
namespace {

constexpr mode_t kFileMode = 0644;
constexpr mode_t kFolderMode = 0755;

// A signal may interrupt any call that waits; the seam hands that back to us
// like any other failure (a test's seam does not retry), and here it only
// means "ask again": RetryOnInterrupt from SystemCalls.h.

Status FailedCall(int error, std::string_view action, const std::string& path, std::string_view after = {})
{
    Error kind = Error::Io;
    std::string advice;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        kind = Error::DiskFull;
        advice = "Free some disk space and try again.";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        kind = Error::AccessDenied;
        advice = "Check that you may write to the registry file's folder, or choose another file with --registry.";
        break;
    default:
        advice = "Check the disk and try again.";
        break;
    }
    std::string message = "Cannot " + std::string(action) + " " + path + ": " + std::generic_category().message(error)
        + ". " + advice;
    if (!after.empty())
        message += " " + std::string(after);
    return Status(kind, std::move(message));
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Closes a descriptor through the seam when it goes out of scope.
class ScopedDescriptor {
public:
    ScopedDescriptor(SystemCalls& calls, int fd) : m_calls(calls), m_fd(fd) {}
    ~ScopedDescriptor()
    {
        if (m_fd >= 0)
            m_calls.Close(m_fd);
    }
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;

    int Get() const { return m_fd; }

    // Closes now, so that the caller sees a failure that close reports (a
    // network file system may report a failed write only here).
    int Close()
    {
        const int result = m_calls.Close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    SystemCalls& m_calls;
    int m_fd;
};

constexpr std::string_view kHiveUnchanged = "The registry file was left as it was.";

}  // namespace

HiveFile::HiveFile(std::string path, SystemCalls& calls)
    : m_path(std::move(path)),
      m_folder(FolderOf(m_path)),
      m_lockPath(m_path + ".lock"),
      m_tempPath(m_path + ".tmp"),
      m_calls(calls)
{
}

HiveFile::~HiveFile()
{
    if (m_lockFd >= 0) {
        // Closing the descriptor releases the lock too; unlocking first only
        // makes the release independent of any copy of the descriptor.
        m_calls.Flock(m_lockFd, LOCK_UN);
        m_calls.Close(m_lockFd);
    }
}

Result<std::optional<std::string>> HiveFile::Read()
{
    const int fd = RetryOnInterrupt([&] { return m_calls.Open(m_path.c_str(), O_RDONLY | O_CLOEXEC, 0); });
    if (fd < 0) {
        if (errno == ENOENT)
            return std::optional<std::string>();
        return FailedCall(errno, "open the registry file", m_path);
    }
    ScopedDescriptor descriptor(m_calls, fd);
    std::string text;
    std::size_t chunk = 64 * 1024;
    for (;;) {
        const std::size_t used = text.size();
        text.resize(used + chunk);
        const ssize_t got = RetryOnInterrupt([&] { return m_calls.Read(fd, text.data() + used, chunk); });
        if (got < 0)
            return FailedCall(errno, "read the registry file", m_path);
        text.resize(used + static_cast<std::size_t>(got));
        if (got == 0)
            break;
        // Growing the request with the text keeps a large file linear to read.
        if (text.size() >= chunk)
            chunk = text.size();
    }
    return std::optional<std::string>(std::move(text));
}

Status HiveFile::CreateFolders()
{
    struct stat info {};
    if (m_calls.Stat(m_folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return Status::Ok();
    for (std::size_t next = 0; next != std::string::npos;) {
        next = m_folder.find('/', next + 1);
        const std::string prefix = m_folder.substr(0, next);
        if (m_calls.Mkdir(prefix.c_str(), kFolderMode) != 0 && errno != EEXIST)
            return FailedCall(errno, "create the folder", prefix);
    }
    return Status::Ok();
}

Status HiveFile::Lock()
{
    if (auto status = CreateFolders(); !status)
        return status;
    const int fd = RetryOnInterrupt(
        [&] { return m_calls.Open(m_lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, kFileMode); });
    if (fd < 0)
        return FailedCall(errno, "open the lock file", m_lockPath, kHiveUnchanged);
    if (RetryOnInterrupt([&] { return m_calls.Flock(fd, LOCK_EX); }) != 0) {
        const int error = errno;
        m_calls.Close(fd);
        return FailedCall(error, "lock", m_lockPath, kHiveUnchanged);
    }
    m_lockFd = fd;
    return Status::Ok();
}

Status HiveFile::Replace(std::string_view text)
{
    m_replaced = false;
    // The folder is opened before anything is written, so that failing to
    // open it cannot come after the hive has been replaced.
    const int folderFd = RetryOnInterrupt(
        [&] { return m_calls.Open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0); });
    if (folderFd < 0)
        return FailedCall(errno, "open the folder", m_folder, kHiveUnchanged);
    ScopedDescriptor folder(m_calls, folderFd);

    // A temporary file left by a writer that was killed halfway is removed
    // first, so that the new file gets fresh permissions and no link planted
    // in its place is followed.
    m_calls.Unlink(m_tempPath.c_str());
    const int fd = RetryOnInterrupt([&] {
        return m_calls.Open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    });
    if (fd < 0)
        return FailedCall(errno, "create the temporary file", m_tempPath, kHiveUnchanged);
    ScopedDescriptor temp(m_calls, fd);

    const auto failAndRemove = [&](std::string_view action, const std::string& path) {
        const Status status = FailedCall(errno, action, path, kHiveUnchanged);
        if (temp.Get() >= 0)
            temp.Close();
        m_calls.Unlink(m_tempPath.c_str());
        return status;
    };

    // A write may take only part of what it is given; the rest follows.
    while (!text.empty()) {
        const ssize_t wrote = RetryOnInterrupt([&] { return m_calls.Write(fd, text.data(), text.size()); });
        if (wrote < 0)
            return failAndRemove("write the temporary file", m_tempPath);
        if (wrote == 0) {
            errno = EIO;
            return failAndRemove("write the temporary file", m_tempPath);
        }
        text.remove_prefix(static_cast<std::size_t>(wrote));
    }
    if (RetryOnInterrupt([&] { return m_calls.Fsync(fd); }) != 0)
        return failAndRemove("flush the temporary file", m_tempPath);
    if (temp.Close() != 0)
        return failAndRemove("close the temporary file", m_tempPath);
    if (m_calls.Rename(m_tempPath.c_str(), m_path.c_str()) != 0)
        return failAndRemove("rename " + m_tempPath + " to", m_path);
    m_replaced = true;

    // Some file systems cannot flush a folder and say so; there is nothing
    // more to make sure of there.
    if (RetryOnInterrupt([&] { return m_calls.Fsync(folder.Get()); }) != 0 && errno != EINVAL
        && errno != EOPNOTSUPP) {
        return FailedCall(errno, "flush the folder", m_folder,
                          "The registry file holds the change, but it may be lost if the machine stops now.");
    }
    return Status::Ok();
}

}  // namespace pervo::machine
