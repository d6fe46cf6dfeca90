// The "Selection" dialog's model: the list rows grouped by type name, each group with a
// check state (3 when its rows differ) and an icon (3 when its rows' icons differ).
#pragma once
#include <map>
#include <string>
#include <vector>

namespace tavui {

class CTypeGroupModel {
public:
    struct Group {
        std::string type;
        int state = 1;
        int icon = 0;
    };

    // One list row of this type with its check state and icon index.
    void AddRow(const std::string& type, int state, int icon);
    // The groups in type-name order, with the states being edited.
    const std::vector<Group>& Groups() const { return m_edited; }
    void SetState(size_t index, int state);
    void SelectAll() { SetAllStates(2); }
    void DeselectAll() { SetAllStates(1); }
    // Back to the states the rows had ("Restore").
    void Reset();
    // OK: the edited states become the stored ones.
    void Store();
    // The state a row of `type` takes after OK, or 0 when the group stays mixed (3) or is unknown.
    int StateFor(const std::string& type) const;

private:
    void SetAllStates(int state);
    void Rebuild();
    // type → state + 4 x icon, as the rows gave it.
    std::map<std::string, unsigned> m_values;
    std::vector<Group> m_edited;
};

}  // namespace tavui
