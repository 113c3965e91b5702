#pragma once
// An exclusive lock on a file, taken with fcntl open-file-description locks on Linux and LockFileEx byte-range locks on
// Windows: the kinds that NFS and SMB pass on to the server, so programs on different machines sharing a folder
// exclude each other too. The system drops the lock when the process ends, however it ends. Two locks taken through
// different opens conflict even inside one process.
//
// A lock file is never removed: removing it would let a second program lock a new file of the same name while a
// third still holds the old one.

#include <chrono>
#include <memory>
#include <string>

class FileLock {
public:
    // Locks the file `path`, created when missing (0666 less the umask, plus read and write for the group), waiting
    // at most `wait` for another holder to let go. Null, with `whyNot` set, when the file cannot be opened or the
    // lock was not had in time; `busy` tells the second case, `forbidden` that this account may not open the file.
    static std::unique_ptr<FileLock> Acquire(
        const std::string& path, std::chrono::milliseconds wait, std::string& whyNot, bool& busy, bool& forbidden);
    // Locks an existing file without waiting and without creating it. Null when it is absent, is not a regular file,
    // or is locked by someone else.
    static std::unique_ptr<FileLock> TryExisting(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // The open file, readable and writable, for whoever needs its contents under the lock (on Windows a C run-time
    // descriptor of the file's handle).
    int Descriptor() const { return fd; }

private:
    explicit FileLock(int fd)
        : fd(fd)
    {
    }
    int fd;
};

// Locks the open file `fd` exclusively without waiting; false when someone else holds a lock on it.
bool TryLockDescriptor(int fd);
