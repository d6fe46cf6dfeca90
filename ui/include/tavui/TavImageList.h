// The shared small image list: file-type icons by index, taken from the desktop's icon
// theme by name with the style's own icons as fallback, and the type names of files.
#pragma once
#include <QIcon>
#include <map>
#include <string>
#include <vector>

namespace tavui {

class CTavImageList {
public:
    static CTavImageList& Shared();
    // Index of the icon of an item with this name (0 file, 1 folder, 2 open folder, then
    // one per icon name of the file types met so far).
    int IconIndex(const std::string& name, bool folder);
    static constexpr int FILE_ICON = 0;
    static constexpr int FOLDER_ICON = 1;
    static constexpr int OPEN_FOLDER_ICON = 2;
    QIcon Icon(int index) const;
    // The type name ("File Folder", "Plain text document", "BIN File").
    std::string TypeName(const std::string& name, bool folder);

private:
    CTavImageList();
    std::vector<QIcon> m_icons;
    std::vector<std::string> m_iconNames;
    std::map<std::string, int> m_byExtension;
    std::map<std::string, std::string> m_types;
};

}  // namespace tavui
