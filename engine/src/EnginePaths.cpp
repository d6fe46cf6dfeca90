// NormalizePath and SetDirectory: the engines' path rules (absolute POSIX paths, exact case).
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/FileSystem.h"
#include "tavengine/TavEngine.h"

namespace {

constexpr size_t MAX_PATH_BYTES = 4095;

// Splits at '/', dropping empty and "." parts; false when a ".." part is found.
bool SplitParts(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        start = end + 1;
    }
    return true;
}

std::string JoinParts(const std::vector<std::string>& parts, size_t count) {
    std::string out = "/";
    for (size_t i = 0; i < count; ++i) {
        out += parts[i];
        out += '/';
    }
    return out;
}

// The process's current directory. The platform layer has no call for changing it yet, so
// the standard library's portable one is used here, in this one place.
bool ChangeDirectory(const std::string& path) {
    std::error_code error;
    std::filesystem::current_path(std::filesystem::path(path), error);
    return !error;
}

}  // namespace

int CTavEngine::NormalizePath(const std::string& path, std::string& folder, std::string& pattern) {
    if (path.empty() || path[0] != '/' || path.size() > MAX_PATH_BYTES ||
        path.find('\0') != std::string::npos)
        return 0;
    std::vector<std::string> parts;
    if (!SplitParts(path, parts)) return 0;
    bool isFolder = parts.empty() || path.back() == '/';
    if (!isFolder) {
        TavFindData data;
        const std::string whole = JoinParts(parts, parts.size());
        isFolder = plat::GetFindData(whole.substr(0, whole.size() - 1), data) &&
                   data.kind == TavFileKind::Directory;
    }
    if (isFolder) {
        folder = JoinParts(parts, parts.size());
        pattern = "*.*";
    } else {
        folder = JoinParts(parts, parts.size() - 1);
        pattern = parts.back();
    }
    return 1;
}

int CTavEngine::SetDirectory(const std::string& base, const std::string& itemPath) {
    if (itemPath.find('\0') != std::string::npos || base.find('\0') != std::string::npos) return 0;
    std::vector<std::string> parts;
    if (!SplitParts(itemPath, parts)) return 0;
    std::string target;
    if (base.empty()) {
        if (itemPath.empty()) return 0;
        target = itemPath;
    } else {
        target = base;
        for (const std::string& part : parts) target = plat::JoinPath(target, part);
    }
    if (target.size() > MAX_PATH_BYTES) return 0;
    if (!plat::IsDirectory(target) && !plat::CreateDirectories(target)) return 0;
    return ChangeDirectory(target) ? 1 : 0;
}

int CTavEngine::EnterDirectory(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return 0;
    return ChangeDirectory(path) ? 1 : 0;
}
