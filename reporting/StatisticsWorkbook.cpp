// The statistics workbook: opening, adding rows, and the saves.
//
// Index of this file
//   [SECTION] The XML library, opening
//   [SECTION] Adding rows
//   [SECTION] Saving: the own file under its lock, a save-as, the file beside a locked workbook
//   [SECTION] Printing
// Parsing and writing the bytes are in WorkbookParsing and WorkbookWriting, the worksheets and rows of the document
// in WorkbookDocument, the journal in ResultsJournal and the printout in PrintListing.

#include "reporting/StatisticsWorkbook.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "platform/DebugOutput.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/JournalFile.h"
#include "platform/Utf8.h"
#include "platform/Warning.h"
#include "reporting/JournalMarks.h"
#include "reporting/RecyclingMemory.h"
#include "reporting/WorkbookParsing.h"
#include "reporting/WorkbookWriting.h"

using namespace XERCES_CPP_NAMESPACE;

namespace {

// The lock file every save of `path` takes: hidden, beside it.
std::string LockPathOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, start) + "." + path.substr(start) + ".lock";
}

// The folder part of `path` with its slash (empty for a bare name), and the file's name.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// The XML library's initialisation count is not guarded by the library itself.
std::mutex& LibraryMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The one file beside each workbook that this run's saves went to instead of the workbook, by the workbook's path:
// a run never leaves more than one such file, however often the lock stays taken.
struct BesideFiles {
    std::mutex mutex;
    std::map<std::string, std::string> byWorkbook;
};
BesideFiles& RunBesideFiles()
{
    static BesideFiles files;
    return files;
}

// UTF-16 as the program's wide text: a surrogate pair becomes its one character, a lone surrogate stays as it is
// (and the code page then turns it into "?").
std::wstring Widen(std::u16string_view units)
{
    std::wstring text;
    text.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t unit = units[i];
        if (IsHighSurrogate(unit) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            text.push_back(static_cast<wchar_t>(JoinSurrogates(unit, units[i + 1])));
            ++i;
        } else {
            text.push_back(static_cast<wchar_t>(unit));
        }
    }
    return text;
}

// The text of a cell as its element's text content, gathered without the copy getTextContent would leave in the
// document's memory until the workbook closes. Iterative, so no nesting in a crafted file can exhaust the stack.
void AppendText(const DOMNode* root, std::u16string& text)
{
    const DOMNode* node = root->getFirstChild();
    while (node) {
        const short type = node->getNodeType();
        if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE)
            text += node->getNodeValue();
        if (type == DOMNode::ELEMENT_NODE && node->getFirstChild()) {
            node = node->getFirstChild();
            continue;
        }
        while (node && !node->getNextSibling()) {
            const DOMNode* parent = node->getParentNode();
            node = parent == root ? nullptr : parent;
        }
        if (node)
            node = node->getNextSibling();
    }
}

// Journals a row of this run before anything else happens to it; its number in the journal, and the journal's name
// into `journalName`.
std::uint64_t JournalRow(ResultsJournal& journal, JournalEntry entry, const std::string& workbook,
    const std::wstring& sheet, std::string& journalName)
{
    entry.workbook = workbook;
    entry.sheet = sheet;
    const std::uint64_t sequence = journal.Append(std::move(entry));
    journalName = journal.Name();
    return sequence;
}

JournalMarks MarksOf(const WorkbookDocument& document)
{
    const std::u16string text = document.ProgramProperty();
    return JournalMarks::Parse(ToUtf8(std::wstring(text.begin(), text.end())));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------------
// [SECTION] The XML library, opening

StatisticsWorkbook::XmlLibrary::XmlLibrary()
{
    const std::lock_guard guard(LibraryMutex());
    // The library's first initialisation is the costly one; it is made once for the process and undone at exit, so
    // that each workbook's own counted initialisation is cheap.
    static const bool processWide = [] {
        // Never destroyed: the library may still give memory back while the program ends.
        static auto* const memory = new RecyclingMemoryManager;
        XMLPlatformUtils::Initialize("en_US", nullptr, nullptr, memory);
        std::atexit([] { XMLPlatformUtils::Terminate(); });
        return true;
    }();
    (void)processWide;
    XMLPlatformUtils::Initialize("en_US");
}

StatisticsWorkbook::XmlLibrary::~XmlLibrary()
{
    const std::lock_guard guard(LibraryMutex());
    XMLPlatformUtils::Terminate();
}

StatisticsWorkbook::StatisticsWorkbook(const std::wstring& fileName, const std::wstring& sheetName)
    : path(ToUtf8(fileName))
    , sheetName(codePage.NameToUtf16(sheetName))
    , pupilName(sheetName)
{
    implementation = DOMImplementationRegistry::getDOMImplementation(u"LS");
    // Temporary files of a save that died are gone once no save of the file is at work. Without a file name the
    // workbook lives in memory only, for printing and for saving elsewhere.
    const std::unique_ptr<FileLock> lock = path.empty() ? nullptr : FileLock::TryExisting(LockPathOf(path));
    if (lock)
        RemoveStaleTemporaries(path);
    OpenDocument();
    layout = std::make_unique<WorkbookDocument>(document.get());
    worksheet = layout->FindWorksheet(this->sheetName);
    if (!worksheet)
        worksheet = layout->AddWorksheet(this->sheetName);
}

// The members release the document before xmlLibrary, declared first, terminates the library.
StatisticsWorkbook::~StatisticsWorkbook() = default;

OwnedDocument StatisticsWorkbook::Parse(const std::string& bytes, std::string& whyNot) const
{
    const std::u16string systemId = codePage.NameToUtf16(FromUtf8(path));
    OwnedDocument parsed = ParseWorkbook(*implementation, bytes, systemId.c_str(), whyNot);
    if (parsed && !WorkbookDocument::IsWorkbook(*parsed)) {
        whyNot = "the root element is not the Workbook of XML Spreadsheet 2003";
        parsed.reset();
    }
    return parsed;
}

void StatisticsWorkbook::OpenDocument()
{
    std::string bytes;
    std::string whyNot;
    std::optional<FileVersion> version;
    const ReadOutcome outcome = ReadWholeFile(path, bytes, &version, MaxWorkbookBytes);
    if (outcome == ReadOutcome::Read && (document = Parse(bytes, whyNot)))
        diskVersion = version;
    else if (outcome == ReadOutcome::TooLarge)
        whyNot = "larger than " + std::to_string(MaxWorkbookBytes >> 20) + " MB";
    else if (outcome != ReadOutcome::Read)
        whyNot = "cannot read it";

    // A file this account may not read is another account's, not a damaged one: it is never replaced.
    if (!document && outcome != ReadOutcome::Absent && outcome != ReadOutcome::Forbidden) {
        if (const std::optional<FileIdentity> existing = IdentifyFile(path)) {
            OutputDebugString("StatisticsWorkbook: " + path + " is not a readable workbook (" + whyNot
                + "); it will be kept as a backup when the new workbook replaces it");
            unreadableFile = existing;
        }
    }
    if (!document)
        document = ParseWorkbookTemplate(*implementation);
}

void StatisticsWorkbook::KeepJournal()
{
    if (path.empty())
        return;
    const auto [folder, name] = SplitPath(path);
    journal = std::make_unique<ResultsJournal>(folder);
    journalWorkbook = name;
}

std::wstring StatisticsWorkbook::FileName() const
{
    return FromUtf8(path);
}

std::wstring StatisticsWorkbook::SavedBesidePath() const
{
    return FromUtf8(besidePath);
}

// ---------------------------------------------------------------------------------------------------------------------
// [SECTION] Adding rows

void StatisticsWorkbook::AddRow(const std::wstring& name, const std::wstring& value, const std::wstring& type)
{
    JournalEntry entry;
    entry.name = name;
    entry.value = value;
    entry.type = type;
    PendingRow pending {{ToDocument(name), ToDocument(value), ToDocument(type), false}, {}, 0};
    if (journal)
        pending.sequence = JournalRow(*journal, std::move(entry), journalWorkbook, pupilName, pending.journal);
    AddPending(std::move(pending));
}

void StatisticsWorkbook::AddSeparatorRow()
{
    JournalEntry entry;
    entry.empty = true;
    PendingRow pending {{{}, {}, {}, true}, {}, 0};
    if (journal)
        pending.sequence = JournalRow(*journal, std::move(entry), journalWorkbook, pupilName, pending.journal);
    AddPending(std::move(pending));
}

void StatisticsWorkbook::AddJournalledRow(const JournalEntry& entry, const std::string& journalName)
{
    DocumentRow row {{}, {}, {}, true};
    if (!entry.empty)
        row = {ToDocument(entry.name), ToDocument(entry.value), ToDocument(entry.type), false};
    rereadBeforeMerge = true;
    AddPending({std::move(row), journalName, entry.sequence});
}

void StatisticsWorkbook::AddPending(PendingRow pending)
{
    layout->AppendRow(layout->FindOrAddTable(worksheet), pending.row);
    if (pending.sequence == 0)
        pending.journal.clear();
    unmerged.push_back(std::move(pending));
}

// ---------------------------------------------------------------------------------------------------------------------
// [SECTION] Saving: the own file under its lock, a save-as, the file beside a locked workbook

bool StatisticsWorkbook::Save(const std::wstring& target)
{
    const std::string chosen = target.empty() ? path : ToUtf8(target);
    const std::optional<FileIdentity> targetFile = IdentifyFile(chosen);
    // A save-as that names the workbook's own file is a save of it: a plain write would drop other programs' rows.
    if (chosen == path || (targetFile && targetFile == IdentifyFile(path))) {
        const SaveOutcome outcome = SaveMerging();
        return outcome == SaveOutcome::Merged || outcome == SaveOutcome::SavedBeside;
    }
    return WriteWhole(chosen);
}

StatisticsWorkbook::SaveOutcome StatisticsWorkbook::SaveMerging()
{
    // Nothing new since the rows went beside the locked workbook: saving them beside again helps no one, and would
    // keep the program waiting once more.
    if (!besidePath.empty() && unmergedBeside == unmerged.size())
        return SaveOutcome::SavedBeside;
    if (path.empty()) {
        OutputWarning("the results were not saved: there is no results folder");
        return SaveOutcome::Failed;
    }
    std::string whyNot;
    bool busy = false;
    bool forbidden = false;
    const std::unique_ptr<FileLock> lock = FileLock::Acquire(LockPathOf(path), lockWait, whyNot, busy, forbidden);
    if (!lock && (busy || forbidden))
        return LockedOut(whyNot);
    if (!lock) {
        OutputWarning("the results were not saved to " + path + ": " + whyNot);
        return SaveOutcome::Failed;
    }
    RemoveStaleTemporaries(path);
    // The file as this workbook last read or wrote it: this document is that file plus the new rows.
    if (!rereadBeforeMerge && diskVersion && VersionOfFile(path) == diskVersion) {
        RecordJournalRows(*layout, MarksOf(*layout));
        if (!WriteWhole(path))
            return SaveOutcome::Failed;
        MarkMerged();
        return SaveOutcome::Merged;
    }
    return MergeInto();
}

StatisticsWorkbook::SaveOutcome StatisticsWorkbook::MergeInto()
{
    std::string bytes;
    std::string whyNot;
    const ReadOutcome outcome = ReadWholeFile(path, bytes, nullptr, MaxWorkbookBytes);
    if (outcome == ReadOutcome::Forbidden)
        return LockedOut("this account may not read " + path);
    OwnedDocument onDisk = outcome == ReadOutcome::Read ? Parse(bytes, whyNot) : nullptr;
    if (!onDisk) {
        // Absent: this workbook is all there is. Not a workbook: it is kept as a backup, and this one replaces it.
        if (outcome != ReadOutcome::Absent && !unreadableFile)
            unreadableFile = IdentifyFile(path);
        RecordJournalRows(*layout, MarksOf(*layout));
        if (!WriteWhole(path))
            return SaveOutcome::Failed;
        MarkMerged();
        return SaveOutcome::Merged;
    }

    auto merged = std::make_unique<WorkbookDocument>(onDisk.get());
    DOMElement* sheet = merged->FindWorksheet(sheetName);
    if (!sheet)
        sheet = merged->AddWorksheet(sheetName);
    JournalMarks marks = MarksOf(*merged);
    AppendUnmerged(*merged, sheet, 0, &marks);
    RecordJournalRows(*merged, std::move(marks));
    std::string contents;
    if (!Serialize(*onDisk, contents) || !ReplaceFileAtomically(path, contents, whyNot)) {
        OutputDebugString("StatisticsWorkbook: not saved, " + whyNot);
        return SaveOutcome::Failed;
    }
    // The merged workbook is the file now, other programs' rows included: it becomes this workbook's document.
    layout = std::move(merged);
    document = std::move(onDisk);
    worksheet = sheet;
    MarkMerged();
    return SaveOutcome::Merged;
}

// Appends the rows of `unmerged` from `from` on to `sheet`, leaving out those `marks` says the file holds already
// and marking the others.
void StatisticsWorkbook::AppendUnmerged(
    WorkbookDocument& target, DOMElement* sheet, std::size_t from, JournalMarks* marks) const
{
    DOMElement* table = nullptr;
    for (std::size_t i = from; i < unmerged.size(); ++i) {
        const PendingRow& pending = unmerged[i];
        if (marks && !pending.journal.empty() && marks->Holds(pending.journal, pending.sequence))
            continue;
        if (!table)
            table = target.FindOrAddTable(sheet);
        target.AppendRow(table, pending.row);
    }
}

// Writes into `target` which journalled rows it holds now: `marks` with this workbook's unmerged rows, without the
// journals that are gone. A workbook that never held a journalled row gets no property.
void StatisticsWorkbook::RecordJournalRows(WorkbookDocument& target, JournalMarks marks) const
{
    const bool hadMarks = !marks.Empty();
    for (const PendingRow& pending : unmerged)
        marks.Add(pending.journal, pending.sequence);
    if (marks.Empty())
        return;
    const std::vector<std::string> journals = FilesNamed(SplitPath(path).first, JournalPrefix, JournalSuffix);
    marks.KeepOnly(std::set<std::string>(journals.begin(), journals.end()));
    if (marks.Empty() && !hadMarks)
        return;
    const std::string text = marks.Format();
    const std::wstring wide = FromUtf8(text);
    target.SetProgramProperty(std::u16string(wide.begin(), wide.end()));
}

void StatisticsWorkbook::MarkMerged()
{
    diskVersion = VersionOfFile(path);
    unmerged.clear();
    unmergedBeside = 0;
    besidePath.clear();
    rereadBeforeMerge = false;
    if (journal)
        journal->Retire();
}

StatisticsWorkbook::SaveOutcome StatisticsWorkbook::LockedOut(const std::string& whyNot)
{
    if (!besideAllowed) {
        OutputDebugString("StatisticsWorkbook: " + whyNot + "; the rows wait for a later save");
        return SaveOutcome::Postponed;
    }
    return SaveBeside(whyNot);
}

StatisticsWorkbook::SaveOutcome StatisticsWorkbook::SaveBeside(const std::string& whyLocked)
{
    BesideFiles& files = RunBesideFiles();
    const std::lock_guard guard(files.mutex);
    std::string whyNot = "no free name beside it";
    std::string& beside = files.byWorkbook[path];
    if (!beside.empty() && MergeIntoBeside(beside, whyNot)) {
        OutputWarning(whyLocked + "; the results were saved to " + beside + " instead");
        besidePath = beside;
        unmergedBeside = unmerged.size();
        return SaveOutcome::SavedBeside;
    }
    std::string contents;
    if (!Serialize(*document, contents))
        return SaveOutcome::Failed;
    const bool xls = path.ends_with(".xls");
    const std::string stem = xls ? path.substr(0, path.size() - 4) : path;
    for (int number = 2; number < 1000; ++number) {
        const std::string candidate = stem + " (" + std::to_string(number) + ")" + (xls ? ".xls" : "");
        bool nameTaken = false;
        if (WriteNewFileAtomically(candidate, contents, nameTaken, whyNot)) {
            OutputWarning(whyLocked + "; the results were saved to " + candidate + " instead");
            beside = candidate;
            besidePath = candidate;
            unmergedBeside = unmerged.size();
            return SaveOutcome::SavedBeside;
        }
        if (!nameTaken)
            break;
    }
    OutputWarning(whyLocked + "; the results could not be saved beside it either: " + whyNot);
    return SaveOutcome::Failed;
}

// Adds to the run's file beside the workbook the rows it does not hold yet. False when that file is gone or
// unreadable, so that a fresh one is made.
bool StatisticsWorkbook::MergeIntoBeside(const std::string& beside, std::string& whyNot)
{
    std::string bytes;
    if (ReadWholeFile(beside, bytes, nullptr, MaxWorkbookBytes) != ReadOutcome::Read)
        return false;
    OwnedDocument besideDocument = Parse(bytes, whyNot);
    if (!besideDocument)
        return false;
    WorkbookDocument target(besideDocument.get());
    DOMElement* sheet = target.FindWorksheet(sheetName);
    // A workbook object that has not been beside yet brings all its rows; the file may lack its worksheet too.
    const std::size_t from = besidePath == beside ? unmergedBeside : 0;
    if (!sheet)
        sheet = target.AddWorksheet(sheetName);
    AppendUnmerged(target, sheet, from, nullptr);
    std::string contents;
    return Serialize(*besideDocument, contents) && ReplaceFileAtomically(beside, contents, whyNot);
}

bool StatisticsWorkbook::WriteWhole(const std::string& target)
{
    std::string contents;
    if (!Serialize(*document, contents))
        return false;
    if (!KeepBackupBeforeReplacing(target))
        return false;
    std::string whyNot;
    if (!ReplaceFileAtomically(target, contents, whyNot)) {
        OutputWarning("the results were not saved: " + whyNot);
        return false;
    }
    return true;
}

bool StatisticsWorkbook::Serialize(const DOMDocument& which, std::string& bytes) const
{
    std::string whyNot;
    if (SerializeWorkbook(*implementation, which, bytes, whyNot))
        return true;
    OutputDebugString("StatisticsWorkbook: not saved, " + whyNot);
    return false;
}

// Only the very file found unreadable is kept, and only once: a save-as over some other file replaces that file as
// the user asked.
bool StatisticsWorkbook::KeepBackupBeforeReplacing(const std::string& target)
{
    if (!unreadableFile || IdentifyFile(target) != unreadableFile)
        return true;
    std::string backupPath;
    std::string whyNot;
    if (!KeepBackupOfFile(target, backupPath, whyNot)) {
        OutputWarning("the results were not saved: no copy of the damaged workbook could be kept: " + whyNot);
        return false;
    }
    OutputWarning("the workbook " + target + " could not be read; it is kept as " + backupPath);
    unreadableFile.reset();
    return true;
}

// ---------------------------------------------------------------------------------------------------------------------
// [SECTION] Printing

std::optional<PrintListing> StatisticsWorkbook::Listing(const ReportHeader& header) const
{
    const DOMElement* table = WorkbookDocument::FindTable(worksheet);
    if (!table)
        return std::nullopt;
    PrintListing listing;
    listing.header.assign(header.begin(), header.end());
    ForEachDescendant(table, u"Row", [&](const DOMElement* row) {
        std::vector<std::wstring>& texts = listing.rows.emplace_back();
        ForEachDescendant(row, u"Data", [&](const DOMElement* data) {
            std::u16string units;
            AppendText(data, units);
            texts.push_back(codePage.ToWide(codePage.Narrow(Widen(units))));
        });
    });
    return listing;
}

std::shared_ptr<PrintJob> StatisticsWorkbook::Print(const std::wstring& printer, const ReportHeader& header) const
{
    if (printer.empty())
        return nullptr;
    std::optional<PrintListing> listing = Listing(header);
    if (!listing)
        return nullptr;
    return PrintListingOn(printer, std::move(*listing));
}
