// Shared records and constants of the repository format: positions, block kinds,
// method ids, node flags, node and baseline records, the security record.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/FindData.h"
#include "tavrep/TavRepExport.h"

constexpr uint32_t TAV_NONE = 0xFFFFFFFF;  // "no id / not available"

// {image id, offset} of a stored block; {0, 0} means none.
struct TavPosition {
    uint32_t image = 0;
    uint32_t offset = 0;
    bool IsNull() const { return offset == 0; }
    friend bool operator==(const TavPosition&, const TavPosition&) = default;
};

// Format versions.
constexpr uint32_t FORMAT_2_0 = 0x02000000;
constexpr uint32_t FORMAT_2_1 = 0x02010000;
// The 2.1 layout whose header's last word is a mask of features a reader must know to read
// the image (a reader refuses an image with a bit it does not know).
constexpr uint32_t FORMAT_2_2 = 0x02020000;
constexpr uint32_t IMAGE_FEATURE_ZSTD = 0x1;       // blocks compressed with zstd
constexpr uint32_t IMAGE_FEATURES_KNOWN = IMAGE_FEATURE_ZSTD;

// Block kinds.
constexpr uint32_t BLOCK_KIND_HEADER = 0;
constexpr uint32_t BLOCK_KIND_SECURITY = 0x00010000;
constexpr uint32_t BLOCK_KIND_CONTENT = 0x00040000;
constexpr uint32_t BLOCK_KIND_BASELINES = 0x00050000;
constexpr uint32_t BLOCK_KIND_NODES = 0x00060000;
constexpr uint32_t BLOCK_NEXT_IMAGE_MASK = 0x3FFF;  // low 14 bits of a content block's kind
constexpr uint32_t BLOCK_SELF_MARKER = 0x424B4243;  // "CBKB", accepted in place of the offset

// Method ids (also the values OR-ed into a block's coding word).
constexpr uint32_t COMPRESS_NONE = 0;
constexpr uint32_t COMPRESS_DEFLATE = 0x00100000;
// Each block one zstd frame with its content size and checksum; images holding such blocks
// are written as FORMAT_2_2 with IMAGE_FEATURE_ZSTD in their feature mask.
constexpr uint32_t COMPRESS_ZSTD = 0x00200000;
constexpr uint32_t ENCRYPT_NONE = 0;
constexpr uint32_t ENCRYPT_BUILTIN = 0x00010000;
constexpr uint32_t ENCRYPT_PASSWORD = 0x00020000;

// Node flags.
constexpr uint32_t NODE_DIRECTORY = 0x00000001;
constexpr uint32_t NODE_HAS_FINGERPRINT = 0x00000002;
constexpr uint32_t NODE_TOUCHED = 0x10000000;
constexpr uint32_t NODE_UNCHANGED = 0x20000000;
constexpr uint32_t NODE_UPDATED = 0x40000000;
constexpr uint32_t NODE_DELETED = 0x80000000;

// Module ids (four-character codes, first letter in the most significant byte).
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}
constexpr uint32_t MODULE_FILES_ROOT = 0x666C7274;  // "flrt"
constexpr uint32_t MODULE_FILES_ITEM = 0x66696C65;  // "file"

constexpr uint32_t NODE_REC_SIZE = 628;  // working-file record; node id = index x 628
constexpr uint32_t NODE_NAME_CHARS = 260;
constexpr uint32_t NODE_NAME_MAX_UTF8 = 259;  // bytes of UTF-8 the on-disk name holds

constexpr uint32_t MAX_IMAGE_ID = 20000;        // slots refuse ids above this
constexpr uint32_t LAST_STARTED_IMAGE = 9999;   // no image is started at or past this

// Image header record: the 16-byte payload of the block at offset 0.
struct TavRepHeader {
    uint32_t version = FORMAT_2_1;
    uint32_t created = 0;
    uint32_t imageId = 0;
    uint32_t reserved = 0;  // FORMAT_2_2: the feature mask; 0 before
};

// One stored item of a baseline: 628 bytes in the working file.
struct TavNodeRec {
    uint32_t nodeId;
    uint32_t parentId;
    uint32_t firstChildId;
    uint32_t nextSiblingId;
    uint32_t updateBaseline;
    TavPosition content;
    TavPosition extra;
    uint32_t flags;
    char16_t name[NODE_NAME_CHARS];
    uint32_t updateCount;
    uint32_t attributes;
    uint32_t sizeHigh;
    uint32_t sizeLow;
    TavFileTime created;
    TavFileTime accessed;
    TavFileTime written;
    uint32_t stamp;
    uint32_t moduleId;
    uint32_t chunkSize;
    uint32_t fingerprint[4];

    uint64_t Size() const { return (uint64_t(sizeHigh) << 32) | sizeLow; }
};
static_assert(sizeof(TavNodeRec) == NODE_REC_SIZE);

// One baseline's header as callers see it.
struct TavBaselineHeaderRec {
    uint32_t image;
    uint32_t nodeTable;
    uint32_t number;
    char16_t name[64];
    uint32_t time;
    uint32_t type;
    uint32_t reserved[4];
    char16_t description[512];
};

// Password and storage parameters (filled by InitTavImageSecure).
struct TavImageSecurity {
    uint32_t hasPassword;
    char password[128];  // UTF-8 with its terminator, the rest zero
    uint32_t compression;
    int32_t level;
    uint32_t encryption;
    uint32_t maxImageSize;
};

// Record codecs for the working file: field by field, little-endian.
TAVREP_API void EncodeNodeRec(const TavNodeRec& node, uint8_t out[NODE_REC_SIZE]);
TAVREP_API void DecodeNodeRec(const uint8_t in[NODE_REC_SIZE], TavNodeRec& node);

// Id texts: eight upper-case hex digits.
TAVREP_API void NodeIdToString(uint32_t id, char out[9]);
TAVREP_API uint32_t NodeIdFromString(const char* text);  // TAV_NONE when not a number

// Chunk size rule: 0 -> 65536, 1..1023 -> 1024, above 65536 -> 65536.
TAVREP_API uint32_t VerifyChunkSize(uint32_t n);
