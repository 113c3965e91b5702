#include "platform/FileLock.h"

#include "platform/WinPaths.h"

#include <thread>

#include <io.h>
#include <windows.h>

namespace {

// How often a waiting lock is tried again: short against the few milliseconds a save holds it.
constexpr std::chrono::milliseconds RetryInterval {5};

// The lock file, which no one renames or removes.
int OpenForLocking(const std::string& path, DWORD disposition)
{
    return OpenSharedDescriptor(path, disposition, false);
}

bool IsRegularFile(int fd)
{
    const HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info {};
    return ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info)
        && !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

}  // namespace

bool TryLockDescriptor(int fd)
{
    const HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // The whole file, however long it grows: every byte a 64-bit offset can name.
    OVERLAPPED from {};
    return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &from) != 0;
}

std::unique_ptr<FileLock> FileLock::Acquire(
    const std::string& path, std::chrono::milliseconds wait, std::string& whyNot, bool& busy, bool& forbidden)
{
    busy = false;
    forbidden = false;
    const int fd = OpenForLocking(path, OPEN_ALWAYS);
    if (fd < 0) {
        const DWORD code = ::GetLastError();
        forbidden = code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT;
        ::SetLastError(code);
        whyNot = "cannot open the lock file " + path + ": " + WindowsErrorText(::GetLastError());
        return nullptr;
    }
    if (!IsRegularFile(fd)) {
        ::_close(fd);
        whyNot = "the lock file " + path + " is not a regular file";
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (TryLockDescriptor(fd))
            return std::unique_ptr<FileLock>(new FileLock(fd));
        const DWORD code = ::GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_SHARING_VIOLATION && code != ERROR_IO_PENDING) {
            whyNot = "cannot lock " + path + ": " + WindowsErrorText(code);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            busy = true;
            whyNot = "another program held " + path + " for longer than " + std::to_string(wait.count()) + " ms";
            break;
        }
        std::this_thread::sleep_for(RetryInterval);
    }
    ::_close(fd);
    return nullptr;
}

std::unique_ptr<FileLock> FileLock::TryExisting(const std::string& path)
{
    const int fd = OpenForLocking(path, OPEN_EXISTING);
    if (fd < 0)
        return nullptr;
    if (!IsRegularFile(fd) || !TryLockDescriptor(fd)) {
        ::_close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock()
{
    // Closing the handle lets go of the lock.
    ::_close(fd);
}
