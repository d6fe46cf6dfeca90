// DbxHeader: the fixed 9404-byte header of a ".dbx" file, kept as read.
#pragma once
#include <array>
#include <cstdint>

class DbxInput;

constexpr uint32_t DBX_HEADER_SIZE = 0x24BC;

// Header fields the module reads (byte offsets into the header).
constexpr uint32_t DBX_HEADER_MESSAGE_COUNT = 0xC4;  // records in the message tree
constexpr uint32_t DBX_HEADER_FOLDER_COUNT = 0xCC;   // records in the folder tree
constexpr uint32_t DBX_HEADER_MESSAGE_ROOT = 0xE4;   // root node of the message tree
constexpr uint32_t DBX_HEADER_FOLDER_ROOT = 0xEC;    // root node of the folder tree

// Reads the header from offset 0. No signature is checked: message files and
// "folders.dbx" share the layout and differ only in which tree they fill.
// Throws DbxException "Error reading object from input stream !" on a short read.
class DbxHeader {
public:
    explicit DbxHeader(DbxInput& input);

    uint32_t MessageCount() const { return U32(DBX_HEADER_MESSAGE_COUNT); }
    uint32_t FolderCount() const { return U32(DBX_HEADER_FOLDER_COUNT); }
    uint32_t MessageRoot() const { return U32(DBX_HEADER_MESSAGE_ROOT); }
    uint32_t FolderRoot() const { return U32(DBX_HEADER_FOLDER_ROOT); }

    // Any u32 of the header; `offset` must leave four bytes inside it (else 0).
    uint32_t U32(uint32_t offset) const;
    const std::array<uint8_t, DBX_HEADER_SIZE>& Bytes() const { return m_bytes; }

private:
    std::array<uint8_t, DBX_HEADER_SIZE> m_bytes{};
};
