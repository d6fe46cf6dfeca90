// DbxFolderRecord: a record of the folder tree of "folders.dbx" (one mail folder).
#pragma once
#include <cstdint>

#include "core/DbxRecord.h"

// Folder indexes the module reads.
constexpr uint32_t DBX_FOLDER_ID = 0x00;         // integer
constexpr uint32_t DBX_FOLDER_PARENT_ID = 0x01;  // integer
constexpr uint32_t DBX_FOLDER_NAME = 0x02;       // text
constexpr uint32_t DBX_FOLDER_FILE_NAME = 0x03;  // text: the folder's ".dbx" file
constexpr uint32_t DBX_FOLDER_FLAGS = 0x06;      // integer; bit 0 is kept by the backup
constexpr uint32_t DBX_FOLDER_MESSAGES = 0x07;   // integer
constexpr uint32_t DBX_FOLDER_UNREAD = 0x08;     // integer

class DbxFolderRecord : public DbxRecord {
public:
    DbxFolderRecord(DbxInput& input, uint32_t offset) : DbxRecord(input, offset) {}

    std::string_view IndexName(uint32_t index) const override;
    uint32_t IndexType(uint32_t index) const override;
};
