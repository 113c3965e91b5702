#pragma once
// Reading a workbook's bytes into a DOM document, bounded: the file lives in a folder other accounts can write, so
// reading it loads nothing else (no document type declaration, hence no external DTD and no entity, is accepted),
// and a file larger or nested deeper than any real workbook is refused before the library builds it.

#include <cstddef>
#include <string>
#include <string_view>

#include <xercesc/dom/DOMImplementation.hpp>

#include "reporting/OwnedDocument.h"

// A class of forty pupils with two hundred attempts each is a few megabytes.
inline constexpr std::size_t MaxWorkbookBytes = 64u << 20;
// An XML Spreadsheet 2003 workbook is about six elements deep (Workbook, Worksheet, Table, Row, Cell, Data, the
// formatting inside a Data); the library's writer recurses once per level.
inline constexpr int MaxWorkbookDepth = 64;

// Parses a workbook from memory. The document, or null with `whyNot` set. Nothing is validated and no schema is
// looked for, so the well-formedness scanner does; namespaces are resolved where they matter by WorkbookDocument,
// not by the parser for every node.
OwnedDocument ParseWorkbook(XERCES_CPP_NAMESPACE::DOMImplementation& implementation, std::string_view bytes,
    const XMLCh* systemId, std::string& whyNot);

// The empty workbook: document properties, window settings and styles, and no worksheet.
OwnedDocument ParseWorkbookTemplate(XERCES_CPP_NAMESPACE::DOMImplementation& implementation);

// How deeply the elements of `bytes` nest, read off the markup without parsing it; stops counting above `limit`.
// Comments, processing instructions, CDATA sections and quoted attribute values are stepped over.
int ElementDepth(std::string_view bytes, int limit);

// The text of a Xerces message in UTF-8.
std::string Utf8(const XMLCh* text);
