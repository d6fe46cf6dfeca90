// MD5 (RFC 1321) with the chaining state readable before the finishing step.
#include "tavrep/MD5Checksum.h"

#include <algorithm>
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

// A block's result is added to the chaining values it started from.
inline void AddToState(uint32_t state[4], uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

// The four auxiliary functions, in forms that need the fewest dependent operations.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) + (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

#define MD5_STEP(f, a, b, c, d, x, s, t) \
    a += f(b, c, d) + (x) + (t);         \
    a = Rotl(a, s) + (b)

// The 64 steps of one block: auxiliary function, the four words in their roles, the
// message word, the rotation and the additive constant.
// clang-format off
#define MD5_ROUNDS(STEP) \
    STEP(F, a, b, c, d, 0, 7, 0xD76AA478) STEP(F, d, a, b, c, 1, 12, 0xE8C7B756) \
    STEP(F, c, d, a, b, 2, 17, 0x242070DB) STEP(F, b, c, d, a, 3, 22, 0xC1BDCEEE) \
    STEP(F, a, b, c, d, 4, 7, 0xF57C0FAF) STEP(F, d, a, b, c, 5, 12, 0x4787C62A) \
    STEP(F, c, d, a, b, 6, 17, 0xA8304613) STEP(F, b, c, d, a, 7, 22, 0xFD469501) \
    STEP(F, a, b, c, d, 8, 7, 0x698098D8) STEP(F, d, a, b, c, 9, 12, 0x8B44F7AF) \
    STEP(F, c, d, a, b, 10, 17, 0xFFFF5BB1) STEP(F, b, c, d, a, 11, 22, 0x895CD7BE) \
    STEP(F, a, b, c, d, 12, 7, 0x6B901122) STEP(F, d, a, b, c, 13, 12, 0xFD987193) \
    STEP(F, c, d, a, b, 14, 17, 0xA679438E) STEP(F, b, c, d, a, 15, 22, 0x49B40821) \
    STEP(G, a, b, c, d, 1, 5, 0xF61E2562) STEP(G, d, a, b, c, 6, 9, 0xC040B340) \
    STEP(G, c, d, a, b, 11, 14, 0x265E5A51) STEP(G, b, c, d, a, 0, 20, 0xE9B6C7AA) \
    STEP(G, a, b, c, d, 5, 5, 0xD62F105D) STEP(G, d, a, b, c, 10, 9, 0x02441453) \
    STEP(G, c, d, a, b, 15, 14, 0xD8A1E681) STEP(G, b, c, d, a, 4, 20, 0xE7D3FBC8) \
    STEP(G, a, b, c, d, 9, 5, 0x21E1CDE6) STEP(G, d, a, b, c, 14, 9, 0xC33707D6) \
    STEP(G, c, d, a, b, 3, 14, 0xF4D50D87) STEP(G, b, c, d, a, 8, 20, 0x455A14ED) \
    STEP(G, a, b, c, d, 13, 5, 0xA9E3E905) STEP(G, d, a, b, c, 2, 9, 0xFCEFA3F8) \
    STEP(G, c, d, a, b, 7, 14, 0x676F02D9) STEP(G, b, c, d, a, 12, 20, 0x8D2A4C8A) \
    STEP(H, a, b, c, d, 5, 4, 0xFFFA3942) STEP(H, d, a, b, c, 8, 11, 0x8771F681) \
    STEP(H, c, d, a, b, 11, 16, 0x6D9D6122) STEP(H, b, c, d, a, 14, 23, 0xFDE5380C) \
    STEP(H, a, b, c, d, 1, 4, 0xA4BEEA44) STEP(H, d, a, b, c, 4, 11, 0x4BDECFA9) \
    STEP(H, c, d, a, b, 7, 16, 0xF6BB4B60) STEP(H, b, c, d, a, 10, 23, 0xBEBFBC70) \
    STEP(H, a, b, c, d, 13, 4, 0x289B7EC6) STEP(H, d, a, b, c, 0, 11, 0xEAA127FA) \
    STEP(H, c, d, a, b, 3, 16, 0xD4EF3085) STEP(H, b, c, d, a, 6, 23, 0x04881D05) \
    STEP(H, a, b, c, d, 9, 4, 0xD9D4D039) STEP(H, d, a, b, c, 12, 11, 0xE6DB99E5) \
    STEP(H, c, d, a, b, 15, 16, 0x1FA27CF8) STEP(H, b, c, d, a, 2, 23, 0xC4AC5665) \
    STEP(I, a, b, c, d, 0, 6, 0xF4292244) STEP(I, d, a, b, c, 7, 10, 0x432AFF97) \
    STEP(I, c, d, a, b, 14, 15, 0xAB9423A7) STEP(I, b, c, d, a, 5, 21, 0xFC93A039) \
    STEP(I, a, b, c, d, 12, 6, 0x655B59C3) STEP(I, d, a, b, c, 3, 10, 0x8F0CCC92) \
    STEP(I, c, d, a, b, 10, 15, 0xFFEFF47D) STEP(I, b, c, d, a, 1, 21, 0x85845DD1) \
    STEP(I, a, b, c, d, 8, 6, 0x6FA87E4F) STEP(I, d, a, b, c, 15, 10, 0xFE2CE6E0) \
    STEP(I, c, d, a, b, 6, 15, 0xA3014314) STEP(I, b, c, d, a, 13, 21, 0x4E0811A1) \
    STEP(I, a, b, c, d, 4, 6, 0xF7537E82) STEP(I, d, a, b, c, 11, 10, 0xBD3AF235) \
    STEP(I, c, d, a, b, 2, 15, 0x2AD7D2BB) STEP(I, b, c, d, a, 9, 21, 0xEB86D391)
// clang-format on

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
    const size_t buffered = Buffered();
    CountBytes(count);

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

void CMD5Checksum::UpdateTwo(CMD5Checksum& one, const uint8_t*& bytesOne, size_t& countOne,
                             CMD5Checksum& two, const uint8_t*& bytesTwo, size_t& countTwo) {
    auto single = [](CMD5Checksum& md5, const uint8_t*& in, size_t& count, size_t take) {
        md5.Update(in, take);
        in += take;
        count -= take;
    };
    // A stream part-way through a block completes it on its own first.
    if (one.Buffered() != 0)
        single(one, bytesOne, countOne, std::min(countOne, BLOCK_SIZE - one.Buffered()));
    if (two.Buffered() != 0)
        single(two, bytesTwo, countTwo, std::min(countTwo, BLOCK_SIZE - two.Buffered()));
    // Both are at a block boundary now unless one has nothing left, and then there are no
    // blocks to take side by side.
    const size_t blocks = std::min(countOne, countTwo) / BLOCK_SIZE;
    if (blocks > 0) {
        TransformTwo(one, bytesOne, two, bytesTwo, blocks);
        const size_t taken = blocks * BLOCK_SIZE;
        one.CountBytes(taken);
        two.CountBytes(taken);
        bytesOne += taken;
        bytesTwo += taken;
        countOne -= taken;
        countTwo -= taken;
    }
    // Less than a block is left of one of them at least: it is kept for that stream's next bytes.
    if (countOne < BLOCK_SIZE) single(one, bytesOne, countOne, countOne);
    if (countTwo < BLOCK_SIZE) single(two, bytesTwo, countTwo, countTwo);
}

size_t CMD5Checksum::Buffered() const { return (m_bits[0] >> 3) & (BLOCK_SIZE - 1); }

// The length is kept in bits modulo 2^64, as two words.
void CMD5Checksum::CountBytes(size_t count) {
    const uint64_t bits = ((uint64_t(m_bits[1]) << 32) | m_bits[0]) + (uint64_t(count) << 3);
    m_bits[0] = uint32_t(bits);
    m_bits[1] = uint32_t(bits >> 32);
}

void CMD5Checksum::Final() {
    uint8_t length[8];
    StoreLe32(length, m_bits[0]);
    StoreLe32(length + 4, m_bits[1]);

    // 0x80, zeros up to 56 bytes modulo 64, then the bit length before the padding.
    static constexpr uint8_t PADDING[BLOCK_SIZE] = {0x80};
    const size_t buffered = Buffered();
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
    for (; blockCount > 0; --blockCount, blocks += BLOCK_SIZE) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = LoadLe32(blocks + 4 * i);
        uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
#define STEP_ONE(f, a, b, c, d, k, s, t) MD5_STEP(f, a, b, c, d, x[k], s, t);
        MD5_ROUNDS(STEP_ONE)
#undef STEP_ONE
        AddToState(m_state, a, b, c, d);
    }
}

// Two streams' blocks, step by step in turn: each step waits on the one before it in its
// own stream only, so the processor works a step of the other stream meanwhile.
void CMD5Checksum::TransformTwo(CMD5Checksum& one, const uint8_t* blocksOne, CMD5Checksum& two,
                                const uint8_t* blocksTwo, size_t blockCount) {
    for (; blockCount > 0; --blockCount, blocksOne += BLOCK_SIZE, blocksTwo += BLOCK_SIZE) {
        uint32_t x1[16], x2[16];
        for (int i = 0; i < 16; ++i) {
            x1[i] = LoadLe32(blocksOne + 4 * i);
            x2[i] = LoadLe32(blocksTwo + 4 * i);
        }
        uint32_t a1 = one.m_state[0], b1 = one.m_state[1], c1 = one.m_state[2], d1 = one.m_state[3];
        uint32_t a2 = two.m_state[0], b2 = two.m_state[1], c2 = two.m_state[2], d2 = two.m_state[3];
#define STEP_TWO(f, a, b, c, d, k, s, t)              \
    MD5_STEP(f, a##1, b##1, c##1, d##1, x1[k], s, t); \
    MD5_STEP(f, a##2, b##2, c##2, d##2, x2[k], s, t);
        MD5_ROUNDS(STEP_TWO)
#undef STEP_TWO
        AddToState(one.m_state, a1, b1, c1, d1);
        AddToState(two.m_state, a2, b2, c2, d2);
    }
}
