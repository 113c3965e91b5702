#pragma once
// The worksheets, tables and rows of an XML Spreadsheet 2003 document held in a Xerces DOM. Elements are matched by
// the format's namespace and their local name, so a workbook that a spreadsheet program saved again with prefixes of
// its own ("ss:Worksheet") is read like one this program wrote. The document is parsed without the parser's namespace
// processing, which costs a third of the parse of a large workbook: a prefix is resolved here, through the xmlns
// declarations of the element and its ancestors, for the few elements looked at. New elements take the prefixes the
// root declares for the format's namespace, so a file this program wrote keeps its plain names.

#include <string>

#include <xercesc/dom/DOM.hpp>

// One statistics row as document text: two cells, the name as a string and the value of `type`; or an empty row.
struct DocumentRow {
    std::u16string name;
    std::u16string value;
    std::u16string type;
    bool empty = false;
};

class WorkbookDocument {
public:
    // The namespace of the format's elements and of its "ss:" attributes.
    static constexpr const char16_t* Namespace = u"urn:schemas-microsoft-com:office:spreadsheet";
    // The namespace of the document properties.
    static constexpr const char16_t* OfficeNamespace = u"urn:schemas-microsoft-com:office:office";

    // Works on `document`, which stays the caller's.
    explicit WorkbookDocument(XERCES_CPP_NAMESPACE::DOMDocument* document);

    // Whether the root element is the format's Workbook.
    static bool IsWorkbook(const XERCES_CPP_NAMESPACE::DOMDocument& document);
    // Whether `node` is an element of the format named `localName`.
    static bool Is(const XERCES_CPP_NAMESPACE::DOMNode* node, const char16_t* localName);
    // Whether `node` is an element of the namespace `uri` named `localName`.
    static bool IsIn(const XERCES_CPP_NAMESPACE::DOMNode* node, const char16_t* uri, const char16_t* localName);
    // The value of the format's attribute `localName` ("ss:Name") of `element`, or null.
    static const XMLCh* AttributeOf(const XERCES_CPP_NAMESPACE::DOMElement& element, const char16_t* localName);

    // The first Worksheet child of Workbook whose name is `name`, or null.
    XERCES_CPP_NAMESPACE::DOMElement* FindWorksheet(const std::u16string& name) const;
    // Appends a Worksheet named `name` with a Table holding the name and value columns.
    XERCES_CPP_NAMESPACE::DOMElement* AddWorksheet(const std::u16string& name);
    // The first Table below `worksheet`, or null.
    static XERCES_CPP_NAMESPACE::DOMElement* FindTable(const XERCES_CPP_NAMESPACE::DOMElement* worksheet);
    // The first Table below `worksheet`, appended (without columns) when there is none.
    XERCES_CPP_NAMESPACE::DOMElement* FindOrAddTable(XERCES_CPP_NAMESPACE::DOMElement* worksheet);
    // Appends `row` as the last Row of `table`.
    void AppendRow(XERCES_CPP_NAMESPACE::DOMElement* table, const DocumentRow& row);

    // The text of the program's own document property (which journalled rows the workbook holds), empty when there is
    // none. A custom document property of the format's office namespace: Excel keeps it; LibreOffice drops it
    // when it saves the workbook again, which costs nothing but the protection against a repeated merge.
    std::u16string ProgramProperty() const;
    // Sets it; an empty text removes it.
    void SetProgramProperty(const std::u16string& text);

private:
    XERCES_CPP_NAMESPACE::DOMElement* FindProgramProperty() const;
    XERCES_CPP_NAMESPACE::DOMElement* AppendElement(XERCES_CPP_NAMESPACE::DOMElement* parent, const char16_t* name);
    void SetAttribute(XERCES_CPP_NAMESPACE::DOMElement* element, const char16_t* name, const char16_t* value);
    void AppendCell(XERCES_CPP_NAMESPACE::DOMElement* row, const std::u16string& text, const std::u16string& type);

    XERCES_CPP_NAMESPACE::DOMDocument* document;
    std::u16string elementPrefix;    // "" or "prefix:", for new elements
    std::u16string attributePrefix;  // "prefix:" bound to the format's namespace, for new attributes
};

// Calls f for every element of the format named `localName` below `root`, in document order. Walked by hand: a live
// node list per row costs more than the whole listing, and no nesting in a crafted file can exhaust the stack.
template <class F>
void ForEachDescendant(const XERCES_CPP_NAMESPACE::DOMElement* root, const char16_t* localName, F&& f)
{
    using XERCES_CPP_NAMESPACE::DOMElement;
    using XERCES_CPP_NAMESPACE::DOMNode;
    const DOMElement* element = root->getFirstElementChild();
    while (element) {
        if (WorkbookDocument::Is(element, localName))
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
