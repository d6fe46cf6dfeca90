// Grouping list rows by type.
#include "tavui/TypeGroups.h"

namespace tavui {

void CTypeGroupModel::AddRow(const std::string& type, int state, int icon) {
    const unsigned value = unsigned(state) + 4u * unsigned(icon);
    auto it = m_values.find(type);
    if (it == m_values.end()) {
        m_values[type] = value;
    } else {
        unsigned oldState = it->second % 4, oldIcon = it->second / 4;
        if (oldState != unsigned(state)) oldState = 3;
        if (oldIcon != unsigned(icon)) oldIcon = 3;
        it->second = oldState + 4u * oldIcon;
    }
    Rebuild();
}

void CTypeGroupModel::Rebuild() {
    m_edited.clear();
    for (const auto& [type, value] : m_values) m_edited.push_back({type, int(value % 4), int(value / 4)});
}

void CTypeGroupModel::SetState(size_t index, int state) {
    if (index < m_edited.size()) m_edited[index].state = state;
}

void CTypeGroupModel::SetAllStates(int state) {
    for (Group& g : m_edited) g.state = state;
}

void CTypeGroupModel::Reset() { Rebuild(); }

void CTypeGroupModel::Store() {
    for (const Group& g : m_edited) m_values[g.type] = unsigned(g.state) + 4u * unsigned(g.icon);
}

int CTypeGroupModel::StateFor(const std::string& type) const {
    auto it = m_values.find(type);
    if (it == m_values.end()) return 0;
    const int state = int(it->second % 4);
    return state == 3 ? 0 : state;
}

}  // namespace tavui
