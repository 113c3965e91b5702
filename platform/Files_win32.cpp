#include "platform/Files.h"

#include "platform/TemporaryNames.h"

#include "platform/Utf8.h"
#include "platform/WinPaths.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string_view>
#include <thread>
#include <utility>

#include <windows.h>

namespace {

std::string Describe(const std::string& what, const std::string& path, DWORD code)
{
    return what + " " + path + ": " + WindowsErrorText(code);
}

// The folder part of `path` with its separator (empty for a bare name), and the name after it.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
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

// Every open of ours lets others read, write, rename and delete the file, as POSIX does: a reader never stops a
// save from renaming a new file over the one it reads.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A virus scanner or an indexer may hold a file that was just written for a moment; a rename or removal refused
// for that is tried again for up to a second.
template <typename Call> bool WithRetries(Call call)
{
    for (int attempt = 0;; ++attempt) {
        if (call())
            return true;
        const DWORD code = ::GetLastError();
        if (attempt >= 50 || (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::SetLastError(code);
    }
}

void RemoveFile(const std::string& path)
{
    const std::wstring wide = WidePath(path);
    WithRetries([&] { return ::DeleteFileW(wide.c_str()) != 0; });
}

bool WriteAll(HANDLE file, std::string_view contents)
{
    while (!contents.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, contents.data(), chunk, &written, nullptr))
            return false;
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        contents.remove_prefix(written);
    }
    return true;
}

// A fresh temporary file beside `path`, filled and flushed to the disk; its name goes to `temporary`.
bool WriteTemporaryBeside(
    const std::string& path, std::string_view contents, std::string& temporary, std::string& whyNot)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD code = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = TemporaryNameBeside(path);
        file = ::CreateFileW(
            WidePath(temporary).c_str(), GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        code = ::GetLastError();
        if (file == INVALID_HANDLE_VALUE && code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        whyNot = Describe("cannot create a new file beside", path, code);
        return false;
    }
    bool done = WriteAll(file, contents);
    if (!done)
        whyNot = Describe("cannot write the new", path, ::GetLastError());
    else if (!(done = ::FlushFileBuffers(file) != 0))
        whyNot = Describe("cannot flush the new", path, ::GetLastError());
    ::CloseHandle(file);
    if (!done)
        RemoveFile(temporary);
    return done;
}

std::string Timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_s(&local, &now);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Flushes the file `path` to the disk; false when it cannot be opened or flushed.
bool FlushFile(const std::string& path)
{
    const HANDLE file = ::CreateFileW(
        WidePath(path).c_str(), GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = ::FlushFileBuffers(file) != 0;
    ::CloseHandle(file);
    return flushed;
}

// The file's identity and times, from a handle opened for its attributes only.
std::optional<FileVersion> VersionOfHandle(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info {};
    FILE_BASIC_INFO basic {};
    if (!::GetFileInformationByHandle(file, &info)
        || !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return std::nullopt;
    // FILETIME counts 100 ns.
    const auto nanoseconds = [](std::int64_t ticks) { return ticks * 100; };
    FileVersion version;
    version.device = info.dwVolumeSerialNumber;
    version.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    version.size
        = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    version.modified = nanoseconds(basic.LastWriteTime.QuadPart);
    version.changed = nanoseconds(basic.ChangeTime.QuadPart);
    return version;
}

HANDLE OpenForAttributes(const std::string& path)
{
    return ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view contents, std::string& whyNot)
{
    std::string temporary;
    if (!WriteTemporaryBeside(path, contents, temporary, whyNot))
        return false;
    const std::wstring from = WidePath(temporary);
    const std::wstring to = WidePath(path);
    // The rename is written through to the disk before it returns.
    if (!WithRetries([&] {
            return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        })) {
        whyNot = Describe("cannot rename the new file over", path, ::GetLastError());
        RemoveFile(temporary);
        return false;
    }
    return true;
}

bool WriteNewFileAtomically(const std::string& path, std::string_view contents, bool& nameTaken, std::string& whyNot)
{
    nameTaken = false;
    std::string temporary;
    if (!WriteTemporaryBeside(path, contents, temporary, whyNot))
        return false;
    const std::wstring from = WidePath(temporary);
    const std::wstring to = WidePath(path);
    // Without MOVEFILE_REPLACE_EXISTING the rename refuses a name that exists.
    if (!WithRetries([&] { return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0; })) {
        const DWORD code = ::GetLastError();
        nameTaken = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
        whyNot = Describe("cannot create", path, code);
        RemoveFile(temporary);
        return false;
    }
    return true;
}

int RemoveStaleTemporaries(const std::string& path)
{
    const auto [folder, name] = SplitPath(path);
    WIN32_FIND_DATAW entry {};
    const HANDLE listing = ::FindFirstFileW(WidePath(folder + "*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return 0;
    int removed = 0;
    do {
        const std::string entryName = ToUtf8(entry.cFileName);
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTemporaryNameOf(entryName, name)
            && ::DeleteFileW(WidePath(folder + entryName).c_str()))
            ++removed;
    } while (::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    return removed;
}

bool KeepBackupOfFile(const std::string& path, std::string& backupPath, std::string& whyNot)
{
    const std::string stem = path + "." + Timestamp();
    const std::wstring from = WidePath(path);
    for (int number = 1; number < 1000; ++number) {
        backupPath = number == 1 ? stem : stem + "-" + std::to_string(number);
        const std::wstring to = WidePath(backupPath);
        // A hard link keeps the very file under the new name at once, whatever its size and even when it cannot be
        // read; where the file system has none, a copy that refuses an existing name.
        if (::CreateHardLinkW(to.c_str(), from.c_str(), nullptr))
            return true;
        DWORD code = ::GetLastError();
        if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
            continue;
        if (::CopyFileW(from.c_str(), to.c_str(), TRUE)) {
            if (FlushFile(backupPath))
                return true;
            code = ::GetLastError();
            RemoveFile(backupPath);
            whyNot = Describe("cannot flush", backupPath, code);
            return false;
        }
        code = ::GetLastError();
        if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
            continue;
        whyNot = Describe("cannot copy " + path + " to", backupPath, code);
        return false;
    }
    whyNot = "no free backup name beside " + path;
    return false;
}

std::optional<FileVersion> VersionOfFile(const std::string& path)
{
    const HANDLE file = OpenForAttributes(path);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<FileVersion> version = VersionOfHandle(file);
    ::CloseHandle(file);
    return version;
}

ReadOutcome ReadWholeFile(
    const std::string& path, std::string& bytes, std::optional<FileVersion>* version, std::size_t maxBytes)
{
    bytes.clear();
    if (version)
        version->reset();
    const HANDLE file = ::CreateFileW(
        WidePath(path).c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return ReadOutcome::Absent;
        return code == ERROR_ACCESS_DENIED ? ReadOutcome::Forbidden : ReadOutcome::Unreadable;
    }
    LARGE_INTEGER size {};
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
            ::CloseHandle(file);
            return ReadOutcome::TooLarge;
        }
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    if (version)
        *version = VersionOfHandle(file);
    char buffer[65536];
    DWORD got = 0;
    bool failed = false;
    // The size looked at may change while reading: the limit holds for what is read, too.
    while (bytes.size() <= maxBytes) {
        if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            failed = true;
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    ::CloseHandle(file);
    if (bytes.size() > maxBytes) {
        bytes.clear();
        return ReadOutcome::TooLarge;
    }
    return failed ? ReadOutcome::Unreadable : ReadOutcome::Read;
}

void ShareNewFilesWithGroup()
{
    // Windows folders hand their access rights down to the files made in them: the results folder's rights (the
    // installer lets the Users group modify it) already reach every file the program makes there.
}

std::optional<FileIdentity> IdentifyFile(const std::string& path)
{
    const std::optional<FileVersion> version = VersionOfFile(path);
    if (!version)
        return std::nullopt;
    return FileIdentity {version->device, version->inode};
}

std::FILE* OpenFileToRead(const std::string& utf8Path)
{
    return ::_wfopen(WidePath(utf8Path).c_str(), L"rb");
}
