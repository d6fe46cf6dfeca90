// Naming Outlook Express identities on tavctl's command line: by identifier or by name.
#pragma once
#include <string>
#include <vector>

#include "core/OeIdentities.h"

namespace tavctl {

// The identity of this machine that `text` names: its identifier (letter case ignored), else
// its display name when exactly one identity has it. False with `problem` set otherwise.
bool ResolveMachineIdentity(const std::vector<OeIdentity>& identities, const std::string& text,
                            OeIdentity& out, std::string& problem);

// "Name ({identifier})", or the identifier alone for an identity without a name.
std::string IdentityLabel(const OeIdentity& identity);

}  // namespace tavctl
