// Reading a restore request for the Outlook Express engine; writing its identity mapping.
#include "core/OeRestoreRequest.h"

#include "core/OeIdentities.h"
#include "core/OeTexts.h"

bool ParseOeRestoreRequest(const std::string& text, OeRestoreRequest& out) {
    out = OeRestoreRequest{};
    const XMLNode root = XMLNode::Parse(text, oetext::REQUEST_ROOT);
    if (!root) return false;
    const XMLNode restore = root.GetChild(std::string(oetext::REQUEST_RESTORE));
    if (!restore) return false;

    out.command = restore.GetNumber(oetext::REQUEST_COMMAND);
    out.baseline = restore.HasAttribute(oetext::REQUEST_BASELINE)
                       ? restore.GetNumber(oetext::REQUEST_BASELINE)
                       : restore.GetNumber(oetext::REQUEST_BASELINE_ALT);
    out.location = restore.GetAttribute(oetext::REQUEST_LOCATION);
    for (XMLNode node = restore.GetChild(std::string(oetext::REQUEST_NODE)); node;
         node = node.GetNextSibling(oetext::REQUEST_NODE)) {
        out.listsNodes = true;
        const uint32_t id = node.GetNumber(oetext::REQUEST_ID);
        if (id != 0) out.nodes.push_back(id);
    }
    const XMLNode excluded = root.GetChild(std::string(oetext::REQUEST_EXCLUDED));
    for (XMLNode node = excluded.GetChild(std::string(oetext::REQUEST_NODE)); node;
         node = node.GetNextSibling(oetext::REQUEST_NODE)) {
        const uint32_t id = node.GetNumber(oetext::REQUEST_ID);
        if (id != 0) out.excluded.insert(id);
    }
    const XMLNode map = root.GetChild(std::string(oetext::REQUEST_IDENTITY_MAP));
    for (XMLNode entry = map.GetChild(std::string(oetext::REQUEST_MAP_IDENTITY)); entry;
         entry = entry.GetNextSibling(oetext::REQUEST_MAP_IDENTITY)) {
        out.identityMap.emplace_back(entry.GetAttribute(oetext::REQUEST_MAP_FROM),
                                     entry.GetAttribute(oetext::REQUEST_MAP_TO));
    }
    return true;
}

bool AddOeIdentityMap(XMLNode requestRoot, const std::string& from, const std::string& to) {
    if (!requestRoot || from.empty() || to.empty()) return false;
    XMLNode map = requestRoot.GetChild(std::string(oetext::REQUEST_IDENTITY_MAP));
    if (!map) map = requestRoot.AddChild(oetext::REQUEST_IDENTITY_MAP);
    XMLNode entry = map.AddChild(oetext::REQUEST_MAP_IDENTITY);
    return entry && entry.SetAttribute(oetext::REQUEST_MAP_FROM, from) &&
           entry.SetAttribute(oetext::REQUEST_MAP_TO, to);
}

bool ParseOeMapArgument(const std::string& text, std::string& from, std::string& to,
                        std::string& error) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        error = "\"" + text + "\" is not of the form OLDUID=NEWUID";
        return false;
    }
    from = text.substr(0, equals);
    to = text.substr(equals + 1);
    for (const std::string* side : {&from, &to}) {
        if (!COeIdentities::IsValidIdentifier(*side)) {
            error = "\"" + text + "\": \"" + *side + "\" is not an identity identifier";
            return false;
        }
    }
    return true;
}
