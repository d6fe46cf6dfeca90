// The user's excluded paths in the settings store.
#include "tavengine/ExcludedPaths.h"

#include "platform/Registry.h"
#include "platform/SysError.h"
#include "tavengine/TavEngine.h"

namespace {
constexpr const char* USER_KEY = "Software\\Norvik\\Tavora";
constexpr const char* LIST_VALUE = "ExcludedPaths";
constexpr const char* SWITCH_VALUE = "EnableExcludedPaths";
}  // namespace

std::vector<std::string> SplitExcludedPaths(std::string_view list) {
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string_view::npos) end = list.size();
        if (end > start) paths.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

std::string JoinExcludedPaths(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) {
        list += path;
        list += ';';
    }
    return list;
}

bool IsStorableExcludedPath(std::string_view path) {
    return !path.empty() && path.find(';') == std::string_view::npos;
}

TavExcludedPaths LoadExcludedPaths() {
    TavExcludedPaths settings;
    plat::CRegistry key;
    std::string list;
    if (key.Open(plat::HKEY_CURRENT_USER, USER_KEY, false)) {
        uint32_t enabled = 1;
        if (key.ReadNumber(SWITCH_VALUE, enabled)) settings.enabled = enabled != 0;
        if (!key.ReadString(LIST_VALUE, list)) list = GetDefaultExcludedPaths();
    } else {
        list = GetDefaultExcludedPaths();
    }
    settings.paths = SplitExcludedPaths(list);
    return settings;
}

bool SaveExcludedPaths(const TavExcludedPaths& settings) {
    plat::CRegistry key;
    return key.Open(plat::HKEY_CURRENT_USER, USER_KEY, true) &&
           key.WriteNumber(SWITCH_VALUE, settings.enabled ? 1 : 0) &&
           key.WriteString(LIST_VALUE, JoinExcludedPaths(settings.paths));
}

bool ResetExcludedPaths() {
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_CURRENT_USER, USER_KEY, true)) return false;
    return key.DeleteValue(LIST_VALUE) || key.LastError() == plat::ERR_FILE_NOT_FOUND;
}
