#pragma once
// Writing a DOM document as a workbook's bytes: the library's writer with its defaults (no pretty-printing, the XML
// declaration), always in UTF-8.

#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>

// The whole of `document` as bytes; false, with `whyNot` set, when the writer failed.
bool SerializeWorkbook(XERCES_CPP_NAMESPACE::DOMImplementation& implementation,
    const XERCES_CPP_NAMESPACE::DOMDocument& document, std::string& bytes, std::string& whyNot);
