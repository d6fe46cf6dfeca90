// Provider tree: children, check states and list order.
#include "tavui/TlcDataProvider.h"

#include <algorithm>

void CTlcChildSink::TreeInsertChild(CTlcDataProvider* parent, CTlcDataProvider* child) {
    parent->AdoptChild(child);
}

CTlcDataProvider::~CTlcDataProvider() { ClearChildren(); }

int CTlcDataProvider::GetListColumnInfo(int index, TlcColumn* column) const {
    if (column == nullptr) return 1;
    if (index != 0) return 0;
    column->heading = "Name";
    column->width = 200;
    return 1;
}

std::vector<std::string> CTlcDataProvider::RenderChildRow(const CTlcDataProvider& child) const {
    return {child.Name()};
}

int CTlcDataProvider::ListCompareProc(const CTlcDataProvider& a, const CTlcDataProvider& b,
                                      int) const {
    return a.Name().compare(b.Name());
}

int CTlcDataProvider::InitialCheckState(int parentState) const {
    if (parentState == TLC_PARTLY) return m_checkState;
    return parentState == TLC_CHECKED ? TLC_CHECKED : TLC_UNCHECKED;
}

CTlcDataProvider* CTlcDataProvider::TopMostParent() {
    CTlcDataProvider* item = this;
    while (item->m_parent != nullptr) item = item->m_parent;
    return item;
}

void CTlcDataProvider::EnsureChildren(CTlcChildSink* sink) {
    if (m_listed) return;
    m_listed = true;
    CTlcChildSink plain;
    GetChildren(sink != nullptr ? *sink : plain);
}

void CTlcDataProvider::ClearChildren() {
    for (CTlcDataProvider* child : m_children) child->Dispose();
    m_children.clear();
    m_listed = false;
}

void CTlcDataProvider::AdoptChild(CTlcDataProvider* child) {
    child->m_parent = this;
    child->m_checkState = child->InitialCheckState(m_checkState);
    m_children.push_back(child);
}

void CTlcDataProvider::ReleaseChild(CTlcDataProvider* child) {
    auto it = std::find(m_children.begin(), m_children.end(), child);
    if (it == m_children.end()) return;
    m_children.erase(it);
    child->Dispose();
}

void CTlcDataProvider::ChangeCheckState(int state) {
    if (state != TLC_CHECKED) state = TLC_UNCHECKED;
    PropagateDown(state);
    if (m_parent != nullptr) m_parent->RecomputeUp();
    OnTreeItemStateChanged();
}

void CTlcDataProvider::PropagateDown(int state) {
    m_checkState = state;
    for (CTlcDataProvider* child : m_children) child->PropagateDown(state);
}

void CTlcDataProvider::RecomputeUp() {
    for (CTlcDataProvider* item = this; item != nullptr; item = item->m_parent) {
        if (item->m_children.empty()) continue;
        bool all1 = true, all2 = true;
        for (const CTlcDataProvider* child : item->m_children) {
            all1 = all1 && child->m_checkState == TLC_UNCHECKED;
            all2 = all2 && child->m_checkState == TLC_CHECKED;
        }
        item->m_checkState = all2 ? TLC_CHECKED : all1 ? TLC_UNCHECKED : TLC_PARTLY;
    }
}

std::vector<CTlcDataProvider*> CTlcDataProvider::SortedChildren(int column, bool descending) const {
    std::vector<CTlcDataProvider*> rows = m_children;
    if (column < 0) return rows;
    std::stable_sort(rows.begin(), rows.end(), [&](const CTlcDataProvider* a, const CTlcDataProvider* b) {
        const bool fa = a->Kind() == TLC_KIND_FOLDER, fb = b->Kind() == TLC_KIND_FOLDER;
        if (fa != fb) return fa;  // folders first, whatever the direction
        const int c = ListCompareProc(*a, *b, column);
        return descending ? c > 0 : c < 0;
    });
    return rows;
}
