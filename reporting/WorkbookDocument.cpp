#include "reporting/WorkbookDocument.h"

#include <xercesc/util/XMLUni.hpp>

using namespace XERCES_CPP_NAMESPACE;

namespace {

// The prefix the format's attributes get when the document binds none to the namespace; declared on the root.
constexpr const char16_t* FallbackPrefix = u"ss";

std::u16string WithColon(const XMLCh* prefix)
{
    return prefix && *prefix ? std::u16string(prefix) + u":" : std::u16string();
}

// The prefix that an xmlns:prefix attribute of `element` binds to `uri`, "ss" first when there are several; null when
// none does. (The DOM's lookupPrefix answers with the element's own prefix, none, when the element is in that
// namespace.)
const XMLCh* PrefixDeclaredFor(const DOMElement& element, const XMLCh* uri)
{
    const XMLCh* found = nullptr;
    const DOMNamedNodeMap* attributes = element.getAttributes();
    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
        const DOMNode* attribute = attributes->item(i);
        if (!XMLString::equals(attribute->getNamespaceURI(), XMLUni::fgXMLNSURIName)
            || !XMLString::equals(attribute->getPrefix(), XMLUni::fgXMLNSString)
            || !XMLString::equals(attribute->getNodeValue(), uri))
            continue;
        found = attribute->getLocalName();
        if (XMLString::equals(found, FallbackPrefix))
            break;
    }
    return found;
}

}  // namespace

WorkbookDocument::WorkbookDocument(DOMDocument* document)
    : document(document)
{
    DOMElement* root = document->getDocumentElement();
    elementPrefix = WithColon(root->getPrefix());
    const XMLCh* bound = PrefixDeclaredFor(*root, Namespace);
    if (!bound) {
        const std::u16string declaration = std::u16string(u"xmlns:") + FallbackPrefix;
        root->setAttributeNS(XMLUni::fgXMLNSURIName, declaration.c_str(), Namespace);
        bound = FallbackPrefix;
    }
    attributePrefix = WithColon(bound);
}

bool WorkbookDocument::IsWorkbook(const DOMDocument& document)
{
    return Is(document.getDocumentElement(), u"Workbook");
}

bool WorkbookDocument::Is(const DOMNode* node, const char16_t* localName)
{
    if (!node || node->getNodeType() != DOMNode::ELEMENT_NODE)
        return false;
    if (const XMLCh* local = node->getLocalName())
        return XMLString::equals(local, localName) && XMLString::equals(node->getNamespaceURI(), Namespace);
    // One this program added: its qualified name, prefixed or not, in the workbook's namespace by construction.
    const XMLCh* name = node->getNodeName();
    const int colon = XMLString::indexOf(name, u':');
    return XMLString::equals(colon < 0 ? name : name + colon + 1, localName);
}

DOMElement* WorkbookDocument::FindWorksheet(const std::u16string& name) const
{
    // Worksheets are children of Workbook. Walking the children, not every descendant, keeps opening a long-used
    // workbook quick: the rows of all pupils are never visited.
    DOMElement* root = document->getDocumentElement();
    for (DOMElement* candidate = root->getFirstElementChild(); candidate;
         candidate = candidate->getNextElementSibling()) {
        if (Is(candidate, u"Worksheet")
            && XMLString::equals(candidate->getAttributeNS(Namespace, u"Name"), name.c_str()))
            return candidate;
    }
    return nullptr;
}

DOMElement* WorkbookDocument::AddWorksheet(const std::u16string& name)
{
    DOMElement* worksheet = AppendElement(document->getDocumentElement(), u"Worksheet");
    SetAttribute(worksheet, u"Name", name.c_str());
    DOMElement* table = AppendElement(worksheet, u"Table");
    // The name column, then the value column, in points.
    for (const char16_t* width : {u"240", u"96"}) {
        DOMElement* column = AppendElement(table, u"Column");
        SetAttribute(column, u"AutoFitWidth", u"0");
        SetAttribute(column, u"Width", width);
    }
    return worksheet;
}

DOMElement* WorkbookDocument::FindTable(const DOMElement* worksheet)
{
    DOMElement* found = nullptr;
    ForEachDescendant(worksheet, u"Table", [&](const DOMElement* table) {
        if (!found)
            found = const_cast<DOMElement*>(table);
    });
    return found;
}

DOMElement* WorkbookDocument::FindOrAddTable(DOMElement* worksheet)
{
    if (DOMElement* table = FindTable(worksheet))
        return table;
    return AppendElement(worksheet, u"Table");
}

void WorkbookDocument::AppendRow(DOMElement* table, const DocumentRow& row)
{
    DOMElement* element = AppendElement(table, u"Row");
    if (row.empty)
        return;
    AppendCell(element, row.name, u"String");
    AppendCell(element, row.value, row.type);
}

void WorkbookDocument::AppendCell(DOMElement* row, const std::u16string& text, const std::u16string& type)
{
    DOMElement* data = AppendElement(AppendElement(row, u"Cell"), u"Data");
    SetAttribute(data, u"Type", type.c_str());
    data->appendChild(document->createTextNode(text.c_str()));
}

const XMLCh* WorkbookDocument::NameOf(const DOMElement& worksheet) const
{
    if (worksheet.getLocalName())
        return worksheet.getAttributeNS(Namespace, u"Name");
    const std::u16string qualified = attributePrefix + u"Name";
    return worksheet.getAttribute(qualified.c_str());
}

// New nodes carry the format's namespace and the prefixes the root declares for it, so the writer has no
// declaration to add and the file reads as it always has.
DOMElement* WorkbookDocument::AppendElement(DOMElement* parent, const char16_t* name)
{
    const std::u16string qualified = elementPrefix + name;
    DOMElement* element = document->createElementNS(Namespace, qualified.c_str());
    parent->appendChild(element);
    return element;
}

void WorkbookDocument::SetAttribute(DOMElement* element, const char16_t* name, const char16_t* value)
{
    const std::u16string qualified = attributePrefix + name;
    element->setAttributeNS(Namespace, qualified.c_str(), value);
}
