// The mail folders that "folders.dbx" lists, read into plain entries.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class DbxInput;

// One folder record of the folder tree; texts in UTF-8, nullopt when the record lacks them.
struct DbxFolderEntry {
    uint32_t offset = 0;                  // the record's offset
    uint32_t id = 0;                      // index 0x00
    uint32_t parentId = 0;                // index 0x01
    std::optional<std::string> name;      // index 0x02
    std::optional<std::string> fileName;  // index 0x03, the folder's ".dbx" file
    uint32_t flags = 0;                   // index 0x06; bit 0 shown as "Active"
    uint32_t messages = 0;                // index 0x07
    uint32_t unread = 0;                  // index 0x08
};

struct DbxFolderList {
    std::vector<DbxFolderEntry> folders;  // in tree order
    // Set when the header or the tree could not be read (`folders` then holds nothing) or a
    // record could not (it is left out; the first problem is kept).
    std::string error;
    uint32_t unreadable = 0;
};

// Reads the folder tree (header 0xEC root, 0xCC count). A file whose counts are 0 lists
// no folder and no error. Never throws a DbxException.
DbxFolderList ReadDbxFolders(DbxInput& input);

// The folders in the order of the folder hierarchy: each folder followed by its children
// (by name, any case), starting from the folders whose parent is not listed. `depth`
// receives each entry's depth (0 at the top). Folders on a cycle of parent links are
// listed at the top, once.
std::vector<DbxFolderEntry> DbxFoldersAsTree(const std::vector<DbxFolderEntry>& folders,
                                             std::vector<uint32_t>& depth);
