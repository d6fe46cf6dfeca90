// CBaselineView: read access to one loaded baseline's node table: nodes, children in
// sibling order, roots and the names by which tavctl shows stored items. Every walk is
// bounded, so damaged links cannot make it loop.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tavrep/BaselineDetails.h"
#include "tavrep/TavTypes.h"

namespace tavctl {

class CBaselineView {
public:
    // Takes ownership of `table` (released with Dispose).
    CBaselineView(CTavRepBaselineDetails* table, uint32_t number);
    ~CBaselineView();
    CBaselineView(const CBaselineView&) = delete;
    CBaselineView& operator=(const CBaselineView&) = delete;

    uint32_t Number() const { return m_number; }
    uint32_t Count() const;  // records in the table
    // True for an id that names a record of this table (index x 628).
    bool IsValidId(uint32_t id) const;
    bool Load(uint32_t id, TavNodeRec& node) const;
    // The children of `parent` in sibling order. The walk stops at an id that is not
    // valid, cannot be read or repeats.
    std::vector<TavNodeRec> Children(const TavNodeRec& parent, bool includeDeleted) const;
    // Every record whose parent id is none, in the table's root order.
    std::vector<TavNodeRec> Roots() const;
    // The name a user gives the item: the original full path for a Files and Folders item,
    // else the names from its module root down joined by '/'. nullopt when the parent
    // links do not lead to a root that lists the item.
    std::optional<std::string> ItemPath(const TavNodeRec& node) const;
    // ItemPath followed by " (#XXXXXXXX)", or the bare name and id when there is no path.
    std::string Describe(const TavNodeRec& node) const;

private:
    bool ListsChild(const TavNodeRec& parent, uint32_t childId) const;

    CTavRepBaselineDetails* m_table;
    uint32_t m_number;
};

std::string NodeName(const TavNodeRec& node);
bool IsFolder(const TavNodeRec& node);
bool IsSymlink(const TavNodeRec& node);
bool IsDeleted(const TavNodeRec& node);
bool IsFilesRoot(const TavNodeRec& node);
// Every item of the baseline below the module roots, depth first, with its item path.
void ForEachItem(const CBaselineView& view, bool includeDeleted,
                 const std::function<void(const TavNodeRec&, const std::string&)>& visit);
// "#00000274".
std::string IdText(uint32_t id);
// Joins an item path and a child name with '/' (no doubled '/').
std::string JoinItemPath(const std::string& dir, const std::string& name);

}  // namespace tavctl
