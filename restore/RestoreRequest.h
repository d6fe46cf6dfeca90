// Building the restore request of a restore or an extract, as the browser does: the check
// states of the stored tree decide which items are excluded.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BaselineView.h"

namespace tavctl {

// The request text: the browser's template with the baseline, the command word, the
// location (empty: the original place), the excluded ids and the ids to restore.
std::string BuildRestoreRequest(uint32_t baseline, uint32_t command, const std::string& location,
                                const std::vector<uint32_t>& excluded,
                                const std::vector<uint32_t>& nodes);

// The module roots of a baseline (the repository's own root, module id 0, and deleted roots
// left out), in the table's root order.
std::vector<TavNodeRec> RestorableRoots(const CBaselineView& view);

// Check states of the items of one baseline (1 not selected, 2 selected, 3 partly
// selected), from the items chosen to restore and the items left out. Without chosen items
// everything is chosen; an item left out wins over a chosen one above it, a chosen one wins
// over an item left out above it.
class CRestoreSelection {
public:
    static constexpr int NOT_SELECTED = 1;
    static constexpr int SELECTED = 2;
    static constexpr int PARTLY = 3;

    explicit CRestoreSelection(const CBaselineView& view) : m_view(view) {}

    void Choose(uint32_t id) { m_chosen.insert(id); }
    void Leave(uint32_t id) { m_left.insert(id); }
    // True when items were chosen or left out (the browser's "Restore selected items").
    bool IsPartial() const { return !m_chosen.empty() || !m_left.empty(); }

    // Works out every state; call after the last Choose/Leave.
    void Resolve();
    int State(const TavNodeRec& node) const;
    // The browser's walk: each top-level item not selected, and inside partly selected
    // items the children not selected, recursively. Ids of 0 are not listed.
    std::vector<uint32_t> ExcludedIds() const;

private:
    int Resolve(const TavNodeRec& node, bool inherited, uint32_t depth);
    void Collect(const TavNodeRec& node, std::vector<uint32_t>& out, std::set<uint32_t>& seen,
                 uint32_t depth) const;

    const CBaselineView& m_view;
    std::set<uint32_t> m_chosen;
    std::set<uint32_t> m_left;
    std::map<uint32_t, int> m_states;
};

}  // namespace tavctl

namespace tavctl {

// The excluded-node walk over any tree of checked items: each top-level item not selected
// (state 1) gives its id (ids of 0 are left out), a partly selected one (state 3) is walked
// the same way through its children; selected items and items without a state give
// nothing. `state(item)`, `id(item)` and `children(item)` read the tree.
template <typename Item, typename State, typename Id, typename Children>
void CollectExcludedIds(const std::vector<Item>& items, State state, Id id, Children children,
                        std::vector<uint32_t>& out, uint32_t depth = 0) {
    for (const Item& item : items) {
        const int s = state(item);
        if (s == CRestoreSelection::NOT_SELECTED) {
            if (id(item) != 0) out.push_back(id(item));
        } else if (s == CRestoreSelection::PARTLY && depth < 4096) {
            CollectExcludedIds(children(item), state, id, children, out, depth + 1);
        }
    }
}

}  // namespace tavctl
