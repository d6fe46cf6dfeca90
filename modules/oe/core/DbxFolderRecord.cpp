#include "core/DbxFolderRecord.h"

#include <iterator>

namespace {
struct IndexInfo {
    const char* name;
    uint32_t type;
};

// Names and types of the folder indexes Outlook Express writes; unnamed ones are unknown.
constexpr IndexInfo FOLDER_INDEXES[DBX_INDEX_COUNT] = {
    {"folder id", DBX_TYPE_INTEGER},             // 0x00
    {"parent folder id", DBX_TYPE_INTEGER},      // 0x01
    {"folder name", DBX_TYPE_TEXT},              // 0x02
    {"file name", DBX_TYPE_TEXT},                // 0x03
    {nullptr, DBX_TYPE_NONE},                    // 0x04
    {nullptr, DBX_TYPE_NONE},                    // 0x05
    {"folder flags", DBX_TYPE_INTEGER},          // 0x06
    {"message count", DBX_TYPE_INTEGER},         // 0x07
    {"unread message count", DBX_TYPE_INTEGER},  // 0x08
};
}  // namespace

std::string_view DbxFolderRecord::IndexName(uint32_t index) const {
    CheckIndex(index);
    if (index < std::size(FOLDER_INDEXES) && FOLDER_INDEXES[index].name)
        return FOLDER_INDEXES[index].name;
    return {};
}

uint32_t DbxFolderRecord::IndexType(uint32_t index) const {
    CheckIndex(index);
    if (index < std::size(FOLDER_INDEXES) && FOLDER_INDEXES[index].name)
        return FOLDER_INDEXES[index].type;
    return DBX_TYPE_NONE;
}
