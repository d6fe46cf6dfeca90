// Random-looking payloads are stored without asking deflate: the judgement against what
// deflate itself makes of the same bytes.
#include <gtest/gtest.h>
#include <libdeflate.h>

#include <random>
#include <string>
#include <vector>

#include "RepHelpers.h"
#include "Incompressible.h"

using tavrep::LooksIncompressible;

namespace {

using tavtest::RandomPayload;

// What deflate at the default level saves on `p` as a gzip member (negative: it grows).
long DeflateSaving(const std::vector<uint8_t>& p) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    std::vector<uint8_t> out(libdeflate_deflate_compress_bound(c, p.size()));
    const size_t n = libdeflate_deflate_compress(c, p.data(), p.size(), out.data(), out.size());
    libdeflate_free_compressor(c);
    return long(p.size()) - long(n + 18);
}

}  // namespace

TEST(Incompressible, RandomBytesAreJudgedOthersAreNot) {
    std::mt19937 rng(1);
    std::mt19937 textRng(5);
    const auto Text = [&](size_t n) { return tavtest::TextPayload(textRng, n); };
    EXPECT_TRUE(LooksIncompressible(RandomPayload(rng, 65536).data(), 65536));
    EXPECT_TRUE(LooksIncompressible(RandomPayload(rng, 600).data(), 600));
    EXPECT_FALSE(LooksIncompressible(RandomPayload(rng, 400).data(), 400));  // too small to judge
    EXPECT_FALSE(LooksIncompressible(Text(65536).data(), 65536));
    const std::vector<uint8_t> zeros(65536, 0);
    EXPECT_FALSE(LooksIncompressible(zeros.data(), zeros.size()));
    EXPECT_FALSE(LooksIncompressible(RandomPayload(rng, 65536, 128).data(), 65536));  // 7 bits a byte

    // Flat histograms that deflate still shrinks: a random block repeated, random data
    // behind a text prefix, and a random tail copied once.
    std::vector<uint8_t> block = RandomPayload(rng, 4096), repeated;
    for (int i = 0; i < 16; ++i) repeated.insert(repeated.end(), block.begin(), block.end());
    EXPECT_FALSE(LooksIncompressible(repeated.data(), repeated.size()));
    std::vector<uint8_t> mixed = Text(8192);
    const std::vector<uint8_t> noise = RandomPayload(rng, 57344);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    EXPECT_FALSE(LooksIncompressible(mixed.data(), mixed.size()));
    std::vector<uint8_t> copied = RandomPayload(rng, 60000);
    copied.insert(copied.end(), copied.end() - 2000, copied.end());
    EXPECT_FALSE(LooksIncompressible(copied.data(), copied.size()));
}

// Whatever is judged, deflate could not have saved more than a few dozen bytes on it.
TEST(Incompressible, JudgedPayloadsAreOnesDeflateCannotShrink) {
    std::mt19937 rng(2);
    int judged = 0;
    for (int round = 0; round < 300; ++round) {
        const size_t n = 512 + rng() % 65025;
        std::vector<uint8_t> p = RandomPayload(rng, n);
        switch (round % 5) {
            case 0: break;  // plain random
            case 1:         // a short run of zeros
                std::fill(p.begin(), p.begin() + long(rng() % std::min<size_t>(n, 200)), 0);
                break;
            case 2: {  // one repeated string of 8 to 100 bytes
                const size_t len = std::min<size_t>(n / 2, 8 + rng() % 93);
                std::copy(p.begin(), p.begin() + long(len), p.end() - long(len));
                break;
            }
            case 3:  // a few bytes more frequent than the rest
                for (size_t i = 0; i < n / 64; ++i) p[rng() % n] = 'e';
                break;
            default:  // fewer values
                p = RandomPayload(rng, n, 200 + rng() % 57);
                break;
        }
        if (!LooksIncompressible(p.data(), p.size())) continue;
        ++judged;
        EXPECT_LE(DeflateSaving(p), 64) << "round " << round << ", " << n << " bytes";
    }
    EXPECT_GT(judged, 60);  // the plain random ones at least
}
