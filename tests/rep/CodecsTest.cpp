// Tests of the block codecs: AES-128 ECB, gzip members, the codec table and payload coding.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Codecs.h"
#include "DeflateCodec.h"
#include "RepHelpers.h"
#include "ZstdCodec.h"
#include "tavrep/TavTypes.h"

using namespace tavrep;
using tavtest::Bytes;
using tavtest::RandomPayload;
using tavtest::TextPayload;
using tavtest::ZlibGunzip;

namespace {

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::array<char, 128> PasswordField(const std::string& text) {
    std::array<char, 128> field{};
    std::memcpy(field.data(), text.data(), std::min(text.size(), field.size() - 1));
    return field;
}

Bytes Deflate(const Bytes& in, int level = -1) {
    Bytes out;
    EXPECT_TRUE(CDeflateCompressor().Encode(in.data(), in.size(), level, out));
    return out;
}

constexpr size_t NO_LIMIT = size_t(1) << 30;

// What the decoder finds wrong with `in` ("" when nothing).
std::string InflateProblem(const Bytes& in, size_t limit = NO_LIMIT, Bytes* decoded = nullptr) {
    Bytes out;
    return CDeflateCompressor().Decode(in.data(), in.size(), limit, decoded ? *decoded : out);
}

Bytes Inflate(const Bytes& in) {
    Bytes out;
    EXPECT_EQ(InflateProblem(in, NO_LIMIT, &out), "");
    return out;
}

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A member with every optional header field (extra, name, comment, header CRC), written
// by zlib's gzip writer.
Bytes ZlibGzipWithHeaderFields(const Bytes& in) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    static Bytef extra[] = {'T', 'v', 3, 0, 1, 2, 3};
    static char name[] = "file.txt";
    static char comment[] = "a comment";
    gz_header header{};
    header.extra = extra;
    header.extra_len = sizeof(extra);
    header.name = reinterpret_cast<Bytef*>(name);
    header.comment = reinterpret_cast<Bytef*>(comment);
    header.hcrc = 1;
    header.os = 3;
    EXPECT_EQ(deflateSetHeader(&zs, &header), Z_OK);
    Bytes out(deflateBound(&zs, in.size()) + 64);
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = uInt(in.size());
    zs.next_out = out.data();
    zs.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

struct Encoded {
    uint32_t coding;
    Bytes stored;
};

Encoded EncodeWith(TavCodecTable& table, const Bytes& p, uint32_t prefix, uint32_t compression,
                   uint32_t encryption, int level = -1) {
    Encoded e;
    e.coding = EncodePayload(p.data(), p.size(), prefix, table.Compressor(compression), level,
                             table.Encryptor(encryption), e.stored);
    return e;
}

std::string DecodeProblem(TavCodecTable& table, uint32_t coding, Bytes stored,
                          size_t limit = NO_LIMIT, Bytes* decoded = nullptr) {
    Bytes out;
    return DecodePayload(coding, stored, table, limit, decoded ? *decoded : out);
}

Bytes DecodeWith(TavCodecTable& table, uint32_t coding, Bytes stored) {
    Bytes out;
    EXPECT_EQ(DecodeProblem(table, coding, stored, NO_LIMIT, &out), "");
    return out;
}

constexpr uint32_t PADDING_BITS = 0xFF;
constexpr uint32_t COMPRESSION_BITS = 0x00F00000;
constexpr uint32_t ENCRYPTION_BITS = 0x000F0000;

std::string ZstdDecode(const Bytes& frame, size_t limit, Bytes& out) {
    out.clear();
    return CZstdCompressor().Decode(frame.data(), frame.size(), limit, out);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// AES-128 ECB

TEST(AesCodec, MatchesTheFips197KnownAnswerAndTheCodecTableKeysByThePassword) {
    const Bytes key = FromHex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain = FromHex("00112233445566778899aabbccddeeff");
    const Bytes cipher = FromHex("69c4e0d86a7b0430d8cdb78070b4c55a");
    auto aes = MakeAesEncryptor(key.data(), ENCRYPT_PASSWORD);
    EXPECT_EQ(aes->MethodId(), ENCRYPT_PASSWORD);
    // Every block is enciphered on its own, and no state carries between calls.
    for (int call = 0; call < 2; ++call) {
        Bytes data = plain;
        data.insert(data.end(), plain.begin(), plain.end());
        aes->Encode(data.data(), data.size());
        EXPECT_EQ(Bytes(data.begin(), data.begin() + 16), cipher);
        EXPECT_EQ(Bytes(data.begin() + 16, data.end()), cipher);
        aes->Decode(data.data(), 16);
        EXPECT_EQ(Bytes(data.begin(), data.begin() + 16), plain);
    }
    // Images written with the built-in key are readable only with this exact key.
    Bytes zeros(16, 0);
    MakeAesEncryptor(BUILTIN_KEY, ENCRYPT_BUILTIN)->Encode(zeros.data(), zeros.size());
    EXPECT_EQ(zeros, FromHex("cf1397a561c551d378aa91f52cbb2aba"));

    // The codec table selects codecs by slot, and keys by the first 16 bytes of the password.
    const auto password = PasswordField("secret");
    TavCodecTable table(password.data());
    // Only the method's own bits choose; an empty slot is none.
    const std::pair<uint32_t, uint32_t> compressors[] = {
        {COMPRESS_NONE, COMPRESS_NONE}, {COMPRESS_DEFLATE, COMPRESS_DEFLATE}, {COMPRESS_ZSTD, COMPRESS_ZSTD},
        {0x00300000, COMPRESS_NONE},    {0x00F00000, COMPRESS_NONE},          {0xFF1FFFFF, COMPRESS_DEFLATE}};
    for (const auto& [word, id] : compressors) EXPECT_EQ(table.Compressor(word).MethodId(), id) << std::hex << word;
    const std::pair<uint32_t, uint32_t> encryptors[] = {{ENCRYPT_NONE, ENCRYPT_NONE},
                                                        {ENCRYPT_BUILTIN, ENCRYPT_BUILTIN},
                                                        {ENCRYPT_PASSWORD, ENCRYPT_PASSWORD},
                                                        {0x00030000, ENCRYPT_NONE},
                                                        {0xFFF1FFFF, ENCRYPT_BUILTIN}};
    for (const auto& [word, id] : encryptors) EXPECT_EQ(table.Encryptor(word).MethodId(), id) << std::hex << word;
    // The password key is the first 16 bytes of the field; a short one is padded with zeros.
    for (const std::string pw : {"0123456789abcdefXYZW", "0123456789abcdef-other-tail", "pw"}) {
        const auto field = PasswordField(pw);
        uint8_t key[16] = {};
        std::memcpy(key, pw.data(), std::min<size_t>(16, pw.size()));
        Bytes a(48, 0x5A), b(48, 0x5A);
        TavCodecTable(field.data()).Encryptor(ENCRYPT_PASSWORD).Encode(a.data(), a.size());
        MakeAesEncryptor(key, 0)->Encode(b.data(), b.size());
        EXPECT_EQ(a, b) << pw;
    }
}

// ---------------------------------------------------------------------------------------
// Gzip members

// Every member written (by either encoder at any level, or stored) is read by zlib's own
// gzip reader, which checks the CRC-32 and length of the trailer, and by ours.
TEST(DeflateCodec, MembersAreReadableByZlibAtEveryLevelAndByBothEncoders) {
    std::mt19937 rng(2);
    const Bytes header = FromHex("1f8b080000000000000b");
    auto readBack = [&](const Bytes& member, const Bytes& in) {
        Bytes back;
        ASSERT_TRUE(ZlibGunzip(member, back));
        EXPECT_EQ(back, in);
        EXPECT_EQ(Inflate(member), in);
    };
    const Bytes inputs[] = {Bytes{}, Bytes{'x'}, TextPayload(rng, 65536), RandomPayload(rng, 3000),
                            Bytes(70000, 0)};
    for (const Bytes& in : inputs) {
        for (int level : {-1, 0, 1, 6, 9, 12, -7}) {
            SCOPED_TRACE(testing::Message() << "size " << in.size() << " level " << level);
            CDeflateCompressor deflate;
            Bytes viaLibdeflate, viaZlib;
            ASSERT_TRUE(deflate.Encode(in.data(), in.size(), level, viaLibdeflate));
            ASSERT_TRUE(deflate.EncodeWithZlib(in.data(), in.size(), level, viaZlib));
            EXPECT_EQ(Bytes(viaLibdeflate.begin(), viaLibdeflate.begin() + 10), header);
            readBack(viaLibdeflate, in);
            readBack(viaZlib, in);
        }
    }
    // Stored members: one stored deflate block per 65,535 bytes.
    for (size_t n : {size_t(0), size_t(1), size_t(65535), size_t(65536), size_t(65537), size_t(200000)}) {
        SCOPED_TRACE(testing::Message() << "stored, size " << n);
        const Bytes in = RandomPayload(rng, n);
        Bytes member;
        AppendStoredMember(in.data(), in.size(), member);
        ASSERT_EQ(member.size(), StoredMemberSize(n));
        EXPECT_EQ(member.size(), n + 18 + 5 * std::max<size_t>(1, (n + 65534) / 65535));
        EXPECT_EQ(Bytes(member.begin(), member.begin() + 10), header);
        readBack(member, in);
    }
    const Bytes text = TextPayload(rng, 5000);
    EXPECT_LT(Deflate(text).size(), text.size() / 3);
}

// The second member carries every optional header field (extra, name, comment, header CRC).
TEST(DeflateCodec, DecodesConcatenatedMembersSkippingEveryOptionalHeaderField) {
    std::mt19937 rng(6);
    const Bytes first = TextPayload(rng, 3000);
    const Bytes second = RandomPayload(rng, 500);
    const Bytes third = TextPayload(rng, 70000);
    const Bytes m2 = ZlibGzipWithHeaderFields(second);
    ASSERT_EQ(m2[3], 0x02 | 0x04 | 0x08 | 0x10);
    Bytes streamed;
    EXPECT_EQ(CDeflateCompressor().DecodeStreaming(m2.data(), m2.size(), NO_LIMIT, streamed), "");
    EXPECT_EQ(streamed, second);
    EXPECT_EQ(Inflate(Join(Join(Deflate(first), m2), Deflate(third, 1))),
              Join(Join(first, second), third));
}

TEST(DeflateCodec, DamageIsReportedNeverAShorterPayload) {
    std::mt19937 rng(7);
    const Bytes first = TextPayload(rng, 3000);
    const Bytes m1 = Deflate(first);
    const Bytes m2 = Deflate(TextPayload(rng, 3000));
    auto flipped = [](Bytes b, size_t at, uint8_t mask) {
        b[at] ^= mask;
        return b;
    };
    std::vector<Bytes> damaged;
    for (size_t cut : {size_t(0), size_t(3), size_t(10), m1.size() / 2, m1.size() - 9, m1.size() - 1})
        damaged.push_back(Bytes(m1.begin(), m1.begin() + cut));
    for (size_t at : {size_t(0), size_t(1), size_t(2), size_t(3), m1.size() / 2, m1.size() - 8, m1.size() - 2})
        damaged.push_back(flipped(m1, at, 0x40));
    damaged.push_back(flipped(Join(m1, m2), m1.size() + 3, 0x20));  // reserved flag, second member
    damaged.push_back(Join(m1, Bytes{'t', 'a', 'i', 'l'}));         // bytes behind the member
    damaged.push_back(Bytes{'p', 'l', 'a', 'i', 'n'});              // no member at all
    for (uint32_t claimed : {0xFFFFFFFFu, 64u << 20, 1u}) {        // a trailer length that lies
        Bytes b = m1;
        for (int i = 0; i < 4; ++i) b[b.size() - 4 + i] = uint8_t(claimed >> (8 * i));
        damaged.push_back(b);
    }
    for (size_t i = 0; i < damaged.size(); ++i) EXPECT_NE(InflateProblem(damaged[i]), "") << "case " << i;
    EXPECT_EQ(InflateProblem(Join(m1, m2)), "");
}

TEST(DeflateCodec, OutputStopsAtTheLimitBeforeItIsAllocated) {
    // 16 MiB of zeros deflate to about 16 KiB: a bomb for a reader that believes it.
    const Bytes bomb = Deflate(Bytes(size_t(16) << 20, 0), 1);
    ASSERT_LT(bomb.size(), size_t(100) << 10);
    for (const bool streaming : {false, true}) {
        CDeflateCompressor deflate;
        Bytes out;
        const std::string problem = streaming ? deflate.DecodeStreaming(bomb.data(), bomb.size(), 65536, out)
                                              : deflate.Decode(bomb.data(), bomb.size(), 65536, out);
        EXPECT_NE(problem, "");
        EXPECT_LE(out.capacity(), size_t(4) * 65536);
    }
    // Exactly at the limit is fine.
    const Bytes full = Deflate(Bytes(65536, 'a'));
    EXPECT_EQ(InflateProblem(full, 65536), "");
    EXPECT_NE(InflateProblem(full, 65535), "");
}

TEST(DeflateCodec, FastPathAgreesWithStreamingOnDamagedMembers) {
    std::mt19937 rng(9);
    CDeflateCompressor deflate;
    for (int round = 0; round < 400; ++round) {
        const Bytes text =
            (round % 2) ? TextPayload(rng, rng() % 20000) : RandomPayload(rng, rng() % 2000);
        Bytes member = Deflate(text, int(rng() % 10));
        const int flips = int(rng() % 4);
        for (int i = 0; i < flips && !member.empty(); ++i) {
            member[rng() % member.size()] ^= uint8_t(1u << (rng() % 8));
        }
        if (rng() % 4 == 0) member.resize(rng() % (member.size() + 1));
        Bytes fast, streamed;
        const bool fastOk = deflate.Decode(member.data(), member.size(), NO_LIMIT, fast).empty();
        const bool streamedOk =
            deflate.DecodeStreaming(member.data(), member.size(), NO_LIMIT, streamed).empty();
        ASSERT_EQ(fastOk, streamedOk) << "round " << round;
        // Whatever decodes is the data itself: a CRC-32 lets no flip through unnoticed here.
        if (fastOk) {
            ASSERT_EQ(fast, text) << "round " << round;
            ASSERT_EQ(streamed, text) << "round " << round;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Payload coding

class PayloadCoding : public ::testing::Test {
protected:
    std::array<char, 128> m_password = PasswordField("secret password");
    TavCodecTable m_table{m_password.data()};
    std::mt19937 m_rng{42};
};

TEST_F(PayloadCoding, CodingWordAndStoredLengthOfEachKindOfPayload) {
    constexpr size_t ANY = SIZE_MAX;
    const Bytes empty, p16(16, 0xAB), p17(17, 0xCD), random = RandomPayload(m_rng, 4096),
                       shortRandom = RandomPayload(m_rng, 300), text = TextPayload(m_rng, 3000),
                       shortText(text.begin(), text.begin() + 40);
    const struct {
        const char* why;
        const Bytes& payload;
        uint32_t prefix, compression, encryption;
        int level;
        uint32_t coding;
        size_t stored;
    } rows[] = {
        {"whole cipher blocks need no padding", p16, 0, COMPRESS_NONE, ENCRYPT_BUILTIN, -1, ENCRYPT_BUILTIN, 16},
        {"one byte more pads 15", p17, 0, COMPRESS_NONE, ENCRYPT_BUILTIN, -1, ENCRYPT_BUILTIN | 15, 32},
        {"no encryption: the bytes as they are", p17, 0, COMPRESS_NONE, ENCRYPT_NONE, -1, 0, 17},
        {"random bytes, judged without deflate", random, 0, COMPRESS_DEFLATE, ENCRYPT_NONE, -1, COMPRESS_DEFLATE, 4096 + 23},
        {"level 0 stores", random, 0, COMPRESS_DEFLATE, ENCRYPT_NONE, 0, COMPRESS_DEFLATE, 4096 + 23},
        {"short random bytes: deflate loses to the stored member", shortRandom, 0, COMPRESS_DEFLATE,
         ENCRYPT_BUILTIN, -1, COMPRESS_DEFLATE | ENCRYPT_BUILTIN | 13, 336},
        {"an empty slot writes as none with id 0", text, 0, 0x00300000, ENCRYPT_NONE, -1, 0, 3000},
        {"empty payload, plain", empty, 0, COMPRESS_DEFLATE, ENCRYPT_NONE, -1, 0, 0},
        {"empty payload, built-in key", empty, 0, COMPRESS_DEFLATE, ENCRYPT_BUILTIN, -1, 0, 0},
        {"empty payload, password", empty, 0, COMPRESS_DEFLATE, ENCRYPT_PASSWORD, -1, 0, 0},
        {"empty payload keeps its prefix", empty, 12, COMPRESS_DEFLATE, ENCRYPT_BUILTIN, -1, 12u << 8, 0},
        {"a plain prefix", text, 24, COMPRESS_DEFLATE, ENCRYPT_NONE, -1, COMPRESS_DEFLATE | (24u << 8), ANY},
        {"prefix is the payload", shortText, 40, COMPRESS_DEFLATE, ENCRYPT_BUILTIN, -1, ENCRYPT_BUILTIN | (40u << 8) | 8, 48},
        {"prefix beyond the payload", shortText, 41, COMPRESS_DEFLATE, ENCRYPT_BUILTIN, -1, ENCRYPT_BUILTIN | (41u << 8) | 8, 48},
        {"largest prefix", shortText, 255, COMPRESS_DEFLATE, ENCRYPT_BUILTIN, -1, ENCRYPT_BUILTIN | (255u << 8) | 8, 48},
        {"prefixes stop at 255 bytes", text, 1000, COMPRESS_DEFLATE, ENCRYPT_NONE, -1, COMPRESS_DEFLATE | (255u << 8), ANY},
        {"text shrinks into a zstd frame, at zstd's top level too", text, 7, COMPRESS_ZSTD,
         ENCRYPT_NONE, 19, COMPRESS_ZSTD | (7u << 8), ANY},
        {"what zstd cannot shrink is a stored gzip member", random, 0, COMPRESS_ZSTD, ENCRYPT_NONE,
         -1, COMPRESS_DEFLATE, 4096 + 23},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const Encoded e = EncodeWith(m_table, row.payload, row.prefix, row.compression, row.encryption, row.level);
        EXPECT_EQ(e.coding, row.coding);
        if (row.stored != ANY) {
            EXPECT_EQ(e.stored.size(), row.stored);
        }
        if (row.coding == 0) {
            EXPECT_EQ(e.stored, row.payload);
        }
        EXPECT_EQ(DecodeWith(m_table, e.coding, e.stored), row.payload);
    }
    // (The stored form is AppendStoredMember's, which zlib reads: see the gzip tests.)
    EXPECT_NE(EncodeWith(m_table, p16, 0, COMPRESS_NONE, ENCRYPT_BUILTIN).stored, p16);
    // The prefix stays in front, uncompressed, and a gzip member follows it.
    const Encoded e = EncodeWith(m_table, text, 24, COMPRESS_DEFLATE, ENCRYPT_NONE);
    EXPECT_LT(e.stored.size(), text.size());
    EXPECT_TRUE(std::equal(text.begin(), text.begin() + 24, e.stored.begin()));
    EXPECT_EQ(Inflate(Bytes(e.stored.begin() + 24, e.stored.end())), Bytes(text.begin() + 24, text.end()));
}

TEST_F(PayloadCoding, RoundTripsOverSizesPrefixesAndMethods) {
    const uint32_t compressions[] = {COMPRESS_NONE, COMPRESS_DEFLATE, COMPRESS_ZSTD, 0x00300000};
    const uint32_t encryptions[] = {ENCRYPT_NONE, ENCRYPT_BUILTIN, ENCRYPT_PASSWORD, 0x00050000};
    for (int round = 0; round < 600; ++round) {
        const size_t sizes[] = {m_rng() % 40, m_rng() % 4096, m_rng() % 70000, 65536, 65537};
        const size_t n = sizes[m_rng() % std::size(sizes)];
        const unsigned kind = m_rng() % 3;
        const Bytes p = kind == 0   ? RandomPayload(m_rng, n)
                        : kind == 1 ? TextPayload(m_rng, n)
                                    : Bytes(n, uint8_t(m_rng()));
        const uint32_t prefix = (m_rng() % 3 == 0) ? m_rng() % 300 : 0;
        const uint32_t c = compressions[m_rng() % std::size(compressions)];
        const uint32_t en = encryptions[m_rng() % std::size(encryptions)];
        const int level = int(m_rng() % 11) - 1;

        const Encoded e = EncodeWith(m_table, p, prefix, c, en, level);
        const uint32_t k = std::min(prefix, 255u);
        ASSERT_EQ((e.coding >> 8) & 0xFF, k);
        if (n > 0 && (en == ENCRYPT_BUILTIN || en == ENCRYPT_PASSWORD)) {
            ASSERT_EQ(e.coding & ENCRYPTION_BITS, en);
            ASSERT_EQ(e.stored.size() % 16, 0u);
            ASSERT_LT(e.coding & PADDING_BITS, 16u);
        } else {
            ASSERT_EQ(e.coding & (ENCRYPTION_BITS | PADDING_BITS), 0u);
        }
        const size_t unpadded = e.stored.size() - (e.coding & PADDING_BITS);
        if ((c == COMPRESS_DEFLATE || c == COMPRESS_ZSTD) && n > k) {
            // Behind the prefix always a member or frame, never longer than the stored
            // member (which zstd, too, falls back to).
            const uint32_t method = e.coding & COMPRESSION_BITS;
            ASSERT_TRUE(method == COMPRESS_DEFLATE || method == c) << std::hex << method;
            ASSERT_LE(unpadded, k + StoredMemberSize(n - k));
        } else {
            ASSERT_EQ(e.coding & COMPRESSION_BITS, 0u);
            ASSERT_EQ(unpadded, n);
        }
        ASSERT_EQ(DecodeWith(m_table, e.coding, e.stored), p)
            << "n " << n << " prefix " << prefix << " coding " << std::hex << e.coding;
    }
}

TEST_F(PayloadCoding, ImpossibleCodingWordsAreDamage) {
    const Bytes bytes = TextPayload(m_rng, 40);
    const Bytes member = Deflate(bytes);
    // A block written with another password decrypts to bytes that are no member.
    const auto other = PasswordField("another one");
    TavCodecTable otherTable(other.data());
    const Encoded foreign =
        EncodeWith(otherTable, TextPayload(m_rng, 5000), 0, COMPRESS_DEFLATE, ENCRYPT_PASSWORD);
    const std::pair<uint32_t, Bytes> cases[] = {
        {41, bytes},                                   // padding without encryption
        {4, bytes},                                    // the same, within the data
        {ENCRYPT_BUILTIN | 0xFF, Bytes(32, 1)},        // padding of more than a cipher block
        {ENCRYPT_BUILTIN, bytes},                      // not whole cipher blocks
        {COMPRESS_DEFLATE | (200u << 8), bytes},       // compressed, but all prefix
        {COMPRESS_DEFLATE | (40u << 8), bytes},        // compressed, nothing behind the prefix
        {0x00300000, member},                          // a compressor no encoder has
        {COMPRESS_ZSTD, member},                       // marked zstd, not a frame
        {COMPRESS_DEFLATE | 0x00050000, member},       // an encryptor no encoder has
        {COMPRESS_DEFLATE, bytes},                     // marked compressed, not a member
        {foreign.coding, foreign.stored},              // another password
    };
    for (const auto& [coding, stored] : cases)
        EXPECT_NE(DecodeProblem(m_table, coding, stored), "") << std::hex << coding;
    EXPECT_EQ(DecodeWith(m_table, COMPRESS_DEFLATE, member), bytes);
    EXPECT_EQ(DecodeProblem(m_table, COMPRESS_DEFLATE | (40u << 8), bytes),
              "the block is marked compressed but holds no compressed data");
    // The limit bounds plain and compressed payloads alike; the prefix counts in.
    EXPECT_NE(DecodeProblem(m_table, 0, bytes, 39), "");
    EXPECT_EQ(DecodeProblem(m_table, 0, bytes, 40), "");
    const Bytes prefixed = Join(Bytes(bytes.begin(), bytes.begin() + 8), member);
    EXPECT_EQ(DecodeProblem(m_table, COMPRESS_DEFLATE | (8u << 8), prefixed, 48), "");
    EXPECT_NE(DecodeProblem(m_table, COMPRESS_DEFLATE | (8u << 8), prefixed, 47), "");
}

TEST_F(PayloadCoding, ArbitraryStoredBytesNeverCrashTheDecoder) {
    const Bytes text = TextPayload(m_rng, 20000);
    const Bytes member = Deflate(text);
    for (int round = 0; round < 3000; ++round) {
        uint32_t coding = uint32_t(m_rng());
        if (m_rng() % 2) coding &= 0x00FFFF0F;  // keep the padding small more often
        const unsigned kind = m_rng() % 3;
        Bytes stored;
        if (kind == 0) {
            stored = RandomPayload(m_rng, m_rng() % 300);
        } else if (kind == 1) {  // a real member with damage, behind a random prefix
            stored = Join(RandomPayload(m_rng, (coding >> 8) & 0xFF), member);
            for (int i = 0; i < 3; ++i) stored[m_rng() % stored.size()] = uint8_t(m_rng());
            stored.resize(m_rng() % (stored.size() + 1));
        } else {  // a gzip header and random deflate bytes
            stored = Join(FromHex("1f8b0800000000000003"), RandomPayload(m_rng, m_rng() % 2000));
        }
        Bytes out;
        DecodePayload(coding, stored, m_table, 1 << 20, out);
        ASSERT_LE(out.size(), size_t(1) << 20);
    }
}

// ---------------------------------------------------------------------------------------
// zstd frames: damage that must be an error

TEST(ZstdBlocks, DamagedFramesAreErrorsNeverOtherBytes) {
    std::mt19937 rng(1);
    const Bytes payload = TextPayload(rng, 20000);
    Bytes frame, out;
    ASSERT_TRUE(CZstdCompressor().Encode(payload.data(), payload.size(), 3, frame));
    ASSERT_EQ(ZstdDecode(frame, payload.size(), out), "");
    ASSERT_EQ(out, payload);
    // The frame with one change made by `edit`.
    auto edited = [&](auto edit) {
        Bytes b = frame;
        edit(b);
        return b;
    };
    // A single-segment frame: its content size follows the 2-byte header (magic, descriptor).
    ASSERT_EQ(frame[4] & 0x20, 0x20);
    const struct {
        const char* what;
        Bytes frame;
        size_t limit;
    } cases[] = {
        {"cut short", Bytes(frame.begin(), frame.end() - 5), payload.size()},
        {"bad checksum", edited([](Bytes& b) { b.back() ^= 0x01; }), payload.size()},
        {"bytes behind the frame", edited([](Bytes& b) { b.push_back(0); }), payload.size()},
        {"content size one more than the blocks", edited([](Bytes& b) { b[5] ^= 0x01; }),
         payload.size() + 16},
        {"descriptor without the checksum flag", edited([](Bytes& b) { b[4] &= uint8_t(~0x04); }),
         payload.size()},
        {"not a frame", payload, payload.size()},
        {"larger than its kind may be", frame, payload.size() - 1},
        {"empty", Bytes(), payload.size()},
    };
    for (const auto& c : cases) EXPECT_NE(ZstdDecode(c.frame, c.limit, out), "") << c.what;
}
