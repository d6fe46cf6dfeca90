// COeDriveMap: drive letters to local folders.
#include "core/OeDriveMap.h"

#include <vector>

#include "core/OeStrings.h"
#include "core/OeTexts.h"
#include "platform/EnvExpand.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Registry.h"

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Folders that may hold a Wine prefix, in the order they are tried.
std::vector<std::string> WinePrefixes() {
    std::vector<std::string> prefixes;
    const std::optional<std::string> prefix = plat::GetEnv(oetext::WINEPREFIX_VARIABLE);
    if (prefix && !prefix->empty() && (*prefix)[0] == '/') prefixes.push_back(*prefix);
    const std::string home = plat::HomeDirectory();
    if (!home.empty()) prefixes.push_back(plat::JoinPath(home, oetext::WINE_DEFAULT_PREFIX));
    return prefixes;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

bool COeDriveMap::IsWindowsPath(std::string_view path) {
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':' &&
           (path.size() == 2 || path[2] == '\\' || path[2] == '/');
}

std::optional<std::string> COeDriveMap::DriveFolder(char letter) {
    if (!IsDriveLetter(letter)) return std::nullopt;
    const std::string drive = std::string(1, UpperLetter(letter)) + ":";
    plat::CRegistry key;
    std::string folder;
    if (key.Open(plat::HKEY_CURRENT_USER, oetext::DRIVES_KEY, false) &&
        key.ReadString(drive, folder)) {
        folder = plat::ExpandEnvironmentStrings(folder);
        // A mapping that is not an absolute folder maps nothing; it never falls back to a
        // default the user did not choose.
        if (folder.empty() || folder[0] != '/') return std::nullopt;
        return WithoutTrailingSlashes(folder);
    }
    for (const std::string& prefix : WinePrefixes()) {
        const std::string candidate =
            UpperLetter(letter) == 'C'
                ? plat::JoinPath(prefix, oetext::WINE_DRIVE_C)
                : plat::JoinPath(plat::JoinPath(prefix, oetext::WINE_DOSDEVICES),
                                 OeLowerAscii(drive));
        if (plat::IsDirectory(candidate)) return candidate;
    }
    return std::nullopt;
}

std::optional<std::string> COeDriveMap::MapPath(std::string_view path) {
    if (!path.empty() && path[0] == '/') return std::string(path);
    if (!IsWindowsPath(path)) return std::nullopt;
    std::optional<std::string> folder = DriveFolder(path[0]);
    if (!folder) return std::nullopt;
    std::string out = *folder;
    // The parts after "X:", split at either separator; empty and "." parts drop out.
    size_t at = 2;
    while (at < path.size()) {
        size_t end = path.find_first_of("\\/", at);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(at, end - at);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") {
            if (out.back() != '/') out += '/';
            out.append(part);
        }
        at = end + 1;
    }
    return out;
}

bool COeDriveMap::SetDriveFolder(char letter, const std::string& folder) {
    if (!IsDriveLetter(letter) || folder.empty() || folder[0] != '/') return false;
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_CURRENT_USER, oetext::DRIVES_KEY, true)) return false;
    return key.WriteString(std::string(1, UpperLetter(letter)) + ":", folder);
}
