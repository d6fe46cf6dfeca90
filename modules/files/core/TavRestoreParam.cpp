// Reading a restore request.
#include "core/TavRestoreParam.h"

#include <algorithm>
#include <cctype>

#include "core/FilesTexts.h"
#include "tavengine/RestoreRequestNames.h"
#include "tavengine/TavWords.h"
#include "tavengine/XMLNode.h"

namespace {

using namespace tavrequest;

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The attribute `name` in any letter case; false when the element has none.
bool Attribute(const XMLNode& element, const std::string& name, std::string& out) {
    if (element.HasAttribute(name)) {
        out = element.GetAttribute(name);
        return true;
    }
    for (const auto& [key, value] : element.GetAttributes()) {
        if (SameNoCase(key, name)) {
            out = value;
            return true;
        }
    }
    return false;
}

// The non-zero ids of the "node" children of `element`, in document order.
std::vector<uint32_t> NodeIds(const XMLNode& element) {
    std::vector<uint32_t> ids;
    for (XMLNode node = element.GetChild(XML_NODE); node; node = node.GetNextSibling(XML_NODE)) {
        std::string text;
        uint32_t id = 0;
        if (Attribute(node, XML_ID, text) && TryTavXml2Dword(text, id) && id != 0) ids.push_back(id);
    }
    return ids;
}

}  // namespace

bool CTavRestoreParam::Parse(const std::string& xml, std::string& error) {
    const XMLNode root = XMLNode::Parse(xml, XML_ROOT, &error);
    if (!root) return false;
    m_excluded.clear();
    for (XMLNode excluded = root.GetChild(XML_EXCLUDED); excluded;
         excluded = excluded.GetNextSibling(XML_EXCLUDED))
        for (uint32_t id : NodeIds(excluded)) AddExcluded(id);
    const XMLNode restore = root.GetChild(XML_RESTORE);
    if (!restore) {
        error = filestext::WHY_NO_RESTORE_ELEMENT;
        return false;
    }
    std::string text;
    uint32_t value = 0;
    if (Attribute(restore, XML_COMMAND, text) && TryTavXml2Dword(text, value)) command = value;
    command = SetTavCmd(command, TAV_CMD_RESTORE);
    if (!Attribute(restore, XML_BASELINE, text) || !TryTavXml2Dword(text, baseline)) {
        error = filestext::WHY_NO_BASELINE_NUMBER;
        return false;
    }
    location.clear();
    Attribute(restore, XML_LOCATION, location);
    nodes = NodeIds(restore);
    return true;
}

void CTavRestoreParam::AddExcluded(uint32_t id) {
    if (id != 0) m_excluded.push_back(id);
}

void CTavRestoreParam::SortExcluded() {
    std::sort(m_excluded.begin(), m_excluded.end());
    m_excluded.erase(std::unique(m_excluded.begin(), m_excluded.end()), m_excluded.end());
}

int64_t CTavRestoreParam::FindExcluded(uint32_t id) const {
    auto it = std::lower_bound(m_excluded.begin(), m_excluded.end(), id);
    return it != m_excluded.end() && *it == id ? int64_t(id) : -1;
}
