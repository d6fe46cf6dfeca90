// COeIdentityMapping: which identity of this machine each backed-up identity is restored to
// (the rules of the identity mapping dialog, without a window).
#pragma once
#include <map>
#include <string>
#include <vector>

#include "core/OeIdentities.h"
#include "core/OeStrings.h"

// Backed-up identifier -> identifier of this machine.
using OeUidMap = std::map<std::string, std::string, COeCaseLess>;

// One row per backed-up identity, in the order given; each row's target is an index into the
// machine's identities, or -1. One machine identity serves at most one row. A dialog (or
// tavctl) drives it: it shows RowText/TargetText, passes on the user's choices with
// SelectRow/ChooseTarget and, on OK, calls Confirm; a false result means the warning
// MAP_INCOMPLETE is to be shown and the dialog stays open.
//
// Identifiers compare without regard to letter case.
class COeIdentityMapping {
public:
    static constexpr int NO_TARGET = -1;

    // Fills the rows with their presets: a row whose identifier `presets` maps takes the
    // machine identity of that identifier, if any; then each row still without a target
    // takes the machine identity of its own identifier, unless another row holds it.
    COeIdentityMapping(std::vector<OeIdentity> backedUp, std::vector<OeIdentity> machine,
                       const OeUidMap& presets);

    size_t RowCount() const { return m_rows.size(); }
    const std::vector<OeIdentity>& Machine() const { return m_machine; }
    const OeIdentity& Source(size_t row) const { return m_rows[row].source; }
    int Target(size_t row) const { return row < m_rows.size() ? m_rows[row].target : NO_TARGET; }
    // "display name - identifier" of the backed-up identity, and of its target (empty when
    // the row has none).
    std::string RowText(size_t row) const;
    std::string TargetText(size_t row) const;
    // The display names of the machine's identities, in order (the drop-down list).
    std::vector<std::string> TargetChoices() const;

    // The selected row (the first one at the start); -1 when there are no rows.
    int SelectedRow() const { return m_rows.empty() ? -1 : int(m_selected); }
    void SelectRow(size_t row);
    // The display name of the selected row ("From").
    std::string SelectedName() const;

    // Makes machine identity `target` (or NO_TARGET) the selected row's target; any other
    // row that had it loses it. False for an index out of range.
    bool ChooseTarget(int target);
    bool SetTarget(size_t row, int target);
    // The same by identifiers. False when `from` is no row or `to` no machine identity.
    bool SetTargetById(const std::string& from, const std::string& to);
    int FindRow(const std::string& identifier) const;
    int FindMachine(const std::string& identifier) const;

    bool IsComplete() const;
    // The rows without a target, as RowText gives them.
    std::vector<std::string> UnassignedRows() const;
    // OK: false when some row has no target (show MAP_INCOMPLETE and stay open). Otherwise
    // `mapUid` is emptied and filled with every row's mapping, and the mapping counts as
    // confirmed.
    bool Confirm(OeUidMap& mapUid);
    bool IsConfirmed() const { return m_confirmed; }
    // Backed-up identifier -> target identifier of every row that has a target.
    OeUidMap Result() const;

private:
    struct Row {
        OeIdentity source;
        int target = NO_TARGET;
    };
    bool TargetTaken(int target, size_t except) const;

    std::vector<Row> m_rows;
    std::vector<OeIdentity> m_machine;
    size_t m_selected = 0;
    bool m_confirmed = false;
};
