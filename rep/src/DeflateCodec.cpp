// The deflate codec: gzip members written with libdeflate (zlib as the fallback) and read
// with libdeflate for the common single-member case, zlib's streaming inflater otherwise.
#include "DeflateCodec.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "tavrep/TavTypes.h"

namespace tavrep {
namespace {

// Gzip member as written here (RFC 1952):
//   offset 0  1F 8B        magic
//          2  08           method deflate
//          3  00           flags: none
//          4  00 00 00 00  modification time: none
//          8  00           extra flags
//          9  0B           operating system
//         10  ...          raw deflate stream
//   then      CRC-32 of the uncompressed bytes, their count mod 2^32 (both little-endian)
constexpr uint8_t MEMBER_HEADER[10] = {0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B};
constexpr size_t HEADER_SIZE = sizeof(MEMBER_HEADER);
constexpr size_t TRAILER_SIZE = 8;

constexpr uint8_t FLAG_HCRC = 0x02;
constexpr uint8_t FLAG_EXTRA = 0x04;
constexpr uint8_t FLAG_NAME = 0x08;
constexpr uint8_t FLAG_COMMENT = 0x10;
constexpr uint8_t FLAG_RESERVED = 0xE0;

// The single-member fast path allocates the size the trailer announces, so that size is
// believed only within these bounds; anything else goes the streaming way.
constexpr size_t FAST_PATH_MAX_OUTPUT = size_t(64) << 20;
// No deflate stream inflates by more than 1032:1 (a 258-byte match coded in two bits).
constexpr uint64_t MAX_INFLATE_RATIO = 1032;

// The decoded payload's length travels in 32-bit fields, so more output than this is damage.
constexpr size_t MAX_DECODED_BYTES = 0xFFFFFFFFu;
constexpr size_t MIN_OUTPUT_GROWTH = 4096;
constexpr size_t MAX_ZLIB_CHUNK = size_t(1) << 30;  // zlib counts in 32-bit uInt

constexpr int DEFAULT_LEVEL = 6;

// A stored deflate block: one header byte, LEN and NLEN, then at most 65,535 bytes.
constexpr size_t MAX_STORED_BLOCK = 65535;
constexpr size_t STORED_BLOCK_HEADER = 5;

bool HasMagic(const uint8_t* p, size_t n) { return n >= 2 && p[0] == 0x1F && p[1] == 0x8B; }

// Skips a zero-terminated field; false when the terminator is not inside the buffer.
bool SkipZeroTerminated(const uint8_t* p, size_t n, size_t& pos) {
    const void* zero = pos < n ? std::memchr(p + pos, 0, n - pos) : nullptr;
    if (!zero) return false;
    pos = size_t(static_cast<const uint8_t*>(zero) - p) + 1;
    return true;
}

}  // namespace

size_t ParseGzipHeader(const uint8_t* p, size_t n) {
    if (n < HEADER_SIZE || !HasMagic(p, n) || p[2] != Z_DEFLATED) return 0;
    const uint8_t flags = p[3];
    if (flags & FLAG_RESERVED) return 0;
    size_t pos = HEADER_SIZE;  // time stamp, extra flags and system byte are not needed
    if (flags & FLAG_EXTRA) {
        if (n - pos < 2) return 0;
        const size_t extra = size_t(p[pos]) | (size_t(p[pos + 1]) << 8);
        pos += 2;
        if (n - pos < extra) return 0;
        pos += extra;
    }
    if ((flags & FLAG_NAME) && !SkipZeroTerminated(p, n, pos)) return 0;
    if ((flags & FLAG_COMMENT) && !SkipZeroTerminated(p, n, pos)) return 0;
    if (flags & FLAG_HCRC) {
        if (n - pos < 2) return 0;
        pos += 2;
    }
    return pos;
}

CDeflateCompressor::~CDeflateCompressor() {
    for (libdeflate_compressor* c : m_compressors) {
        if (c) libdeflate_free_compressor(c);
    }
    if (m_decompressor) libdeflate_free_decompressor(m_decompressor);
    if (m_inflater) {
        inflateEnd(m_inflater);
        std::free(m_inflater);
    }
}

uint32_t CDeflateCompressor::MethodId() const { return COMPRESS_DEFLATE; }

int CDeflateCompressor::EffectiveLevel(int level) {
    if (level < 0) return DEFAULT_LEVEL;
    return std::min(level, 9);
}

bool CDeflateCompressor::Encode(const uint8_t* in, size_t n, int level, std::vector<uint8_t>& out) {
    try {
        return EncodeWithLibdeflate(in, n, level, out) || EncodeWithZlib(in, n, level, out);
    } catch (const std::bad_alloc&) {
        return false;  // `out` keeps its old contents: both encoders only grow it at the end
    }
}

bool CDeflateCompressor::EncodeWithLibdeflate(const uint8_t* in, size_t n, int level,
                                              std::vector<uint8_t>& out) {
    const int lv = EffectiveLevel(level);
    libdeflate_compressor*& compressor = m_compressors[lv];
    if (!compressor) compressor = libdeflate_alloc_compressor(lv);
    if (!compressor) return false;

    const size_t bound = libdeflate_deflate_compress_bound(compressor, n);
    uint8_t* stream = m_scratch.Room(bound);
    const size_t len = libdeflate_deflate_compress(compressor, in, n, stream, bound);
    if (len == 0) {  // cannot happen within the bound; let zlib try
        m_scratch.Release();
        return false;
    }
    uint8_t trailer[TRAILER_SIZE];
    PutLE32(trailer, libdeflate_crc32(0, in, n));
    PutLE32(trailer + 4, uint32_t(n));
    // Room for the cipher's padding too, so that encrypting does not move the bytes again.
    out.reserve(out.size() + HEADER_SIZE + len + TRAILER_SIZE + 16);
    out.insert(out.end(), MEMBER_HEADER, MEMBER_HEADER + HEADER_SIZE);
    out.insert(out.end(), stream, stream + len);
    out.insert(out.end(), trailer, trailer + TRAILER_SIZE);
    m_scratch.Release();
    return true;
}

bool CDeflateCompressor::EncodeWithZlib(const uint8_t* in, size_t n, int level,
                                        std::vector<uint8_t>& out) {
    z_stream zs{};
    if (deflateInit2(&zs, EffectiveLevel(level), Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return false;
    }
    const size_t start = out.size();
    size_t produced = start + HEADER_SIZE;
    size_t pos = 0;
    bool ok = false;
    try {
        out.resize(produced + deflateBound(&zs, uLong(n)) + TRAILER_SIZE);
        std::memcpy(out.data() + start, MEMBER_HEADER, HEADER_SIZE);
        for (;;) {
            if (out.size() - produced < MIN_OUTPUT_GROWTH) out.resize(produced + MIN_OUTPUT_GROWTH);
            const size_t inChunk = std::min(n - pos, MAX_ZLIB_CHUNK);
            const size_t outChunk = std::min(out.size() - produced, MAX_ZLIB_CHUNK);
            zs.next_in = const_cast<Bytef*>(in + pos);
            zs.avail_in = uInt(inChunk);
            zs.next_out = out.data() + produced;
            zs.avail_out = uInt(outChunk);
            const int rc = deflate(&zs, pos + inChunk == n ? Z_FINISH : Z_NO_FLUSH);
            pos += inChunk - zs.avail_in;
            produced += outChunk - zs.avail_out;
            if (rc == Z_STREAM_END) {
                ok = true;
                break;
            }
            if (rc != Z_OK && rc != Z_BUF_ERROR) break;
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    deflateEnd(&zs);
    if (!ok) {
        out.resize(start);
        return false;
    }
    out.resize(produced + TRAILER_SIZE);
    PutLE32(out.data() + produced, libdeflate_crc32(0, in, n));
    PutLE32(out.data() + produced + 4, uint32_t(n));
    return true;
}

bool CDeflateCompressor::EncodeStored(const uint8_t* in, size_t n, std::vector<uint8_t>& out) {
    try {
        AppendStoredMember(in, n, out);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

size_t StoredMemberSize(size_t n) {
    const size_t blocks = n == 0 ? 1 : (n + MAX_STORED_BLOCK - 1) / MAX_STORED_BLOCK;
    return HEADER_SIZE + blocks * STORED_BLOCK_HEADER + n + TRAILER_SIZE;
}

void AppendStoredMember(const uint8_t* in, size_t n, std::vector<uint8_t>& out) {
    out.reserve(out.size() + StoredMemberSize(n));  // the appends below never reallocate
    out.insert(out.end(), MEMBER_HEADER, MEMBER_HEADER + HEADER_SIZE);
    // Stored blocks: a byte with BFINAL (bit 0) and BTYPE 00, then LEN and its complement
    // NLEN (16 bits each, little-endian), then LEN bytes as they are.
    size_t pos = 0;
    do {
        const size_t len = std::min(n - pos, MAX_STORED_BLOCK);
        const uint8_t block[STORED_BLOCK_HEADER] = {uint8_t(pos + len == n ? 1 : 0), uint8_t(len),
                                                    uint8_t(len >> 8), uint8_t(~len),
                                                    uint8_t(~len >> 8)};
        out.insert(out.end(), block, block + STORED_BLOCK_HEADER);
        out.insert(out.end(), in + pos, in + pos + len);
        pos += len;
    } while (pos < n);
    uint8_t trailer[TRAILER_SIZE];
    PutLE32(trailer, libdeflate_crc32(0, in, n));
    PutLE32(trailer + 4, uint32_t(n));
    out.insert(out.end(), trailer, trailer + TRAILER_SIZE);
}

std::string CDeflateCompressor::Decode(const uint8_t* in, size_t n, size_t limit,
                                       std::vector<uint8_t>& out) {
    if (DecodeSingleMember(in, n, limit, out)) return "";
    return DecodeStreaming(in, n, limit, out);
}

bool CDeflateCompressor::DecodeSingleMember(const uint8_t* in, size_t n, size_t limit,
                                            std::vector<uint8_t>& out) {
    const size_t header = ParseGzipHeader(in, n);
    if (header == 0 || n - header < TRAILER_SIZE) return false;
    const size_t deflateLen = n - header - TRAILER_SIZE;
    const uint32_t storedCrc = GetLE32(in + n - 8);
    const size_t size = GetLE32(in + n - 4);
    // The trailer's length is believed for the allocation only within the caller's limit
    // and what deflate can expand to.
    if (size > limit || size > FAST_PATH_MAX_OUTPUT || size > deflateLen * MAX_INFLATE_RATIO)
        return false;

    if (!m_decompressor && !m_decompressorFailed) {
        m_decompressor = libdeflate_alloc_decompressor();
        m_decompressorFailed = m_decompressor == nullptr;
    }
    if (!m_decompressor) return false;

    const size_t start = out.size();
    out.resize(start + size);
    size_t usedIn = 0;
    size_t usedOut = 0;
    const libdeflate_result rc = libdeflate_deflate_decompress_ex(
        m_decompressor, in + header, deflateLen, out.data() + start, size, &usedIn, &usedOut);
    if (rc == LIBDEFLATE_SUCCESS && usedIn == deflateLen && usedOut == size &&
        libdeflate_crc32(0, out.data() + start, size) == storedCrc) {
        return true;
    }
    out.resize(start);  // several members, damage or a wrong size: the streaming path decides
    return false;
}

std::string CDeflateCompressor::DecodeStreaming(const uint8_t* in, size_t n, size_t limit,
                                                std::vector<uint8_t>& out) {
    if (!HasMagic(in, n)) return "the compressed data does not begin with a gzip member";
    if (!m_inflater) {
        // A C struct, allocated and freed as C does.
        auto* zs = static_cast<z_stream*>(std::calloc(1, sizeof(z_stream)));
        if (!zs) return "no memory to inflate";
        if (inflateInit2(zs, -MAX_WBITS) != Z_OK) {
            std::free(zs);
            return "no memory to inflate";
        }
        m_inflater = zs;
    }
    z_stream& zs = *m_inflater;

    // The output grows with what the data really inflates to and never beyond one byte
    // more than the limit (that byte tells a payload at the limit from one beyond it).
    const size_t start = out.size();
    const size_t outputEnd = start + std::min(limit, MAX_DECODED_BYTES) + 1;
    size_t pos = 0;
    size_t produced = start;
    int members = 0;
    while (pos < n) {
        const size_t header = ParseGzipHeader(in + pos, n - pos);
        if (header == 0) {
            return members == 0 ? "the gzip member's header is damaged"
                                : "bytes behind the last gzip member are not a gzip member";
        }
        if (inflateReset(&zs) != Z_OK) return "the inflater could not be reset";
        pos += header;
        const size_t memberStart = produced;
        int rc = Z_OK;
        while (rc == Z_OK) {
            if (produced == out.size()) {
                if (produced >= outputEnd) break;
                const size_t grow = std::max(MIN_OUTPUT_GROWTH, (produced - start) / 2);
                try {
                    out.resize(std::min(produced + grow, outputEnd));
                } catch (const std::bad_alloc&) {
                    out.resize(produced);
                    return "no memory to inflate";
                }
            }
            const size_t inChunk = std::min(n - pos, MAX_ZLIB_CHUNK);
            const size_t outChunk = std::min(out.size() - produced, MAX_ZLIB_CHUNK);
            zs.next_in = const_cast<Bytef*>(in + pos);
            zs.avail_in = uInt(inChunk);
            zs.next_out = out.data() + produced;
            zs.avail_out = uInt(outChunk);
            rc = inflate(&zs, Z_NO_FLUSH);
            pos += inChunk - zs.avail_in;
            produced += outChunk - zs.avail_out;
        }
        out.resize(produced);
        if (produced - start > limit) return "it decodes to more than a block of its kind may hold";
        if (rc == Z_MEM_ERROR) return "no memory to inflate";
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) return "the deflate stream is damaged";
        if (rc != Z_STREAM_END) return "the deflate stream is cut short";
        if (n - pos < TRAILER_SIZE) return "the gzip member is cut short (no CRC-32 and length)";
        const size_t memberSize = produced - memberStart;
        if (libdeflate_crc32(0, out.data() + memberStart, memberSize) != GetLE32(in + pos))
            return "the CRC-32 of the gzip member does not match its data";
        if (uint32_t(memberSize) != GetLE32(in + pos + 4))
            return "the length (ISIZE) of the gzip member does not match its data";
        pos += TRAILER_SIZE;
        ++members;
    }
    return "";
}

}  // namespace tavrep
