#pragma once
// The statistics workbook: the results of every pupil in one XML Spreadsheet 2003 file (".xls") that spreadsheet
// applications open, one worksheet per pupil, each attempt appending its rows. The file is read once, when the
// workbook is opened, and written whole by Save.
//
// Saving never damages what is on disk: the workbook goes to a new file that replaces the old one only once it is
// complete and flushed. A file that exists but cannot be read as a workbook is kept beside it under a timestamped name
// before a fresh workbook takes its place. The file lives in a folder other accounts can write, so reading it loads
// nothing else: no document type declaration, hence no external DTD and no entity, is accepted.

#include "platform/Files.h"
#include "platform/PrintJob.h"
#include <cstdint>

#include <memory>
#include <optional>
#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "reporting/CodePage.h"
#include "reporting/PrintListing.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
class DOMImplementation;
class MemBufFormatTarget;
XERCES_CPP_NAMESPACE_END

class StatisticsWorkbook {
public:
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
    // Writes the whole workbook to `path`, or to the file it was opened from when `path` is empty. Returns false when
    // the file could not be written; whatever was on disk is then unchanged. The failure is also logged.
    bool Save(const std::wstring& path);
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
    void OpenDocument(const std::string& path);
    void FindOrAddWorksheet();
    XERCES_CPP_NAMESPACE::DOMElement* FindTable() const;
    XERCES_CPP_NAMESPACE::DOMElement* FindOrAddTable();
    void AppendCell(XERCES_CPP_NAMESPACE::DOMElement* row, const std::wstring& text, const std::wstring& type);
    XERCES_CPP_NAMESPACE::DOMElement* AppendElement(XERCES_CPP_NAMESPACE::DOMElement* parent, const char16_t* name);
    bool Serialize(XERCES_CPP_NAMESPACE::MemBufFormatTarget& target);
    bool KeepBackupBeforeReplacing(const std::string& path);

    // Declared first so that the library is initialised before, and terminated after, everything below.
    XmlLibrary xmlLibrary;
    CodePage codePage;

    XERCES_CPP_NAMESPACE::DOMDocument* document = nullptr;  // the whole workbook; owned, released by the destructor
    XERCES_CPP_NAMESPACE::DOMElement* worksheet = nullptr;  // this pupil's Worksheet, inside `document`
    std::string fileName;                                   // the file opened and saved by default; code page
    std::string sheetName;                                  // the pupil's name, the worksheet's name; code page
    XERCES_CPP_NAMESPACE::DOMImplementation* implementation = nullptr;  // "LS"; makes the parser and the writer
    std::optional<FileIdentity> unreadableFile;  // the file found unreadable at opening, until it has a backup
};
