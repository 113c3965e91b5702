#include "reporting/JournalReplay.h"

#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/DebugOutput.h"
#include "platform/JournalFile.h"
#include "platform/Utf8.h"
#include "platform/Warning.h"
#include "reporting/ResultsJournal.h"
#include "reporting/StatisticsWorkbook.h"

namespace {

// A replay that was begun this often and never finished killed its program: the journal is not tried again.
constexpr int MostUnfinishedReplays = 2;
// A starting file this old belongs to a program that died while making its journal.
constexpr std::chrono::seconds DeadStartingFileAge {60};
constexpr std::string_view FailedSuffix = ".failed";
// A replay tries a locked workbook only briefly: the rows wait in their journal for the next try, and the program's
// own saves of the workbook are not held up behind it.
constexpr std::chrono::milliseconds ReplayLockWait {100};

// A journal names its workbook by a plain file name of the journal's own folder: a crafted journal in a folder other
// accounts can write must not make this program write anywhere else.
bool IsWorkbookName(const std::string& name)
{
    return name.size() > 4 && name.find('/') == std::string::npos && name.ends_with(".xls") && name != "."
        && name != "..";
}

using GroupKey = std::pair<std::string, std::wstring>;  // the workbook's file name and the pupil

// Adds the entries of one workbook and one pupil, in their order, and saves them into that workbook, leaving out the
// rows it holds already. Whether the workbook holds them all now.
bool MergeGroup(const std::string& folder, const std::string& journalName, const GroupKey& key,
    const std::vector<const JournalEntry*>& entries)
{
    StatisticsWorkbook book(FromUtf8(folder + key.first), key.second);
    book.SetSaveBeside(false);
    book.SetLockWait(ReplayLockWait);
    for (const JournalEntry* entry : entries)
        book.AddJournalledRow(*entry, journalName);
    return book.SaveMerging() == StatisticsWorkbook::SaveOutcome::Merged;
}

void MoveAside(JournalFile& file, const std::string& why)
{
    std::string whyNot;
    const std::string aside = file.Path() + std::string(FailedSuffix);
    if (file.MoveAside(aside, whyNot))
        OutputWarning("the journalled results of " + aside + " could not be merged (" + why + "); they are kept there");
    else
        OutputWarning("the journal " + file.Path() + " could not be merged (" + why + ") nor moved aside: " + whyNot);
}

// Replays one journal under its lock; true when it was merged whole and removed.
bool ReplayJournal(const std::string& folder, const std::string& name)
{
    const std::unique_ptr<JournalFile> file = JournalFile::OpenLeftBehind(folder + name);
    if (!file)
        return false;
    std::string text;
    if (!file->ReadAll(text))
        return false;
    bool known = false;
    int unfinished = 0;
    std::vector<JournalEntry> entries = ParseJournal(text, known, &unfinished);
    if (!known)
        return false;  // a later version's, or not a journal at all: left as it is
    if (unfinished >= MostUnfinishedReplays) {
        MoveAside(*file, "merging it stopped the program " + std::to_string(unfinished) + " times");
        return false;
    }
    // Should this replay kill the program, the next one knows.
    std::string whyNot;
    if (!file->Append(JournalReplayLine, whyNot))
        return false;

    // Rows of earlier versions carry no number: their order numbers them, the same at every replay.
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].sequence == 0)
            entries[i].sequence = i + 1;

    // Grouped by workbook and pupil, in the order each first appears.
    std::vector<GroupKey> order;
    std::map<GroupKey, std::vector<const JournalEntry*>> groups;
    for (const JournalEntry& entry : entries) {
        if (!IsWorkbookName(entry.workbook))
            continue;
        auto& group = groups[{entry.workbook, entry.sheet}];
        if (group.empty())
            order.emplace_back(entry.workbook, entry.sheet);
        group.push_back(&entry);
    }

    std::string remaining(JournalVersionLine);
    std::string failure;
    for (const GroupKey& key : order) {
        bool merged = false;
        try {
            merged = MergeGroup(folder, name, key, groups[key]);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        if (merged)
            continue;
        for (const JournalEntry* entry : groups[key])
            remaining += FormatJournalEntry(*entry);
    }
    if (remaining.size() == JournalVersionLine.size()) {
        file->Remove();
        return true;
    }
    // What could not be merged stays, numbered as before, without the replay line: this replay ended.
    if (!file->Rewrite(remaining, whyNot))
        OutputWarning(whyNot);
    if (!failure.empty()) {
        MoveAside(*file, failure);
        return false;
    }
    OutputDebugString("JournalReplay: some rows of " + file->Path() + " wait for their workbook");
    return false;
}

}  // namespace

int ReplayJournals(const std::string& folder)
{
    RemoveDeadStartingFiles(folder, JournalPrefix, DeadStartingFileAge);
    int replayed = 0;
    for (const std::string& name : FilesNamed(folder, JournalPrefix, JournalSuffix)) {
        try {
            if (ReplayJournal(folder, name))
                ++replayed;
        } catch (const std::exception& error) {
            OutputWarning("the journal " + folder + name + " could not be merged: " + error.what());
        }
    }
    return replayed;
}
