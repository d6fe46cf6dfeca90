// DbxChunkRecord: one 40-byte record of the chunk table of a stored message-store file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrep/TavTypes.h"

// Chunk table: the content of a stored ".dbx" node, one record per chunk of the file in
// file order (each chunk is a content block of its own):
//   0  8  TavPosition of the chunk's stored block (u32 image id, u32 offset)
//   8  16 MD5 digest of the chunk's bytes
//   24 16 zero
constexpr uint32_t DBX_CHUNK_RECORD_SIZE = 40;
constexpr uint32_t DBX_CHUNK_SIZE = 32768;  // the chunk size the backup engine stores

struct DbxChunkRecord {
    TavPosition position;
    uint8_t digest[16] = {};
};

DbxChunkRecord DecodeChunkRecord(const uint8_t in[DBX_CHUNK_RECORD_SIZE]);
void EncodeChunkRecord(const DbxChunkRecord& record, uint8_t out[DBX_CHUNK_RECORD_SIZE]);
// Every whole record of a table's bytes; a trailing part shorter than a record is ignored.
std::vector<DbxChunkRecord> DecodeChunkTable(const uint8_t* bytes, size_t size);
