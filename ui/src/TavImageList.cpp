// Icons and type names of stored items, cached by extension.
#include "tavui/TavImageList.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

namespace tavui {

namespace {
std::string Extension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == name.size())
        return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

QIcon StyleIcon(QStyle::StandardPixmap which) {
    return qApp != nullptr && QApplication::style() ? QApplication::style()->standardIcon(which) : QIcon();
}
}  // namespace

CTavImageList& CTavImageList::Shared() {
    static CTavImageList list;
    return list;
}

CTavImageList::CTavImageList() {
    m_icons = {QIcon::fromTheme("text-x-generic", StyleIcon(QStyle::SP_FileIcon)),
               QIcon::fromTheme("folder", StyleIcon(QStyle::SP_DirClosedIcon)),
               QIcon::fromTheme("folder-open", StyleIcon(QStyle::SP_DirOpenIcon))};
    m_iconNames = {"text-x-generic", "folder", "folder-open"};
}

int CTavImageList::IconIndex(const std::string& name, bool folder) {
    if (folder) return FOLDER_ICON;
    const std::string ext = Extension(name);
    if (ext.empty()) return FILE_ICON;
    auto known = m_byExtension.find(ext);
    if (known != m_byExtension.end()) return known->second;
    static QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(QString::fromStdString("x." + ext), QMimeDatabase::MatchExtension);
    const std::string iconName = type.isValid() && !type.isDefault() ? type.iconName().toStdString() : "";
    int index = FILE_ICON;
    if (!iconName.empty() && QIcon::hasThemeIcon(QString::fromStdString(iconName))) {
        for (size_t i = 0; i < m_iconNames.size(); ++i)
            if (m_iconNames[i] == iconName) index = int(i);
        if (index == FILE_ICON) {
            m_icons.push_back(QIcon::fromTheme(QString::fromStdString(iconName)));
            m_iconNames.push_back(iconName);
            index = int(m_icons.size() - 1);
        }
    }
    m_byExtension[ext] = index;
    return index;
}

QIcon CTavImageList::Icon(int index) const {
    if (index < 0 || size_t(index) >= m_icons.size()) return m_icons[FILE_ICON];
    return m_icons[size_t(index)];
}

std::string CTavImageList::TypeName(const std::string& name, bool folder) {
    if (folder) return "File Folder";
    const std::string ext = Extension(name);
    if (ext.empty()) return "File";
    auto known = m_types.find(ext);
    if (known != m_types.end()) return known->second;
    static QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(QString::fromStdString("x." + ext), QMimeDatabase::MatchExtension);
    std::string text;
    if (type.isValid() && !type.isDefault()) text = type.comment().toStdString();
    if (text.empty()) {
        std::string upper = ext;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        text = upper + " File";
    }
    return m_types[ext] = text;
}

}  // namespace tavui
