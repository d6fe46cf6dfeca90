// The zstd codec: a payload is encoded as one zstd frame that states its content size and
// carries the checksum, and decoded from exactly one such frame.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CodecScratch.h"
#include "Codecs.h"

struct ZSTD_CCtx_s;
struct ZSTD_DCtx_s;

namespace tavrep {

// One object is used by one thread at a time; its contexts are made on first use.
class CZstdCompressor final : public TavCompressor {
public:
    CZstdCompressor() = default;
    ~CZstdCompressor() override;
    CZstdCompressor(const CZstdCompressor&) = delete;
    CZstdCompressor& operator=(const CZstdCompressor&) = delete;

    bool Encode(const uint8_t* in, size_t n, int level, std::vector<uint8_t>& out) override;
    // A payload zstd cannot shrink is kept as a gzip member of stored deflate blocks, as
    // with deflate: any reader of the format decodes that, and its CRC-32 covers every byte.
    bool EncodeStored(const uint8_t* in, size_t n, std::vector<uint8_t>& out) override;
    uint32_t StoredMethodId() const override;
    // zstd passes over random bytes at some 2.4 GB/s, six times the speed of the test.
    bool QuickOnRandomData() const override { return true; }
    std::string Decode(const uint8_t* in, size_t n, size_t limit, std::vector<uint8_t>& out) override;
    uint32_t MethodId() const override;

    // 1..19 as given, -1 (and anything else below 1) is 3, above 19 is 19.
    static int EffectiveLevel(int level);

private:
    ZSTD_CCtx_s* m_cctx = nullptr;
    ZSTD_DCtx_s* m_dctx = nullptr;
    CCodecScratch m_scratch;  // the frame being made
};

}  // namespace tavrep
