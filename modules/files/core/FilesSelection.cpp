// Selection rules of the Files and Folders node: adding paths, removing sources, filters.
#include "core/FilesSelection.h"

#include "core/FilesTexts.h"
#include "core/TavJobFilesHelper.h"
#include "platform/TextFormat.h"

TavAddPathResult AddSelectionPath(CTavJobFilesHelper& selection, const std::string& path,
                                  bool isFolder) {
    TavAddPathResult result;
    const SubPathTestResult r = selection.CheckDupSupPath(filestext::XML_FILE, path);
    if (r == SubPathSame || r == SubPathInside) {
        result.outcome = TavAddPathOutcome::AlreadyCovered;
        result.warning = plat::Format(filestext::WARN_ALREADY_IN_LIST, path.c_str());
        return result;
    }
    if (r == SubPathContains) {
        if (!isFolder) return result;
        // The folder takes the place of every source below it. The paths are gathered first:
        // each removal sorts the index again.
        std::vector<std::string> below;
        for (int i = 0; i < selection.GetFileCount(); ++i)
            if (auto source = selection.GetFile(i);
                source && CTavJobFilesHelper::IsBelow(*source, path))
                below.push_back(*source);
        for (const std::string& source : below)
            if (selection.RemoveFile(source)) result.removedSources.push_back(source);
    }
    if (!selection.AddFile(path)) return result;
    selection.Sort();
    result.outcome = TavAddPathOutcome::Added;
    return result;
}

int RemoveSelectionSource(CTavJobFilesHelper& selection, const std::string& path) {
    if (!selection.RemoveFile(path)) return 0;
    std::vector<std::string> filters;
    for (int i = 0; i < selection.GetFilterCount(); ++i)
        if (auto filter = selection.GetFilteredPath(i);
            filter && CTavJobFilesHelper::IsBelow(*filter, path))
            filters.push_back(*filter);
    for (const std::string& filter : filters) selection.RemoveFilter(filter);
    std::vector<std::string> excludes;
    for (int i = 0; i < selection.GetExcludeCount(); ++i)
        if (auto exclude = selection.GetExclude(i);
            exclude && CTavJobFilesHelper::IsBelow(*exclude, path))
            excludes.push_back(*exclude);
    for (const std::string& exclude : excludes) selection.RemoveExclude(exclude);
    selection.RemoveExclude(path);
    return 1;
}

int EditFolderFilter(CTavJobFilesHelper& selection, const std::string& folder,
                     const std::string& included, const std::string& excluded, bool recursive) {
    const bool any = !included.empty() || !excluded.empty();
    if (selection.IsDirty()) selection.Sort();
    if (selection.SearchInFilters(folder)) {
        if (!any) return selection.RemoveFilter(folder);
        const int flag = recursive ? 1 : 0;
        return selection.SetFilterDesc(folder, &flag, &included, &excluded);
    }
    if (!any) return 0;
    if (!selection.AddFilter(folder, recursive ? 1 : 0, included, excluded)) return 0;
    selection.Sort();
    return 1;
}
