// CTavJobOeHelper: the Outlook Express part of a job (identities and what they leave out).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "tavengine/TavJobNodeHelper.h"

// Search modes of DoSearchExcludedItem (bits, tried in this order for each element).
constexpr uint32_t OE_SEARCH_EXACT = 1;       // the stored key equals the key -> 1
constexpr uint32_t OE_SEARCH_ANCESTOR = 2;    // the key begins with the stored key -> 1 or 2
constexpr uint32_t OE_SEARCH_DESCENDANT = 4;  // the stored key begins with the key -> 1 or 4
constexpr uint32_t OE_SEARCH_ALL = 7;

// The module's backup node ("oe") holds one "identity" element (attribute "uid") per
// identity to back up; inside it "excluded" elements ("pid", "key" and, for folders,
// "dbxname") name what is left out. Keys are dotted paths from the identity down: "." the
// whole identity, ".Messages.", ".Preference.", ".Rules.", ".Blocksenders.",
// ".Signatures." its items, ".Messages.Inbox." and deeper its folders. Identifiers, keys
// and ".dbx" names compare without regard to letter case. Every change tells the job's
// observer. The node and the job are not owned.
class CTavJobOeHelper : public CTavJobNodeHelper {
public:
    CTavJobOeHelper(const XMLNode& node, CTavJobHelper* job);
    ~CTavJobOeHelper() override;

    // The index-th "identity" element; empty when there is none.
    XMLNode GetIdentityNode(int index) const;
    // Non-zero when an "identity" element has this "uid"; it is handed out in `node`.
    int GetIdentityNode(const std::string& identifier, XMLNode& node) const;
    // 1 when the element was appended; 0 when it exists already or the identifier is empty.
    int AddIdentity(const std::string& identifier);
    // Removes the identity's element with its exclusions; 0 when there was none.
    int RemoveIdentity(const std::string& identifier);
    // Appends an "excluded" element (adding the identity when needed); 0 when the key is
    // excluded exactly already or is empty. "dbxname" is written whenever a name is given.
    int AddExcludedItem(const std::string& identifier, uint32_t tag, const std::string& key,
                        const std::optional<std::string>& dbxName = std::nullopt);
    // Removes every exclusion whose key begins with `key`; 1 when any was removed.
    int RemoveExcludedItem(const std::string& identifier, const std::string& key);
    // DoSearchExcludedItem without the element.
    int SearchExcludedItem(const std::string& identifier, const std::string& key,
                           uint32_t mode) const;
    // 0 when the identity has no element. Otherwise the first "excluded" element (in
    // document order; those without a key are passed over) that passes one of the tests
    // the mode selects: exact 1; an ancestor or the item itself 2 (1 for equal length);
    // a descendant 4 (1 for equal length). The element is handed out in `element`.
    int DoSearchExcludedItem(const std::string& identifier, const std::string& key,
                             XMLNode& element, uint32_t mode) const;
    // 1 when an exclusion of the identity names this ".dbx" file.
    int SearchExcludedMessage(const std::string& identifier, const std::string& dbxName) const;
    // Removes every "identity" element.
    void CearlExcludedItems();

    // The tag's four characters and a terminating zero.
    static void Pid2SzPid(char buffer[5], uint32_t tag);
    // The tag of up to four characters (missing ones count as 0); 0 for no text.
    static uint32_t SzPid2Pid(const char* text);
};
