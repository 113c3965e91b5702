#pragma once
// The one owner of a Xerces DOM document: it is released, with every node it made, when its owner goes. The library
// must still be initialised then, so an owner lives inside the XmlLibrary that made its document.

#include <memory>

#include <xercesc/dom/DOMDocument.hpp>

struct DocumentRelease {
    void operator()(XERCES_CPP_NAMESPACE::DOMDocument* document) const { document->release(); }
};
using OwnedDocument = std::unique_ptr<XERCES_CPP_NAMESPACE::DOMDocument, DocumentRelease>;
