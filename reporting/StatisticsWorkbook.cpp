#include "reporting/StatisticsWorkbook.h"

#include <cstdlib>
#include <stdexcept>
#include <utility>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "data/EmbeddedData.h"
#include "platform/DebugOutput.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/FontEngine.h"
#include "platform/Messages.h"
#include "platform/Utf8.h"
#include "platform/Warning.h"
#include "reporting/RecyclingMemory.h"

using namespace XERCES_CPP_NAMESPACE;

namespace {

// The empty workbook: document properties, window settings and styles, and no worksheet. Its pieces are joined by
// seven tabs and a space; the separators inside Workbook become text nodes and are written out again.
constexpr const char* TemplatePieces[] = {
    R"(<?xml version="1.0"?>)",
    R"(<?mso-application progid="Excel.Sheet"?>)",
    R"(<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet")",
    R"(xmlns:o="urn:schemas-microsoft-com:office:office")",
    R"(xmlns:x="urn:schemas-microsoft-com:office:excel")",
    R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet")",
    R"(xmlns:html="http://www.w3.org/TR/REC-html40">)",
    R"(<DocumentProperties xmlns="urn:schemas-microsoft-com:office:office">)",
    R"(<Version>11.6360</Version>)",
    R"(</DocumentProperties>)",
    R"(<ExcelWorkbook xmlns="urn:schemas-microsoft-com:office:excel">)",
    R"(<WindowHeight>10005</WindowHeight>)",
    R"(<WindowWidth>10005</WindowWidth>)",
    R"(<WindowTopX>120</WindowTopX>)",
    R"(<WindowTopY>135</WindowTopY>)",
    R"(<ProtectStructure>False</ProtectStructure>)",
    R"(<ProtectWindows>False</ProtectWindows>)",
    R"(</ExcelWorkbook>)",
    R"(<Styles>)",
    R"(<Style ss:ID="Default" ss:Name="Normal">)",
    R"(<Alignment ss:Vertical="Bottom"/>)",
    R"(<Borders/>)",
    R"(<Font ss:FontName="Arial Cyr" x:CharSet="204"/>)",
    R"(<Interior/>)",
    R"(<NumberFormat/>)",
    R"(<Protection/>)",
    R"(</Style>)",
    R"(<Style ss:ID="s21">)",
    R"(<NumberFormat ss:Format="Short Date"/>)",
    R"(</Style>)",
    R"(<Style ss:ID="s22">)",
    R"(<NumberFormat ss:Format="Short Time"/>)",
    R"(</Style>)",
    R"(</Styles>)",
    R"(</Workbook>)",
};
constexpr const char* TemplateSeparator = "\t\t\t\t\t\t\t ";
constexpr const char16_t* TemplateSystemId = u"EmptyXML";

// The name the printer's queue shows for a printout, and the printer's resolution the listing is laid out in.
constexpr const char* PrintJobName = "Print1: Printing";
constexpr int PrinterDpi = 300;

// A workbook never uses entities, so this only bounds what a DTD could do should one ever be admitted.
constexpr XMLSize_t EntityExpansionLimit = 1000;

const std::string& WorkbookTemplate()
{
    static const std::string text = [] {
        std::string joined;
        for (const char* piece : TemplatePieces) {
            if (!joined.empty())
                joined += TemplateSeparator;
            joined += piece;
        }
        return joined;
    }();
    return text;
}

std::string Utf8(const XMLCh* text)
{
    if (!text)
        return {};
    const TranscodeToStr utf8(text, "UTF-8");
    return std::string(reinterpret_cast<const char*>(utf8.str()), utf8.length());
}

// Runs a parse or a write; a Xerces exception becomes the message (the first
// problem wins, as with the error handler).
template <class F> void CatchXercesErrors(std::string& message, F&& work)
{
    try {
        work();
    } catch (const XMLException& error) {
        message = Utf8(error.getMessage());
    } catch (const DOMException& error) {
        message = Utf8(error.getMessage());
    } catch (const OutOfMemoryException&) {
        message = "out of memory";
    }
}

// Remembers the first problem the parser or the writer reports; stops at fatal ones.
class FirstProblem : public DOMErrorHandler {
public:
    bool handleError(const DOMError& error) override
    {
        if (error.getSeverity() == DOMError::DOM_SEVERITY_WARNING)
            return true;
        if (message.empty())
            message = Utf8(error.getMessage());
        return error.getSeverity() != DOMError::DOM_SEVERITY_FATAL_ERROR;
    }

    std::string message;  // empty while nothing went wrong
};

// Parses a workbook from memory. Returns the document, which the caller owns, or null with `whyNot` set. Nothing is
// validated and no schema is looked for, so the well-formedness scanner does; namespaces are resolved where they
// matter by WorkbookDocument, not by the parser for every node.
DOMDocument* ParseWorkbook(
    DOMImplementation& implementation, std::string_view bytes, const XMLCh* systemId, std::string& whyNot)
{
    FirstProblem problems;
    SecurityManager security;
    security.setEntityExpansionLimit(EntityExpansionLimit);

    DOMLSParser* parser = implementation.createLSParser(DOMImplementationLS::MODE_SYNCHRONOUS, nullptr);
    DOMConfiguration* config = parser->getDomConfig();
    config->setParameter(XMLUni::fgDOMNamespaces, false);
    config->setParameter(XMLUni::fgXercesScannerName, static_cast<const void*>(XMLUni::fgWFXMLScanner));
    config->setParameter(XMLUni::fgDOMValidate, false);
    config->setParameter(XMLUni::fgDOMValidateIfSchema, false);
    config->setParameter(XMLUni::fgXercesSchema, false);
    config->setParameter(XMLUni::fgXercesLoadSchema, false);
    config->setParameter(XMLUni::fgDOMErrorHandler, static_cast<DOMErrorHandler*>(&problems));
    config->setParameter(XMLUni::fgXercesUserAdoptsDOMDocument, true);
    // Any file another account has written must not make the program read a further file or a URL, nor blow up in
    // memory: a document type declaration is refused outright, and should that ever change, external DTDs and
    // entities are still never fetched and entity expansion stays bounded.
    config->setParameter(XMLUni::fgDOMDisallowDoctype, true);
    config->setParameter(XMLUni::fgXercesLoadExternalDTD, false);
    config->setParameter(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    config->setParameter(XMLUni::fgXercesSecurityManager, static_cast<void*>(&security));

    MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(), systemId, false);
    Wrapper4InputSource input(&source, false);
    DOMDocument* document = nullptr;
    CatchXercesErrors(problems.message, [&] { document = parser->parse(&input); });
    parser->release();

    if (problems.message.empty() && !document)
        problems.message = "not a well-formed document";
    else if (problems.message.empty() && !document->getDocumentElement())
        problems.message = "no root element";
    if (problems.message.empty())
        return document;
    if (document)
        document->release();
    whyNot = problems.message;
    return nullptr;
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

}  // namespace

// ---------------------------------------------------------------------------------------------------------------------

StatisticsWorkbook::XmlLibrary::XmlLibrary()
{
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
    XMLPlatformUtils::Terminate();
}

StatisticsWorkbook::StatisticsWorkbook(const std::wstring& fileName, const std::wstring& sheetName)
    : fileName(ToCodePage(fileName))
    , sheetName(codePage.NameToUtf16(sheetName))
    , pupilName(sheetName)
{
    implementation = DOMImplementationRegistry::getDOMImplementation(u"LS");
    const std::string path = codePage.ToFileName(this->fileName);
    // Temporary files of a save that died are gone once no save of the file is at work.
    if (const std::unique_ptr<FileLock> lock = FileLock::TryExisting(LockPathOf(path)))
        RemoveStaleTemporaries(path);
    OpenDocument(path);
    layout = std::make_unique<WorkbookDocument>(document);
    worksheet = layout->FindWorksheet(this->sheetName);
    if (!worksheet)
        worksheet = layout->AddWorksheet(this->sheetName);
}

StatisticsWorkbook::~StatisticsWorkbook()
{
    // Before xmlLibrary terminates the library.
    layout.reset();
    document->release();
}

DOMDocument* StatisticsWorkbook::Parse(const std::string& bytes, std::string& whyNot) const
{
    const std::u16string systemId = codePage.ToUtf16(fileName);
    DOMDocument* parsed = ParseWorkbook(*implementation, bytes, systemId.c_str(), whyNot);
    if (parsed && !WorkbookDocument::IsWorkbook(*parsed)) {
        whyNot = "the root element is not the Workbook of XML Spreadsheet 2003";
        parsed->release();
        parsed = nullptr;
    }
    return parsed;
}

void StatisticsWorkbook::OpenDocument(const std::string& path)
{
    std::string bytes;
    std::string whyNot;
    std::optional<FileVersion> version;
    const ReadOutcome outcome = ReadWholeFile(path, bytes, &version);
    if (outcome == ReadOutcome::Read && (document = Parse(bytes, whyNot)))
        diskVersion = version;
    else if (outcome == ReadOutcome::Unreadable)
        whyNot = "cannot read it";

    if (!document && outcome != ReadOutcome::Absent) {
        if (const std::optional<FileIdentity> existing = IdentifyFile(path)) {
            OutputDebugString("StatisticsWorkbook: " + path + " is not a readable workbook (" + whyNot
                + "); it will be kept as a backup when the new workbook replaces it");
            unreadableFile = existing;
        }
    }
    if (!document) {
        document = ParseWorkbook(*implementation, WorkbookTemplate(), TemplateSystemId, whyNot);
        // The template is this file's own constant; failing to parse it is a programming error.
        if (!document)
            throw std::logic_error("the workbook template does not parse: " + whyNot);
    }
}

void StatisticsWorkbook::KeepJournal()
{
    const auto [folder, name] = SplitPath(codePage.ToFileName(fileName));
    journal = std::make_unique<ResultsJournal>(folder);
    journalWorkbook = name;
}

void StatisticsWorkbook::AddRow(const std::wstring& name, const std::wstring& value, const std::wstring& type)
{
    JournalEntry entry;
    entry.name = name;
    entry.value = value;
    entry.type = type;
    AddRowToDocument({ToDocument(name), ToDocument(value), ToDocument(type), false}, std::move(entry));
}

void StatisticsWorkbook::AddSeparatorRow()
{
    JournalEntry entry;
    entry.empty = true;
    AddRowToDocument({{}, {}, {}, true}, std::move(entry));
}

void StatisticsWorkbook::AddRowToDocument(const DocumentRow& row, JournalEntry entry)
{
    layout->AppendRow(layout->FindOrAddTable(worksheet), row);
    unmerged.push_back(row);
    savedBeside = false;
    if (journal) {
        entry.workbook = journalWorkbook;
        entry.sheet = pupilName;
        journal->Append(entry);
    }
}

bool StatisticsWorkbook::Save(const std::wstring& path)
{
    const std::string own = codePage.ToFileName(fileName);
    const std::string target = path.empty() ? own : codePage.ToFileName(ToCodePage(path));
    const std::optional<FileIdentity> targetFile = IdentifyFile(target);
    // A save-as that names the workbook's own file is a save of it: a plain write would drop other programs' rows.
    if (target == own || (targetFile && targetFile == IdentifyFile(own)))
        return SaveMerging() != SaveOutcome::Failed;
    return WriteWhole(target);
}

StatisticsWorkbook::SaveOutcome StatisticsWorkbook::SaveMerging()
{
    // Nothing new since the rows went beside the locked workbook: saving them beside again helps no one, and would
    // keep the program waiting once more.
    if (savedBeside)
        return SaveOutcome::SavedBeside;
    const std::string path = codePage.ToFileName(fileName);
    std::string whyNot;
    bool busy = false;
    const std::unique_ptr<FileLock> lock = FileLock::Acquire(LockPathOf(path), lockWait, whyNot, busy);
    if (!lock && busy)
        return SaveBeside(path, whyNot);
    if (!lock) {
        OutputWarning("the results were not saved to " + path + ": " + whyNot);
        return SaveOutcome::Failed;
    }
    RemoveStaleTemporaries(path);
    // The file as this workbook last read or wrote it: this document is that file plus the new rows.
    if (diskVersion && VersionOfFile(path) == diskVersion) {
        if (!WriteWhole(path))
            return SaveOutcome::Failed;
        MarkMerged(path);
        return SaveOutcome::Merged;
    }
    return MergeInto(path);
}

StatisticsWorkbook::SaveOutcome StatisticsWorkbook::MergeInto(const std::string& path)
{
    std::string bytes;
    std::string whyNot;
    const ReadOutcome outcome = ReadWholeFile(path, bytes);
    DOMDocument* onDisk = outcome == ReadOutcome::Read ? Parse(bytes, whyNot) : nullptr;
    if (!onDisk) {
        // Absent: this workbook is all there is. Not a workbook: it is kept as a backup, and this one replaces it.
        if (outcome != ReadOutcome::Absent && !unreadableFile)
            unreadableFile = IdentifyFile(path);
        if (!WriteWhole(path))
            return SaveOutcome::Failed;
        MarkMerged(path);
        return SaveOutcome::Merged;
    }

    auto merged = std::make_unique<WorkbookDocument>(onDisk);
    DOMElement* sheet = merged->FindWorksheet(sheetName);
    if (!sheet)
        sheet = merged->AddWorksheet(sheetName);
    if (!unmerged.empty()) {
        DOMElement* table = merged->FindOrAddTable(sheet);
        for (const DocumentRow& row : unmerged)
            merged->AppendRow(table, row);
    }
    std::string contents;
    if (!Serialize(onDisk, contents) || !ReplaceFileAtomically(path, contents, whyNot)) {
        OutputDebugString("StatisticsWorkbook: not saved, " + whyNot);
        merged.reset();
        onDisk->release();
        return SaveOutcome::Failed;
    }
    // The merged workbook is the file now, other programs' rows included: it becomes this workbook's document.
    layout = std::move(merged);
    document->release();
    document = onDisk;
    worksheet = sheet;
    MarkMerged(path);
    return SaveOutcome::Merged;
}

StatisticsWorkbook::SaveOutcome StatisticsWorkbook::SaveBeside(const std::string& path, const std::string& whyLocked)
{
    std::string contents;
    if (!Serialize(document, contents))
        return SaveOutcome::Failed;
    const bool xls = path.ends_with(".xls");
    const std::string stem = xls ? path.substr(0, path.size() - 4) : path;
    std::string whyNot = "no free name beside it";
    for (int number = 2; number < 1000; ++number) {
        const std::string beside = stem + " (" + std::to_string(number) + ")" + (xls ? ".xls" : "");
        bool nameTaken = false;
        if (WriteNewFileAtomically(beside, contents, nameTaken, whyNot)) {
            OutputWarning(whyLocked + "; the results were saved to " + beside + " instead");
            savedBeside = true;
            return SaveOutcome::SavedBeside;
        }
        if (!nameTaken)
            break;
    }
    OutputWarning(whyLocked + "; the results could not be saved beside it either: " + whyNot);
    return SaveOutcome::Failed;
}

void StatisticsWorkbook::MarkMerged(const std::string& path)
{
    diskVersion = VersionOfFile(path);
    unmerged.clear();
    if (journal)
        journal->Retire();
}

bool StatisticsWorkbook::WriteWhole(const std::string& path)
{
    std::string contents;
    if (!Serialize(document, contents))
        return false;
    if (!KeepBackupBeforeReplacing(path))
        return false;
    std::string whyNot;
    if (!ReplaceFileAtomically(path, contents, whyNot)) {
        OutputDebugString("StatisticsWorkbook: not saved, " + whyNot);
        return false;
    }
    return true;
}

// The writer's defaults otherwise: no pretty-printing, the XML declaration.
bool StatisticsWorkbook::Serialize(const DOMDocument* which, std::string& bytes) const
{
    FirstProblem problems;
    MemBufFormatTarget target(1 << 20);
    DOMLSSerializer* writer = implementation->createLSSerializer();
    writer->getDomConfig()->setParameter(XMLUni::fgDOMErrorHandler, static_cast<DOMErrorHandler*>(&problems));
    DOMLSOutput* output = implementation->createLSOutput();
    output->setByteStream(&target);
    // Always UTF-8, whatever encoding the file read declared: a declared encoding the library cannot write (UTF-7,
    // say) must not make every later save fail.
    output->setEncoding(u"UTF-8");
    bool written = false;
    CatchXercesErrors(problems.message, [&] { written = writer->write(which, output); });
    output->release();
    writer->release();
    if (!written || !problems.message.empty()) {
        OutputDebugString("StatisticsWorkbook: not saved, the writer failed: " + problems.message);
        return false;
    }
    bytes.assign(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
    return true;
}

// Only the very file found unreadable is kept, and only once: a save-as over some other file replaces that file as
// the user asked.
bool StatisticsWorkbook::KeepBackupBeforeReplacing(const std::string& path)
{
    if (!unreadableFile || IdentifyFile(path) != unreadableFile)
        return true;
    std::string backupPath;
    std::string whyNot;
    if (!KeepBackupOfFile(path, backupPath, whyNot)) {
        OutputDebugString("StatisticsWorkbook: not saved, no backup of the unreadable workbook: " + whyNot);
        return false;
    }
    OutputDebugString("StatisticsWorkbook: the unreadable workbook is kept as " + backupPath);
    unreadableFile.reset();
    return true;
}

std::wstring StatisticsWorkbook::FileName() const
{
    return codePage.ToWide(fileName);
}

// ---------------------------------------------------------------------------------------------------------------------
// Printing

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
    PrintJob::Request request;
    request.printer = ToUtf8(printer);
    request.name = PrintJobName;
    request.font = FindEmbedded(FontEngine::FileKey(L"Arial", false, false));
    request.dpi = PrinterDpi;
    request.draw = [listing = std::move(*listing)](PrintDocument& document) { DrawListing(listing, document); };
    // Wakes the message loop when the job is over, for whoever polls it.
    request.doneMessage = RegisterWindowMessage(L"WM_IM_ONPRINTED");
    return PrintJob::Start(std::move(request));
}
