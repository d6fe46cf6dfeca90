// The rows of the "Excluded Paths" options page over the user's settings.
#pragma once
#include <string>
#include <vector>

namespace editor {

class CExcludedPathList {
public:
    // Reads the switch and the list, writing the default of each missing one (a last path
    // without its ";" is kept).
    void Load();
    // Adds a row; false with `error` for a path that the list cannot hold (one with ";").
    bool Add(const std::string& path, std::string& error);
    // Removes row `index`; the row to select next (-1 when none is left).
    int Remove(int index);
    // Deletes the stored list and loads again, which writes the default list back.
    void ResetToDefault();
    // Writes the switch and the rows.
    bool Save() const;

    bool enabled = true;
    std::vector<std::string> rows;
};

}  // namespace editor
