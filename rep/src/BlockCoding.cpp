// Turning a block's payload into its stored bytes and back: optional compression behind a
// plain prefix, then optional AES with the padding count kept in the coding word.
#include <algorithm>

#include "Codecs.h"
#include "DeflateCodec.h"
#include "Incompressible.h"

namespace tavrep {
namespace {

// Coding word of a block:
//   bits  0-7   padding bytes added by encryption (0-15 as written)
//   bits  8-15  plain prefix: leading payload bytes that are never compressed
//   bits 16-19  encryptor slot
//   bits 20-23  compressor slot
//   bits 24-31  not used here
constexpr uint32_t PADDING_MASK = 0x000000FF;
constexpr unsigned PREFIX_SHIFT = 8;
constexpr uint32_t MAX_PREFIX = 0xFF;
constexpr uint32_t ENCRYPTOR_BITS = 0x000F0000;
constexpr uint32_t COMPRESSOR_BITS = 0x00F00000;
constexpr size_t CIPHER_BLOCK = 16;

}  // namespace

uint32_t EncodePayload(const uint8_t* p, size_t n, uint32_t prefix, TavCompressor& compressor,
                       int level, TavEncryptor& encryptor, std::vector<uint8_t>& out) {
    const uint32_t k = std::min(prefix, MAX_PREFIX);
    uint32_t coding = k << PREFIX_SHIFT;
    out.clear();
    if (n == 0) return coding;  // an empty block stores nothing and names no method

    // Behind the prefix goes the compressed form when it is no longer than the stored form
    // (a gzip member of stored deflate blocks, whose CRC-32 still covers every byte). Bytes
    // that look random, and level 0, go to the stored form without trying to compress
    // (unless the compressor finds random bytes out faster than the test).
    bool compressed = false;
    uint32_t method = 0;
    if (k < n && (compressor.MethodId() & COMPRESSOR_BITS) != 0) {
        const uint8_t* rest = p + k;
        const size_t m = n - k;
        out.assign(p, p + k);
        const bool tryAll = compressor.QuickOnRandomData();
        if (level != 0 && (tryAll || !LooksIncompressible(rest, m))) {
            // A codec let loose on random bytes keeps its form only where it shrank them:
            // the rest goes to the stored form, as the test would have sent it.
            compressed = compressor.Encode(rest, m, level, out) && out.size() - k <= StoredMemberSize(m) &&
                         (!tryAll || out.size() - k < m);
            if (compressed) method = compressor.MethodId();
            else out.resize(k);
        }
        if (!compressed && compressor.EncodeStored(rest, m, out)) {
            compressed = true;
            method = compressor.StoredMethodId();
        }
    }
    if (compressed) {
        coding |= method & COMPRESSOR_BITS;
    } else {
        out.assign(p, p + n);
    }

    if ((encryptor.MethodId() & ENCRYPTOR_BITS) != 0) {
        const size_t padding = (CIPHER_BLOCK - out.size() % CIPHER_BLOCK) % CIPHER_BLOCK;
        out.resize(out.size() + padding, 0);
        encryptor.Encode(out.data(), out.size());
        coding |= (encryptor.MethodId() & ENCRYPTOR_BITS) | uint32_t(padding);
    }
    return coding;
}

std::string DecodePayload(uint32_t coding, std::vector<uint8_t>& stored, TavCodecTable& codecs,
                          size_t limit, std::vector<uint8_t>& out) {
    out.clear();
    size_t len = stored.size();
    // Encoders only name the methods they have: any other slot is damage, not "none".
    if (!codecs.HasEncryptor(coding)) return "the block names an unknown encryption method";
    if (!codecs.HasCompressor(coding)) return "the block names an unknown compression method";

    TavEncryptor& encryptor = codecs.Encryptor(coding);
    const bool encrypted = (encryptor.MethodId() & ENCRYPTOR_BITS) != 0;
    if (encrypted) {
        // The encoder only writes whole cipher blocks: anything else is damage.
        if (len % CIPHER_BLOCK != 0) return "the encrypted data is not a whole number of cipher blocks";
        encryptor.Decode(stored.data(), len);
    }

    // Only encryption pads, by less than one cipher block.
    const size_t padding = coding & PADDING_MASK;
    if (padding > (encrypted ? CIPHER_BLOCK - 1 : 0) || padding > len)
        return "the padding count does not fit the stored data";
    len -= padding;

    // Bytes up to the plain prefix are the payload as they are.
    const size_t k = (coding >> PREFIX_SHIFT) & MAX_PREFIX;
    TavCompressor& compressor = codecs.Compressor(coding);
    if ((compressor.MethodId() & COMPRESSOR_BITS) == 0) {
        if (len > limit) return "the payload is longer than a block of its kind may be";
        // Nothing to decompress: the stored bytes are the payload, taken without a copy.
        out.swap(stored);
        out.resize(len);
        return "";
    }
    // An encoder compresses only when there are bytes behind the prefix.
    if (len <= k) return "the block is marked compressed but holds no compressed data";
    if (k > limit) return "the payload is longer than a block of its kind may be";
    out.assign(stored.begin(), stored.begin() + k);
    return compressor.Decode(stored.data() + k, len - k, limit - k, out);
}

}  // namespace tavrep
