// Naming Outlook Express identities on the command line.
#include "OeCliIdentity.h"

#include "JobFile.h"
#include "NodeFormat.h"
#include "OeCliText.h"
#include "core/OeStrings.h"
#include "platform/TextFormat.h"

namespace tavctl {

bool ResolveMachineIdentity(const std::vector<OeIdentity>& identities, const std::string& text,
                            OeIdentity& out, std::string& problem) {
    for (const OeIdentity& identity : identities) {
        if (OeEqualsNoCase(identity.identifier, text)) {
            out = identity;
            return true;
        }
    }
    int found = 0;
    for (const OeIdentity& identity : identities) {
        if (!identity.displayName.empty() && identity.displayName == text) {
            out = identity;
            ++found;
        }
    }
    if (found == 1) return true;
    problem = found > 1 ? oecli::ERR_AMBIGUOUS_NAME : oecli::ERR_NO_IDENTITY;
    return false;
}

std::string IdentityLabel(const OeIdentity& identity) {
    if (identity.displayName.empty()) return Printable(identity.identifier);
    return plat::Format(oecli::IDENTITY_TEXT, Printable(identity.displayName).c_str(),
                  Printable(identity.identifier).c_str());
}

}  // namespace tavctl
