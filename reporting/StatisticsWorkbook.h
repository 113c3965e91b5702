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
// safe. A file that exists but cannot be read as a workbook is kept beside it under a timestamped name
// before a fresh workbook takes its place. The file lives in a folder other accounts can write, so reading it loads
// nothing else: no document type declaration, hence no external DTD and no entity, is accepted.

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
#include "reporting/PrintListing.h"
#include "reporting/ResultsJournal.h"
#include "reporting/WorkbookDocument.h"

class StatisticsWorkbook {
public:
    // How long a save waits for another program's save of the same workbook before it saves beside it instead.
    static constexpr std::chrono::milliseconds DefaultLockWait {5000};

    enum class SaveOutcome {
        Merged,       // the workbook's own file holds this object's rows
        SavedBeside,  // its lock could not be had: the whole workbook went to a fresh file beside it ("… (2).xls")
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
    // The file the workbook was opened from, as it will be written (after the code-page conversion).
    std::wstring FileName() const;

    // Prints the header lines and every row of this pupil's worksheet (every attempt the workbook holds) on the CUPS
    // printer `printer`, as the job "Print1: Printing". The rows are copied at once; the page is asked of the
    // printer, and the document made and handed over, on a worker thread (PrintJob). Null, and nothing printed,
    // when `printer` is empty or the worksheet has no table.
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

    std::string ToCodePage(const std::wstring& text) const { return codePage.Narrow(text); }
    // What a text becomes inside the document: narrowed to the code page, then read back as UTF-16.
    std::u16string ToDocument(const std::wstring& text) const { return codePage.ToUtf16(ToCodePage(text)); }
    XERCES_CPP_NAMESPACE::DOMDocument* Parse(const std::string& bytes, std::string& whyNot) const;
    void OpenDocument(const std::string& path);
    void AddRowToDocument(const DocumentRow& row, JournalEntry entry);
    bool Serialize(const XERCES_CPP_NAMESPACE::DOMDocument* which, std::string& bytes) const;
    bool KeepBackupBeforeReplacing(const std::string& path);
    bool WriteWhole(const std::string& path);
    SaveOutcome MergeInto(const std::string& path);
    SaveOutcome SaveBeside(const std::string& path, const std::string& whyLocked);
    void MarkMerged(const std::string& path);

    // Declared first so that the library is initialised before, and terminated after, everything below.
    XmlLibrary xmlLibrary;
    CodePage codePage;

    XERCES_CPP_NAMESPACE::DOMDocument* document = nullptr;  // the whole workbook; owned, released by the destructor
    XERCES_CPP_NAMESPACE::DOMElement* worksheet = nullptr;  // this pupil's Worksheet, inside `document`
    std::string fileName;                                   // the file opened and saved by default; code page
    std::u16string sheetName;                               // the worksheet's name (CodePage::NameToUtf16)
    std::wstring pupilName;                                 // the name as typed, for the journal
    XERCES_CPP_NAMESPACE::DOMImplementation* implementation = nullptr;  // "LS"; makes the parser and the writer
    std::optional<FileIdentity> unreadableFile;  // the file found unreadable at opening, until it has a backup
    std::vector<DocumentRow> unmerged;           // rows added since the last merge, in order
    std::unique_ptr<WorkbookDocument> layout;    // finds and makes the worksheets and rows of `document`
    std::unique_ptr<ResultsJournal> journal;     // null unless KeepJournal was called
    std::string journalWorkbook;                 // the workbook's file name, as the journal names it
    bool savedBeside = false;                    // the rows went beside the locked file; nothing added since
    std::optional<FileVersion> diskVersion;      // the file as `document` last matched it (read or written)
    std::chrono::milliseconds lockWait = DefaultLockWait;
};
