#pragma once
// The journal of a run: every statistics row, as it is written, is appended to a file beside the workbook and flushed
// to the disk before the program goes on, so that a crash, a power cut or a killed session between two saves loses
// nothing. A save that reaches the workbook retires the entries; the next start merges whatever a run left behind
// (JournalReplay).
//
// The file is UTF-8 text a person can read: a version line, then one line per row, its fields separated by tabs,
// with backslash escapes for a tab, a line break or a backslash inside a field:
//
//   zvonkary-journal 1
//   row <workbook> <pupil> <name> <value> <type> <sequence>
//   empty <workbook> <pupil> <sequence>
//   replay
//
// <workbook> is the workbook's file name in the journal's folder. <sequence> numbers the rows of the journal from 1
// on; with the journal's file name it is the row's identity, which the workbook records (JournalMarks) so that no row
// is merged twice. Journals of earlier versions lack it: their rows are numbered by their order. A "replay" line
// tells that a program began to merge the journal; one that died doing so leaves it behind. A line cut short by a
// power cut has no line break and is ignored. While its run lives, a journal is locked (JournalFile), which tells the
// living from the left behind.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class JournalFile;

// One journalled row, in the program's text.
struct JournalEntry {
    std::string workbook;  // the workbook's file name, UTF-8, without a folder
    std::wstring sheet;    // the pupil's name as typed
    bool empty = false;    // the empty row that closes an attempt
    std::wstring name;
    std::wstring value;
    std::wstring type;
    std::uint64_t sequence = 0;  // the row's number in its journal; 0 when the line gave none
    friend bool operator==(const JournalEntry&, const JournalEntry&) = default;
};

// The first line of every journal this version writes and reads.
inline constexpr std::string_view JournalVersionLine = "zvonkary-journal 1\n";
// How journal files are named: a hidden prefix, a name of the run, this suffix.
inline constexpr std::string_view JournalPrefix = ".zvonkary-";
inline constexpr std::string_view JournalSuffix = ".journal";

// The line a program adds before it merges a left-behind journal.
inline constexpr std::string_view JournalReplayLine = "replay\n";

// `entry` as one line of the journal, line break included; the sequence number only when it has one.
std::string FormatJournalEntry(const JournalEntry& entry);
// The complete entries of a journal's text, in order. Nothing when the version line is not this version's; a line
// without its line break (the tail cut by a power cut) or one that does not read as an entry is left out.
// `replays`, when given, counts the replay lines.
std::vector<JournalEntry> ParseJournal(std::string_view text, bool& known, int* replays = nullptr);

class ResultsJournal {
public:
    // The journal of this run for workbooks in `folder` (a path ending in a slash, or empty for the working folder).
    // The file is made at the first entry.
    explicit ResultsJournal(std::string folder);
    // Removes the file when all its entries were retired; otherwise leaves it for the next start.
    ~ResultsJournal();
    ResultsJournal(const ResultsJournal&) = delete;
    ResultsJournal& operator=(const ResultsJournal&) = delete;

    // Appends `entry` under the next sequence number and flushes it to the disk. Returns that number, or 0 when it
    // could not be written; the first such failure is reported on standard error (one line), later ones are not.
    std::uint64_t Append(JournalEntry entry);
    // Every entry appended so far has reached its workbook.
    void Retire();
    // The journal's file name without its folder, which names its rows in the workbook; empty until made.
    const std::string& Name() const { return name; }
    // Whether an entry could not be written: the rows since live in memory only until the workbook is saved.
    bool Failed() const { return failureReported; }

private:
    bool Create();
    void ReportFailure(const std::string& whyNot);

    std::string folder;
    std::string name;                   // empty until made
    std::unique_ptr<JournalFile> file;  // open and locked while this run lives
    std::uint64_t lastSequence = 0;     // the number of the last entry appended
    bool outstanding = false;           // entries not yet retired
    bool failureReported = false;       // the one line was written
};
