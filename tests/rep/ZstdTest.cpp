// zstd blocks: round trips, damage that must be an error, and the image header that tells
// readers which features an image needs (images a reader cannot read are named, not misread).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Codecs.h"
#include "RepHelpers.h"
#include "ZstdCodec.h"
#include "support/TempDir.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

using namespace tavrep;
using tavtest::Bytes;

namespace {

constexpr uint32_t COMPRESSOR_BITS = 0x00F00000;

Bytes Text(size_t n, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    return tavtest::TextPayload(rng, n);
}

Bytes ZstdFrame(const Bytes& in, int level = 3) {
    CZstdCompressor zstd;
    Bytes out;
    EXPECT_TRUE(zstd.Encode(in.data(), in.size(), level, out));
    return out;
}

std::string Decode(const Bytes& frame, size_t limit, Bytes& out) {
    CZstdCompressor zstd;
    out.clear();
    return zstd.Decode(frame.data(), frame.size(), limit, out);
}

TavImageSecurity Security(uint32_t compression) {
    return tavtest::Security(nullptr, ENCRYPT_BUILTIN, TAV_DEFAULT_IMAGE_SIZE, compression);
}

TavRepHeader HeaderOf(CTavRepository& rep, const std::string& path) {
    TavRepHeader h;
    EXPECT_EQ(rep.GetImageHeader(path, h), 1);
    return h;
}

TavPosition StoreText(CTavRepository& rep, const Bytes& payload) {
    EXPECT_EQ(rep.BeginTrans(5000), 1);
    const TavPosition p = rep.AddBlock(payload.data(), uint32_t(payload.size()), 0, BLOCK_KIND_CONTENT);
    EXPECT_EQ(rep.CommitTrans(), 1);
    return p;
}

Bytes Read(CTavRepository& rep, TavPosition p) {
    CTavRepContent* c = rep.GetContent(p);
    if (c == nullptr) return {};
    Bytes out(c->data.begin(), c->data.end());
    c->Dispose();
    return out;
}

}  // namespace

// Text behind the prefix shrinks into a zstd block; what zstd cannot shrink is a stored
// gzip member every reader knows.
TEST(ZstdBlocks, RoundTripsAtEveryLevelSizeAndPrefix) {
    char password[128] = {};
    TavCodecTable codecs(password);
    std::mt19937 rng(9);
    const Bytes noise = tavtest::RandomPayload(rng, 65536);
    for (int level : {-1, 1, 3, 19}) {
        for (size_t n : {size_t(0), size_t(1), size_t(65536), size_t(65537)}) {
            for (uint32_t prefix : {0u, 7u}) {
                for (uint32_t encryption : {ENCRYPT_NONE, ENCRYPT_BUILTIN}) {
                    SCOPED_TRACE(testing::Message() << "level " << level << ", " << n << " bytes, prefix "
                                                    << prefix << ", encryption " << encryption);
                    const Bytes payload = n == 65536 && prefix == 0 ? noise : Text(n, uint32_t(n + level));
                    Bytes stored, back;
                    const uint32_t coding = EncodePayload(payload.data(), n, prefix, codecs.Compressor(COMPRESS_ZSTD),
                                                          level, codecs.Encryptor(encryption), stored);
                    if (n > prefix + 64)
                        EXPECT_EQ(coding & COMPRESSOR_BITS, payload == noise ? COMPRESS_DEFLATE : COMPRESS_ZSTD);
                    EXPECT_EQ(DecodePayload(coding, stored, codecs, n, back), "");
                    EXPECT_EQ(back, payload);
                }
            }
        }
    }
}

TEST(ZstdBlocks, DamagedFramesAreErrorsNeverOtherBytes) {
    const Bytes payload = Text(20000);
    const Bytes frame = ZstdFrame(payload);
    Bytes out;
    ASSERT_EQ(Decode(frame, payload.size(), out), "");
    ASSERT_EQ(out, payload);

    struct Case {
        const char* what;
        Bytes frame;
        size_t limit;
    };
    Bytes cut(frame.begin(), frame.end() - 5);
    Bytes badChecksum = frame;
    badChecksum.back() ^= 0x01;
    Bytes trailing = frame;
    trailing.push_back(0);
    // The frame content size sits right behind the 2-byte header of a single-segment frame
    // (magic, descriptor, then the size): one more than the real size.
    Bytes wrongSize = frame;
    ASSERT_EQ(wrongSize[4] & 0x20, 0x20) << "single-segment frame";
    wrongSize[5] ^= 0x01;
    Bytes noChecksum = frame;
    noChecksum[4] &= uint8_t(~0x04);  // descriptor without the checksum flag
    Bytes notZstd = payload;
    const Case cases[] = {
        {"cut short", cut, payload.size()},
        {"bad checksum", badChecksum, payload.size()},
        {"bytes behind the frame", trailing, payload.size()},
        {"content size differs from the blocks", wrongSize, payload.size() + 16},
        {"no checksum", noChecksum, payload.size()},
        {"not a frame", notZstd, payload.size()},
        {"larger than its kind may be", frame, payload.size() - 1},
        {"empty", Bytes(), payload.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(Decode(c.frame, c.limit, out), "");
    }
}

// A repository made for zstd is 2.2 with its feature bit from the start; a deflate image
// stays 2.1 until its first zstd block, and then both kinds read without a password.
TEST(ZstdImages, ZstdBlocksMakeAnImageVersion22WithItsFeatureBit) {
    tavtest::CTempDir dir;
    const std::string zpath = dir / "z.tvr", path = dir / "m.tvr";
    const TavImageSecurity deflate = Security(COMPRESS_DEFLATE), zstd = Security(COMPRESS_ZSTD);
    ASSERT_EQ(CTavRepository::CreateRepository(zpath, &zstd, 0, {0, 0}), 1);
    ASSERT_EQ(CTavRepository::CreateRepository(path, &deflate, 0, {0, 0}), 1);
    const Bytes first = Text(30000, 1), second = Text(30000, 2);
    TavPosition a, b;
    {
        CTavRepository rep;
        ASSERT_EQ(rep.Attach(zpath, &zstd), 1);
        const TavRepHeader h = HeaderOf(rep, zpath);
        EXPECT_EQ(h.version, FORMAT_2_2);
        EXPECT_EQ(h.reserved, IMAGE_FEATURE_ZSTD);
    }
    {
        CTavRepository rep;
        ASSERT_EQ(rep.Attach(path, &deflate), 1);
        a = StoreText(rep, first);
        EXPECT_EQ(HeaderOf(rep, path).version, FORMAT_2_1) << "deflate alone keeps 2.1";
    }
    {
        CTavRepository rep;
        ASSERT_EQ(rep.Attach(path, &zstd), 1);
        b = StoreText(rep, second);
        const TavRepHeader h = HeaderOf(rep, path);
        EXPECT_EQ(h.version, FORMAT_2_2);
        EXPECT_EQ(h.reserved, IMAGE_FEATURE_ZSTD);
    }
    CTavRepository reader;
    ASSERT_EQ(reader.Attach(path, nullptr), 1);
    EXPECT_EQ(Read(reader, a), first);
    EXPECT_EQ(Read(reader, b), second);
}

TEST(ZstdImages, ImagesThatNeedANewerReaderAreNamedAndRefused) {
    struct Case {
        const char* what;
        uint32_t version, mask;
    };
    const Case cases[] = {
        {"an unknown version", 0x02030000, 0},
        {"an unknown feature bit", FORMAT_2_2, 0x2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tavtest::CTempDir dir;
        const std::string path = dir / "n.tvr";
        const TavImageSecurity security = Security(COMPRESS_DEFLATE);
        ASSERT_EQ(CTavRepository::CreateRepository(path, &security, 0, {0, 0}), 1);
        // The header block is stored plain: the version at 20, the feature mask at 32.
        tavtest::PokeLE32(path, 20, c.version);
        tavtest::PokeLE32(path, 32, c.mask);
        CTavRepository rep;
        EXPECT_EQ(rep.Attach(path, nullptr), 0);
        EXPECT_EQ(rep.LastAttachCode(), TAVEX_UNKNOWN_VERSION);
        EXPECT_NE(rep.LastAttachDetail().find("image 0 needs a newer version of Tavora"), std::string::npos)
            << rep.LastAttachDetail();
    }
}
