// The journal's files on POSIX systems: open-file-description locks (fcntl), fdatasync for durable appends, rename for
// the switch from the starting name to the journal's own. Leaves the journal's format to its caller.

#include "platform/JournalFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileLock.h"
#include "platform/PosixFiles.h"

namespace {

constexpr std::string_view StartingSuffix = ".new";

std::string Describe(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// Whether the open file still has a name: a program that replayed it first has removed it.
bool StillLinked(int fd)
{
    struct stat info { };
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink > 0;
}

// Gives the starting file the journal's own name, never over another journal: names are unique per run, and a rename
// that would replace one fails instead. File systems without the no-replace rename (NFS, SMB) get a plain one.
bool RenameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

JournalFile::JournalFile(int fd, std::string path)
    : fd(fd)
    , path(std::move(path))
{
}

JournalFile::~JournalFile()
{
    ::close(fd);
}

std::unique_ptr<JournalFile> JournalFile::Create(
    const std::string& base, std::string_view suffix, std::string_view firstLine, std::string& whyNot)
{
    const std::string starting = base + std::string(StartingSuffix);
    const int fd = ::open(starting.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        whyNot = Describe("cannot create the journal", starting);
        return nullptr;
    }
    const std::string final = base + std::string(suffix);
    if (!GiveGroupReadWrite(fd) || !TryLockDescriptor(fd) || !WriteAll(fd, firstLine) || ::fdatasync(fd) != 0
        || !RenameWithoutReplacing(starting, final)) {
        whyNot = Describe("cannot start the journal", final);
        ::unlink(starting.c_str());
        ::close(fd);
        return nullptr;
    }
    SyncFolder(FolderOf(final));
    return std::unique_ptr<JournalFile>(new JournalFile(fd, final));
}

std::unique_ptr<JournalFile> JournalFile::OpenLeftBehind(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (!StillLinked(fd) || !TryLockDescriptor(fd) || !StillLinked(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<JournalFile>(new JournalFile(fd, path));
}

bool JournalFile::Append(std::string_view bytes, std::string& whyNot)
{
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (WriteAll(fd, bytes) && ::fdatasync(fd) == 0)
        return true;
    whyNot = Describe("cannot write the journal", path);
    // A part written stays no part of the next entry.
    if (before >= 0 && ::ftruncate(fd, before) == 0)
        ::fdatasync(fd);
    return false;
}

bool JournalFile::Truncate(std::size_t size, std::string& whyNot)
{
    if (::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::fdatasync(fd) == 0)
        return true;
    whyNot = Describe("cannot cut back the journal", path);
    return false;
}

bool JournalFile::Rewrite(std::string_view bytes, std::string& whyNot)
{
    // Cut to nothing first, so the bytes land at the start whether or not the file was opened for appending.
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size())
        && ::fdatasync(fd) == 0)
        return true;
    whyNot = Describe("cannot rewrite the journal", path);
    return false;
}

bool JournalFile::ReadAll(std::string& bytes) const
{
    bytes.clear();
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

void JournalFile::Remove()
{
    if (::unlink(path.c_str()) == 0)
        SyncFolder(FolderOf(path));
}

bool JournalFile::MoveAside(const std::string& newPath, std::string& whyNot)
{
    if (::rename(path.c_str(), newPath.c_str()) != 0) {
        whyNot = Describe("cannot rename the journal", path);
        return false;
    }
    SyncFolder(FolderOf(newPath));
    path = newPath;
    return true;
}

std::vector<std::string> FilesNamed(const std::string& folder, std::string_view prefix, std::string_view suffix)
{
    std::vector<std::string> names;
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) && name.ends_with(suffix))
            names.emplace_back(name);
    }
    ::closedir(listing);
    return names;
}

int RemoveDeadStartingFiles(const std::string& folder, std::string_view prefix, std::chrono::seconds age)
{
    int removed = 0;
    const std::time_t now = std::time(nullptr);
    for (const std::string& name : FilesNamed(folder, prefix, StartingSuffix)) {
        const std::string path = folder + name;
        const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info { };
        // A program that is making its journal right now holds the lock, or took it a moment ago: only an old,
        // unlocked starting file is a dead program's.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && now - info.st_mtime >= age.count()
            && TryLockDescriptor(fd) && ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    if (removed > 0)
        SyncFolder(folder.empty() ? "." : folder);
    return removed;
}

std::string UniqueRunName()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !host[0])
        std::strcpy(host, "localhost");
    for (char* c = host; *c; ++c)
        if (*c == '/' || *c == '.')
            *c = '_';
    std::random_device random;
    return std::string(host) + "-" + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000u);
}
