#include "core/ExcludedPathList.h"

#include "platform/Registry.h"
#include "tavengine/ExcludedPaths.h"
#include "tavengine/TavEngine.h"

namespace editor {

void CExcludedPathList::Load() {
    enabled = true;
    rows.clear();
    plat::CRegistry key;
    if (!key.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora", true)) return;
    uint32_t on = 1;
    if (!key.ReadNumber("EnableExcludedPaths", on)) key.WriteNumber("EnableExcludedPaths", 1);
    enabled = on != 0;
    std::string list;
    if (!key.ReadString("ExcludedPaths", list)) {
        list = GetDefaultExcludedPaths();
        key.WriteString("ExcludedPaths", list);
    }
    rows = SplitExcludedPaths(list);
}

bool CExcludedPathList::Add(const std::string& path, std::string& error) {
    if (path.empty()) return false;
    if (!IsStorableExcludedPath(path)) {
        error = "\"" + path +
                "\" cannot be added to the excluded path list: a path in it must not contain \";\".";
        return false;
    }
    rows.push_back(path);
    return true;
}

int CExcludedPathList::Remove(int index) {
    if (index < 0 || size_t(index) >= rows.size()) return -1;
    rows.erase(rows.begin() + index);
    if (rows.empty()) return -1;
    return size_t(index) < rows.size() ? index : int(rows.size()) - 1;
}

void CExcludedPathList::ResetToDefault() {
    ResetExcludedPaths();
    Load();
}

bool CExcludedPathList::Save() const { return SaveExcludedPaths({enabled, rows}); }

}  // namespace editor
