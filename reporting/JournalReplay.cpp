#include "reporting/JournalReplay.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/DebugOutput.h"
#include "platform/FileLock.h"
#include "platform/Utf8.h"
#include "platform/Warning.h"
#include "reporting/ResultsJournal.h"
#include "reporting/StatisticsWorkbook.h"

namespace {

std::vector<std::string> JournalsIn(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(JournalPrefix) && name.ends_with(JournalSuffix))
            names.emplace_back(name);
    }
    ::closedir(listing);
    return names;
}

// A journal names its workbook by a plain file name of the journal's own folder: a crafted journal in a folder other
// accounts can write must not make this program write anywhere else.
bool IsWorkbookName(const std::string& name)
{
    return name.size() > 4 && name.find('/') == std::string::npos && name.ends_with(".xls") && name != "."
        && name != "..";
}

// Whether `lock` still holds the file the path names: a replay that finished first has removed it.
bool StillLinked(const FileLock& lock)
{
    struct stat info { };
    return ::fstat(lock.Descriptor(), &info) == 0 && info.st_nlink > 0;
}

bool ReadAll(int fd, std::string& text)
{
    text.clear();
    char buffer[65536];
    ::lseek(fd, 0, SEEK_SET);
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0)
            return false;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// Adds the entries of one workbook and one pupil, in their order, and saves them into that workbook.
bool MergeGroup(const std::string& folder, const std::string& workbook, const std::wstring& sheet,
    const std::vector<const JournalEntry*>& entries)
{
    StatisticsWorkbook book(FromUtf8(folder + workbook), sheet);
    for (const JournalEntry* entry : entries) {
        if (entry->empty)
            book.AddSeparatorRow();
        else
            book.AddRow(entry->name, entry->value, entry->type);
    }
    return book.SaveMerging() == StatisticsWorkbook::SaveOutcome::Merged;
}

// Replays one journal under its lock; true when it was merged whole and removed.
bool ReplayJournal(const std::string& folder, const std::string& path)
{
    const std::unique_ptr<FileLock> lock = FileLock::TryExisting(path);
    if (!lock || !StillLinked(*lock))
        return false;
    std::string text;
    if (!ReadAll(lock->Descriptor(), text))
        return false;
    bool known = false;
    const std::vector<JournalEntry> entries = ParseJournal(text, known);
    if (!known)
        return false;  // a later version's, or not a journal at all: left as it is

    // Grouped by workbook and pupil, in the order each first appears.
    std::vector<std::pair<std::string, std::wstring>> order;
    std::map<std::pair<std::string, std::wstring>, std::vector<const JournalEntry*>> groups;
    for (const JournalEntry& entry : entries) {
        if (!IsWorkbookName(entry.workbook))
            continue;
        auto key = std::make_pair(entry.workbook, entry.sheet);
        auto& group = groups[key];
        if (group.empty())
            order.push_back(key);
        group.push_back(&entry);
    }

    std::string remaining(JournalVersionLine);
    for (const auto& key : order) {
        if (MergeGroup(folder, key.first, key.second, groups[key]))
            continue;
        for (const JournalEntry* entry : groups[key])
            remaining += FormatJournalEntry(*entry);
    }
    if (remaining.size() == JournalVersionLine.size()) {
        ::unlink(path.c_str());
        return true;
    }
    // What could not be merged stays for the next start.
    const int fd = lock->Descriptor();
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, remaining.data(), remaining.size(), 0) >= 0)
        ::fdatasync(fd);
    OutputWarning("some journalled results could not be merged yet; they stay in " + path);
    return false;
}

}  // namespace

int ReplayJournals(const std::string& folder)
{
    int replayed = 0;
    for (const std::string& name : JournalsIn(folder))
        if (ReplayJournal(folder, folder + name))
            ++replayed;
    return replayed;
}
