#pragma once
// Reading a file whole, and replacing a file so that no failure and no crash can leave it half written: the new
// contents go to a fresh file in the same folder, are flushed to the disk, and only then renamed over the old file,
// which a reader therefore sees either whole and old or whole and new. Also keeps a copy of a file under a timestamped
// name before it is replaced.
//
// Paths are UTF-8. Each operation returns false and says why in `whyNot` (one line) when it fails; it then leaves the
// files it was asked about as they were and removes whatever it had created.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// Writes `contents` as the file `path`, created or replaced. A new file gets the usual permissions (0666 less the
// umask, plus read and write for the group, so that the other accounts of a shared results folder can go on saving);
// a replaced one keeps its permission bits.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents, std::string& whyNot);

// Writes `contents` as the new file `path`, which must not exist yet: it appears whole or not at all, and a file of
// that name made meanwhile by someone else is never replaced. `nameTaken` tells that the name was taken.
bool WriteNewFileAtomically(const std::string& path, std::string_view contents, bool& nameTaken, std::string& whyNot);

// Removes the temporary files that ReplaceFileAtomically and WriteNewFileAtomically leave beside `path` when the
// process dies before it can rename or remove them. Only call this while no other writer of `path` can be at work
// (under the lock that writers of the file share). Returns how many were removed.
int RemoveStaleTemporaries(const std::string& path);

// Keeps the file `path` beside it as a damaged copy, named for a person and with the extension kept last:
// "Класс.xls" becomes "Класс (повреждённая копия 2026-12-11 14-05).xls" (" №2", " №3"… before the closing
// parenthesis when that name is taken). Puts that name into `backupPath`. The file itself stays in place.
bool KeepBackupOfFile(const std::string& path, std::string& backupPath, std::string& whyNot);

// One version of a file's contents: which file the path named and its size and times when it was looked at. A file
// replaced (renamed over) or changed in place since has another version.
struct FileVersion {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds
    std::int64_t changed = 0;   // nanoseconds, the inode's change time
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};
// The version of the file `path` names now, or nothing when it names none.
std::optional<FileVersion> VersionOfFile(const std::string& path);

enum class ReadOutcome {
    Read,
    Absent,      // there is no such file
    Forbidden,   // it exists, but this account may not read it
    TooLarge,    // larger than the caller accepts; nothing was kept
    Unreadable,  // any other failure
};
// Reads the whole file `path` into `bytes`, at most `maxBytes` of it. `version`, when given, receives the version of
// the file read, taken before reading, so that a change made while reading counts as another version.
ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::optional<FileVersion>* version = nullptr,
    std::size_t maxBytes = SIZE_MAX);

// Which file a path names now (its device and inode), or nothing when it names none.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// Lets every file the process creates from now on be readable and writable by its group, whatever umask the session
// set (a teacher's 077 would otherwise lock every pupil out of the shared results folder); the other bits of the
// umask are kept. For the start of the program, before any other thread runs.
void ShareNewFilesWithGroup();

// The file `utf8Path` opened for reading in binary mode, as a C stream; null when it cannot be opened.
std::FILE* OpenFileToRead(const std::string& utf8Path);
