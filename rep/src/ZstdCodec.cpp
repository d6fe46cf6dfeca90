// The zstd codec over libzstd's stable interface. A frame is accepted only when it is one
// whole frame with its content size and checksum: the size bounds the allocation before
// anything is decoded, and the checksum makes damage an error, as the CRC-32 does for gzip.
#include "ZstdCodec.h"

#include <zstd.h>

#include "ByteOrder.h"
#include "DeflateCodec.h"
#include "tavrep/TavTypes.h"

namespace tavrep {
namespace {

// Frame header descriptor (the byte behind the 4-byte magic): bit 2 says a 32-bit
// checksum of the content follows the last block.
constexpr size_t MAGIC_SIZE = 4;
constexpr uint8_t FHD_CHECKSUM = 0x04;
constexpr int DEFAULT_LEVEL = 3;
constexpr int MAX_LEVEL = 19;

}  // namespace

CZstdCompressor::~CZstdCompressor() {
    ZSTD_freeCCtx(m_cctx);
    ZSTD_freeDCtx(m_dctx);
}

int CZstdCompressor::EffectiveLevel(int level) {
    if (level < 1) return DEFAULT_LEVEL;
    return level > MAX_LEVEL ? MAX_LEVEL : level;
}

uint32_t CZstdCompressor::MethodId() const { return COMPRESS_ZSTD; }
uint32_t CZstdCompressor::StoredMethodId() const { return COMPRESS_DEFLATE; }

bool CZstdCompressor::Encode(const uint8_t* in, size_t n, int level, std::vector<uint8_t>& out) {
    if (m_cctx == nullptr && (m_cctx = ZSTD_createCCtx()) == nullptr) return false;
    ZSTD_CCtx_reset(m_cctx, ZSTD_reset_session_and_parameters);
    if (ZSTD_isError(ZSTD_CCtx_setParameter(m_cctx, ZSTD_c_compressionLevel, EffectiveLevel(level))) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(m_cctx, ZSTD_c_checksumFlag, 1)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(m_cctx, ZSTD_c_contentSizeFlag, 1)))
        return false;
    // Into room of its own: sizing `out` to the bound would clear that many bytes for every
    // block only to overwrite a part of them.
    const size_t bound = ZSTD_compressBound(n);
    uint8_t* frame = m_scratch.Room(bound);
    const size_t written = ZSTD_compress2(m_cctx, frame, bound, in, n);
    if (ZSTD_isError(written)) {
        m_scratch.Release();
        return false;
    }
    // Room for the cipher's padding too, so that encrypting does not move the bytes again.
    out.reserve(out.size() + written + 16);
    out.insert(out.end(), frame, frame + written);
    m_scratch.Release();
    return true;
}

bool CZstdCompressor::EncodeStored(const uint8_t* in, size_t n, std::vector<uint8_t>& out) {
    AppendStoredMember(in, n, out);
    return true;
}

std::string CZstdCompressor::Decode(const uint8_t* in, size_t n, size_t limit,
                                    std::vector<uint8_t>& out) {
    if (n < MAGIC_SIZE + 1 || GetLE32(in) != ZSTD_MAGICNUMBER)
        return "the block is marked zstd but does not hold a zstd frame";
    if ((in[MAGIC_SIZE] & FHD_CHECKSUM) == 0) return "the zstd frame carries no checksum";
    const unsigned long long size = ZSTD_getFrameContentSize(in, n);
    if (size == ZSTD_CONTENTSIZE_ERROR) return "the zstd frame header is damaged";
    if (size == ZSTD_CONTENTSIZE_UNKNOWN) return "the zstd frame does not state its size";
    if (size > limit) return "the payload is longer than a block of its kind may be";
    const size_t frame = ZSTD_findFrameCompressedSize(in, n);
    if (ZSTD_isError(frame)) return "the zstd frame is cut short or damaged";
    if (frame != n) return "bytes follow the zstd frame";
    if (m_dctx == nullptr && (m_dctx = ZSTD_createDCtx()) == nullptr)
        return "no memory to decode the zstd frame";
    const size_t start = out.size();
    out.resize(start + size_t(size));
    const size_t got = ZSTD_decompressDCtx(m_dctx, out.data() + start, size_t(size), in, n);
    if (ZSTD_isError(got)) {
        out.resize(start);
        return std::string("the zstd frame does not decode: ") + ZSTD_getErrorName(got);
    }
    if (got != size) {
        out.resize(start);
        return "the zstd frame decodes to another size than it states";
    }
    return "";
}

}  // namespace tavrep
