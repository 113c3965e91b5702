#include "platform/Files.h"

#include "platform/TemporaryNames.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PosixFiles.h"

namespace {

std::string Describe(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// Creates a file no one else can have prepared: O_EXCL refuses an existing name and O_NOFOLLOW a planted symbolic
// link, which matters in a folder other accounts can write.
// The file is shared with the folder's group, whatever the umask.
int CreateFreshFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 && !GiveGroupReadWrite(fd)) {
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = error;
        return -1;
    }
    return fd;
}

// The folder part of `path` with its slash (empty for a bare name), and the name after it.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// A temporary name beside `path`, in its folder.
std::string TemporaryNameBeside(const std::string& path)
{
    const auto [folder, name] = SplitPath(path);
    return ::TemporaryNameBeside(folder, name);
}

// The contents and the permission bits of the new file reach the disk before the rename makes it visible.
bool FillAndSync(int fd, std::string_view contents, const std::string& path, std::string& whyNot)
{
    struct stat old { };
    if (::stat(path.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
        whyNot = Describe("cannot set the permissions of the new", path);
        return false;
    }
    if (!WriteAll(fd, contents)) {
        whyNot = Describe("cannot write the new", path);
        return false;
    }
    if (::fsync(fd) != 0) {
        whyNot = Describe("cannot flush the new", path);
        return false;
    }
    return true;
}

// A fresh temporary file beside `path`, filled and flushed; its name goes to `temporary`.
bool WriteTemporaryBeside(
    const std::string& path, std::string_view contents, std::string& temporary, std::string& whyNot)
{
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryNameBeside(path);
        fd = CreateFreshFile(temporary);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        whyNot = Describe("cannot create a new file beside", path);
        return false;
    }
    bool done = FillAndSync(fd, contents, path, whyNot);
    if (::close(fd) != 0 && done) {
        whyNot = Describe("cannot close the new", path);
        done = false;
    }
    if (!done)
        ::unlink(temporary.c_str());
    return done;
}

// The local time to the minute, as a person reads it in a file name: "2026-12-11 14-05".
std::string Timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H-%M", &local);
    return text;
}

// The one read loop: a read interrupted by a signal is tried again.
ssize_t ReadSome(int fd, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

bool CopyFileContents(int from, int to)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ReadSome(from, buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return ::fsync(to) == 0;
        if (!WriteAll(to, std::string_view(buffer, static_cast<std::size_t>(got))))
            return false;
    }
}

enum class CopyOutcome { Copied, NameTaken, Failed };

// The copy for when a hard link is refused (a file system without links, or a file of another account under the
// kernel's protected_hardlinks rule).
CopyOutcome CopyToFreshFile(const std::string& path, const std::string& backupPath, std::string& whyNot)
{
    const int to = CreateFreshFile(backupPath);
    if (to < 0) {
        whyNot = Describe("cannot create", backupPath);
        return errno == EEXIST ? CopyOutcome::NameTaken : CopyOutcome::Failed;
    }
    const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool copied = from >= 0;
    if (!copied)
        whyNot = Describe("cannot read", path);
    else if (!(copied = CopyFileContents(from, to)))
        whyNot = Describe("cannot copy to", backupPath);
    if (from >= 0)
        ::close(from);
    if (::close(to) != 0 && copied) {
        whyNot = Describe("cannot close", backupPath);
        copied = false;
    }
    if (!copied)
        ::unlink(backupPath.c_str());
    return copied ? CopyOutcome::Copied : CopyOutcome::Failed;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view contents, std::string& whyNot)
{
    std::string temporary;
    if (!WriteTemporaryBeside(path, contents, temporary, whyNot))
        return false;
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        whyNot = Describe("cannot rename the new file over", path);
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(FolderOf(path));
    return true;
}

bool WriteNewFileAtomically(const std::string& path, std::string_view contents, bool& nameTaken, std::string& whyNot)
{
    nameTaken = false;
    std::string temporary;
    if (!WriteTemporaryBeside(path, contents, temporary, whyNot))
        return false;
    // link, unlike rename, refuses a name that exists.
    const bool linked = ::link(temporary.c_str(), path.c_str()) == 0;
    if (!linked) {
        nameTaken = errno == EEXIST;
        whyNot = Describe("cannot create", path);
    }
    ::unlink(temporary.c_str());
    SyncFolder(FolderOf(path));
    return linked;
}

int RemoveStaleTemporaries(const std::string& path)
{
    const auto [folder, name] = SplitPath(path);
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (IsTemporaryNameOf(entry->d_name, name) && ::unlink((folder + entry->d_name).c_str()) == 0)
            ++removed;
    }
    ::closedir(listing);
    if (removed > 0)
        SyncFolder(FolderOf(path));
    return removed;
}

bool KeepBackupOfFile(const std::string& path, std::string& backupPath, std::string& whyNot)
{
    // The extension stays last, so that the copy opens by a double click like the workbook.
    const auto [folder, name] = SplitPath(path);
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem
        = folder + (hasExtension ? name.substr(0, dot) : name) + " (повреждённая копия " + Timestamp();
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    for (int number = 1; number < 1000; ++number) {
        backupPath = stem + (number == 1 ? std::string() : " №" + std::to_string(number)) + ")" + extension;
        // A hard link keeps the very file under the new name at once, whatever its size and even when it cannot be
        // read.
        if (::link(path.c_str(), backupPath.c_str()) == 0) {
            SyncFolder(FolderOf(path));
            return true;
        }
        if (errno == EEXIST)
            continue;
        const CopyOutcome outcome = CopyToFreshFile(path, backupPath, whyNot);
        if (outcome == CopyOutcome::NameTaken)
            continue;
        if (outcome == CopyOutcome::Failed)
            return false;
        SyncFolder(FolderOf(path));
        return true;
    }
    whyNot = "no free backup name beside " + path;
    return false;
}

namespace {

FileVersion VersionOf(const struct stat& info)
{
    const auto nanoseconds
        = [](const timespec& time) { return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec; };
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_size), nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

}  // namespace

std::optional<FileVersion> VersionOfFile(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return VersionOf(info);
}

ReadOutcome ReadWholeFile(
    const std::string& path, std::string& bytes, std::optional<FileVersion>* version, std::size_t maxBytes)
{
    bytes.clear();
    if (version)
        version->reset();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ReadOutcome::Absent;
        return errno == EACCES || errno == EPERM ? ReadOutcome::Forbidden : ReadOutcome::Unreadable;
    }
    struct stat info { };
    if (::fstat(fd, &info) == 0) {
        if (info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) > maxBytes) {
            ::close(fd);
            return ReadOutcome::TooLarge;
        }
        if (info.st_size > 0)
            bytes.reserve(static_cast<std::size_t>(info.st_size));
        if (version)
            *version = VersionOf(info);
    }
    char buffer[65536];
    ssize_t got = 0;
    // The size looked at may change while reading: the limit holds for what is read, too.
    while ((got = ReadSome(fd, buffer, sizeof buffer)) > 0 && bytes.size() <= maxBytes)
        bytes.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    if (bytes.size() > maxBytes) {
        bytes.clear();
        return ReadOutcome::TooLarge;
    }
    return got == 0 ? ReadOutcome::Read : ReadOutcome::Unreadable;
}

std::optional<FileIdentity> IdentifyFile(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool GiveGroupReadWrite(int fd)
{
    struct stat info { };
    if (::fstat(fd, &info) != 0)
        return false;
    constexpr mode_t GroupReadWrite = S_IRGRP | S_IWGRP;
    if (info.st_uid != ::geteuid() || (info.st_mode & GroupReadWrite) == GroupReadWrite)
        return true;
    return ::fchmod(fd, (info.st_mode & 07777) | GroupReadWrite) == 0;
}

void ShareNewFilesWithGroup()
{
    ::umask(::umask(0) & ~mode_t {S_IRGRP | S_IWGRP});
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool WriteAll(int fd, std::string_view contents)
{
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::FILE* OpenFileToRead(const std::string& utf8Path)
{
    return std::fopen(utf8Path.c_str(), "rb");
}
