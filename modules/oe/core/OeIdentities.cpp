// COeIdentities: identities, their Outlook Express keys and store folders.
#include "core/OeIdentities.h"

#include <optional>

#include "core/OeDriveMap.h"
#include "core/OeTexts.h"
#include "platform/EnvExpand.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace {

std::string IdentityKey(const std::string& identifier) {
    return std::string(oetext::IDENTITIES_KEY) + "\\" + identifier;
}

// Expands the variables the environment knows, then those kept as values of
// HKEY_CURRENT_USER "Environment" (the user's variables of a Windows or Wine profile).
std::string ExpandStoreRoot(std::string_view text) {
    const std::string once = plat::ExpandEnvironmentStrings(text);
    if (once.find('%') == std::string::npos) return once;
    plat::CRegistry environment;
    if (!environment.Open(plat::HKEY_CURRENT_USER, oetext::ENVIRONMENT_KEY, false)) return once;
    return plat::ExpandVariables(once, [&](std::string_view name) -> std::optional<std::string> {
        std::string value;
        if (!environment.ReadString(name, value)) return std::nullopt;
        return plat::ExpandEnvironmentStrings(value);
    });
}

}  // namespace

bool COeIdentities::IsValidIdentifier(std::string_view identifier) {
    return !identifier.empty() && plat::CheckKeyName(identifier).empty();
}

std::vector<OeIdentity> COeIdentities::EnumIdentities() {
    std::vector<OeIdentity> out;
    plat::CRegistry identities;
    if (!identities.Open(plat::HKEY_CURRENT_USER, oetext::IDENTITIES_KEY, false)) return out;
    std::string name;
    for (uint32_t index = 0; identities.EnumKey(index, name); ++index) {
        OeIdentity identity;
        identity.identifier = name;
        if (GetIdenName(name, identity.displayName)) out.push_back(std::move(identity));
    }
    return out;
}

int COeIdentities::GetIdenName(const std::string& identifier, std::string& name) {
    name.clear();
    if (!IsValidIdentifier(identifier)) return 0;
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_CURRENT_USER, IdentityKey(identifier), false)) return 0;
    if (!key.ReadString(oetext::USERNAME_VALUE, name)) name.clear();
    return 1;
}

int COeIdentities::OpenOeKey(const std::string& identifier, plat::CRegistry& key) {
    if (!IsValidIdentifier(identifier)) return 0;
    const std::string oeKey = IdentityKey(identifier) + oetext::OE_SUBKEY;
    plat::CRegistry outlook;
    std::string version;
    if (!outlook.Open(plat::HKEY_CURRENT_USER, oeKey, false) || !outlook.EnumKey(0, version))
        return 0;
    return key.Open(plat::HKEY_CURRENT_USER, oeKey + "\\" + version, false) ? 1 : 0;
}

std::string COeIdentities::StoreRootToFolder(std::string_view storeRoot) {
    const std::string expanded = ExpandStoreRoot(storeRoot);
    std::optional<std::string> folder = COeDriveMap::MapPath(expanded);
    if (!folder || folder->empty()) return {};
    if (folder->back() != '/') *folder += '/';
    return *folder;
}

int COeIdentities::GetOeDir(const std::string& identifier, std::string& directory) {
    directory.clear();
    plat::CRegistry key;
    if (!OpenOeKey(identifier, key)) return 0;
    std::string storeRoot;
    if (!key.ReadString(oetext::STORE_ROOT_VALUE, storeRoot)) return 0;
    directory = StoreRootToFolder(storeRoot);
    return directory.empty() ? 0 : 1;
}

int COeIdentities::ExportReg(const std::string& file, const std::string& key) {
    plat::RemoveFile(file);
    std::string error;
    plat::CRegistry::ExportKey(key, file, error);
    return plat::PathExists(file) ? 1 : 0;
}

int COeIdentities::ImportReg(const std::string& file, std::string* error) {
    std::string why;
    const bool ok = plat::CRegistry::ImportFile(file, why);
    if (error != nullptr) *error = why;
    return ok ? 1 : 0;
}
