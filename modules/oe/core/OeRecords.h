// Node tags of the Outlook Express module and the records it stores as module data.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tavrep/TavTypes.h"

// Type tags of stored nodes and job entries: four ASCII letters, the first in the most
// significant byte.
constexpr uint32_t OE_TAG_ROOT = MakeFourCC('o', 'e', 'r', 't');      // module root node
constexpr uint32_t OE_TAG_IDENTITY = MakeFourCC('o', 'e', 'i', 'd');  // identity node
constexpr uint32_t OE_TAG_MESSAGE = MakeFourCC('o', 'e', 'm', 'g');   // "<msgroot>", store files, folders
constexpr uint32_t OE_TAG_ITEM = MakeFourCC('o', 'e', 'i', 't');      // exported settings item

// Message stores are stored as one content block per chunk of this size (the node's
// chunkSize), listed by a chunk table (core/DbxChunkRecord.h).
constexpr uint32_t OE_CHUNK_SIZE = 32768;

// Folder record: the `extra` data of a stored ".dbx" node (152 bytes, little-endian).
//   0   u32  1
//   4   u32  folder id (folder index 0x00)
//   8   u32  number of messages (0x07)
//   12  u32  number of unread messages (0x08)
//   16  u32  bit 0 of the folder flags (0x06): 1 "Active"
//   20  63 UTF-16 characters: folder name (0x02), zero-filled
//   146 2 bytes zero
//   148 u32  id of the parent folder (0x01)
constexpr size_t OE_FOLDER_RECORD_SIZE = 152;
constexpr size_t OE_FOLDER_NAME_CHARS = 63;

struct OeFolderRecord {
    uint32_t version = 1;
    uint32_t folderId = 0;
    uint32_t messages = 0;
    uint32_t unread = 0;
    uint32_t active = 0;
    std::string name;  // UTF-8; stored as at most 63 UTF-16 characters
    uint32_t parentId = 0;
};

std::array<uint8_t, OE_FOLDER_RECORD_SIZE> EncodeFolderRecord(const OeFolderRecord& record);
// Nothing when fewer than 152 bytes are given; any 152 bytes decode.
std::optional<OeFolderRecord> DecodeFolderRecord(const uint8_t* bytes, size_t size);

// Identity record: the `extra` data of an identity node (260 bytes, little-endian).
//   0   u32  1
//   4   128 UTF-16 characters: the identity's display name, zero-filled (at most 127
//           characters are written, so that the field always holds its terminator)
constexpr size_t OE_IDENTITY_RECORD_SIZE = 260;
constexpr size_t OE_IDENTITY_NAME_CHARS = 128;

struct OeIdentityRecord {
    uint32_t version = 1;
    std::string displayName;  // UTF-8
};

std::array<uint8_t, OE_IDENTITY_RECORD_SIZE> EncodeIdentityRecord(const OeIdentityRecord& record);
std::optional<OeIdentityRecord> DecodeIdentityRecord(const uint8_t* bytes, size_t size);
