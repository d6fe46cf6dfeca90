// CTavJobFilesHelper: entries of the Files and Folders node, their indexes and path tests.
#include "core/TavJobFilesHelper.h"

#include <algorithm>

#include "core/FilesTexts.h"
#include "tavengine/ExcludedPaths.h"
#include "tavengine/TavEngine.h"

namespace {

using namespace filestext;

// The path without one trailing '/' (a lone "/" stays).
std::string_view TrimOneSlash(std::string_view path) {
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

}  // namespace

CTavJobFilesHelper::CTavJobFilesHelper(const XMLNode& node, CTavJobHelper* job)
    : CTavJobNodeHelper(node, job) {
    Sort();
}

CTavJobFilesHelper::~CTavJobFilesHelper() = default;

// --- index workers ---

int CTavJobFilesHelper::FullPathCmp(const std::string& a, const std::string& b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void CTavJobFilesHelper::DoSortFullPath(const char* name, Index& index) const {
    index.clear();
    int position = 0;
    for (XMLNode child = m_node.GetFirstChild(); child; child = child.GetNextSibling(), ++position)
        if (child.GetName() == name) index.push_back({position, child.GetAttribute(XML_FULLPATH)});
    std::sort(index.begin(), index.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return FullPathCmp(a.path, b.path) < 0;
    });
}

XMLNode CTavJobFilesHelper::ElementAt(const Index& index, const char* name, int i) const {
    if (i < 0 || size_t(i) >= index.size()) return {};
    const IndexEntry& entry = index[size_t(i)];
    // Elements removed since the last Sort shift the positions: an entry whose position now
    // holds another element is not found rather than answered with the wrong element.
    XMLNode element = m_node.GetChild(entry.position);
    if (!element || element.GetName() != name || element.GetAttribute(XML_FULLPATH) != entry.path)
        return {};
    return element;
}

XMLNode CTavJobFilesHelper::DoSearch(const Index& index, const char* name,
                                     const std::string& path) const {
    int lo = 0;
    int hi = int(index.size()) - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = FullPathCmp(path, index[size_t(mid)].path);
        if (c == 0) return ElementAt(index, name, mid);
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return {};
}

int CTavJobFilesHelper::DoAdd(const Index& index, const char* name, const std::string& path,
                              XMLNode* added) {
    if (DoSearch(index, name, path)) return 0;
    XMLNode element = m_node.AddChild(name);
    if (!element) return 0;
    element.SetAttribute(XML_FULLPATH, path);
    if (added != nullptr) *added = element;
    m_dirty = true;
    return 1;
}

int CTavJobFilesHelper::DoRemoveChild(const Index& index, const char* name,
                                      const std::string& path) {
    XMLNode element = DoSearch(index, name, path);
    if (!element || !m_node.RemoveChild(element)) return 0;
    Sort();
    NotifyJob(1);
    return 1;
}

int CTavJobFilesHelper::RemoveEntries(const char* name, const std::unordered_set<std::string>& paths) {
    if (paths.empty()) return 0;
    std::vector<XMLNode> gone;
    for (XMLNode child = m_node.GetFirstChild(); child; child = child.GetNextSibling())
        if (child.GetName() == name && paths.count(child.GetAttribute(XML_FULLPATH))) gone.push_back(child);
    int removed = 0;
    for (const XMLNode& element : gone) removed += m_node.RemoveChild(element) ? 1 : 0;
    if (removed == 0) return 0;
    Sort();
    NotifyJob(1);
    return removed;
}

void CTavJobFilesHelper::DoClearAllChildren(const char* name) {
    if (m_node.RemoveChildren(name) > 0) {
        m_dirty = true;
        NotifyJob(1);
    }
}

void CTavJobFilesHelper::Sort() {
    DoSortFullPath(XML_FILE, m_files);
    DoSortFullPath(XML_FILTER, m_filters);
    DoSortFullPath(XML_EXCLUDED, m_excludes);
    DoSortFullPath(XML_PARTIAL, m_partials);
    m_dirty = false;
}

// --- additions ---

int CTavJobFilesHelper::AddFile(const std::string& path) {
    if (!DoAdd(m_files, XML_FILE, path, nullptr)) return 0;
    NotifyJob(1);
    return 1;
}

int CTavJobFilesHelper::AddFilter(const std::string& path, int recursive,
                                  const std::string& included, const std::string& excluded) {
    XMLNode element;
    if (!DoAdd(m_filters, XML_FILTER, path, &element)) return 0;
    element.SetAttribute(XML_RECURSIVE, recursive ? XML_YES : XML_NO);
    element.SetAttribute(XML_INCLUDED, included);
    element.SetAttribute(XML_EXCLUDED_LIST, excluded);
    NotifyJob(1);
    return 1;
}

int CTavJobFilesHelper::AddExclude(const std::string& path) {
    if (!DoAdd(m_excludes, XML_EXCLUDED, path, nullptr)) return 0;
    NotifyJob(1);
    RemovePartial(path);
    return 1;
}

int CTavJobFilesHelper::AddPartial(const std::string& path) {
    if (!DoAdd(m_partials, XML_PARTIAL, path, nullptr)) return 0;
    NotifyJob(1);
    RemoveExclude(path);
    return 1;
}

// --- removals ---

int CTavJobFilesHelper::RemoveFile(const std::string& path) {
    return DoRemoveChild(m_files, XML_FILE, path);
}
int CTavJobFilesHelper::RemoveFilter(const std::string& path) {
    return DoRemoveChild(m_filters, XML_FILTER, path);
}
int CTavJobFilesHelper::RemoveExclude(const std::string& path) {
    return DoRemoveChild(m_excludes, XML_EXCLUDED, path);
}
int CTavJobFilesHelper::RemovePartial(const std::string& path) {
    return DoRemoveChild(m_partials, XML_PARTIAL, path);
}

void CTavJobFilesHelper::ClearAllFiles() { DoClearAllChildren(XML_FILE); }
void CTavJobFilesHelper::ClearAllFilters() { DoClearAllChildren(XML_FILTER); }
void CTavJobFilesHelper::ClearAllExcludes() { DoClearAllChildren(XML_EXCLUDED); }
void CTavJobFilesHelper::ClearAllPartials() { DoClearAllChildren(XML_PARTIAL); }

// --- lookups ---

XMLNode CTavJobFilesHelper::SearchInFiles(const std::string& path) const {
    return DoSearch(m_files, XML_FILE, path);
}
XMLNode CTavJobFilesHelper::SearchInFilters(const std::string& path) const {
    return DoSearch(m_filters, XML_FILTER, path);
}
XMLNode CTavJobFilesHelper::SearchInExcludes(const std::string& path) const {
    return DoSearch(m_excludes, XML_EXCLUDED, path);
}
XMLNode CTavJobFilesHelper::SearchInPartial(const std::string& path) const {
    return DoSearch(m_partials, XML_PARTIAL, path);
}

int CTavJobFilesHelper::GetFile(int i, XMLNode& out) const {
    if (i < 0 || i >= GetFileCount()) return 0;
    out = ElementAt(m_files, XML_FILE, i);
    return 1;
}
int CTavJobFilesHelper::GetFilter(int i, XMLNode& out) const {
    if (i < 0 || i >= GetFilterCount()) return 0;
    out = ElementAt(m_filters, XML_FILTER, i);
    return 1;
}
int CTavJobFilesHelper::GetExclude(int i, XMLNode& out) const {
    if (i < 0 || i >= GetExcludeCount()) return 0;
    out = ElementAt(m_excludes, XML_EXCLUDED, i);
    return 1;
}

std::optional<std::string> CTavJobFilesHelper::GetFile(int i) const {
    if (i < 0 || i >= GetFileCount()) return std::nullopt;
    return m_files[size_t(i)].path;
}
std::optional<std::string> CTavJobFilesHelper::GetFilteredPath(int i) const {
    if (i < 0 || i >= GetFilterCount()) return std::nullopt;
    return m_filters[size_t(i)].path;
}
std::optional<std::string> CTavJobFilesHelper::GetExclude(int i) const {
    if (i < 0 || i >= GetExcludeCount()) return std::nullopt;
    return m_excludes[size_t(i)].path;
}
std::optional<std::string> CTavJobFilesHelper::GetPartial(int i) const {
    if (i < 0 || i >= GetPartialCount()) return std::nullopt;
    return m_partials[size_t(i)].path;
}

// --- filters ---

std::optional<std::string> CTavJobFilesHelper::GetFilterDesc(const std::string& path,
                                                             const std::string& attribute) {
    if (m_dirty) Sort();
    XMLNode filter = SearchInFilters(path);
    if (!filter) return std::nullopt;
    return filter.GetAttribute(attribute);
}

int CTavJobFilesHelper::SetFilterDesc(const std::string& path, const int* recursive,
                                      const std::string* included, const std::string* excluded) {
    if (m_dirty) Sort();
    XMLNode filter = SearchInFilters(path);
    if (!filter) return 0;
    if (recursive != nullptr) filter.SetAttribute(XML_RECURSIVE, *recursive ? XML_YES : XML_NO);
    if (included != nullptr) filter.SetAttribute(XML_INCLUDED, *included);
    if (excluded != nullptr) filter.SetAttribute(XML_EXCLUDED_LIST, *excluded);
    NotifyJob(1);
    return 1;
}

// --- path tests ---

SubPathTestResult CTavJobFilesHelper::TestSubPath(const std::string& first,
                                                  const std::string& second) {
    const std::string_view a = TrimOneSlash(first);
    const std::string_view b = TrimOneSlash(second);
    // "/" is the only path that still ends with a '/': its prefix is empty.
    auto contains = [](std::string_view outer, std::string_view inner) {
        const size_t n = (!outer.empty() && outer.back() == '/') ? outer.size() - 1 : outer.size();
        return inner.size() > n && inner[n] == '/' && inner.compare(0, n, outer, 0, n) == 0;
    };
    if (a.size() < b.size()) return contains(a, b) ? SubPathContains : SubPathNone;
    if (b.size() < a.size()) return contains(b, a) ? SubPathInside : SubPathNone;
    return a == b ? SubPathSame : SubPathNone;
}

bool CTavJobFilesHelper::IsBelow(const std::string& path, const std::string& folder) {
    return TestSubPath(folder, path) == SubPathContains;
}

SubPathTestResult CTavJobFilesHelper::CheckDupSupPath(const std::string& name,
                                                      const std::string& path) const {
    XMLNode element = m_node.GetChild(name);
    for (; element; element = element.GetNextSibling(XML_FILE)) {
        if (element.GetName() != XML_FILE) continue;
        const SubPathTestResult r = TestSubPath(path, element.GetAttribute(XML_FULLPATH));
        if (r != SubPathNone) return r;
    }
    return SubPathNone;
}

void CTavJobFilesHelper::LoadUserExcludedPaths() {
    const TavExcludedPaths settings = LoadExcludedPaths();
    if (!settings.enabled) return;
    for (const std::string& path : settings.paths)
        if (!SearchInExcludes(path)) AddExclude(path);
}

void CTavJobFilesHelper::LoadDefaultExcludedPaths() {
    const uint32_t n = GetDefaultExcludedPaths(nullptr, 0);
    std::string list(size_t(n) + 16, '\0');
    const uint32_t copied = GetDefaultExcludedPaths(list.data(), n + 15);
    list.resize(copied);
    // Only pieces followed by ";" count; a last piece without one is left out.
    size_t start = 0;
    for (size_t end = list.find(';'); end != std::string::npos; end = list.find(';', start)) {
        const std::string piece = list.substr(start, end - start);
        if (!SearchInExcludes(piece)) AddExclude(piece);
        start = end + 1;
    }
}
