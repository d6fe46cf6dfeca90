// CTavImage: block append, read and in-place update on one image file.
//
// Block header (20 bytes, five little-endian words, then the stored bytes):
//   0 self (the header's own offset, or "CBKB")  4 stored length  8 coding  12 kind  16 link
// Coding word: bits 0-7 padding count, 8-15 plain prefix length, 16-19 encryption method,
// 20-23 compression method, 24-31 kept as written.
#include "tavrep/TavImage.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "Codecs.h"
#include "DeflateCodec.h"
#include "ImageErrors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/NamedLock.h"
#include "platform/SysError.h"
#include "platform/TestHooks.h"
#include "tavrep/TavException.h"

using tavrep::GetLE32;
using tavrep::PutLE32;
using tavrep::TavCompressor;
using tavrep::TavEncryptor;

namespace {

constexpr const char* SRC_BEGIN_TRANS = "CTavImage::BeginTrans";
constexpr const char* SRC_READ_BLOCK = "CTavImage::ReadBlock";
constexpr const char* SRC_PERFORM_READ = "CTavImage::PerformReadBlock";
// The run's appended bytes are handed to the disk in steps of this size.
constexpr uint64_t WRITE_BACK_STEP = uint64_t(8) << 20;

// The image lock's name: the last 67 characters of the absolute path, then "TAVIMAGE".
std::string LockName(const std::string& path) {
    std::string full = plat::AbsolutePath(path);
    if (full.size() > 67) full = full.substr(full.size() - 67);
    return full + "TAVIMAGE";
}

struct RawHeader {
    uint32_t self, length, coding, kind, link;
};

RawHeader ParseHeader(const uint8_t* p) {
    return {GetLE32(p), GetLE32(p + 4), GetLE32(p + 8), GetLE32(p + 12), GetLE32(p + 16)};
}

void PutHeader(uint8_t* p, const RawHeader& h) {
    PutLE32(p, h.self);
    PutLE32(p + 4, h.length);
    PutLE32(p + 8, h.coding);
    PutLE32(p + 12, h.kind);
    PutLE32(p + 16, h.link);
}

// Begins a transaction for the duration of one block operation when none is open.
class CScopedTrans {
public:
    explicit CScopedTrans(CTavImage& image) : m_image(image) {
        if (!image.InTrans()) m_began = image.BeginTrans(TAV_TRANS_TIMEOUT_MS) != 0;
    }
    ~CScopedTrans() {
        if (m_began) m_image.EndTrans();
    }

private:
    CTavImage& m_image;
    bool m_began = false;
};

}  // namespace

CTavImage::CTavImage(const std::string& path, const TavImageSecurity& security)
    : m_path(path), m_lock(std::make_unique<plat::CNamedLock>(LockName(path))) {
    SetSecurity(security);
}

CTavImage::~CTavImage() { EndTrans(); }

void CTavImage::SetSecurity(const TavImageSecurity& security) {
    m_compression = security.compression;
    m_level = security.level;
    m_encryption = security.encryption;
    m_codecs = std::make_unique<tavrep::TavCodecTable>(security.password);
}

uint32_t CTavImage::SetCompression(uint32_t methodId) {
    uint32_t old = m_compression;
    m_compression = methodId;
    return old;
}

uint32_t CTavImage::SetEncryption(uint32_t methodId) {
    uint32_t old = m_encryption;
    m_encryption = methodId;
    return old;
}

int CTavImage::BeginTrans(uint32_t timeoutMs) {
    if (m_file) return 0;
    // Our own shared lock would refuse our exclusive one.
    m_readFile.reset();
    if (m_lock->Acquire(timeoutMs)) {
        uint32_t error = 0;
        m_file = plat::CFile::Open(m_path, plat::FileAccess::ReadWrite,
                                   plat::FileDisposition::OpenExisting, &error);
        m_lock->Release();
        if (!m_file) throw new CTavImageException(tavrep::OpenFailureCode(error), error, SRC_BEGIN_TRANS);
        int64_t size = m_file->Size();
        sizeAtBegin = size > 0 ? uint64_t(size) : 0;
        m_end = sizeAtBegin;
        m_writtenBack = sizeAtBegin;
    } else if (plat::GetLastError() != plat::ERR_TIMEOUT) {
        // Only a wait that ran out may go on without the lock (each block operation then
        // opens the file itself). A lock that cannot be taken at all would leave the run
        // without its held file, so without rollback and sync: the transaction fails.
        const uint32_t error = plat::GetLastError();
        throw new CTavImageException(TAVEX_OPEN_FAILED, error, SRC_BEGIN_TRANS);
    }
    appendedCount = 0;
    updatedCount = 0;
    return 1;
}

void CTavImage::EndTrans() { m_file.reset(); }

bool CTavImage::Sync() {
    plat::CrashPoint();
    if (m_file) return m_file->Sync();
    // Blocks written outside a transaction reach the disk through a handle opened for this.
    try {
        CScopedTrans trans(*this);
        std::unique_ptr<plat::CFile> own;
        plat::CFile* file = WritableFile(own);
        return file != nullptr && file->Sync();
    } catch (CTavException* e) {
        plat::SetLastError(e->systemError);
        e->Delete();
        return false;
    }
}

void CTavImage::ReleaseReadHandle() { m_readFile.reset(); }

uint32_t CTavImage::WriteBlock(const void* payload, uint32_t length, uint32_t prefix,
                               uint32_t kind, uint32_t link) {
    if (prefix > 255) prefix = 255;
    const bool content = (kind & ~BLOCK_NEXT_IMAGE_MASK) == BLOCK_KIND_CONTENT;
    // What no reader would accept is not written.
    if (content && length > BlockPayloadLimit(TavBlockUse::Content, 0, prefix)) {
        plat::SetLastError(plat::ERR_INVALID_PARAMETER);
        return 0;
    }
    std::vector<uint8_t> stored;
    uint32_t coding = prefix << 8;
    if (length > 0) {
        const auto* p = static_cast<const uint8_t*>(payload);
        // The two fixed blocks stay as configured (the security record is rewritten in place);
        // every other block gets a CRC-32 over its bytes even without compression.
        uint32_t compression = m_compression;
        int level = m_level;
        if (kind != BLOCK_KIND_HEADER && kind != BLOCK_KIND_SECURITY) tavrep::CheckedCompression(compression, level);
        TavCompressor& compressor = m_codecs->Compressor(compression);
        TavEncryptor& encryptor = m_codecs->Encryptor(m_encryption);
        coding = tavrep::EncodePayload(p, length, prefix, compressor, level, encryptor, stored);
        // A table that compresses beyond what readers accept of a table is stored instead
        // (level 0); real tables are far from that bound.
        if (!content && length > BlockPayloadLimit(TavBlockUse::Table, uint32_t(stored.size()), prefix))
            coding = tavrep::EncodePayload(p, length, prefix, compressor, 0, encryptor, stored);
    }
    return WriteEncodedBlock(stored, coding, kind, link);
}

uint32_t CTavImage::WriteEncodedBlock(const std::vector<uint8_t>& stored, uint32_t coding,
                                      uint32_t kind, uint32_t link) {
    plat::CrashPoint();
    try {
        CScopedTrans trans(*this);
        std::unique_ptr<plat::CFile> own;
        plat::CFile* file = WritableFile(own);
        if (file == nullptr) return 0;
        // A block that a reader of 2.1 images would misread is written only into an image
        // whose header says that it needs a reader that knows the block's method.
        if ((coding & 0x00F00000) == COMPRESS_ZSTD && !MarkFeature(IMAGE_FEATURE_ZSTD)) return 0;
        const int64_t end = file == m_file.get() ? int64_t(m_end) : file->Size();
        // Offsets are 32-bit: a block that would not be addressable is refused.
        if (end < 0 || uint64_t(end) + BLOCK_HEADER_SIZE + stored.size() > 0xFFFFFFFFull) {
            plat::SetLastError(plat::ERR_DISK_FULL);
            return 0;
        }
        const uint32_t offset = uint32_t(end);
        uint8_t header[BLOCK_HEADER_SIZE];
        PutHeader(header, {offset, uint32_t(stored.size()), coding, kind, link});
        if (!file->WriteAt(header, sizeof(header), stored.data(), stored.size(), offset)) {
            // A torn block must not stay behind the others.
            file->Truncate(offset);
            return 0;
        }
        if (file == m_file.get()) {
            m_end = offset + sizeof(header) + stored.size();
            // What a run appends is written to the disk as it grows rather than all at the
            // commit's Sync, so that the writing overlaps the encoding.
            if (m_end - m_writtenBack >= WRITE_BACK_STEP) {
                m_file->StartWriteBack(m_writtenBack, m_end - m_writtenBack);
                m_writtenBack = m_end;
            }
        }
        ++appendedCount;
        return offset;
    } catch (CTavException* e) {
        plat::SetLastError(e->systemError);
        e->Delete();
        return 0;
    }
}

bool CTavImage::MarkFeature(uint32_t feature) {
    if (m_features & feature) return true;
    TavBlockData block = ReadBlock(0, TavBlockUse::Table);
    if (block.data.size() != 16) return false;
    uint8_t header[16];
    std::memcpy(header, block.data.data(), sizeof(header));
    const uint32_t version = tavrep::GetLE32(header);
    uint32_t mask = version == FORMAT_2_2 ? tavrep::GetLE32(header + 12) : 0;
    // Only the 2.1 layout can carry the mask; a 2.0 image stays as it is.
    if (version != FORMAT_2_1 && version != FORMAT_2_2) {
        plat::SetLastError(plat::ERR_INVALID_PARAMETER);
        return false;
    }
    if (version != FORMAT_2_2 || (mask & feature) == 0) {
        mask |= feature;
        tavrep::PutLE32(header, FORMAT_2_2);
        tavrep::PutLE32(header + 12, mask);
        if (!UpdateBlock(0, header, sizeof(header), 0)) return false;
    }
    m_features = mask;
    return true;
}

uint64_t BlockPayloadLimit(TavBlockUse use, uint32_t storedLength, uint32_t prefix) {
    if (use == TavBlockUse::Content) return uint64_t(MAX_CHUNK_PAYLOAD) + prefix;
    return std::max(TABLE_MIN_LIMIT, uint64_t(storedLength) * TABLE_MAX_EXPANSION);
}

TavBlockData CTavImage::ReadBlock(uint32_t offset, TavBlockUse use) {
    if (m_file) return PerformReadBlock(*m_file, offset, use);
    // Outside a transaction the file is opened read-only (sharing reads) and the handle is
    // kept for the following reads until ReleaseReadHandle, EndTrans or BeginTrans.
    if (!m_readFile) {
        uint32_t error = 0;
        m_readFile = plat::CFile::Open(m_path, plat::FileAccess::Read,
                                       plat::FileDisposition::OpenExisting, &error);
        if (!m_readFile)
            throw new CTavImageException(tavrep::OpenFailureCode(error), error, SRC_READ_BLOCK);
    }
    return PerformReadBlock(*m_readFile, offset, use);
}

TavBlockData CTavImage::PerformReadBlock(plat::CFile& file, uint32_t offset, TavBlockUse use) {
    auto fail = [&](uint32_t error, const std::string& what) {
        auto* e = new CTavImageException(TAVEX_READ_BLOCK, error, SRC_PERFORM_READ);
        e->detail = "block at offset " + std::to_string(offset) + " of image " + m_path + ": " + what;
        return e;
    };
    uint8_t raw[BLOCK_HEADER_SIZE];
    if (file.ReadAt(raw, sizeof(raw), offset) != int64_t(sizeof(raw)))
        throw fail(plat::ERR_HANDLE_EOF, "the header lies beyond the end of the file");
    RawHeader h = ParseHeader(raw);
    if (h.self != offset && h.self != BLOCK_SELF_MARKER)
        throw fail(plat::ERR_INVALID_PARAMETER, "no block header there (its first word is not its offset)");
    // The stored length is checked against the file before anything is allocated.
    int64_t fileSize = file.Size();
    if (fileSize < 0 || uint64_t(offset) + BLOCK_HEADER_SIZE + h.length > uint64_t(fileSize))
        throw fail(plat::ERR_HANDLE_EOF, "its stored length reaches beyond the end of the file");
    std::vector<uint8_t> stored(h.length);
    if (h.length > 0 &&
        file.ReadAt(stored.data(), h.length, uint64_t(offset) + BLOCK_HEADER_SIZE) != int64_t(h.length))
        throw fail(plat::GetLastError(), "its stored bytes could not be read");
    TavBlockData block;
    block.self = offset;
    block.coding = h.coding;
    block.kind = h.kind;
    block.link = h.link;
    const uint64_t limit = BlockPayloadLimit(use, h.length, (h.coding >> 8) & 0xFF);
    const std::string damage = tavrep::DecodePayload(h.coding, stored, *m_codecs, limit, block.data);
    if (!damage.empty()) throw fail(tavrep::ERR_DATA_DAMAGED, "damaged: " + damage);
    block.length = uint32_t(block.data.size());
    return block;
}

bool CTavImage::ReadBlockHeader(uint32_t offset, TavBlockData& header) {
    if (!m_file && !m_readFile) {
        m_readFile = plat::CFile::Open(m_path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
        if (!m_readFile) return false;
    }
    plat::CFile& file = m_file ? *m_file : *m_readFile;
    uint8_t raw[BLOCK_HEADER_SIZE];
    if (file.ReadAt(raw, sizeof(raw), offset) != int64_t(sizeof(raw))) return false;
    const RawHeader h = ParseHeader(raw);
    if (h.self != offset && h.self != BLOCK_SELF_MARKER) return false;
    header = TavBlockData{offset, h.length, h.coding, h.kind, h.link, {}};
    return true;
}

// The held file, or (when the lock wait of BeginTrans timed out) the file opened for this
// one operation into `own`; null when it cannot be opened.
plat::CFile* CTavImage::WritableFile(std::unique_ptr<plat::CFile>& own) {
    if (m_file) return m_file.get();
    own = plat::CFile::Open(m_path, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    return own.get();
}

int CTavImage::UpdateBlock(uint32_t offset, const void* bytes, uint32_t count, uint32_t at,
                           uint32_t newKind, uint32_t newLink) {
    plat::CrashPoint();
    try {
        CScopedTrans trans(*this);
        std::unique_ptr<plat::CFile> own;
        plat::CFile* file = WritableFile(own);
        if (file == nullptr) return 0;
        uint8_t raw[BLOCK_HEADER_SIZE];
        if (file->ReadAt(raw, sizeof(raw), offset) != int64_t(sizeof(raw))) return 0;
        RawHeader h = ParseHeader(raw);
        TavBlockData block = PerformReadBlock(*file, offset, TavBlockUse::Table);
        const uint32_t prefix = (block.coding >> 8) & 0xFF;
        const bool compressed = ((block.coding >> 20) & 0xF) != 0;
        if (uint64_t(at) + count > block.data.size()) return 0;
        // Behind the prefix, a member of stored deflate blocks is written the same way again
        // (its length depends on the payload's length only), with the CRC-32 of the new
        // bytes. Compressed data could change its length, so only the prefix of such a block
        // can be rewritten.
        const uint32_t padding = h.coding & 0xFF;
        const size_t behind = block.data.size() > prefix ? block.data.size() - prefix : 0;
        const bool storedMember = compressed && behind > 0 && padding <= h.length &&
                                  h.length - padding == prefix + tavrep::StoredMemberSize(behind);
        if (compressed && !storedMember && uint64_t(at) + count > prefix) return 0;
        std::memcpy(block.data.data() + at, bytes, count);
        std::vector<uint8_t> stored;
        uint32_t coding = tavrep::EncodePayload(
            block.data.data(), uint32_t(block.data.size()), prefix,
            m_codecs->Compressor(block.coding & 0x00F00000), storedMember ? 0 : m_level,
            m_codecs->Encryptor(block.coding & 0x000F0000), stored);
        coding |= block.coding & 0xFF000000;
        // The stored length cannot change on disk: anything else would overwrite the
        // next block.
        if (stored.size() != h.length) return 0;
        if (newKind != KEEP_FIELD || newLink != KEEP_FIELD) {
            if (newKind != KEEP_FIELD) h.kind = newKind;
            if (newLink != KEEP_FIELD) h.link = newLink;
            h.coding = coding;
            PutHeader(raw, h);
            if (!file->WriteAt(raw, sizeof(raw), offset)) return 0;
        }
        if (!stored.empty() && !file->WriteAt(stored.data(), stored.size(), uint64_t(offset) + BLOCK_HEADER_SIZE))
            return 0;
        ++updatedCount;
        return 1;
    } catch (CTavException* e) {
        plat::SetLastError(e->systemError);
        e->Delete();
        return 0;
    }
}

int CTavImage::UpdateBlockHeader(uint32_t offset, uint32_t newKind, uint32_t newLink) {
    try {
        CScopedTrans trans(*this);
        std::unique_ptr<plat::CFile> own;
        plat::CFile* file = WritableFile(own);
        if (file == nullptr) return 0;
        uint8_t raw[BLOCK_HEADER_SIZE];
        if (file->ReadAt(raw, sizeof(raw), offset) != int64_t(sizeof(raw))) return 0;
        RawHeader h = ParseHeader(raw);
        // Never rewrite bytes that are not a block header.
        if (h.self != offset && h.self != BLOCK_SELF_MARKER) return 0;
        if (newKind != KEEP_FIELD) h.kind = newKind;
        if (newLink != KEEP_FIELD) h.link = newLink;
        PutHeader(raw, h);
        if (!file->WriteAt(raw + 12, 8, uint64_t(offset) + 12)) return 0;
        ++updatedCount;
        return 1;
    } catch (CTavException* e) {
        plat::SetLastError(e->systemError);
        e->Delete();
        return 0;
    }
}

uint32_t CTavImage::GetImageSize() {
    if (m_file) return m_end > 0xFFFFFFFFull ? 0xFFFFFFFF : uint32_t(m_end);
    if (m_readFile) {
        int64_t size = m_readFile->Size();
        return size < 0 || size >= int64_t(0xFFFFFFFF) ? 0xFFFFFFFF : uint32_t(size);
    }
    auto file = plat::CFile::Open(m_path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    if (!file) return 0xFFFFFFFF;
    int64_t size = file->Size();
    if (size < 0 || size >= int64_t(0xFFFFFFFF)) return 0xFFFFFFFF;
    return uint32_t(size);
}

bool CTavImage::TruncateTo(uint64_t size) {
    if (!m_file) return false;
    if (!m_file->Truncate(size)) return false;
    m_end = size;
    m_writtenBack = std::min(m_writtenBack, size);
    return true;
}
