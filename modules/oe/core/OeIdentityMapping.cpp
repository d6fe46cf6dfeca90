// COeIdentityMapping: presets, one target per identity, and the check on OK.
#include "core/OeIdentityMapping.h"

#include <utility>

#include "core/OeTexts.h"

namespace {

std::string IdentityText(const OeIdentity& identity) {
    return identity.displayName + oetext::MAP_ROW_SEPARATOR + identity.identifier;
}

}  // namespace

COeIdentityMapping::COeIdentityMapping(std::vector<OeIdentity> backedUp,
                                       std::vector<OeIdentity> machine, const OeUidMap& presets)
    : m_machine(std::move(machine)) {
    for (OeIdentity& identity : backedUp) m_rows.push_back({std::move(identity), NO_TARGET});
    // The mapping confirmed last time comes first ...
    for (size_t row = 0; row < m_rows.size(); ++row) {
        const auto preset = presets.find(m_rows[row].source.identifier);
        if (preset == presets.end()) continue;
        const int target = FindMachine(preset->second);
        if (target != NO_TARGET && !TargetTaken(target, row)) m_rows[row].target = target;
    }
    // ... then each identity that exists here is restored to itself.
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].target != NO_TARGET) continue;
        const int target = FindMachine(m_rows[row].source.identifier);
        if (target != NO_TARGET && !TargetTaken(target, row)) m_rows[row].target = target;
    }
}

std::string COeIdentityMapping::RowText(size_t row) const {
    return row < m_rows.size() ? IdentityText(m_rows[row].source) : std::string();
}

std::string COeIdentityMapping::TargetText(size_t row) const {
    const int target = Target(row);
    return target == NO_TARGET ? std::string() : IdentityText(m_machine[size_t(target)]);
}

std::vector<std::string> COeIdentityMapping::TargetChoices() const {
    std::vector<std::string> names;
    for (const OeIdentity& identity : m_machine) names.push_back(identity.displayName);
    return names;
}

void COeIdentityMapping::SelectRow(size_t row) {
    if (row < m_rows.size()) m_selected = row;
}

std::string COeIdentityMapping::SelectedName() const {
    return m_rows.empty() ? std::string() : m_rows[m_selected].source.displayName;
}

bool COeIdentityMapping::ChooseTarget(int target) {
    return !m_rows.empty() && SetTarget(m_selected, target);
}

bool COeIdentityMapping::SetTarget(size_t row, int target) {
    if (row >= m_rows.size() || target < NO_TARGET || target >= int(m_machine.size())) return false;
    if (target != NO_TARGET)
        for (size_t other = 0; other < m_rows.size(); ++other)
            if (other != row && m_rows[other].target == target) m_rows[other].target = NO_TARGET;
    m_rows[row].target = target;
    m_confirmed = false;
    return true;
}

bool COeIdentityMapping::SetTargetById(const std::string& from, const std::string& to) {
    const int row = FindRow(from);
    const int target = FindMachine(to);
    if (row < 0 || target == NO_TARGET) return false;
    return SetTarget(size_t(row), target);
}

int COeIdentityMapping::FindRow(const std::string& identifier) const {
    for (size_t row = 0; row < m_rows.size(); ++row)
        if (OeEqualsNoCase(m_rows[row].source.identifier, identifier)) return int(row);
    return -1;
}

int COeIdentityMapping::FindMachine(const std::string& identifier) const {
    for (size_t i = 0; i < m_machine.size(); ++i)
        if (OeEqualsNoCase(m_machine[i].identifier, identifier)) return int(i);
    return NO_TARGET;
}

bool COeIdentityMapping::IsComplete() const {
    for (const Row& row : m_rows)
        if (row.target == NO_TARGET) return false;
    return true;
}

std::vector<std::string> COeIdentityMapping::UnassignedRows() const {
    std::vector<std::string> out;
    for (size_t row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].target == NO_TARGET) out.push_back(RowText(row));
    return out;
}

bool COeIdentityMapping::Confirm(OeUidMap& mapUid) {
    if (!IsComplete()) return false;
    mapUid = Result();
    m_confirmed = true;
    return true;
}

OeUidMap COeIdentityMapping::Result() const {
    OeUidMap out;
    for (const Row& row : m_rows)
        if (row.target != NO_TARGET)
            out[row.source.identifier] = m_machine[size_t(row.target)].identifier;
    return out;
}

bool COeIdentityMapping::TargetTaken(int target, size_t except) const {
    for (size_t row = 0; row < m_rows.size(); ++row)
        if (row != except && m_rows[row].target == target) return true;
    return false;
}
