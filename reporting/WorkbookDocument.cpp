#include "reporting/WorkbookDocument.h"

#include <string_view>
#include <utility>

#include <xercesc/util/XMLUni.hpp>

using namespace XERCES_CPP_NAMESPACE;

namespace {

// The program's own custom document property, its container and the namespace of its type attribute.
constexpr const char16_t* CustomPropertiesName = u"CustomDocumentProperties";
constexpr const char16_t* ProgramPropertyName = u"ZvonkaryJournalRows";
constexpr const char16_t* DataTypeNamespace = u"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";

// The prefix the format's attributes get when the document binds none to the namespace; declared on the root.
constexpr const char16_t* FallbackPrefix = u"ss";

// The namespace `prefix` (empty for the default) stands for at `element`: the nearest xmlns declaration of the
// element or an ancestor. Null when none is in scope.
const XMLCh* NamespaceOf(const DOMNode* element, std::u16string_view prefix)
{
    const std::u16string declaration = prefix.empty() ? u"xmlns" : u"xmlns:" + std::u16string(prefix);
    for (const DOMNode* node = element; node && node->getNodeType() == DOMNode::ELEMENT_NODE;
         node = node->getParentNode()) {
        if (const DOMAttr* attribute = static_cast<const DOMElement*>(node)->getAttributeNode(declaration.c_str()))
            return attribute->getValue();
    }
    return nullptr;
}

// A qualified name split at its colon: the prefix (empty when none) and the local name.
std::pair<std::u16string_view, std::u16string_view> Split(const XMLCh* name)
{
    const std::u16string_view qualified(name);
    const std::size_t colon = qualified.find(u':');
    if (colon == std::u16string_view::npos)
        return {{}, qualified};
    return {qualified.substr(0, colon), qualified.substr(colon + 1)};
}

// The prefix the root binds to `uri` with an xmlns:prefix attribute, "ss" first when there are several; empty when
// none does.
std::u16string PrefixDeclaredFor(const DOMElement& element, const XMLCh* uri)
{
    std::u16string found;
    const DOMNamedNodeMap* attributes = element.getAttributes();
    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
        const DOMNode* attribute = attributes->item(i);
        const auto [prefix, local] = Split(attribute->getNodeName());
        if (prefix != u"xmlns" || !XMLString::equals(attribute->getNodeValue(), uri))
            continue;
        found = local;
        if (found == FallbackPrefix)
            break;
    }
    return found;
}

}  // namespace

WorkbookDocument::WorkbookDocument(DOMDocument* document)
    : document(document)
{
    DOMElement* root = document->getDocumentElement();
    // New elements: unprefixed where the default namespace is the format's, as in every file this program wrote.
    if (!XMLString::equals(NamespaceOf(root, {}), Namespace)) {
        std::u16string prefix = PrefixDeclaredFor(*root, Namespace);
        elementPrefix = prefix.empty() ? std::u16string() : prefix + u":";
    }
    std::u16string bound = PrefixDeclaredFor(*root, Namespace);
    if (bound.empty()) {
        bound = FallbackPrefix;
        root->setAttribute((u"xmlns:" + bound).c_str(), Namespace);
        if (elementPrefix.empty() && !XMLString::equals(NamespaceOf(root, {}), Namespace))
            elementPrefix = bound + u":";
    }
    attributePrefix = bound + u":";
}

bool WorkbookDocument::IsWorkbook(const DOMDocument& document)
{
    return Is(document.getDocumentElement(), u"Workbook");
}

bool WorkbookDocument::Is(const DOMNode* node, const char16_t* localName)
{
    return IsIn(node, Namespace, localName);
}

bool WorkbookDocument::IsIn(const DOMNode* node, const char16_t* uri, const char16_t* localName)
{
    if (!node || node->getNodeType() != DOMNode::ELEMENT_NODE)
        return false;
    const auto [prefix, local] = Split(node->getNodeName());
    return local == localName && XMLString::equals(NamespaceOf(node, prefix), uri);
}

const XMLCh* WorkbookDocument::AttributeOf(const DOMElement& element, const char16_t* localName)
{
    // Unprefixed attributes are in no namespace; the format's attributes are always prefixed.
    const DOMNamedNodeMap* attributes = element.getAttributes();
    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
        const DOMNode* attribute = attributes->item(i);
        const auto [prefix, local] = Split(attribute->getNodeName());
        if (!prefix.empty() && prefix != u"xmlns" && local == localName
            && XMLString::equals(NamespaceOf(&element, prefix), Namespace))
            return attribute->getNodeValue();
    }
    return nullptr;
}

DOMElement* WorkbookDocument::FindWorksheet(const std::u16string& name) const
{
    // Worksheets are children of Workbook. Walking the children, not every descendant, keeps opening a long-used
    // workbook quick: the rows of all pupils are never visited.
    DOMElement* root = document->getDocumentElement();
    for (DOMElement* candidate = root->getFirstElementChild(); candidate;
         candidate = candidate->getNextElementSibling()) {
        if (Is(candidate, u"Worksheet") && XMLString::equals(AttributeOf(*candidate, u"Name"), name.c_str()))
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
    // A worksheet's table is one of its children; its rows are not looked at.
    for (DOMElement* child = worksheet->getFirstElementChild(); child; child = child->getNextElementSibling())
        if (Is(child, u"Table"))
            return child;
    return nullptr;
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

DOMElement* WorkbookDocument::FindProgramProperty() const
{
    for (DOMElement* child = document->getDocumentElement()->getFirstElementChild(); child;
         child = child->getNextElementSibling()) {
        if (!IsIn(child, OfficeNamespace, CustomPropertiesName))
            continue;
        for (DOMElement* property = child->getFirstElementChild(); property;
             property = property->getNextElementSibling())
            if (IsIn(property, OfficeNamespace, ProgramPropertyName))
                return property;
    }
    return nullptr;
}

std::u16string WorkbookDocument::ProgramProperty() const
{
    const DOMElement* property = FindProgramProperty();
    if (!property)
        return {};
    std::u16string text;
    for (const DOMNode* node = property->getFirstChild(); node; node = node->getNextSibling())
        if (node->getNodeType() == DOMNode::TEXT_NODE || node->getNodeType() == DOMNode::CDATA_SECTION_NODE)
            text += node->getNodeValue();
    return text;
}

void WorkbookDocument::SetProgramProperty(const std::u16string& text)
{
    DOMElement* property = FindProgramProperty();
    if (property) {
        DOMNode* container = property->getParentNode();
        container->removeChild(property)->release();
        if (!static_cast<DOMElement*>(container)->getFirstElementChild())
            container->getParentNode()->removeChild(container)->release();
    }
    if (text.empty())
        return;
    // Declared on the element itself, so that it reads the same whatever the root declares; placed where Excel puts
    // custom properties, after DocumentProperties.
    DOMElement* root = document->getDocumentElement();
    DOMElement* container = document->createElement(CustomPropertiesName);
    container->setAttribute(u"xmlns", OfficeNamespace);
    container->setAttribute(u"xmlns:dt", DataTypeNamespace);
    DOMNode* before = root->getFirstElementChild();
    if (before && IsIn(before, OfficeNamespace, u"DocumentProperties"))
        before = before->getNextSibling();
    root->insertBefore(container, before);
    property = document->createElement(ProgramPropertyName);
    property->setAttribute(u"dt:dt", u"string");
    property->appendChild(document->createTextNode(text.c_str()));
    container->appendChild(property);
}

// New nodes are qualified names whose prefixes the root declares, as the parser makes them.
DOMElement* WorkbookDocument::AppendElement(DOMElement* parent, const char16_t* name)
{
    const std::u16string qualified = elementPrefix + name;
    DOMElement* element = document->createElement(qualified.c_str());
    parent->appendChild(element);
    return element;
}

void WorkbookDocument::SetAttribute(DOMElement* element, const char16_t* name, const char16_t* value)
{
    const std::u16string qualified = attributePrefix + name;
    element->setAttribute(qualified.c_str(), value);
}
