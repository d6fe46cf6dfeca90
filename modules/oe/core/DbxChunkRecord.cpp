#include "core/DbxChunkRecord.h"

#include <cstring>

#include "core/DbxBytes.h"

namespace {
constexpr size_t REC_IMAGE = 0;
constexpr size_t REC_OFFSET = 4;
constexpr size_t REC_DIGEST = 8;
constexpr size_t REC_ZERO = 24;
}  // namespace

DbxChunkRecord DecodeChunkRecord(const uint8_t in[DBX_CHUNK_RECORD_SIZE]) {
    DbxChunkRecord record;
    record.position.image = DbxLoadU32(in + REC_IMAGE);
    record.position.offset = DbxLoadU32(in + REC_OFFSET);
    std::memcpy(record.digest, in + REC_DIGEST, sizeof record.digest);
    return record;
}

void EncodeChunkRecord(const DbxChunkRecord& record, uint8_t out[DBX_CHUNK_RECORD_SIZE]) {
    DbxStoreU32(out + REC_IMAGE, record.position.image);
    DbxStoreU32(out + REC_OFFSET, record.position.offset);
    std::memcpy(out + REC_DIGEST, record.digest, sizeof record.digest);
    std::memset(out + REC_ZERO, 0, DBX_CHUNK_RECORD_SIZE - REC_ZERO);
}

std::vector<DbxChunkRecord> DecodeChunkTable(const uint8_t* bytes, size_t size) {
    std::vector<DbxChunkRecord> table;
    table.reserve(size / DBX_CHUNK_RECORD_SIZE);
    for (size_t at = 0; at + DBX_CHUNK_RECORD_SIZE <= size; at += DBX_CHUNK_RECORD_SIZE)
        table.push_back(DecodeChunkRecord(bytes + at));
    return table;
}
