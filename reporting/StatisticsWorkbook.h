#pragma once
// The statistics workbook: the results of every pupil in one XML Spreadsheet 2003 file (".xls") that spreadsheet
// applications open, one worksheet per pupil, each attempt appending its rows. The file is read once, when the
// workbook is opened, and written whole by Save.
//
// Saving never damages what is on disk: the workbook goes to a new file that replaces the old one only once it is
// complete and flushed. Saving to the file it was opened from is a merge: under a lock shared by every program that
// saves the file (FileLock on a hidden lock file beside it), the file is read again and this object's new rows are
// added to it, so two programs saving one workbook, on one machine or over a shared folder, keep each other's rows.
// The results folder's workbook also keeps a journal (ResultsJournal), so that no written row waits for a save to be
// safe, and records which journalled rows it holds (JournalMarks), so that none is merged twice. A file that exists
// but cannot be read as a workbook (WorkbookParsing bounds what is read) is kept beside it as a damaged copy before a
// fresh workbook takes its place. When the file is locked for too long, or belongs to an account that keeps this one
// out, the rows go to one file beside it for the whole run instead, and the journal keeps them for the workbook.
//
// Paths are UTF-8 from end to end; only the texts inside the workbook are narrowed to the code page.
//
// One thread at a time uses a workbook; different workbooks may be used on different threads.

#include "platform/Files.h"
#include "platform/PrintJob.h"
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "reporting/CodePage.h"
#include "reporting/OwnedDocument.h"
#include "reporting/PrintListing.h"
#include "reporting/ResultsJournal.h"
#include "reporting/WorkbookDocument.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMImplementation;
XERCES_CPP_NAMESPACE_END

class JournalMarks;

class StatisticsWorkbook {
public:
    // How long a save waits for another program's save of the same workbook before it saves beside it instead.
    static constexpr std::chrono::milliseconds DefaultLockWait {5000};

    enum class SaveOutcome {
        Merged,       // the workbook's own file holds this object's rows
        SavedBeside,  // its lock could not be had: the whole workbook went to the run's file beside it ("… (2).xls")
        Postponed,    // its lock could not be had and nothing was to go beside it: the rows stay to be saved again
        Failed,       // nothing was written; the rows stay to be saved again
    };

    // Opens `fileName`, or starts from the empty workbook when it does not exist or cannot be read, and finds or adds
    // the worksheet named `sheetName`. Writes nothing to disk.
    StatisticsWorkbook(const std::wstring& fileName, const std::wstring& sheetName);
    ~StatisticsWorkbook();
    StatisticsWorkbook(const StatisticsWorkbook&) = delete;
    StatisticsWorkbook& operator=(const StatisticsWorkbook&) = delete;

    // Appends a row of two cells: `name` as a string, `value` as a cell of `type` ("String" or "Number").
    void AddRow(const std::wstring& name, const std::wstring& value, const std::wstring& type);
    // Appends an empty row, which closes an attempt.
    void AddSeparatorRow();
    // Appends a row that the journal `journalName` of another run holds as `entry`; a merge leaves it out when the
    // workbook on disk already holds it.
    void AddJournalledRow(const JournalEntry& entry, const std::string& journalName);
    // Saves the workbook: to the file it was opened from when `path` is empty or names that file (SaveMerging),
    // otherwise the whole workbook to `path`. Returns false when nothing could be written; whatever was on disk is
    // then unchanged. The failure is also logged.
    bool Save(const std::wstring& path);
    // Saves into the file the workbook was opened from, under its lock: the file as it is on disk now, with this
    // object's worksheet added when it lacks it and the rows added since the last merge appended to it. A file that
    // is absent is written whole, one that is not a readable workbook is kept as a backup and replaced by this
    // workbook. Stale temporary files of interrupted saves are removed meanwhile.
    SaveOutcome SaveMerging();
    // Every row added from now on is also journalled beside the workbook, and retired once it is merged.
    void KeepJournal();
    // Changes the wait for the lock (DefaultLockWait).
    void SetLockWait(std::chrono::milliseconds wait) { lockWait = wait; }
    // Whether a locked or forbidden workbook sends the rows to a file beside it (the default) or leaves them for a
    // later save (Postponed).
    void SetSaveBeside(bool allowed) { besideAllowed = allowed; }
    // The file the workbook was opened from, as it will be written.
    std::wstring FileName() const;
    // Where the last save put the rows when it was not the workbook's own file; empty otherwise.
    std::wstring SavedBesidePath() const;
    // Whether a journalled row could not be written to the disk (a full disk, a folder turned read-only).
    bool JournalFailed() const { return journal && journal->Failed(); }

    // Prints the header lines and every row of this pupil's worksheet (every attempt the workbook holds) on the CUPS
    // printer `printer` (PrintListingOn). Null, and nothing printed, when `printer` is empty or the worksheet has no
    // table.
    std::shared_ptr<PrintJob> Print(const std::wstring& printer, const ReportHeader& header) const;
    // What Print prints: the header in key order and the texts of every row's Data cells, each narrowed to the code
    // page ("?" for what it lacks) and read back. Nothing when the worksheet has no table.
    std::optional<PrintListing> Listing(const ReportHeader& header) const;

private:
    // The XML library's initialisation is counted: every workbook initialises it once and terminates it once.
    struct XmlLibrary {
        XmlLibrary();
        ~XmlLibrary();
    };
    // A row waiting for the next merge, and which journal row it is, if any.
    struct PendingRow {
        DocumentRow row;
        std::string journal;         // the journal's file name; empty when the row was not journalled
        std::uint64_t sequence = 0;  // its number in that journal
    };

    std::string ToCodePage(const std::wstring& text) const { return codePage.Narrow(text); }
    // What a text becomes inside the document: narrowed to the code page, then read back as UTF-16.
    std::u16string ToDocument(const std::wstring& text) const { return codePage.ToUtf16(ToCodePage(text)); }
    OwnedDocument Parse(const std::string& bytes, std::string& whyNot) const;
    void OpenDocument();
    void AddPending(PendingRow pending);
    bool Serialize(const XERCES_CPP_NAMESPACE::DOMDocument& which, std::string& bytes) const;
    bool KeepBackupBeforeReplacing(const std::string& target);
    bool WriteWhole(const std::string& target);
    SaveOutcome MergeInto();
    SaveOutcome LockedOut(const std::string& whyNot);
    SaveOutcome SaveBeside(const std::string& whyLocked);
    bool MergeIntoBeside(const std::string& beside, std::string& whyNot);
    void AppendUnmerged(
        WorkbookDocument& target, XERCES_CPP_NAMESPACE::DOMElement* sheet, std::size_t from, JournalMarks* marks) const;
    void RecordJournalRows(WorkbookDocument& target, JournalMarks marks) const;
    void MarkMerged();

    // Declared first so that the library is initialised before, and terminated after, everything below.
    XmlLibrary xmlLibrary;
    CodePage codePage;

    XERCES_CPP_NAMESPACE::DOMImplementation* implementation = nullptr;  // "LS"; makes the parser and the writer
    OwnedDocument document;                                             // the whole workbook
    XERCES_CPP_NAMESPACE::DOMElement* worksheet = nullptr;              // this pupil's Worksheet, inside `document`
    std::string path;                                                   // the file opened and saved by default; UTF-8
    std::u16string sheetName;                                           // the worksheet's name (CodePage::NameToUtf16)
    std::wstring pupilName;                                             // the name as typed, for the journal
    std::optional<FileIdentity> unreadableFile;  // the file found unreadable at opening, until it has a backup
    std::vector<PendingRow> unmerged;            // rows added since the last merge, in order
    std::size_t unmergedBeside = 0;              // how many of `unmerged` the run's file beside holds
    std::string besidePath;                      // where the last save went instead of `path`; empty when it did not
    bool rereadBeforeMerge = false;              // rows of another run's journal: only the file says what it holds
    bool besideAllowed = true;                   // SetSaveBeside
    std::unique_ptr<WorkbookDocument> layout;    // finds and makes the worksheets and rows of `document`
    std::unique_ptr<ResultsJournal> journal;     // null unless KeepJournal was called
    std::string journalWorkbook;                 // the workbook's file name, as the journal names it
    std::optional<FileVersion> diskVersion;      // the file as `document` last matched it (read or written)
    std::chrono::milliseconds lockWait = DefaultLockWait;
};
