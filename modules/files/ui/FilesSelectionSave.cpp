// Check states into "excluded" and "partial" entries. The wanted entries are worked out in
// two sorted sets first (every path strictly below a folder is one range of them), then the
// job's node is changed once: removals in one walk, additions appended.
#include "FilesSelectionSave.h"

#include <set>
#include <unordered_set>

#include "FilesJobProviders.h"
#include "core/FilesTexts.h"
#include "platform/FileSystem.h"

namespace {

using PathSet = std::set<std::string>;

std::string BelowPrefix(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

void EraseBelow(PathSet& set, const std::string& folder) {
    const std::string prefix = BelowPrefix(folder);
    auto it = set.lower_bound(prefix);
    while (it != set.end() && it->compare(0, prefix.size(), prefix) == 0) {
        if (it->size() > prefix.size())
            it = set.erase(it);
        else
            ++it;
    }
}

class CStatesToSets {
public:
    PathSet excluded, partial;
    // Paths of items the view listed from disk (so found there) that went into the sets.
    std::unordered_set<std::string> listed;

    void Item(const CTlcDataFiles& item) {
        const std::string& p = item.FullPath();
        switch (item.CheckState()) {
            case TLC_UNCHECKED:
                EraseBelow(excluded, p);
                EraseBelow(partial, p);
                Exclude(p);
                break;
            case TLC_CHECKED:
                EraseBelow(excluded, p);
                EraseBelow(partial, p);
                excluded.erase(p);
                break;
            default: Mixed(item); break;
        }
    }

private:
    void Exclude(const std::string& p) {
        excluded.insert(p);
        partial.erase(p);
        listed.insert(p);
    }

    void Mixed(const CTlcDataFiles& folder) {
        excluded.erase(folder.FullPath());
        std::vector<const CTlcDataFiles*> files;
        for (const CTlcDataProvider* child : folder.Children()) {
            const auto* item = dynamic_cast<const CTlcDataFiles*>(child);
            if (item == nullptr) continue;
            if (item->Kind() == TLC_KIND_FOLDER)
                Item(*item);
            else
                files.push_back(item);
        }
        bool anyCleared = false;
        for (const CTlcDataFiles* file : files) {
            if (file->CheckState() == TLC_UNCHECKED) {
                Exclude(file->FullPath());
                anyCleared = true;
            } else {
                excluded.erase(file->FullPath());
            }
        }
        if (!anyCleared) return;
        for (const CTlcDataFiles* file : files)
            if (file->CheckState() == TLC_CHECKED) {
                partial.insert(file->FullPath());
                excluded.erase(file->FullPath());
                listed.insert(file->FullPath());
            }
    }
};

// The entries of one kind as the job holds them now.
template <typename Get>
PathSet ReadSet(int count, Get get) {
    PathSet set;
    for (int i = 0; i < count; ++i)
        if (auto path = get(i)) set.insert(*path);
    return set;
}

bool Exists(const std::string& path) {
    TavFindData data;
    return plat::GetFindData(path, data);
}

}  // namespace

TavStoreStatesResult StoreCheckStates(CTavFilesRoot& root) {
    TavStoreStatesResult result;
    CTavJobFilesHelper& selection = root.Selection();
    selection.Sort();
    CStatesToSets sets;
    sets.excluded = ReadSet(selection.GetExcludeCount(), [&](int i) { return selection.GetExclude(i); });
    sets.partial = ReadSet(selection.GetPartialCount(), [&](int i) { return selection.GetPartial(i); });
    const PathSet oldExcluded = sets.excluded, oldPartial = sets.partial;
    const std::string rootPath = filestext::ROOT_PATH;

    if (root.CheckState() == TLC_UNCHECKED) {
        sets.excluded = {rootPath};
    } else {
        sets.excluded.erase(rootPath);
        for (const CTlcDataProvider* child : root.Children())
            if (const auto* item = dynamic_cast<const CTlcDataFiles*>(child)) sets.Item(*item);
    }

    // Clean-up of entries whose path is gone. A path under a source that cannot be found
    // either (its disk is not mounted now) stays: it is still meant for when the disk is back.
    // Items the view listed from their folder need no second look at the disk.
    std::vector<std::string> missingSources;
    for (int i = 0; i < selection.GetFileCount(); ++i)
        if (auto source = selection.GetFile(i); source && !Exists(*source)) missingSources.push_back(*source);
    std::unordered_set<std::string> gone;
    for (const PathSet* set : {&sets.excluded, &sets.partial})
        for (const std::string& path : *set) {
            if (path == rootPath || gone.count(path) || sets.listed.count(path) ||
                !selection.SearchInFiles(path).IsEmpty() || Exists(path))
                continue;
            bool underMissing = false;
            for (const std::string& source : missingSources)
                underMissing = underMissing || CTavJobFilesHelper::IsBelow(path, source);
            if (underMissing)
                result.keptUnderMissingSource.push_back(path);
            else
                gone.insert(path);
        }
    for (const std::string& path : gone) {
        sets.excluded.erase(path);
        sets.partial.erase(path);
        result.removedMissing.push_back(path);
    }

    // The job's node: removals first (in one walk each), then the additions.
    std::unordered_set<std::string> dropExcluded, dropPartial, dropFilters;
    for (const std::string& path : oldExcluded)
        if (!sets.excluded.count(path)) dropExcluded.insert(path);
    for (const std::string& path : oldPartial)
        if (!sets.partial.count(path)) dropPartial.insert(path);
    for (const std::string& path : gone)
        if (!selection.SearchInFilters(path).IsEmpty()) dropFilters.insert(path);
    selection.RemoveEntries(filestext::XML_EXCLUDED, dropExcluded);
    selection.RemoveEntries(filestext::XML_PARTIAL, dropPartial);
    selection.RemoveEntries(filestext::XML_FILTER, dropFilters);
    for (const std::string& path : sets.excluded)
        if (!oldExcluded.count(path)) selection.AddExclude(path);
    for (const std::string& path : sets.partial)
        if (!oldPartial.count(path)) selection.AddPartial(path);
    selection.Sort();
    return result;
}
