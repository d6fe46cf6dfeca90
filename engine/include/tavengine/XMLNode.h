// XMLNode: a handle to an element of an XML document (jobs, requests, module descriptors).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tavengine/TavEngineExport.h"

namespace pugi {
struct xml_node_struct;
}

class CXmlDocument;

// A handle shares ownership of its document: the document lives while any handle to one of
// its elements does. A handle to an element that was removed from its document must not be
// used any more (as with any document model). An empty handle answers every query with an
// empty result and refuses every change. Documents are not thread-safe.
class TAVENGINE_API XMLNode {
public:
    XMLNode();
    ~XMLNode();
    XMLNode(const XMLNode&);
    XMLNode& operator=(const XMLNode&);
    XMLNode(XMLNode&&) noexcept;
    XMLNode& operator=(XMLNode&&) noexcept;

    // Parses `text` (UTF-8) as a whole document whose root element is named `rootName`
    // (any root when empty). Returns the root element, or an empty handle with `error` set
    // to a readable reason (never throws, whatever the bytes).
    static XMLNode Parse(std::string_view text, const std::string& rootName,
                         std::string* error = nullptr);
    // A new document holding only an empty root element.
    static XMLNode CreateDocument(const std::string& rootName);

    bool IsEmpty() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const XMLNode& other) const { return m_node == other.m_node; }

    std::string GetName() const;
    XMLNode GetRoot() const;    // the document's root element
    XMLNode GetParent() const;  // empty for the root element

    // Element children (text and comments are not counted).
    int GetChildCount() const;
    int GetChildCount(const std::string& name) const;
    XMLNode GetChild(int index) const;  // by position among all element children
    XMLNode GetChild(const std::string& name, int index = 0) const;  // the index-th of that name
    XMLNode GetFirstChild() const;
    XMLNode GetNextSibling() const;  // the next element sibling
    XMLNode GetNextSibling(const std::string& name) const;
    int GetIndex() const;  // position among the parent's element children; -1 for the root

    // Appends a new element; empty on failure.
    XMLNode AddChild(const std::string& name);
    // Inserts a new element before `before` (a child of this element), or appends when
    // `before` is empty.
    XMLNode InsertChild(const std::string& name, const XMLNode& before);
    // Appends a deep copy of `source` (from any document).
    XMLNode AddChildCopy(const XMLNode& source);
    bool RemoveChild(const XMLNode& child);
    // Removes every element child of that name; the number removed.
    int RemoveChildren(const std::string& name);

    bool HasAttribute(const std::string& name) const;
    std::string GetAttribute(const std::string& name, const std::string& defaultValue = {}) const;
    bool SetAttribute(const std::string& name, const std::string& value);
    bool RemoveAttribute(const std::string& name);
    std::vector<std::pair<std::string, std::string>> GetAttributes() const;
    // Numbers in the "#%08X" form; `defaultValue` when absent or not a number.
    uint32_t GetNumber(const std::string& name, uint32_t defaultValue = 0) const;
    bool SetNumber(const std::string& name, uint32_t value);

    // The element's text content (its first text child).
    std::string GetText() const;
    bool SetText(const std::string& text);

    // The whole document as text: an XML declaration, then the elements indented by tabs.
    std::string CreateXMLString() const;
    // This element alone, on one line, without declaration.
    std::string CreateNodeString() const;

private:
    XMLNode(std::shared_ptr<CXmlDocument> doc, pugi::xml_node_struct* node);
    void Touch() const;

    std::shared_ptr<CXmlDocument> m_doc;
    pugi::xml_node_struct* m_node = nullptr;
};

// XML numbers: "#" and eight upper-case hexadecimal digits ("#00000001").
TAVENGINE_API std::string TavDword2Xml(uint32_t value);
// Reads "#" and 1 to 8 hexadecimal digits (either case), or plain decimal digits as a
// person may write them by hand; false for anything else (out is then unchanged).
TAVENGINE_API bool TryTavXml2Dword(std::string_view text, uint32_t& out);
// The same with a default for text that is not a number.
TAVENGINE_API uint32_t TavXml2Dword(std::string_view text, uint32_t defaultValue = 0);
