// COeIdentities: the Outlook Express identities of the current user in the settings store.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {
class CRegistry;
}

struct OeIdentity {
    std::string identifier;   // the subkey name under "Identities"
    std::string displayName;  // its "Username"; empty when missing
};

// The identities live under HKEY_CURRENT_USER "Identities" of the settings store (a Wine
// prefix's user.reg can be imported there as it is). Each identity's Outlook Express key
// is "Identities\<id>\Software\Microsoft\Outlook Express\<version>", the first subkey of
// "Outlook Express"; its "Store Root" names the folder of the identity's ".dbx" files.
// Every operation reports failure by its result only; none throws.
class COeIdentities {
public:
    // An identifier names one key: not empty, no '\' and none of the characters that a
    // key name may not hold.
    static bool IsValidIdentifier(std::string_view identifier);
    // The machine's identities in the store's order of subkeys.
    static std::vector<OeIdentity> EnumIdentities();
    // Non-zero when "Identities\<id>" opens; `name` is its "Username" (empty when missing).
    static int GetIdenName(const std::string& identifier, std::string& name);
    // Non-zero when the identity's Outlook Express key was found and opened into `key`.
    static int OpenOeKey(const std::string& identifier, plat::CRegistry& key);
    // Non-zero when the Outlook Express key opened and its "Store Root" gives a local
    // folder: %VARIABLES% expanded (from the environment, else from HKEY_CURRENT_USER
    // "Environment"), a Windows path mapped through COeDriveMap, '/' appended when missing.
    static int GetOeDir(const std::string& identifier, std::string& directory);
    // The "Store Root" text made into a local folder as GetOeDir does; empty when it
    // cannot be.
    static std::string StoreRootToFolder(std::string_view storeRoot);
    // Exports `key` (a full key path as CRegistry::GetCurrentKey gives it) with everything
    // below it to `file`, in the settings store's own registry-file format. The file is
    // deleted first; non-zero when it exists afterwards.
    static int ExportReg(const std::string& file, const std::string& key);
    // Imports a registry file into the settings store; non-zero on success. `error` says
    // why it failed (a malformed line changes nothing).
    static int ImportReg(const std::string& file, std::string* error = nullptr);
};
