#pragma once
// Reading a file whole, and replacing a file so that no failure and no crash can leave it half written: the new
// contents go to a fresh file in the same folder, are flushed to the disk, and only then renamed over the old file,
// which a reader therefore sees either whole and old or whole and new. Also keeps a copy of a file under a timestamped
// name before it is replaced.
//
// Paths are UTF-8. Each operation returns false and says why in `whyNot` (one line) when it fails; it then leaves the
// files it was asked about as they were and removes whatever it had created.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Writes `contents` as the file `path`, created or replaced. A new file gets the usual permissions (0666 less the
// umask); a replaced one keeps its permission bits.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents, std::string& whyNot);

// Keeps the file `path` under the name `path` + "." + the local time as YYYYMMDD-HHMMSS (with "-2", "-3"… appended
// when that name is taken), and puts that name into `backupPath`. The file itself stays in place.
bool KeepBackupOfFile(const std::string& path, std::string& backupPath, std::string& whyNot);

enum class ReadOutcome { Read, Absent, Unreadable };
// Reads the whole file `path` into `bytes`. Absent when there is no such file.
ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes);

// Which file a path names now (its device and inode), or nothing when it names none.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> IdentifyFile(const std::string& path);
