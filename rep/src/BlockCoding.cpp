// Turning a block's payload into its stored bytes and back: optional compression behind a
// plain prefix, then optional AES with the padding count kept in the coding word.
#include <algorithm>

#include "Codecs.h"
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

    // The compressed form (prefix, then the encoded rest) is kept only when it is no longer
    // than the payload; a codec that cannot run leaves the payload as it is, and bytes that
    // look random are left as they are without asking the codec.
    bool compressed = false;
    if (k < n && (compressor.MethodId() & COMPRESSOR_BITS) != 0 && !LooksIncompressible(p + k, n - k)) {
        out.assign(p, p + k);
        compressed = compressor.Encode(p + k, n - k, level, out) && out.size() <= n;
    }
    if (compressed) {
        coding |= compressor.MethodId() & COMPRESSOR_BITS;
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

void DecodePayload(uint32_t coding, std::vector<uint8_t>& stored, TavCodecTable& codecs,
                   std::vector<uint8_t>& out) {
    out.clear();
    size_t len = stored.size();

    TavEncryptor& encryptor = codecs.Encryptor(coding);
    if ((encryptor.MethodId() & ENCRYPTOR_BITS) != 0) {
        // The encoder only writes whole cipher blocks: anything else is damage.
        if (len % CIPHER_BLOCK != 0) return;
        encryptor.Decode(stored.data(), len);
    }

    const size_t padding = coding & PADDING_MASK;
    if (padding > len) return;  // damaged: no payload left
    len -= padding;

    // Bytes up to the plain prefix are the payload as they are; a stored length below the
    // prefix (damage) leaves what there is.
    const size_t k = (coding >> PREFIX_SHIFT) & MAX_PREFIX;
    TavCompressor& compressor = codecs.Compressor(coding);
    if (len <= k || (compressor.MethodId() & COMPRESSOR_BITS) == 0) {
        // Nothing to decompress: the stored bytes are the payload, taken without a copy.
        out.swap(stored);
        out.resize(len);
        return;
    }
    out.assign(stored.begin(), stored.begin() + k);
    compressor.Decode(stored.data() + k, len - k, out);
}

}  // namespace tavrep
