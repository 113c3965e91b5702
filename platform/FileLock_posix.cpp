#include "platform/FileLock.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PosixFiles.h"

namespace {

// How often a waiting lock is tried again: short against the few milliseconds a save holds it.
constexpr std::chrono::milliseconds RetryInterval {5};

int OpenForLocking(const std::string& path, int flags)
{
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | flags, 0666);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

bool IsRegularFile(int fd)
{
    struct stat info { };
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool TryLockDescriptor(int fd)
{
    struct flock request { };
    request.l_type = F_WRLCK;
    request.l_whence = SEEK_SET;
    request.l_start = 0;
    request.l_len = 0;  // the whole file, however long it grows
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &request) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

std::unique_ptr<FileLock> FileLock::Acquire(
    const std::string& path, std::chrono::milliseconds wait, std::string& whyNot, bool& busy, bool& forbidden)
{
    busy = false;
    forbidden = false;
    const int fd = OpenForLocking(path, O_CREAT);
    if (fd < 0) {
        forbidden = errno == EACCES || errno == EPERM || errno == EROFS;
        whyNot = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!IsRegularFile(fd)) {
        ::close(fd);
        whyNot = "the lock file " + path + " is not a regular file";
        return nullptr;
    }
    // Every account of the group locks the same file: it must stay theirs to open.
    GiveGroupReadWrite(fd);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (TryLockDescriptor(fd))
            return std::unique_ptr<FileLock>(new FileLock(fd));
        if (errno != EAGAIN && errno != EACCES) {
            whyNot = "cannot lock " + path + ": " + std::strerror(errno);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            busy = true;
            whyNot = "another program held " + path + " for longer than " + std::to_string(wait.count()) + " ms";
            break;
        }
        std::this_thread::sleep_for(RetryInterval);
    }
    ::close(fd);
    return nullptr;
}

std::unique_ptr<FileLock> FileLock::TryExisting(const std::string& path)
{
    const int fd = OpenForLocking(path, 0);
    if (fd < 0)
        return nullptr;
    if (!IsRegularFile(fd) || !TryLockDescriptor(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock()
{
    ::close(fd);
}
