// MD5 (RFC 1321) with the chaining state readable before the finishing step.
#include "tavrep/MD5Checksum.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t INITIAL_STATE[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
constexpr size_t BLOCK_SIZE = 64;

inline uint32_t LoadLe32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline uint32_t Rotl(uint32_t x, int s) { return std::rotl(x, s); }

// The four auxiliary functions, in forms that need the fewest dependent operations.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) + (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

#define MD5_STEP(f, a, b, c, d, x, s, t) \
    a += f(b, c, d) + (x) + (t);         \
    a = Rotl(a, s) + (b)

}  // namespace

CMD5Checksum::CMD5Checksum() { Reset(); }

CMD5Checksum::~CMD5Checksum() = default;

void CMD5Checksum::Reset() {
    std::memset(m_buffer, 0, sizeof(m_buffer));
    m_bits[0] = m_bits[1] = 0;
    std::memcpy(m_state, INITIAL_STATE, sizeof(m_state));
}

void CMD5Checksum::Update(const void* bytes, size_t count) {
    if (count == 0) return;
    const auto* in = static_cast<const uint8_t*>(bytes);
    const size_t buffered = (m_bits[0] >> 3) & (BLOCK_SIZE - 1);

    // The length is kept in bits modulo 2^64, as two words.
    const uint64_t bits = ((uint64_t(m_bits[1]) << 32) | m_bits[0]) + (uint64_t(count) << 3);
    m_bits[0] = uint32_t(bits);
    m_bits[1] = uint32_t(bits >> 32);

    if (buffered != 0) {
        const size_t room = BLOCK_SIZE - buffered;
        if (count < room) {
            std::memcpy(m_buffer + buffered, in, count);
            return;
        }
        std::memcpy(m_buffer + buffered, in, room);
        Transform(m_buffer, 1);
        in += room;
        count -= room;
    }
    // Whole blocks straight from the caller's buffer; only the tail is copied.
    const size_t blocks = count / BLOCK_SIZE;
    Transform(in, blocks);
    in += blocks * BLOCK_SIZE;
    count -= blocks * BLOCK_SIZE;
    if (count) std::memcpy(m_buffer, in, count);
}

void CMD5Checksum::Final() {
    uint8_t length[8];
    StoreLe32(length, m_bits[0]);
    StoreLe32(length + 4, m_bits[1]);

    // 0x80, zeros up to 56 bytes modulo 64, then the bit length before the padding.
    static constexpr uint8_t PADDING[BLOCK_SIZE] = {0x80};
    const size_t buffered = (m_bits[0] >> 3) & (BLOCK_SIZE - 1);
    const size_t padLen = buffered < 56 ? 56 - buffered : 120 - buffered;
    Update(PADDING, padLen);
    Update(length, sizeof(length));
}

void CMD5Checksum::GetHash(uint32_t out[4]) const { std::memcpy(out, m_state, sizeof(m_state)); }

void CMD5Checksum::GetHash(uint8_t out[16]) const {
    for (int i = 0; i < 4; ++i) StoreLe32(out + 4 * i, m_state[i]);
}

void CMD5Checksum::Hash(const void* bytes, size_t count, uint8_t out[16]) {
    CMD5Checksum md5;
    md5.Update(bytes, count);
    md5.Final();
    md5.GetHash(out);
}

void CMD5Checksum::Transform(const uint8_t* blocks, size_t blockCount) {
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (; blockCount > 0; --blockCount, blocks += BLOCK_SIZE) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = LoadLe32(blocks + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        MD5_STEP(F, a, b, c, d, x[0], 7, 0xD76AA478);
        MD5_STEP(F, d, a, b, c, x[1], 12, 0xE8C7B756);
        MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070DB);
        MD5_STEP(F, b, c, d, a, x[3], 22, 0xC1BDCEEE);
        MD5_STEP(F, a, b, c, d, x[4], 7, 0xF57C0FAF);
        MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787C62A);
        MD5_STEP(F, c, d, a, b, x[6], 17, 0xA8304613);
        MD5_STEP(F, b, c, d, a, x[7], 22, 0xFD469501);
        MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098D8);
        MD5_STEP(F, d, a, b, c, x[9], 12, 0x8B44F7AF);
        MD5_STEP(F, c, d, a, b, x[10], 17, 0xFFFF5BB1);
        MD5_STEP(F, b, c, d, a, x[11], 22, 0x895CD7BE);
        MD5_STEP(F, a, b, c, d, x[12], 7, 0x6B901122);
        MD5_STEP(F, d, a, b, c, x[13], 12, 0xFD987193);
        MD5_STEP(F, c, d, a, b, x[14], 17, 0xA679438E);
        MD5_STEP(F, b, c, d, a, x[15], 22, 0x49B40821);

        MD5_STEP(G, a, b, c, d, x[1], 5, 0xF61E2562);
        MD5_STEP(G, d, a, b, c, x[6], 9, 0xC040B340);
        MD5_STEP(G, c, d, a, b, x[11], 14, 0x265E5A51);
        MD5_STEP(G, b, c, d, a, x[0], 20, 0xE9B6C7AA);
        MD5_STEP(G, a, b, c, d, x[5], 5, 0xD62F105D);
        MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453);
        MD5_STEP(G, c, d, a, b, x[15], 14, 0xD8A1E681);
        MD5_STEP(G, b, c, d, a, x[4], 20, 0xE7D3FBC8);
        MD5_STEP(G, a, b, c, d, x[9], 5, 0x21E1CDE6);
        MD5_STEP(G, d, a, b, c, x[14], 9, 0xC33707D6);
        MD5_STEP(G, c, d, a, b, x[3], 14, 0xF4D50D87);
        MD5_STEP(G, b, c, d, a, x[8], 20, 0x455A14ED);
        MD5_STEP(G, a, b, c, d, x[13], 5, 0xA9E3E905);
        MD5_STEP(G, d, a, b, c, x[2], 9, 0xFCEFA3F8);
        MD5_STEP(G, c, d, a, b, x[7], 14, 0x676F02D9);
        MD5_STEP(G, b, c, d, a, x[12], 20, 0x8D2A4C8A);

        MD5_STEP(H, a, b, c, d, x[5], 4, 0xFFFA3942);
        MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771F681);
        MD5_STEP(H, c, d, a, b, x[11], 16, 0x6D9D6122);
        MD5_STEP(H, b, c, d, a, x[14], 23, 0xFDE5380C);
        MD5_STEP(H, a, b, c, d, x[1], 4, 0xA4BEEA44);
        MD5_STEP(H, d, a, b, c, x[4], 11, 0x4BDECFA9);
        MD5_STEP(H, c, d, a, b, x[7], 16, 0xF6BB4B60);
        MD5_STEP(H, b, c, d, a, x[10], 23, 0xBEBFBC70);
        MD5_STEP(H, a, b, c, d, x[13], 4, 0x289B7EC6);
        MD5_STEP(H, d, a, b, c, x[0], 11, 0xEAA127FA);
        MD5_STEP(H, c, d, a, b, x[3], 16, 0xD4EF3085);
        MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881D05);
        MD5_STEP(H, a, b, c, d, x[9], 4, 0xD9D4D039);
        MD5_STEP(H, d, a, b, c, x[12], 11, 0xE6DB99E5);
        MD5_STEP(H, c, d, a, b, x[15], 16, 0x1FA27CF8);
        MD5_STEP(H, b, c, d, a, x[2], 23, 0xC4AC5665);

        MD5_STEP(I, a, b, c, d, x[0], 6, 0xF4292244);
        MD5_STEP(I, d, a, b, c, x[7], 10, 0x432AFF97);
        MD5_STEP(I, c, d, a, b, x[14], 15, 0xAB9423A7);
        MD5_STEP(I, b, c, d, a, x[5], 21, 0xFC93A039);
        MD5_STEP(I, a, b, c, d, x[12], 6, 0x655B59C3);
        MD5_STEP(I, d, a, b, c, x[3], 10, 0x8F0CCC92);
        MD5_STEP(I, c, d, a, b, x[10], 15, 0xFFEFF47D);
        MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845DD1);
        MD5_STEP(I, a, b, c, d, x[8], 6, 0x6FA87E4F);
        MD5_STEP(I, d, a, b, c, x[15], 10, 0xFE2CE6E0);
        MD5_STEP(I, c, d, a, b, x[6], 15, 0xA3014314);
        MD5_STEP(I, b, c, d, a, x[13], 21, 0x4E0811A1);
        MD5_STEP(I, a, b, c, d, x[4], 6, 0xF7537E82);
        MD5_STEP(I, d, a, b, c, x[11], 10, 0xBD3AF235);
        MD5_STEP(I, c, d, a, b, x[2], 15, 0x2AD7D2BB);
        MD5_STEP(I, b, c, d, a, x[9], 21, 0xEB86D391);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    m_state[0] = a;
    m_state[1] = b;
    m_state[2] = c;
    m_state[3] = d;
}
