// Tests of CMD5Checksum: the RFC 1321 digests and the chaining state used as fingerprint.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tavrep/MD5Checksum.h"

namespace {

std::string Hex(const uint8_t* p, size_t n) {
    std::string s;
    char buf[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof(buf), "%02x", p[i]);
        s += buf;
    }
    return s;
}

std::string Md5Hex(const std::string& text) {
    uint8_t digest[16];
    CMD5Checksum::Hash(text.data(), text.size(), digest);
    return Hex(digest, 16);
}

std::array<uint32_t, 4> Fingerprint(const void* bytes, size_t n) {
    CMD5Checksum md5;
    md5.Update(bytes, n);
    std::array<uint32_t, 4> words;
    md5.GetHash(words.data());
    return words;
}

constexpr std::array<uint32_t, 4> INITIAL = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

}  // namespace

TEST(MD5Checksum, MatchesTheRfc1321TestSuiteAndPadsAroundBlockBoundaries) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890"
                     "1234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    // Reset starts over; the digest's bytes are little-endian words.
    CMD5Checksum md5;
    md5.Update("some earlier content that is longer than one block of sixty-four bytes", 71);
    md5.Reset();
    md5.Update("abc", 3);
    md5.Final();
    uint32_t words[4];
    md5.GetHash(words);
    EXPECT_EQ(words[0], 0x98500190u);
    EXPECT_EQ(words[3], 0x727fe128u);

    // Lengths where the padding needs one or two extra blocks (digests from md5sum).
    const std::pair<size_t, const char*> cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},     {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"},     {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},     {119, "8a7bd0732ed6a28ce75f6dabc90e1613"},
        {120, "5f61c0ccad4cac44c75ff505e1f1e537"},    {128, "e510683b3f5ffe4093d021808bc6ff70"},
        {1000000, "7707d6ae4e027c70eea2a935c2296f21"}};
    for (const auto& [n, digest] : cases) EXPECT_EQ(Md5Hex(std::string(n, 'a')), digest) << n;
}

TEST(MD5Checksum, FingerprintIsTheStateAfterWholeBlocksHoweverTheUpdatesSplit) {
    EXPECT_EQ(Fingerprint("", 0), INITIAL);
    const std::string a63(63, 'a');
    EXPECT_EQ(Fingerprint(a63.data(), a63.size()), INITIAL);

    // A 55-byte message pads to exactly one block, so its digest is the chaining state
    // after that block: the fingerprint of the padded block must give the same bytes.
    const std::string m55(55, 'q');
    uint8_t block[64] = {};
    std::memcpy(block, m55.data(), 55);
    block[55] = 0x80;
    block[56] = (55 * 8) & 0xFF;  // bit length, little-endian
    block[57] = (55 * 8) >> 8;
    CMD5Checksum md5;
    md5.Update(block, 64);
    uint8_t state[16];
    md5.GetHash(state);
    EXPECT_EQ(Hex(state, 16), Md5Hex(m55));
    const auto words = Fingerprint(block, 64);
    EXPECT_NE(words, INITIAL);

    // Bytes behind the last whole block leave it unchanged.
    std::vector<uint8_t> longer(block, block + 64);
    longer.insert(longer.end(), 40, 0xEE);
    EXPECT_EQ(Fingerprint(longer.data(), longer.size()), words);

    // Split updates equal one call.
    std::mt19937 rng(11);
    std::vector<uint8_t> data(20000);
    for (auto& b : data) b = uint8_t(rng());
    const auto whole = Fingerprint(data.data(), data.size());
    uint8_t wholeDigest[16];
    CMD5Checksum::Hash(data.data(), data.size(), wholeDigest);

    for (int round = 0; round < 50; ++round) {
        CMD5Checksum split;
        size_t pos = 0;
        while (pos < data.size()) {
            const size_t step =
                std::min<size_t>(data.size() - pos, rng() % (round < 25 ? 70 : 5000));
            split.Update(data.data() + pos, step);
            pos += step;
        }
        std::array<uint32_t, 4> got;
        split.GetHash(got.data());
        ASSERT_EQ(got, whole) << "round " << round;
        split.Final();
        uint8_t digest[16];
        split.GetHash(digest);
        ASSERT_EQ(Hex(digest, 16), Hex(wholeDigest, 16));
    }
}

// Two streams fed side by side, in pieces of any length and from any point within a block,
// end with the digests each gets alone; every call uses up one side's piece at least.
TEST(MD5Checksum, TwoStreamsSideBySideGiveTheDigestsOfEachAlone) {
    std::mt19937 rng(29);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> streams[2];
        for (auto& s : streams) {
            s.resize(rng() % (round % 4 == 0 ? 300 : 70000));
            for (auto& b : s) b = uint8_t(rng());
        }
        CMD5Checksum md5[2];
        size_t fed[2] = {0, 0};
        const uint8_t* next[2] = {nullptr, nullptr};
        size_t left[2] = {0, 0};
        for (;;) {
            for (int i = 0; i < 2; ++i) {
                if (left[i] != 0) continue;
                const size_t piece = 1 + (rng() % 3 == 0 ? rng() % 100 : rng() % 20000);
                next[i] = streams[i].data() + fed[i];
                left[i] = std::min(piece, streams[i].size() - fed[i]);
                fed[i] += left[i];
            }
            if (left[0] == 0 || left[1] == 0) break;  // a stream has ended
            const uint8_t* before[2] = {next[0], next[1]};
            const size_t had[2] = {left[0], left[1]};
            CMD5Checksum::UpdateTwo(md5[0], next[0], left[0], md5[1], next[1], left[1]);
            ASSERT_TRUE(left[0] == 0 || left[1] == 0) << "round " << round;
            for (int i = 0; i < 2; ++i) ASSERT_EQ(size_t(next[i] - before[i]), had[i] - left[i]);
        }
        for (int i = 0; i < 2; ++i) md5[i].Update(next[i], left[i] + streams[i].size() - fed[i]);
        for (int i = 0; i < 2; ++i) {
            md5[i].Final();
            uint8_t got[16], expected[16];
            md5[i].GetHash(got);
            CMD5Checksum::Hash(streams[i].data(), streams[i].size(), expected);
            ASSERT_EQ(Hex(got, 16), Hex(expected, 16)) << "round " << round << " stream " << i;
        }
    }
}
