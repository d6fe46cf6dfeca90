// The deflate codec: a payload is encoded as one gzip member (RFC 1952) and decoded from
// one or more concatenated members, every member checked against its CRC-32 and length.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CodecScratch.h"
#include "Codecs.h"

struct libdeflate_compressor;
struct libdeflate_decompressor;
struct z_stream_s;

namespace tavrep {

// Length of the gzip member header at `p` (magic, method 8, no reserved flag bits, and the
// optional extra field, name, comment and header CRC all inside the `n` bytes); 0 when the
// bytes do not hold a complete, acceptable header.
size_t ParseGzipHeader(const uint8_t* p, size_t n);

// Bytes a member of stored deflate blocks takes for `n` payload bytes.
size_t StoredMemberSize(size_t n);
// Appends one gzip member of `n` bytes in stored deflate blocks (no compression): any gzip
// reader decodes it, and its CRC-32 covers every byte.
void AppendStoredMember(const uint8_t* in, size_t n, std::vector<uint8_t>& out);

// Compression uses libdeflate (one compressor per level, made on first use) and falls back
// to zlib when libdeflate cannot allocate; decoding uses libdeflate for a buffer that is one
// well-formed member and zlib's streaming inflater for everything else. One object is used
// by one thread at a time.
class CDeflateCompressor final : public TavCompressor {
public:
    CDeflateCompressor() = default;
    ~CDeflateCompressor() override;
    CDeflateCompressor(const CDeflateCompressor&) = delete;
    CDeflateCompressor& operator=(const CDeflateCompressor&) = delete;

    bool Encode(const uint8_t* in, size_t n, int level, std::vector<uint8_t>& out) override;
    bool EncodeStored(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override;
    std::string Decode(const uint8_t* in, size_t n, size_t limit, std::vector<uint8_t>& out) override;
    uint32_t MethodId() const override;

    // The zlib paths behind the libdeflate ones; public so that tests can compare them.
    bool EncodeWithZlib(const uint8_t* in, size_t n, int level, std::vector<uint8_t>& out);
    std::string DecodeStreaming(const uint8_t* in, size_t n, size_t limit, std::vector<uint8_t>& out);

    // Levels 1..9 as given, -1 (and anything else below 0) is 6, above 9 is 9, 0 stores.
    static int EffectiveLevel(int level);

private:
    bool EncodeWithLibdeflate(const uint8_t* in, size_t n, int level, std::vector<uint8_t>& out);
    bool DecodeSingleMember(const uint8_t* in, size_t n, size_t limit, std::vector<uint8_t>& out);

    libdeflate_compressor* m_compressors[10] = {};
    CCodecScratch m_scratch;  // the deflate stream being made
    libdeflate_decompressor* m_decompressor = nullptr;
    bool m_decompressorFailed = false;
    z_stream_s* m_inflater = nullptr;  // made on first streaming decode, reset per member
};

}  // namespace tavrep
