// CTavJobFilesHelper: the Files and Folders node of a job, with a sorted index per entry kind.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "tavengine/TavJobNodeHelper.h"
#include "tavengine/XMLNode.h"

// The relation of two paths (TestSubPath, CheckDupSupPath).
enum SubPathTestResult : int32_t {
    SubPathNone = 0,      // unrelated
    SubPathSame = 1,      // the same path
    SubPathInside = 2,    // the first path lies below the second
    SubPathContains = 3,  // the second path lies below the first
};

// The module node's children are empty elements "file", "excluded", "partial" and
// "filter", each with "fullpath", kept in the order they were added. Lookups are binary
// searches over indexes that describe the node as it stood at the last Sort: an entry
// added since is neither found nor counted until the next Sort (additions and clear-alls
// set the dirty flag; single removals sort at once). Paths compare exactly, byte by byte.
//
// The helper owns its indexes only; the XML node and the job must outlive it. Every change
// tells the job's observer (with 1).
class CTavJobFilesHelper : public CTavJobNodeHelper {
public:
    CTavJobFilesHelper(const XMLNode& node, CTavJobHelper* job);
    ~CTavJobFilesHelper() override;

    // Appends an entry unless the index already holds the path: 1 when added, 0 when found
    // or when the element could not be made. Sets dirty and notifies when added.
    int AddFile(const std::string& path);
    int AddFilter(const std::string& path, int recursive, const std::string& included,
                  const std::string& excluded);
    // Also removes a "partial" entry of the same path (the two never hold one path).
    int AddExclude(const std::string& path);
    // Also removes an "excluded" entry of the same path.
    int AddPartial(const std::string& path);

    // Removes the indexed entry of that path, sorts, clears dirty and notifies: 1, or 0
    // when the index does not hold the path.
    int RemoveFile(const std::string& path);
    int RemoveFilter(const std::string& path);
    int RemoveExclude(const std::string& path);
    int RemovePartial(const std::string& path);

    // Removes, in one walk, every element of kind `name` ("excluded", ...) whose path is in
    // `paths`; sorts and notifies when any was removed. The number removed.
    int RemoveEntries(const char* name, const std::unordered_set<std::string>& paths);

    // Removes every element of that kind; sets dirty and notifies when any was removed.
    void ClearAllFiles();
    void ClearAllFilters();
    void ClearAllExcludes();
    void ClearAllPartials();

    // The element with that "fullpath", or an empty node.
    XMLNode SearchInFiles(const std::string& path) const;
    XMLNode SearchInFilters(const std::string& path) const;
    XMLNode SearchInExcludes(const std::string& path) const;
    XMLNode SearchInPartial(const std::string& path) const;

    // Counts as of the last Sort.
    int GetFileCount() const { return int(m_files.size()); }
    int GetFilterCount() const { return int(m_filters.size()); }
    int GetExcludeCount() const { return int(m_excludes.size()); }
    int GetPartialCount() const { return int(m_partials.size()); }

    // The i-th element in index order: 1, or 0 when i is out of range.
    int GetFile(int i, XMLNode& out) const;
    int GetFilter(int i, XMLNode& out) const;
    int GetExclude(int i, XMLNode& out) const;
    // The "fullpath" of the i-th element in index order; nothing when i is out of range.
    std::optional<std::string> GetFile(int i) const;
    std::optional<std::string> GetFilteredPath(int i) const;
    std::optional<std::string> GetExclude(int i) const;
    std::optional<std::string> GetPartial(int i) const;

    // An attribute ("recursive", "included", "excluded", ...) of the filter of `path`;
    // nothing when the path has no filter. Sorts first when dirty.
    std::optional<std::string> GetFilterDesc(const std::string& path, const std::string& attribute);
    // Sets the given attributes (a null argument leaves its attribute as it is) of the filter
    // of `path` and notifies: 1, or 0 when the path has no filter. Sorts first when dirty.
    int SetFilterDesc(const std::string& path, const int* recursive, const std::string* included,
                      const std::string* excluded);

    // Rebuilds the four indexes and clears dirty.
    void Sort();
    int IsDirty() const { return m_dirty ? 1 : 0; }

    // How `first` relates to `second`. A single trailing '/' does not count: "/data" and
    // "/data/" are the same path, "/" contains every absolute path, "/dat" and "/data" are
    // unrelated.
    static SubPathTestResult TestSubPath(const std::string& first, const std::string& second);
    // The relation of `path` to the first "file" entry (in document order) that it meets;
    // SubPathNone when it meets none. `name` is the kind to start with ("file").
    SubPathTestResult CheckDupSupPath(const std::string& name, const std::string& path) const;
    // Adds the engine library's default excluded paths to "excluded" (those missing).
    void LoadDefaultExcludedPaths();
    // Adds the user's excluded paths of the settings store to "excluded" (those missing);
    // nothing when the user switched them off.
    void LoadUserExcludedPaths();

    // True when `path` lies strictly below `folder` (a trailing '/' of the folder ignored).
    static bool IsBelow(const std::string& path, const std::string& folder);

protected:
    // One index entry: the element's position among the node's children and its path.
    struct IndexEntry {
        int position;
        std::string path;
    };
    using Index = std::vector<IndexEntry>;

    static int FullPathCmp(const std::string& a, const std::string& b);
    void DoSortFullPath(const char* name, Index& index) const;
    // The element of `name` with that path, through the index; empty when not found or when
    // the indexed position no longer holds that element.
    XMLNode DoSearch(const Index& index, const char* name, const std::string& path) const;
    int DoRemoveChild(const Index& index, const char* name, const std::string& path);
    void DoClearAllChildren(const char* name);
    int DoAdd(const Index& index, const char* name, const std::string& path, XMLNode* added);
    XMLNode ElementAt(const Index& index, const char* name, int i) const;

private:
    bool m_dirty = false;
    Index m_files;
    Index m_filters;
    Index m_excludes;
    Index m_partials;
};
