// CTavImage: one image file; appends, reads and rewrites blocks, holds the file open for
// writing inside a transaction.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tavrep/TavTypes.h"

namespace plat {
class CFile;
class CNamedLock;
}  // namespace plat
namespace tavrep {
class TavCodecTable;
}

// A block as read back: its header fields (self = its offset, length = decoded length)
// and the decoded payload.
struct TavBlockData {
    uint32_t self = 0;
    uint32_t length = 0;
    uint32_t coding = 0;
    uint32_t kind = 0;
    uint32_t link = 0;
    std::vector<uint8_t> data;
};

// Layout of an image file: every block starts with a 20-byte header; the header block (the
// 16-byte TavRepHeader record) sits at offset 0, the security block (its 256-byte record) at
// 36, and the blocks of data begin at 312, behind those two fixed blocks.
constexpr uint32_t BLOCK_HEADER_SIZE = 20;
constexpr uint32_t IMAGE_HEADER_RECORD_SIZE = 16;
constexpr uint32_t SECURITY_BLOCK_OFFSET = BLOCK_HEADER_SIZE + IMAGE_HEADER_RECORD_SIZE;
constexpr uint32_t SECURITY_RECORD_SIZE = 256;
constexpr uint32_t FIRST_DATA_BLOCK_OFFSET =
    SECURITY_BLOCK_OFFSET + BLOCK_HEADER_SIZE + SECURITY_RECORD_SIZE;
static_assert(SECURITY_BLOCK_OFFSET == 36 && FIRST_DATA_BLOCK_OFFSET == 312);
// How long a transaction waits for the lock of an image file that another one holds.
constexpr uint32_t TAV_TRANS_TIMEOUT_MS = 5000;
constexpr uint32_t KEEP_FIELD = 0xFFFFFFFF;  // UpdateBlock/UpdateBlockHeader: leave as is

// What a block is read as; it bounds what the block may decode to, checked while it is
// decoded, before more is allocated: a block that would decode to more is damaged.
enum class TavBlockUse {
    // Tables and the fixed blocks: at most TABLE_MAX_EXPANSION times the stored bytes
    // (at least TABLE_MIN_LIMIT bytes). Writers keep their tables inside this bound.
    Table,
    // A content block: one chunk of at most MAX_CHUNK_PAYLOAD bytes behind the plain prefix.
    Content,
};
constexpr uint32_t MAX_CHUNK_PAYLOAD = 65536;
constexpr uint64_t TABLE_MAX_EXPANSION = 128;
constexpr uint64_t TABLE_MIN_LIMIT = 65536;
// The most a block of `storedLength` stored bytes and plain prefix `prefix` may decode to.
TAVREP_API uint64_t BlockPayloadLimit(TavBlockUse use, uint32_t storedLength, uint32_t prefix);

class TAVREP_API CTavImage {
public:
    CTavImage(const std::string& path, const TavImageSecurity& security);
    virtual ~CTavImage();
    CTavImage(const CTavImage&) = delete;
    CTavImage& operator=(const CTavImage&) = delete;

    void SetSecurity(const TavImageSecurity& security);
    uint32_t SetCompression(uint32_t methodId);  // returns the previous one
    uint32_t SetEncryption(uint32_t methodId);
    void SetLevel(int level) { m_level = level; }

    // 0 at once when the file is already held open; otherwise waits for the image lock
    // and opens the file for writing, raising CTavImageException on failure; returns 1.
    // A wait that times out returns 1 without holding the file; a lock that cannot be taken
    // for any other reason raises code 0 with the lock's system error.
    int BeginTrans(uint32_t timeoutMs);
    void EndTrans();
    bool InTrans() const { return m_file != nullptr; }
    // Flushes the file to the disk (outside a transaction through a handle opened for it);
    // false with the last error when that failed.
    bool Sync();
    void ReleaseReadHandle();  // closes the cached read-only handle

    // Appends a block; the offset of its header, or 0 on failure.
    uint32_t WriteBlock(const void* payload, uint32_t length, uint32_t prefix, uint32_t kind,
                        uint32_t link);
    // Appends a block whose stored bytes are already encoded (coding word given).
    uint32_t WriteEncodedBlock(const std::vector<uint8_t>& stored, uint32_t coding,
                               uint32_t kind, uint32_t link);
    // Reads and decodes a block; raises CTavImageException: code 3 also for a block whose
    // stored bytes do not decode and check out (its detail names the image, the offset and
    // the damage), never a shorter or different payload.
    TavBlockData ReadBlock(uint32_t offset, TavBlockUse use = TavBlockUse::Table);
    // Reads only the header of the block at `offset` (length = its stored length, no data);
    // false when there is no block header there. Lets a reader step over a damaged block.
    bool ReadBlockHeader(uint32_t offset, TavBlockData& header);
    // Rewrites `count` decoded bytes at payload position `at` (and optionally kind/link).
    int UpdateBlock(uint32_t offset, const void* bytes, uint32_t count, uint32_t at,
                    uint32_t newKind = KEEP_FIELD, uint32_t newLink = KEEP_FIELD);
    int UpdateBlockHeader(uint32_t offset, uint32_t newKind, uint32_t newLink);
    // Size of the file; 0xFFFFFFFF when it cannot be opened.
    uint32_t GetImageSize();
    // Cuts the held file back to `size` (transaction rollback); false on failure.
    bool TruncateTo(uint64_t size);

    const std::string& Path() const { return m_path; }
    int32_t appendedCount = 0;
    int32_t updatedCount = 0;
    // File size when the transaction began (rollback cuts back to it).
    uint64_t sizeAtBegin = 0;

    tavrep::TavCodecTable& Codecs() { return *m_codecs; }
    uint32_t Compression() const { return m_compression; }
    uint32_t Encryption() const { return m_encryption; }
    int Level() const { return m_level; }

private:
    TavBlockData PerformReadBlock(plat::CFile& file, uint32_t offset, TavBlockUse use);
    plat::CFile* WritableFile(std::unique_ptr<plat::CFile>& own);
    // Makes the image header name `feature` (version 2.2 with the bit in its mask) unless it
    // does; false when the header cannot be read or rewritten.
    bool MarkFeature(uint32_t feature);

    std::string m_path;
    std::unique_ptr<plat::CNamedLock> m_lock;
    std::unique_ptr<plat::CFile> m_file;
    std::unique_ptr<plat::CFile> m_readFile;  // read-only handle kept between block reads
    uint32_t m_compression = 0;
    int m_level = -1;
    uint32_t m_encryption = 0;
    std::unique_ptr<tavrep::TavCodecTable> m_codecs;
    uint64_t m_end = 0;  // end of the held file (no other writer can move it)
    uint64_t m_writtenBack = 0;
    uint32_t m_features = 0;  // feature bits the header is known to carry  // the held file's bytes before this were handed to the disk
};
