// Read access to a baseline's node table.
#include "BaselineView.h"

#include <algorithm>
#include <utility>
#include <unordered_set>

#include "tavrep/FormatAdaptor.h"

namespace tavctl {

CBaselineView::CBaselineView(CTavRepBaselineDetails* table, uint32_t number)
    : m_table(table), m_number(number) {}

CBaselineView::~CBaselineView() {
    if (m_table != nullptr) m_table->Dispose();
}

uint32_t CBaselineView::Count() const { return m_table->count > 0 ? uint32_t(m_table->count) : 0; }

bool CBaselineView::IsValidId(uint32_t id) const {
    return id != TAV_NONE && id % NODE_REC_SIZE == 0 && id / NODE_REC_SIZE < Count();
}

bool CBaselineView::Load(uint32_t id, TavNodeRec& node) const {
    return IsValidId(id) && m_table->LoadNode(node, id) == 1;
}

std::vector<TavNodeRec> CBaselineView::Children(const TavNodeRec& parent,
                                                bool includeDeleted) const {
    std::vector<TavNodeRec> children;
    std::unordered_set<uint32_t> seen;
    TavNodeRec child;
    for (uint32_t id = parent.firstChildId; Load(id, child) && seen.insert(id).second;
         id = child.nextSiblingId) {
        if (includeDeleted || !IsDeleted(child)) children.push_back(child);
    }
    return children;
}

std::vector<TavNodeRec> CBaselineView::Roots() const {
    std::vector<TavNodeRec> roots;
    TavNodeRec node;
    for (int32_t i = 0; i < m_table->GetRootCount(); ++i)
        if (m_table->LoadRootAt(node, i) == 1) roots.push_back(node);
    return roots;
}

bool CBaselineView::ListsChild(const TavNodeRec& parent, uint32_t childId) const {
    std::unordered_set<uint32_t> seen;
    TavNodeRec child;
    for (uint32_t id = parent.firstChildId; IsValidId(id) && seen.insert(id).second;
         id = child.nextSiblingId) {
        if (id == childId) return true;
        if (!Load(id, child)) return false;
    }
    return false;
}

std::optional<std::string> CBaselineView::ItemPath(const TavNodeRec& node) const {
    std::vector<std::string> names{NodeName(node)};
    std::unordered_set<uint32_t> seen{node.nodeId};
    TavNodeRec current = node;
    while (current.parentId != TAV_NONE) {
        TavNodeRec parent;
        if (!Load(current.parentId, parent) || !seen.insert(parent.nodeId).second)
            return std::nullopt;
        // A deleted item may keep the id of a parent that was removed since; only a parent
        // that lists it is its parent.
        if (IsDeleted(current) && !ListsChild(parent, current.nodeId)) return std::nullopt;
        names.push_back(NodeName(parent));
        current = parent;
    }
    std::reverse(names.begin(), names.end());
    size_t first = 0;
    std::string path;
    if (IsFilesRoot(current) && names.size() > 1) {
        first = 1;  // the top-level items of Files and Folders carry their full path
    }
    for (size_t i = first; i < names.size(); ++i)
        path = i == first ? names[i] : JoinItemPath(path, names[i]);
    return path;
}

std::string CBaselineView::Describe(const TavNodeRec& node) const {
    std::optional<std::string> path = ItemPath(node);
    return (path ? *path : NodeName(node)) + " (" + IdText(node.nodeId) + ")";
}

std::string NodeName(const TavNodeRec& node) {
    return Utf16FieldToUtf8(node.name, NODE_NAME_CHARS);
}

bool IsFolder(const TavNodeRec& node) {
    return (node.flags & NODE_DIRECTORY) != 0 || (node.attributes & TAV_ATTR_DIRECTORY) != 0;
}

bool IsSymlink(const TavNodeRec& node) {
    return !IsFolder(node) && (node.attributes & TAV_ATTR_REPARSE_POINT) != 0;
}

bool IsDeleted(const TavNodeRec& node) { return (node.flags & NODE_DELETED) != 0; }

bool IsFilesRoot(const TavNodeRec& node) {
    return node.parentId == TAV_NONE && node.moduleId == MODULE_FILES_ROOT;
}

std::string IdText(uint32_t id) {
    char text[9];
    NodeIdToString(id, text);
    return std::string("#") + text;
}

std::string JoinItemPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (name.empty()) return dir;
    if (dir.back() == '/') return name.front() == '/' ? dir + name.substr(1) : dir + name;
    return name.front() == '/' ? dir + name : dir + "/" + name;
}

void ForEachItem(const CBaselineView& view, bool includeDeleted,
                 const std::function<void(const TavNodeRec&, const std::string&)>& visit) {
    std::vector<std::pair<TavNodeRec, std::string>> stack;
    for (const TavNodeRec& root : view.Roots())
        if (root.moduleId != 0 && (includeDeleted || !IsDeleted(root)))
            stack.push_back({root, NodeName(root)});
    std::unordered_set<uint32_t> seen;
    while (!stack.empty()) {
        auto [node, path] = std::move(stack.back());
        stack.pop_back();
        if (!seen.insert(node.nodeId).second) continue;
        if (node.parentId != TAV_NONE) visit(node, path);
        if (!IsFolder(node)) continue;
        std::vector<TavNodeRec> children = view.Children(node, includeDeleted);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(
                {*it, IsFilesRoot(node) ? NodeName(*it) : JoinItemPath(path, NodeName(*it))});
    }
}

}  // namespace tavctl
