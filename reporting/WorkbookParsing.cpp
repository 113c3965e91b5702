#include "reporting/WorkbookParsing.h"

#include <algorithm>
#include <stdexcept>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "reporting/XercesProblems.h"

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

enum class Markup { Opening, SelfClosing, Closing, Other };

// What the markup that starts at `at` (a '<') is, and where it ends: just after its closing '>', or the end of
// `bytes`.
std::size_t EndOfMarkup(std::string_view bytes, std::size_t at, Markup& kind)
{
    kind = Markup::Other;
    const auto after = [&](std::string_view closing) {
        const std::size_t end = bytes.find(closing, at);
        return end == std::string_view::npos ? bytes.size() : end + closing.size();
    };
    const std::string_view rest = bytes.substr(at);
    if (rest.starts_with("<!--"))
        return after("-->");
    if (rest.starts_with("<![CDATA["))
        return after("]]>");
    if (rest.starts_with("<?"))
        return after("?>");
    // A start tag, an end tag or a declaration: '>' ends it except inside a quoted attribute value.
    char quote = 0;
    for (std::size_t i = at + 1; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            if (rest.starts_with("</"))
                kind = Markup::Closing;
            else if (!rest.starts_with("<!"))
                kind = bytes[i - 1] == '/' ? Markup::SelfClosing : Markup::Opening;
            return i + 1;
        }
    }
    return bytes.size();
}

}  // namespace

std::string Utf8(const XMLCh* text)
{
    if (!text)
        return {};
    const TranscodeToStr utf8(text, "UTF-8");
    return std::string(reinterpret_cast<const char*>(utf8.str()), utf8.length());
}

int ElementDepth(std::string_view bytes, int limit)
{
    int depth = 0;
    int deepest = 0;
    std::size_t at = bytes.find('<');
    while (at != std::string_view::npos && deepest <= limit) {
        Markup kind = Markup::Other;
        const std::size_t end = EndOfMarkup(bytes, at, kind);
        if (kind == Markup::Opening)
            deepest = std::max(deepest, ++depth);
        else if (kind == Markup::SelfClosing)
            deepest = std::max(deepest, depth + 1);
        else if (kind == Markup::Closing && depth > 0)
            --depth;
        at = bytes.find('<', end);
    }
    return deepest;
}

OwnedDocument ParseWorkbook(
    DOMImplementation& implementation, std::string_view bytes, const XMLCh* systemId, std::string& whyNot)
{
    if (bytes.size() > MaxWorkbookBytes) {
        whyNot = "larger than " + std::to_string(MaxWorkbookBytes >> 20) + " MB";
        return nullptr;
    }
    if (ElementDepth(bytes, MaxWorkbookDepth) > MaxWorkbookDepth) {
        whyNot = "its elements nest deeper than " + std::to_string(MaxWorkbookDepth) + " levels";
        return nullptr;
    }

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
    OwnedDocument document;
    CatchXercesErrors(problems.message, [&] { document.reset(parser->parse(&input)); });
    parser->release();

    if (problems.message.empty() && !document)
        problems.message = "not a well-formed document";
    else if (problems.message.empty() && !document->getDocumentElement())
        problems.message = "no root element";
    if (problems.message.empty())
        return document;
    whyNot = problems.message;
    return nullptr;
}

OwnedDocument ParseWorkbookTemplate(DOMImplementation& implementation)
{
    std::string whyNot;
    OwnedDocument document = ParseWorkbook(implementation, WorkbookTemplate(), TemplateSystemId, whyNot);
    // The template is this file's own constant; failing to parse it is a programming error.
    if (!document)
        throw std::logic_error("the workbook template does not parse: " + whyNot);
    return document;
}
