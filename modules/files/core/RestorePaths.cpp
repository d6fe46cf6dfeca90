// Restore targets: stored names and target folders.
#include "core/RestorePaths.h"

#include "platform/FileSystem.h"
#include "platform/SysError.h"

namespace restorepath {

namespace {

// Folders a restore makes get the usual permissions less the umask (as mkdir(1) does);
// a stored mode is applied when the folder's content is written.
constexpr uint32_t NEW_FOLDER_MODE = 0777;

enum class Entry { Missing, Folder, Link, Other };

Entry Look(const std::string& path) {
    TavFindData found;
    if (!plat::GetFindData(path, found)) return Entry::Missing;
    switch (found.kind) {
        case TavFileKind::Directory:
            return Entry::Folder;
        case TavFileKind::Symlink:
            return Entry::Link;
        default:
            return Entry::Other;
    }
}

}  // namespace

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

bool SplitTopLevel(const std::string& name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty() || name[0] != '/' || name.find('\0') != std::string::npos) return false;
    size_t start = 1;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        start = end + 1;
    }
    return true;
}

std::string Join(const std::string& base, const std::vector<std::string>& parts, size_t count) {
    std::string out = base.empty() ? "/" : base;
    for (size_t i = 0; i < count && i < parts.size(); ++i) out = plat::JoinPath(out, parts[i]);
    return out;
}

bool MakeFolder(const std::string& base, const std::vector<std::string>& parts, size_t trusted,
                std::string& out, bool& created, bool make) {
    created = false;
    out = base.empty() ? "/" : base;
    bool missing = false;  // a folder on the way is missing (and would be made)
    if (!plat::IsDirectory(out)) {
        if (!make) {
            missing = true;
        } else if (!plat::CreateDirectories(out, NEW_FOLDER_MODE)) {
            return false;
        }
        created = parts.empty();
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        out = plat::JoinPath(out, parts[i]);
        if (out.size() > MAX_TARGET_BYTES) {
            plat::SetLastError(plat::ERR_FILENAME_TOO_LONG);
            return false;
        }
        const Entry entry = missing ? Entry::Missing : Look(out);
        if (entry == Entry::Folder) continue;
        if (entry == Entry::Link && i < trusted && plat::IsDirectory(out)) continue;
        if (entry != Entry::Missing) {
            plat::SetLastError(plat::ERR_ALREADY_EXISTS);
            return false;
        }
        if (!make) {
            missing = true;
            created = i + 1 == parts.size();
            continue;
        }
        if (!plat::CreateDirectory(out, NEW_FOLDER_MODE)) {
            // Another process may have made it meanwhile.
            if (Look(out) == Entry::Folder) continue;
            return false;
        }
        created = i + 1 == parts.size();
    }
    return true;
}

bool MakeChildFolder(const std::string& path, bool& created, bool make) {
    created = false;
    if (path.size() > MAX_TARGET_BYTES) {
        plat::SetLastError(plat::ERR_FILENAME_TOO_LONG);
        return false;
    }
    switch (Look(path)) {
        case Entry::Folder:
            return true;
        case Entry::Missing:
            if (!make || plat::CreateDirectory(path, NEW_FOLDER_MODE)) {
                created = true;
                return true;
            }
            return Look(path) == Entry::Folder;
        default:
            plat::SetLastError(plat::ERR_ALREADY_EXISTS);
            return false;
    }
}

}  // namespace restorepath
