#include "reporting/StatisticsWorkbook.h"

#include <stdexcept>

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
#include "platform/Files.h"
#include "platform/FontEngine.h"
#include "platform/Messages.h"
#include "platform/Utf8.h"

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

// Parses a workbook from memory. Returns the document, which the caller owns, or null with `whyNot` set. Plain
// qualified names: the workbook's prefixes ("ss:Name") are part of the names, as the rest of this class uses them.
DOMDocument* ParseWorkbook(
    DOMImplementation& implementation, std::string_view bytes, const XMLCh* systemId, std::string& whyNot)
{
    FirstProblem problems;
    SecurityManager security;
    security.setEntityExpansionLimit(EntityExpansionLimit);

    DOMLSParser* parser = implementation.createLSParser(DOMImplementationLS::MODE_SYNCHRONOUS, nullptr);
    DOMConfiguration* config = parser->getDomConfig();
    config->setParameter(XMLUni::fgDOMNamespaces, false);
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
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00
            && units[i + 1] < 0xE000) {
            text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else {
            text.push_back(static_cast<wchar_t>(unit));
        }
    }
    return text;
}

// Calls f for every element named `name` below `root`, in document order, as getElementsByTagName lists them. Walked
// by hand: a live node list per row costs more than the whole listing.
template <class F> void ForEachDescendant(const DOMElement* root, const char16_t* name, F&& f)
{
    const DOMElement* element = root->getFirstElementChild();
    while (element) {
        if (XMLString::equals(element->getTagName(), name))
            f(element);
        if (const DOMElement* child = element->getFirstElementChild()) {
            element = child;
            continue;
        }
        while (element && element != root && !element->getNextElementSibling()) {
            const DOMNode* parent = element->getParentNode();
            element = parent == root ? nullptr : static_cast<const DOMElement*>(parent);
        }
        if (element)
            element = element->getNextElementSibling();
    }
}

bool IsWorkbook(const DOMDocument& document)
{
    return XMLString::equals(document.getDocumentElement()->getTagName(), u"Workbook");
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------------

StatisticsWorkbook::XmlLibrary::XmlLibrary()
{
    XMLPlatformUtils::Initialize("en_US");
}

StatisticsWorkbook::XmlLibrary::~XmlLibrary()
{
    XMLPlatformUtils::Terminate();
}

StatisticsWorkbook::StatisticsWorkbook(const std::wstring& fileName, const std::wstring& sheetName)
    : fileName(ToCodePage(fileName))
    , sheetName(ToCodePage(sheetName))
{
    implementation = DOMImplementationRegistry::getDOMImplementation(u"LS");
    OpenDocument(codePage.ToFileName(this->fileName));
    FindOrAddWorksheet();
}

StatisticsWorkbook::~StatisticsWorkbook()
{
    // Before xmlLibrary terminates the library.
    document->release();
}

void StatisticsWorkbook::OpenDocument(const std::string& path)
{
    std::string bytes;
    std::string whyNot;
    const ReadOutcome outcome = ReadWholeFile(path, bytes);
    if (outcome == ReadOutcome::Read) {
        const std::u16string systemId = codePage.ToUtf16(fileName);
        document = ParseWorkbook(*implementation, bytes, systemId.c_str(), whyNot);
        if (document && !IsWorkbook(*document)) {
            whyNot = "the root element is not Workbook";
            document->release();
            document = nullptr;
        }
    } else if (outcome == ReadOutcome::Unreadable) {
        whyNot = "cannot read it";
    }

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

void StatisticsWorkbook::FindOrAddWorksheet()
{
    DOMElement* root = document->getDocumentElement();
    const std::u16string name = codePage.ToUtf16(sheetName);
    // Worksheets are children of Workbook. Walking the children, not every descendant, keeps opening a long-used
    // workbook quick: the rows of all pupils are never visited.
    for (DOMElement* candidate = root->getFirstElementChild(); candidate;
         candidate = candidate->getNextElementSibling()) {
        if (XMLString::equals(candidate->getTagName(), u"Worksheet")
            && XMLString::equals(candidate->getAttribute(u"ss:Name"), name.c_str())) {
            worksheet = candidate;
            return;
        }
    }

    worksheet = AppendElement(root, u"Worksheet");
    worksheet->setAttribute(u"ss:Name", name.c_str());
    DOMElement* table = AppendElement(worksheet, u"Table");
    // The name column, then the value column, in points.
    for (const char16_t* width : {u"240", u"96"}) {
        DOMElement* column = AppendElement(table, u"Column");
        column->setAttribute(u"ss:AutoFitWidth", u"0");
        column->setAttribute(u"ss:Width", width);
    }
}

DOMElement* StatisticsWorkbook::FindTable() const
{
    return static_cast<DOMElement*>(worksheet->getElementsByTagName(u"Table")->item(0));
}

DOMElement* StatisticsWorkbook::FindOrAddTable()
{
    if (DOMElement* table = FindTable())
        return table;
    return AppendElement(worksheet, u"Table");
}

DOMElement* StatisticsWorkbook::AppendElement(DOMElement* parent, const char16_t* name)
{
    DOMElement* element = document->createElement(name);
    parent->appendChild(element);
    return element;
}

void StatisticsWorkbook::AddRow(const std::wstring& name, const std::wstring& value, const std::wstring& type)
{
    DOMElement* row = AppendElement(FindOrAddTable(), u"Row");
    AppendCell(row, name, L"String");
    AppendCell(row, value, type);
}

void StatisticsWorkbook::AppendCell(DOMElement* row, const std::wstring& text, const std::wstring& type)
{
    DOMElement* data = AppendElement(AppendElement(row, u"Cell"), u"Data");
    data->setAttribute(u"ss:Type", ToDocument(type).c_str());
    data->appendChild(document->createTextNode(ToDocument(text).c_str()));
}

void StatisticsWorkbook::AddSeparatorRow()
{
    AppendElement(FindOrAddTable(), u"Row");
}

bool StatisticsWorkbook::Save(const std::wstring& path)
{
    const std::string target = codePage.ToFileName(path.empty() ? fileName : ToCodePage(path));
    MemBufFormatTarget contents(1 << 20);
    if (!Serialize(contents))
        return false;
    if (!KeepBackupBeforeReplacing(target))
        return false;
    std::string whyNot;
    const std::string_view bytes(reinterpret_cast<const char*>(contents.getRawBuffer()), contents.getLen());
    if (!ReplaceFileAtomically(target, bytes, whyNot)) {
        OutputDebugString("StatisticsWorkbook: not saved, " + whyNot);
        return false;
    }
    return true;
}

// The writer's defaults: no pretty-printing, the XML declaration, the document's own encoding.
bool StatisticsWorkbook::Serialize(MemBufFormatTarget& target)
{
    FirstProblem problems;
    DOMLSSerializer* writer = implementation->createLSSerializer();
    writer->getDomConfig()->setParameter(XMLUni::fgDOMErrorHandler, static_cast<DOMErrorHandler*>(&problems));
    DOMLSOutput* output = implementation->createLSOutput();
    output->setByteStream(&target);
    bool written = false;
    CatchXercesErrors(problems.message, [&] { written = writer->write(document, output); });
    output->release();
    writer->release();
    if (!written || !problems.message.empty()) {
        OutputDebugString("StatisticsWorkbook: not saved, the writer failed: " + problems.message);
        return false;
    }
    return true;
}

// Only the very file found unreadable at opening is kept, and only once: a save-as over some other file replaces
// that file as the user asked.
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
    const DOMElement* table = FindTable();
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
