// The restore request and the check states it comes from.
#include "RestoreRequest.h"

#include "RestoreRequestText.h"
#include "tavengine/XMLNode.h"

namespace tavctl {

using namespace restoretext;

namespace {
// No restorable tree is deeper: a path of 4095 bytes holds at most 2048 names.
constexpr uint32_t MAX_DEPTH = 4096;
}  // namespace

std::string BuildRestoreRequest(uint32_t baseline, uint32_t command, const std::string& location,
                                const std::vector<uint32_t>& excluded,
                                const std::vector<uint32_t>& nodes) {
    XMLNode root = XMLNode::Parse(REQUEST_TEMPLATE, XML_ROOT);
    XMLNode restore = root.GetChild(XML_RESTORE);
    restore.SetNumber(XML_BASELINE, baseline);
    restore.SetNumber(XML_COMMAND, command);
    restore.SetAttribute(XML_LOCATION, location);
    for (uint32_t id : nodes) restore.AddChild(XML_NODE).SetNumber(XML_ID, id);
    XMLNode left = root.GetChild(XML_EXCLUDED);
    for (uint32_t id : excluded) left.AddChild(XML_NODE).SetNumber(XML_ID, id);
    return root.CreateXMLString();
}

std::vector<TavNodeRec> RestorableRoots(const CBaselineView& view) {
    std::vector<TavNodeRec> roots;
    for (const TavNodeRec& root : view.Roots())
        if (root.moduleId != 0 && !IsDeleted(root)) roots.push_back(root);
    return roots;
}

void CRestoreSelection::Resolve() {
    m_states.clear();
    for (const TavNodeRec& root : RestorableRoots(m_view)) Resolve(root, m_chosen.empty(), 0);
}

int CRestoreSelection::Resolve(const TavNodeRec& node, bool inherited, uint32_t depth) {
    bool selected = inherited;
    if (m_chosen.count(node.nodeId)) selected = true;
    if (m_left.count(node.nodeId)) selected = false;
    const int uniform = selected ? SELECTED : NOT_SELECTED;
    // A node seen before (damaged links that lead back up) keeps its first state.
    auto known = m_states.find(node.nodeId);
    if (known != m_states.end()) return known->second;
    m_states[node.nodeId] = uniform;
    int state = uniform;
    if (depth < MAX_DEPTH) {
        for (const TavNodeRec& child : m_view.Children(node, false))
            if (Resolve(child, selected, depth + 1) != uniform) state = PARTLY;
    }
    m_states[node.nodeId] = state;
    return state;
}

int CRestoreSelection::State(const TavNodeRec& node) const {
    auto it = m_states.find(node.nodeId);
    return it == m_states.end() ? NOT_SELECTED : it->second;
}

void CRestoreSelection::Collect(const TavNodeRec& node, std::vector<uint32_t>& out,
                                std::set<uint32_t>& seen, uint32_t depth) const {
    if (!seen.insert(node.nodeId).second) return;
    const int state = State(node);
    if (state == NOT_SELECTED) {
        if (node.nodeId != 0) out.push_back(node.nodeId);
    } else if (state == PARTLY && depth < MAX_DEPTH) {
        for (const TavNodeRec& child : m_view.Children(node, false)) Collect(child, out, seen, depth + 1);
    }
}

std::vector<uint32_t> CRestoreSelection::ExcludedIds() const {
    std::vector<uint32_t> out;
    std::set<uint32_t> seen;
    for (const TavNodeRec& root : RestorableRoots(m_view)) Collect(root, out, seen, 0);
    return out;
}

}  // namespace tavctl
