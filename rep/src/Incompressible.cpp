// Deciding that a payload is not worth deflating: a byte histogram, then a search for
// repeated strings with a small hash table.
#include "Incompressible.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace tavrep {

namespace {

constexpr size_t SMALLEST_JUDGED = 512;
// At most this many bytes may be saved by coding single bytes. Uniform random bytes leave
// about 23 bytes (whatever their count) between their entropy and 8 bits a byte, and a
// deflate block plus the gzip member's 18 bytes of framing cost more than the rest.
constexpr double MOST_HUFFMAN_SAVING = 64.0;
// Repeated bytes (in strings of 8 or more) that deflate could copy instead of storing.
constexpr size_t MOST_REPEATED = 64;
constexpr unsigned HASH_BITS = 13;
constexpr size_t PROBE = 4096;  // bytes looked at first

double EntropyBytes(const uint8_t* p, size_t n) {
    uint32_t counts[4][256] = {};  // four tables keep the increments independent
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++counts[0][p[i]];
        ++counts[1][p[i + 1]];
        ++counts[2][p[i + 2]];
        ++counts[3][p[i + 3]];
    }
    for (; i < n; ++i) ++counts[0][p[i]];
    double bits = 0;
    const double total = double(n);
    for (int b = 0; b < 256; ++b) {
        const uint32_t c = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
        if (c != 0) bits -= double(c) * std::log2(double(c) / total);
    }
    return bits / 8;
}

uint64_t Load8(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Strings are remembered and looked up only at positions chosen by their own content (one
// in eight), so both copies of a repeated string are sampled at the same places: a repeat of
// 64 bytes goes unseen with a chance below one in a thousand, at an eighth of the lookups.
bool HasRepeats(const uint8_t* p, size_t n) {
    thread_local std::vector<uint32_t> table;  // position + 1 of a remembered string, 0: none
    table.assign(size_t(1) << HASH_BITS, 0);
    size_t repeated = 0;
    for (size_t i = 0; i + 8 <= n; ++i) {
        const uint64_t v = Load8(p + i);
        const uint64_t h = v * 0x9E3779B97F4A7C15ull;
        if ((h >> 61) != 0) continue;
        uint32_t& slot = table[(h >> (61 - HASH_BITS)) & ((1u << HASH_BITS) - 1)];
        if (slot != 0 && Load8(p + slot - 1) == v) {
            // Count the match whole and go on behind it.
            size_t length = 8;
            const size_t from = slot - 1;
            while (i + length < n && p[from + length] == p[i + length]) ++length;
            repeated += length;
            if (repeated > MOST_REPEATED) return true;
            i += length - 1;
            continue;
        }
        slot = uint32_t(i + 1);
    }
    return false;
}

}  // namespace

bool LooksIncompressible(const uint8_t* p, size_t n) {
    if (n < SMALLEST_JUDGED || n > UINT32_MAX - 1) return false;
    // Text and structured data show it in their first few kilobytes already.
    if (n > 2 * PROBE && double(PROBE) - EntropyBytes(p, PROBE) > MOST_HUFFMAN_SAVING) return false;
    if (double(n) - EntropyBytes(p, n) > MOST_HUFFMAN_SAVING) return false;
    return !HasRepeats(p, n);
}

}  // namespace tavrep
