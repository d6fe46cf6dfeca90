// XMLNode over pugixml: the document holder, navigation, changes and text output.
#include "tavengine/XMLNode.h"

#include <pugixml.hpp>
#include <unordered_map>

#include "EngineTexts.h"
#include "TextUtil.h"

// The document and a cache of element-children lists, so that reaching a child by its
// position (which the job helpers do for every lookup of their sorted indexes) costs O(1)
// instead of a walk along the siblings. Every change made through a handle drops the cache.
class CXmlDocument {
public:
    pugi::xml_document doc;

    const std::vector<pugi::xml_node_struct*>& Children(pugi::xml_node parent) {
        auto it = m_children.find(parent.internal_object());
        if (it != m_children.end()) return it->second;
        std::vector<pugi::xml_node_struct*> list;
        for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element) list.push_back(child.internal_object());
        return m_children.emplace(parent.internal_object(), std::move(list)).first->second;
    }
    void Changed() { m_children.clear(); }

private:
    std::unordered_map<pugi::xml_node_struct*, std::vector<pugi::xml_node_struct*>> m_children;
};

namespace {

pugi::xml_node Wrap(pugi::xml_node_struct* node) { return pugi::xml_node(node); }

pugi::xml_node NextElement(pugi::xml_node node) {
    for (node = node.next_sibling(); node; node = node.next_sibling())
        if (node.type() == pugi::node_element) return node;
    return {};
}

// Collects the output of pugixml's writer into a string.
struct CStringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

}  // namespace

XMLNode::XMLNode() = default;
XMLNode::~XMLNode() = default;
XMLNode::XMLNode(const XMLNode&) = default;
XMLNode& XMLNode::operator=(const XMLNode&) = default;
XMLNode::XMLNode(XMLNode&&) noexcept = default;
XMLNode& XMLNode::operator=(XMLNode&&) noexcept = default;

XMLNode::XMLNode(std::shared_ptr<CXmlDocument> doc, pugi::xml_node_struct* node)
    : m_doc(std::move(doc)), m_node(node) {}

void XMLNode::Touch() const {
    if (m_doc) m_doc->Changed();
}

XMLNode XMLNode::Parse(std::string_view text, const std::string& rootName, std::string* error) {
    auto holder = std::make_shared<CXmlDocument>();
    // Comments are kept, so that a hand-written document keeps them when it is saved again.
    pugi::xml_parse_result result = holder->doc.load_buffer(
        text.data(), text.size(), pugi::parse_default | pugi::parse_comments, pugi::encoding_auto);
    if (!result) {
        if (error != nullptr)
            *error = plat::Format(engtext::XML_PARSE_ERROR, result.description(),
                                     static_cast<long long>(result.offset));
        return {};
    }
    pugi::xml_node root = holder->doc.document_element();
    if (!root) {
        if (error != nullptr) *error = engtext::XML_NO_ROOT;
        return {};
    }
    if (!rootName.empty() && rootName != root.name()) {
        if (error != nullptr)
            *error = plat::Format(engtext::XML_WRONG_ROOT, root.name(), rootName.c_str());
        return {};
    }
    return XMLNode(holder, root.internal_object());
}

XMLNode XMLNode::CreateDocument(const std::string& rootName) {
    auto holder = std::make_shared<CXmlDocument>();
    pugi::xml_node root = holder->doc.append_child(rootName.c_str());
    if (!root) return {};
    return XMLNode(holder, root.internal_object());
}

std::string XMLNode::GetName() const { return m_node ? Wrap(m_node).name() : std::string(); }

XMLNode XMLNode::GetRoot() const {
    if (!m_node) return {};
    return XMLNode(m_doc, m_doc->doc.document_element().internal_object());
}

XMLNode XMLNode::GetParent() const {
    if (!m_node) return {};
    pugi::xml_node parent = Wrap(m_node).parent();
    if (!parent || parent.type() != pugi::node_element) return {};
    return XMLNode(m_doc, parent.internal_object());
}

int XMLNode::GetChildCount() const {
    if (!m_node) return 0;
    return static_cast<int>(m_doc->Children(Wrap(m_node)).size());
}

int XMLNode::GetChildCount(const std::string& name) const {
    int count = 0;
    if (!m_node) return 0;
    for (pugi::xml_node_struct* child : m_doc->Children(Wrap(m_node)))
        if (name == Wrap(child).name()) ++count;
    return count;
}

XMLNode XMLNode::GetChild(int index) const {
    if (!m_node || index < 0) return {};
    const auto& children = m_doc->Children(Wrap(m_node));
    if (static_cast<size_t>(index) >= children.size()) return {};
    return XMLNode(m_doc, children[static_cast<size_t>(index)]);
}

XMLNode XMLNode::GetChild(const std::string& name, int index) const {
    if (!m_node || index < 0) return {};
    for (pugi::xml_node child = Wrap(m_node).child(name.c_str()); child;
         child = child.next_sibling(name.c_str())) {
        if (index-- == 0) return XMLNode(m_doc, child.internal_object());
    }
    return {};
}

XMLNode XMLNode::GetFirstChild() const { return GetChild(0); }

XMLNode XMLNode::GetNextSibling() const {
    if (!m_node) return {};
    pugi::xml_node next = NextElement(Wrap(m_node));
    return next ? XMLNode(m_doc, next.internal_object()) : XMLNode();
}

XMLNode XMLNode::GetNextSibling(const std::string& name) const {
    if (!m_node) return {};
    pugi::xml_node next = Wrap(m_node).next_sibling(name.c_str());
    return next ? XMLNode(m_doc, next.internal_object()) : XMLNode();
}

int XMLNode::GetIndex() const {
    XMLNode parent = GetParent();
    if (!parent) return -1;
    const auto& children = m_doc->Children(Wrap(parent.m_node));
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i] == m_node) return static_cast<int>(i);
    return -1;
}

XMLNode XMLNode::AddChild(const std::string& name) { return InsertChild(name, XMLNode()); }

XMLNode XMLNode::InsertChild(const std::string& name, const XMLNode& before) {
    if (!m_node || name.empty()) return {};
    pugi::xml_node self = Wrap(m_node);
    pugi::xml_node child;
    if (before) {
        if (Wrap(before.m_node).parent() != self) return {};
        child = self.insert_child_before(pugi::node_element, Wrap(before.m_node));
    } else {
        child = self.append_child(pugi::node_element);
    }
    if (!child) return {};
    child.set_name(name.c_str());
    Touch();
    return XMLNode(m_doc, child.internal_object());
}

XMLNode XMLNode::AddChildCopy(const XMLNode& source) {
    if (!m_node || !source) return {};
    pugi::xml_node copy = Wrap(m_node).append_copy(Wrap(source.m_node));
    if (!copy) return {};
    Touch();
    return XMLNode(m_doc, copy.internal_object());
}

bool XMLNode::RemoveChild(const XMLNode& child) {
    if (!m_node || !child || child.m_doc != m_doc) return false;
    if (Wrap(child.m_node).parent() != Wrap(m_node)) return false;
    const bool removed = Wrap(m_node).remove_child(Wrap(child.m_node));
    Touch();
    return removed;
}

int XMLNode::RemoveChildren(const std::string& name) {
    if (!m_node) return 0;
    int removed = 0;
    pugi::xml_node self = Wrap(m_node);
    for (pugi::xml_node child = self.child(name.c_str()); child;) {
        pugi::xml_node next = child.next_sibling(name.c_str());
        if (self.remove_child(child)) ++removed;
        child = next;
    }
    Touch();
    return removed;
}

bool XMLNode::HasAttribute(const std::string& name) const {
    return m_node && Wrap(m_node).attribute(name.c_str());
}

std::string XMLNode::GetAttribute(const std::string& name, const std::string& defaultValue) const {
    if (!m_node) return defaultValue;
    pugi::xml_attribute attribute = Wrap(m_node).attribute(name.c_str());
    return attribute ? std::string(attribute.value()) : defaultValue;
}

bool XMLNode::SetAttribute(const std::string& name, const std::string& value) {
    if (!m_node || name.empty()) return false;
    pugi::xml_node self = Wrap(m_node);
    pugi::xml_attribute attribute = self.attribute(name.c_str());
    if (!attribute) attribute = self.append_attribute(name.c_str());
    return attribute && attribute.set_value(value.c_str());
}

bool XMLNode::RemoveAttribute(const std::string& name) {
    return m_node && Wrap(m_node).remove_attribute(name.c_str());
}

std::vector<std::pair<std::string, std::string>> XMLNode::GetAttributes() const {
    std::vector<std::pair<std::string, std::string>> out;
    if (!m_node) return out;
    for (pugi::xml_attribute a : Wrap(m_node).attributes()) out.emplace_back(a.name(), a.value());
    return out;
}

uint32_t XMLNode::GetNumber(const std::string& name, uint32_t defaultValue) const {
    if (!HasAttribute(name)) return defaultValue;
    return TavXml2Dword(GetAttribute(name), defaultValue);
}

bool XMLNode::SetNumber(const std::string& name, uint32_t value) {
    return SetAttribute(name, TavDword2Xml(value));
}

std::string XMLNode::GetText() const { return m_node ? Wrap(m_node).text().get() : std::string(); }

bool XMLNode::SetText(const std::string& text) {
    if (!m_node) return false;
    const bool ok = Wrap(m_node).text().set(text.c_str());
    Touch();
    return ok;
}

std::string XMLNode::CreateXMLString() const {
    if (!m_node) return {};
    CStringWriter writer;
    writer.text = engtext::XML_DECLARATION;
    m_doc->doc.save(writer, "\t", pugi::format_default | pugi::format_no_declaration,
                    pugi::encoding_utf8);
    return writer.text;
}

std::string XMLNode::CreateNodeString() const {
    if (!m_node) return {};
    CStringWriter writer;
    Wrap(m_node).print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return writer.text;
}
