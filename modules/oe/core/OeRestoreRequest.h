// OeRestoreRequest: a restore request ("tav-restore") as the Outlook Express engine reads it,
// and the identity mapping a request may carry.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tavengine/XMLNode.h"

// The request in memory:
//   <tav-restore>
//     <restore baseline="#00000001" command="#00010008" location="">
//       <node id="#..."/>...            (none: restore in place)
//     </restore>
//     <excluded><node id="#..."/>...</excluded>
//     <identity-map><identity from="{A}" to="{B}"/>...</identity-map>   (optional)
//   </tav-restore>
// Ids of 0 are passed over. The baseline is read from "baseline", else "Baseline".
struct OeRestoreRequest {
    uint32_t baseline = 0;
    uint32_t command = 0;         // as written (the engine sets the restore marker)
    std::string location;         // empty: none
    bool listsNodes = false;      // "restore" has "node" children (even with id 0)
    std::vector<uint32_t> nodes;  // their non-zero ids, in document order
    std::set<uint32_t> excluded;
    // Backed-up identifier -> identifier of this machine, in document order.
    std::vector<std::pair<std::string, std::string>> identityMap;
};

// False when the text is not XML with the root "tav-restore" and a "restore" element.
bool ParseOeRestoreRequest(const std::string& text, OeRestoreRequest& out);

// Appends one mapping entry to the request whose root element is given (the
// "identity-map" element is made when missing). False for an empty identifier.
bool AddOeIdentityMap(XMLNode requestRoot, const std::string& from, const std::string& to);

// Reads "OLDUID=NEWUID" as a command line gives it. False with `error` set when either side
// is empty or not an identifier.
bool ParseOeMapArgument(const std::string& text, std::string& from, std::string& to,
                        std::string& error);
