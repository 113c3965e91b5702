// The journal's files on Windows: byte-range locks (LockFileEx, through FileLock's TryLockDescriptor),
// FlushFileBuffers for durable appends, MoveFileExW with write-through for the switch from the starting name to the
// journal's own. Files are opened sharing delete, so a journal can be renamed or removed while it is open, as on
// POSIX systems. Leaves the journal's format to its caller.

#include "platform/JournalFile.h"

#include "platform/FileLock.h"
#include "platform/Utf8.h"
#include "platform/WinPaths.h"

#include <ctime>
#include <random>

#include <io.h>
#include <windows.h>

namespace {

constexpr std::string_view StartingSuffix = ".new";
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

std::string Describe(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + WindowsErrorText(::GetLastError());
}

// A journal's file, which its program renames and removes while it is open.
int Open(const std::string& path, DWORD disposition)
{
    return OpenSharedDescriptor(path, disposition, true);
}

// Whether the open file is a regular file that still has a name: a program that replayed it first has removed it.
bool StillLinked(int fd)
{
    const HANDLE file = HandleOf(fd);
    BY_HANDLE_FILE_INFORMATION info {};
    FILE_STANDARD_INFO standard {};
    return ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info)
        && !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        && ::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) && !standard.DeletePending
        && standard.NumberOfLinks > 0;
}

bool WriteAt(HANDLE file, std::uint64_t offset, std::string_view bytes)
{
    while (!bytes.empty()) {
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, &at) || written == 0)
            return false;
        bytes.remove_prefix(written);
        offset += written;
    }
    return true;
}

std::uint64_t SizeOf(HANDLE file)
{
    LARGE_INTEGER size {};
    return ::GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : ~std::uint64_t {0};
}

bool CutTo(HANDLE file, std::uint64_t size)
{
    LARGE_INTEGER at {};
    at.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

}  // namespace

JournalFile::JournalFile(int fd, std::string path)
    : fd(fd)
    , path(std::move(path))
{
}

JournalFile::~JournalFile()
{
    ::_close(fd);
}

std::unique_ptr<JournalFile> JournalFile::Create(
    const std::string& base, std::string_view suffix, std::string_view firstLine, std::string& whyNot)
{
    const std::string starting = base + std::string(StartingSuffix);
    const int fd = Open(starting, CREATE_NEW);
    if (fd < 0) {
        whyNot = Describe("cannot create the journal", starting);
        return nullptr;
    }
    const std::string final = base + std::string(suffix);
    const HANDLE file = HandleOf(fd);
    if (!TryLockDescriptor(fd) || !WriteAt(file, 0, firstLine) || !::FlushFileBuffers(file)
        || !::MoveFileExW(WidePath(starting).c_str(), WidePath(final).c_str(), MOVEFILE_WRITE_THROUGH)) {
        whyNot = Describe("cannot start the journal", final);
        ::DeleteFileW(WidePath(starting).c_str());
        ::_close(fd);
        return nullptr;
    }
    return std::unique_ptr<JournalFile>(new JournalFile(fd, final));
}

std::unique_ptr<JournalFile> JournalFile::OpenLeftBehind(const std::string& path)
{
    const int fd = Open(path, OPEN_EXISTING);
    if (fd < 0)
        return nullptr;
    if (!StillLinked(fd) || !TryLockDescriptor(fd) || !StillLinked(fd)) {
        ::_close(fd);
        return nullptr;
    }
    return std::unique_ptr<JournalFile>(new JournalFile(fd, path));
}

bool JournalFile::Append(std::string_view bytes, std::string& whyNot)
{
    const HANDLE file = HandleOf(fd);
    const std::uint64_t before = SizeOf(file);
    if (before != ~std::uint64_t {0} && WriteAt(file, before, bytes) && ::FlushFileBuffers(file))
        return true;
    whyNot = Describe("cannot write the journal", path);
    // A part written stays no part of the next entry.
    if (before != ~std::uint64_t {0} && CutTo(file, before))
        ::FlushFileBuffers(file);
    return false;
}

bool JournalFile::Truncate(std::size_t size, std::string& whyNot)
{
    const HANDLE file = HandleOf(fd);
    if (CutTo(file, size) && ::FlushFileBuffers(file))
        return true;
    whyNot = Describe("cannot cut back the journal", path);
    return false;
}

bool JournalFile::Rewrite(std::string_view bytes, std::string& whyNot)
{
    const HANDLE file = HandleOf(fd);
    if (CutTo(file, 0) && WriteAt(file, 0, bytes) && ::FlushFileBuffers(file))
        return true;
    whyNot = Describe("cannot rewrite the journal", path);
    return false;
}

bool JournalFile::ReadAll(std::string& bytes) const
{
    bytes.clear();
    const HANDLE file = HandleOf(fd);
    char buffer[65536];
    std::uint64_t offset = 0;
    for (;;) {
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &got, &at))
            return ::GetLastError() == ERROR_HANDLE_EOF;
        if (got == 0)
            return true;
        bytes.append(buffer, got);
        offset += got;
    }
}

void JournalFile::Remove()
{
    ::DeleteFileW(WidePath(path).c_str());
}

bool JournalFile::MoveAside(const std::string& newPath, std::string& whyNot)
{
    if (!::MoveFileExW(
            WidePath(path).c_str(), WidePath(newPath).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        whyNot = Describe("cannot rename the journal", path);
        return false;
    }
    path = newPath;
    return true;
}

std::vector<std::string> FilesNamed(const std::string& folder, std::string_view prefix, std::string_view suffix)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry {};
    const HANDLE listing = ::FindFirstFileW(WidePath((folder.empty() ? "./" : folder) + "*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = ToUtf8(entry.cFileName);
        if (name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) && name.ends_with(suffix))
            names.push_back(name);
    } while (::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    return names;
}

int RemoveDeadStartingFiles(const std::string& folder, std::string_view prefix, std::chrono::seconds age)
{
    int removed = 0;
    FILETIME nowFileTime {};
    ::GetSystemTimeAsFileTime(&nowFileTime);
    const auto ticks = [](const FILETIME& t) { return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    for (const std::string& name : FilesNamed(folder, prefix, StartingSuffix)) {
        const std::string path = folder + name;
        const int fd = Open(path, OPEN_EXISTING);
        if (fd < 0)
            continue;
        BY_HANDLE_FILE_INFORMATION info {};
        // A program that is making its journal right now holds the lock, or took it a moment ago: only an old,
        // unlocked starting file is a dead program's. File times count 100 ns.
        const bool old = ::GetFileInformationByHandle(HandleOf(fd), &info)
            && ticks(nowFileTime) >= ticks(info.ftLastWriteTime)
            && (ticks(nowFileTime) - ticks(info.ftLastWriteTime)) / 10000000u >= std::uint64_t(age.count());
        if (old && StillLinked(fd) && TryLockDescriptor(fd) && ::DeleteFileW(WidePath(path).c_str()))
            ++removed;
        ::_close(fd);
    }
    return removed;
}

std::string UniqueRunName()
{
    wchar_t host[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    std::string name = ::GetComputerNameW(host, &length) && length > 0 ? ToUtf8(std::wstring(host, length)) : "";
    if (name.empty())
        name = "localhost";
    for (char& c : name)
        if (c == '/' || c == '\\' || c == '.' || c == ':')
            c = '_';
    std::random_device random;
    return name + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(random() % 1000000u);
}
