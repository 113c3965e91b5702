#pragma once
// The files of a results journal: an append-only file whose every write is on the disk before the call returns, and
// which stays locked while the program that writes it lives, so that a program looking for journals left behind can
// tell them from living ones. The journal's format belongs to its caller; this knows bytes, names and locks.
//
// Paths are UTF-8. A journal is made under a starting name ("<base>.new") and only takes its own name once it is
// locked and holds its first line, so a left-behind journal is never one whose program is still starting.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class JournalFile {
public:
    // Makes, locks and names `base` + `suffix` with `firstLine` as its contents, durable. Null, with `whyNot` set,
    // when it cannot be made.
    static std::unique_ptr<JournalFile> Create(
        const std::string& base, std::string_view suffix, std::string_view firstLine, std::string& whyNot);
    // Locks a journal that a program left behind. Null when it is absent, not a regular file, locked by its living
    // program or by another program replaying it, or already removed by such a program.
    static std::unique_ptr<JournalFile> OpenLeftBehind(const std::string& path);
    // Closes the file, which lets go of the lock; the file stays unless Remove was called.
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Appends `bytes` and flushes them to the disk. On failure nothing of them stays in the file.
    bool Append(std::string_view bytes, std::string& whyNot);
    // Cuts the file back to its first `size` bytes, durable.
    bool Truncate(std::size_t size, std::string& whyNot);
    // Replaces the whole contents with `bytes`, durable.
    bool Rewrite(std::string_view bytes, std::string& whyNot);
    // The whole contents.
    bool ReadAll(std::string& bytes) const;
    // Removes the file while it is still locked, so no one else opens what is gone.
    void Remove();
    // Gives the file the name `path`, as a journal no one should replay again; the lock is kept until closing.
    bool MoveAside(const std::string& path, std::string& whyNot);
    const std::string& Path() const { return path; }

private:
    JournalFile(int fd, std::string path);

    int fd;
    std::string path;
};

// The names in `folder` (a path ending in a slash, or empty for the working folder) that start with `prefix` and end
// with `suffix`.
std::vector<std::string> FilesNamed(const std::string& folder, std::string_view prefix, std::string_view suffix);

// Removes the starting files ("<prefix>….new") of journals whose program died while making them: unlocked and older
// than `age`. Returns how many went.
int RemoveDeadStartingFiles(const std::string& folder, std::string_view prefix, std::chrono::seconds age);

// A name for this run, unique among the machines and programs that share a folder: the machine's name, the process
// number and a random number.
std::string UniqueRunName();
