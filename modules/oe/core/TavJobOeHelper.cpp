// CTavJobOeHelper: identities and exclusions of the job's "oe" node.
#include "core/TavJobOeHelper.h"

#include "core/OeStrings.h"
#include "core/OeTexts.h"

CTavJobOeHelper::CTavJobOeHelper(const XMLNode& node, CTavJobHelper* job)
    : CTavJobNodeHelper(node, job) {}

CTavJobOeHelper::~CTavJobOeHelper() = default;

XMLNode CTavJobOeHelper::GetIdentityNode(int index) const {
    if (index < 0) return XMLNode();
    return m_node.GetChild(oetext::JOB_IDENTITY, index);
}

int CTavJobOeHelper::GetIdentityNode(const std::string& identifier, XMLNode& node) const {
    for (XMLNode child = m_node.GetChild(oetext::JOB_IDENTITY, 0); child;
         child = child.GetNextSibling(oetext::JOB_IDENTITY)) {
        if (OeEqualsNoCase(child.GetAttribute(oetext::JOB_UID), identifier)) {
            node = child;
            return 1;
        }
    }
    node = XMLNode();
    return 0;
}

int CTavJobOeHelper::AddIdentity(const std::string& identifier) {
    XMLNode existing;
    if (identifier.empty() || GetIdentityNode(identifier, existing)) return 0;
    XMLNode added = m_node.AddChild(oetext::JOB_IDENTITY);
    if (!added || !added.SetAttribute(oetext::JOB_UID, identifier)) return 0;
    NotifyJob(1);
    return 1;
}

int CTavJobOeHelper::RemoveIdentity(const std::string& identifier) {
    XMLNode identity;
    if (!GetIdentityNode(identifier, identity) || !m_node.RemoveChild(identity)) return 0;
    NotifyJob(1);
    return 1;
}

int CTavJobOeHelper::AddExcludedItem(const std::string& identifier, uint32_t tag,
                                     const std::string& key,
                                     const std::optional<std::string>& dbxName) {
    if (key.empty() || SearchExcludedItem(identifier, key, OE_SEARCH_EXACT)) return 0;
    AddIdentity(identifier);
    XMLNode identity;
    if (!GetIdentityNode(identifier, identity)) return 0;
    XMLNode excluded = identity.AddChild(oetext::JOB_EXCLUDED);
    if (!excluded) return 0;
    char pid[5];
    Pid2SzPid(pid, tag);
    excluded.SetAttribute(oetext::JOB_PID, pid);
    excluded.SetAttribute(oetext::JOB_KEY, key);
    if (dbxName) excluded.SetAttribute(oetext::JOB_DBXNAME, *dbxName);
    NotifyJob(1);
    return 1;
}

int CTavJobOeHelper::RemoveExcludedItem(const std::string& identifier, const std::string& key) {
    XMLNode identity;
    if (!GetIdentityNode(identifier, identity)) return 0;
    int removed = 0;
    XMLNode child = identity.GetChild(oetext::JOB_EXCLUDED, 0);
    while (child) {
        XMLNode next = child.GetNextSibling(oetext::JOB_EXCLUDED);
        if (child.HasAttribute(oetext::JOB_KEY) &&
            OeStartsWithNoCase(child.GetAttribute(oetext::JOB_KEY), key) &&
            identity.RemoveChild(child))
            removed = 1;
        child = next;
    }
    if (removed) NotifyJob(1);
    return removed;
}

int CTavJobOeHelper::SearchExcludedItem(const std::string& identifier, const std::string& key,
                                        uint32_t mode) const {
    XMLNode ignored;
    return DoSearchExcludedItem(identifier, key, ignored, mode);
}

int CTavJobOeHelper::DoSearchExcludedItem(const std::string& identifier, const std::string& key,
                                          XMLNode& element, uint32_t mode) const {
    element = XMLNode();
    XMLNode identity;
    if (!GetIdentityNode(identifier, identity)) return 0;
    for (XMLNode child = identity.GetChild(oetext::JOB_EXCLUDED, 0); child;
         child = child.GetNextSibling(oetext::JOB_EXCLUDED)) {
        // An empty key would count as the ancestor of everything; it excludes nothing.
        const std::string stored = child.GetAttribute(oetext::JOB_KEY);
        if (stored.empty()) continue;
        int result = 0;
        if ((mode & OE_SEARCH_EXACT) && OeEqualsNoCase(stored, key)) {
            result = 1;
        } else if ((mode & OE_SEARCH_ANCESTOR) && OeStartsWithNoCase(key, stored)) {
            result = stored.size() == key.size() ? 1 : 2;
        } else if ((mode & OE_SEARCH_DESCENDANT) && OeStartsWithNoCase(stored, key)) {
            result = stored.size() == key.size() ? 1 : 4;
        }
        if (result != 0) {
            element = child;
            return result;
        }
    }
    return 0;
}

int CTavJobOeHelper::SearchExcludedMessage(const std::string& identifier,
                                           const std::string& dbxName) const {
    XMLNode identity;
    if (!GetIdentityNode(identifier, identity)) return 0;
    for (XMLNode child = identity.GetChild(oetext::JOB_EXCLUDED, 0); child;
         child = child.GetNextSibling(oetext::JOB_EXCLUDED)) {
        if (child.HasAttribute(oetext::JOB_DBXNAME) &&
            OeEqualsNoCase(child.GetAttribute(oetext::JOB_DBXNAME), dbxName))
            return 1;
    }
    return 0;
}

void CTavJobOeHelper::CearlExcludedItems() {
    if (m_node.RemoveChildren(oetext::JOB_IDENTITY) > 0) NotifyJob(1);
}

void CTavJobOeHelper::Pid2SzPid(char buffer[5], uint32_t tag) {
    buffer[0] = char(tag >> 24);
    buffer[1] = char(tag >> 16);
    buffer[2] = char(tag >> 8);
    buffer[3] = char(tag);
    buffer[4] = '\0';
}

uint32_t CTavJobOeHelper::SzPid2Pid(const char* text) {
    if (text == nullptr) return 0;
    uint32_t tag = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t c = text[i] != '\0' ? uint8_t(text[i]) : 0;
        tag |= uint32_t(c) << (24 - 8 * i);
        if (c == 0) break;
    }
    return tag;
}
