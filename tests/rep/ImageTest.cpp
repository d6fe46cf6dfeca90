// CTavImage and the fixed blocks of a new image file.
#include <gtest/gtest.h>

#include <cstring>

#include "DeflateCodec.h"
#include "RepHelpers.h"
#include "platform/File.h"
#include "tavrep/TavImage.h"

using namespace tavtest;

namespace {

class ImageTest : public CRepTest {};

// The stored bytes of the block at `offset` as they lie in the file.
std::string StoredBytes(const std::string& path, uint32_t offset) {
    const std::string file = ReadFile(path);
    return file.substr(offset + BLOCK_HEADER_SIZE, LE32(file, offset + 4));
}

}  // namespace

TEST_F(ImageTest, NewImageHasHeaderAndSecurityBlocksThatUpdateBlockRewrites) {
    std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 312u);
    // The header block at 0 (self 0, 16 stored bytes, plain, the format, image id 0), the
    // security block at 36 (256 stored bytes, built-in encryption), the node table at 312.
    const std::pair<size_t, uint32_t> words[] = {
        {0, 0},   {4, 16},  {8, 0},  {12, 0}, {20, FORMAT_2_1}, {28, 0}, {36, 36}, {40, 256}, {44, ENCRYPT_BUILTIN},
        {48, BLOCK_KIND_SECURITY}, {312, 312}, {312 + 12, BLOCK_KIND_NODES}};
    for (const auto& [at, value] : words) EXPECT_EQ(LE32(bytes, at), value) << at;

    CTavImage image(path, sec);
    TavBlockData security = image.ReadBlock(SECURITY_BLOCK_OFFSET);
    ASSERT_EQ(security.data.size(), 256u);
    std::string rec(security.data.begin(), security.data.end());
    const uint32_t t = LE32(rec, 4);
    EXPECT_EQ(LE32(rec, 0), 0u);
    for (int w = 2; w < 6; ++w) EXPECT_EQ(LE32(rec, w * 4), 0xFFFFFFFFu) << w;  // no password
    EXPECT_EQ(LE32(rec, 24), 0u);                                              // entry image
    EXPECT_GT(LE32(rec, 28), 312u);                                            // baseline table
    for (uint32_t i = 4; i < 32; ++i) {
        EXPECT_EQ(LE32(rec, i * 8), 0u);
        EXPECT_EQ(LE32(rec, i * 8 + 4), (t - i) ^ (i * 73)) << i;
    }

    // UpdateBlock rewrites fixed payloads in place.
    image.ReleaseReadHandle();
    uint8_t entry[8] = {1, 0, 0, 0, 0x40, 0x01, 0, 0};
    ASSERT_EQ(image.UpdateBlock(SECURITY_BLOCK_OFFSET, entry, 8, 24), 1);
    TavBlockData s = image.ReadBlock(SECURITY_BLOCK_OFFSET);
    EXPECT_EQ(std::memcmp(s.data.data() + 24, entry, 8), 0);
    EXPECT_EQ(image.UpdateBlock(SECURITY_BLOCK_OFFSET, entry, 8, 252), 0);  // past the end
    // A compressed block can only be updated inside its plain prefix (none here).
    std::string text = TextBytes(5000);
    uint32_t off = image.WriteBlock(text.data(), 5000, 0, BLOCK_KIND_CONTENT, 0);
    EXPECT_EQ(image.UpdateBlock(off, "x", 1, 0), 0);
    EXPECT_EQ(image.UpdateBlockHeader(off, BLOCK_KIND_CONTENT | 3, 1234), 1);
    TavBlockData b = image.ReadBlock(off);
    EXPECT_EQ(b.kind, BLOCK_KIND_CONTENT | 3);
    EXPECT_EQ(b.link, 1234u);
    EXPECT_EQ(std::string(b.data.begin(), b.data.end()), text);
    EXPECT_EQ(image.UpdateBlockHeader(off + 3, 0, 0), 0);  // not a header
}

TEST_F(ImageTest, EmptyPayloadAndMarkerAndUnknownMethods) {
    CTavImage image(path, sec);
    image.SetCompression(0x00300000);  // an empty slot behaves as none: a stored member
    uint32_t empty = image.WriteBlock(nullptr, 0, 0, BLOCK_KIND_CONTENT, 0);
    std::string text = "hello hello hello hello";
    uint32_t off = image.WriteBlock(text.data(), uint32_t(text.size()), 0, BLOCK_KIND_CONTENT, 0);
    EXPECT_TRUE(image.ReadBlock(empty).data.empty());
    std::string bytes = ReadFile(path);
    EXPECT_EQ(LE32(bytes, empty + 4), 0u);
    EXPECT_EQ(LE32(bytes, off + 8) & 0x00F00000, COMPRESS_DEFLATE);
    EXPECT_EQ(LE32(bytes, off + 4), tavrep::StoredMemberSize(text.size()));
    // A header that carries "CBKB" instead of its offset reads the same.
    image.ReleaseReadHandle();  // its shared read lock would refuse our write handle
    Poke(path, off, "CBKB");
    TavBlockData b = image.ReadBlock(off);
    EXPECT_EQ(b.self, off);
    EXPECT_EQ(std::string(b.data.begin(), b.data.end()), text);
    // Any other first word is not a block, nor is an offset past the end.
    EXPECT_EQ(ThrownCode([&] { image.ReadBlock(off + 1); }), TAVEX_READ_BLOCK);
    EXPECT_EQ(ThrownCode([&] { image.ReadBlock(0xFFFFFFF0); }), TAVEX_READ_BLOCK);
}

TEST_F(ImageTest, DamagedBlocksAreReportedWithImageAndOffset) {
    CTavImage image(path, sec);
    const std::string text = TextBytes(20000);
    const uint32_t off = image.WriteBlock(text.data(), uint32_t(text.size()), 0, BLOCK_KIND_CONTENT, 0);
    const uint32_t stored = LE32(ReadFile(path), off + 4);
    image.ReleaseReadHandle();
    // A flipped byte anywhere in the stored bytes: in the deflate data or in the trailer.
    for (uint32_t at : {stored / 2, stored - 6, stored - 2}) {
        FlipByte(path, off + BLOCK_HEADER_SIZE + at);
        const std::string message =
            Caught([&] { image.ReadBlock(off, TavBlockUse::Content); }).text;
        EXPECT_NE(message.find("offset " + std::to_string(off) + " of image " + path), std::string::npos)
            << message;
        EXPECT_NE(message.find("damaged"), std::string::npos) << message;
        image.ReleaseReadHandle();
        FlipByte(path, off + BLOCK_HEADER_SIZE + at);
    }
    EXPECT_EQ(image.ReadBlock(off, TavBlockUse::Content).data, std::vector<uint8_t>(text.begin(), text.end()));

    // A file cut a few bytes short: the stored length, header included, is checked first.
    image.ReleaseReadHandle();
    ASSERT_TRUE(WriteFile(path, ReadFile(path).substr(0, off + 20 + stored - 5)));
    const std::string cut = Caught([&] { image.ReadBlock(off, TavBlockUse::Content); }).text;
    EXPECT_NE(cut.find("reaches beyond the end of the file"), std::string::npos) << cut;
}

// (A table block that would inflate beyond its bound: the fuzz regression test.)
TEST_F(ImageTest, BlocksStayWithinTheirPayloadBounds) {
    EXPECT_EQ(BlockPayloadLimit(TavBlockUse::Content, 99, 7), 65536u + 7);
    EXPECT_EQ(BlockPayloadLimit(TavBlockUse::Table, 16000, 0), 16000u * 128);
    CTavImage image(path, sec);

    // Writers keep within the same bounds: a content block holds one chunk, and a table
    // that would compress beyond the bound is stored instead.
    const std::vector<uint8_t> zeros(size_t(4) << 20, 0);
    EXPECT_EQ(image.WriteBlock(zeros.data(), 65537, 0, BLOCK_KIND_CONTENT, 0), 0u);
    EXPECT_NE(image.WriteBlock(zeros.data(), 65536, 0, BLOCK_KIND_CONTENT, 0), 0u);
    const uint32_t table = image.WriteBlock(zeros.data(), uint32_t(zeros.size()), 0, BLOCK_KIND_NODES, 0);
    ASSERT_NE(table, 0u);
    EXPECT_EQ(LE32(ReadFile(path), table + 4), tavrep::StoredMemberSize(zeros.size()));
    EXPECT_EQ(image.ReadBlock(table).data, zeros);
}

TEST_F(ImageTest, TransactionHoldsTheFileAgainstReaders) {
    CTavImage writer(path, sec);
    ASSERT_EQ(writer.BeginTrans(5000), 1);
    EXPECT_EQ(writer.BeginTrans(5000), 0);  // already held
    CTavImage reader(path, sec);
    EXPECT_EQ(ThrownCode([&] { reader.ReadBlock(0); }), TAVEX_BUSY);
    writer.EndTrans();
    EXPECT_EQ(reader.ReadBlock(0).data.size(), 16u);
    // And a reader holding the file keeps a writer out.
    EXPECT_EQ(ThrownCode([&] { writer.BeginTrans(5000); }), TAVEX_BUSY);
    reader.ReleaseReadHandle();
    EXPECT_EQ(writer.BeginTrans(5000), 1);
    writer.EndTrans();
    // The same between repositories: a writer's transaction makes an attach busy, and a
    // reader's open image a transaction.
    CTavRepository writing, reading;
    ASSERT_EQ(writing.Attach(path, &sec), 1);
    writing.ReleaseReadHandles();
    ASSERT_EQ(writing.BeginTrans(5000), 1);
    EXPECT_EQ(reading.Attach(path, &sec), 0);
    EXPECT_EQ(reading.LastAttachCode(), TAVEX_BUSY);
    TavRepHeader h;
    EXPECT_EQ(ThrownCode([&] { reading.GetImageHeader(path, h); }), TAVEX_BUSY);
    EXPECT_EQ(writing.CommitTrans(), 1);
    writing.ReleaseReadHandles();
    ASSERT_EQ(reading.Attach(path, &sec), 1);
    reading.GetImageFromID(0)->ReadBlock(0);
    EXPECT_EQ(ThrownCode([&] { writing.BeginTrans(5000); }), TAVEX_BUSY);
    CTavImage missing(dir / "none.tvr", sec);
    EXPECT_EQ(ThrownCode([&] { missing.ReadBlock(0); }), TAVEX_NOT_FOUND);
    EXPECT_EQ(missing.GetImageSize(), 0xFFFFFFFFu);
}

TEST(VerifyChunkSize, FollowsTheRule) {
    const uint32_t cases[][2] = {{0, 65536}, {1, 1024}, {1023, 1024}, {1024, 1024}, {65536, 65536}, {65537, 65536}};
    for (const auto& c : cases) EXPECT_EQ(VerifyChunkSize(c[0]), c[1]) << c[0];
}

// Images written without compression: every block but the two fixed ones is a gzip member
// of stored deflate blocks, which zlib reads back and whose CRC-32 catches a changed byte,
// and UpdateBlock rewrites bytes anywhere inside such a member.
class StoredMemberTest : public CRepTest, public ::testing::WithParamInterface<uint32_t> {
protected:
    StoredMemberTest() { sec = Security(nullptr, GetParam(), TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE); }
    bool Plain() const { return GetParam() == ENCRYPT_NONE; }
};

TEST_P(StoredMemberTest, BlocksCarryACrcAndUpdateBlockRewritesAnyRangeOfThem) {
    CTavImage image(path, sec);
    // The fixed blocks stay as they were: the header plain, the security record only encrypted.
    EXPECT_EQ(LE32(ReadFile(path), 8), 0u);
    EXPECT_EQ(LE32(ReadFile(path), SECURITY_BLOCK_OFFSET + 8), ENCRYPT_BUILTIN);
    // Two stored deflate blocks (65,535 bytes and the rest) behind a plain prefix of 7.
    std::string payload = TextBytes(70000);
    const uint32_t off = image.WriteBlock(payload.data(), uint32_t(payload.size()), 7, BLOCK_KIND_NODES, 0);
    ASSERT_NE(off, 0u);
    const uint32_t stored = LE32(ReadFile(path), off + 4);
    const size_t member = 7 + tavrep::StoredMemberSize(payload.size() - 7);
    EXPECT_EQ(stored, Plain() ? member : (member + 15) / 16 * 16);
    EXPECT_EQ(LE32(ReadFile(path), off + 8) & 0x00F00000, COMPRESS_DEFLATE);
    const struct {
        uint32_t at;
        uint32_t count;
    } ranges[] = {{0, 20}, {7 + 65530, 12}, {69990, 10}, {5, 4}};
    for (const auto& r : ranges) {
        const std::string bytes = RandomBytes(r.count, r.at);
        ASSERT_EQ(image.UpdateBlock(off, bytes.data(), r.count, r.at), 1) << r.at;
        payload.replace(r.at, r.count, bytes);
    }
    EXPECT_EQ(image.UpdateBlock(off, "x", 1, 70000), 0);  // past the end
    ASSERT_EQ(image.UpdateBlock(off, "y", 1, 100, BLOCK_KIND_CONTENT | 2, 4242), 1);
    payload[100] = 'y';

    const std::string file = ReadFile(path);
    EXPECT_EQ(LE32(file, off + 4), stored);  // the block keeps its place and length
    EXPECT_EQ(LE32(file, off + 12), BLOCK_KIND_CONTENT | 2);
    EXPECT_EQ(LE32(file, off + 16), 4242u);
    if (Plain()) {
        const std::string bytes = StoredBytes(path, off);
        EXPECT_EQ(bytes.substr(0, 7), payload.substr(0, 7));
        EXPECT_EQ(ZlibGunzip(bytes.substr(7)), payload.substr(7));
    }
    const TavBlockData back = image.ReadBlock(off);
    EXPECT_EQ(std::string(back.data.begin(), back.data.end()), payload);

    // One byte changed behind the prefix: the block no longer reads, in either form.
    image.ReleaseReadHandle();
    FlipByte(path, off + BLOCK_HEADER_SIZE + 30000);
    EXPECT_EQ(ThrownCode([&] { image.ReadBlock(off); }), TAVEX_READ_BLOCK);
}

INSTANTIATE_TEST_SUITE_P(Encryptions, StoredMemberTest, ::testing::Values(ENCRYPT_NONE, ENCRYPT_BUILTIN),
                         [](const auto& info) { return info.param == ENCRYPT_NONE ? "Plain" : "Aes"; });

// A repository made for zstd is 2.2 with its feature bit from the start; a deflate image
// stays 2.1 until its first zstd block, and then both kinds read without a password.
TEST_F(ImageTest, ZstdBlocksMakeAnImageVersion22AndNewerVersionsAreRefused) {
    const TavImageSecurity zstd = Security(nullptr, ENCRYPT_BUILTIN, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_ZSTD);
    ASSERT_EQ(CTavRepository::CreateRepository(dir / "z.tvr", &zstd, 0, {0, 0}), 1);
    TavRepHeader h;
    {
        CTavRepository rep;
        ASSERT_EQ(rep.Attach(dir / "z.tvr", &zstd), 1);
        ASSERT_EQ(rep.GetImageHeader(dir / "z.tvr", h), 1);
        EXPECT_EQ(h.version, FORMAT_2_2);
        EXPECT_EQ(h.reserved, IMAGE_FEATURE_ZSTD);
    }
    const std::string texts[] = {TextBytes(30000), TextBytes(20000)};
    TavPosition stored[2];
    for (int k = 0; k < 2; ++k) {
        CTavRepository rep;
        ASSERT_EQ(rep.Attach(path, k == 0 ? &sec : &zstd), 1);
        ASSERT_EQ(rep.BeginTrans(5000), 1);
        stored[k] = rep.AddBlock(texts[k].data(), uint32_t(texts[k].size()), 0, BLOCK_KIND_CONTENT);
        ASSERT_EQ(rep.CommitTrans(), 1);
        ASSERT_EQ(rep.GetImageHeader(path, h), 1);
        EXPECT_EQ(h.version, k == 0 ? FORMAT_2_1 : FORMAT_2_2) << "deflate alone keeps 2.1";
        EXPECT_EQ(h.reserved, k == 0 ? 0u : IMAGE_FEATURE_ZSTD);
    }
    CTavRepository reader;
    ASSERT_EQ(reader.Attach(path, nullptr), 1);
    EXPECT_EQ(ReadChain(reader, stored[0]), texts[0]);
    EXPECT_EQ(ReadChain(reader, stored[1]), texts[1]);
    reader.Detach();

    // Images that need a newer reader are named and refused.
    const std::pair<uint32_t, uint32_t> cases[] = {{0x02030000, 0}, {FORMAT_2_2, 0x2}};  // version, feature mask
    for (const auto& [version, mask] : cases) {
        // The header block is stored plain: the version at 20, the feature mask at 32.
        PokeLE32(path, 20, version);
        PokeLE32(path, 32, mask);
        CTavRepository rep;
        EXPECT_EQ(rep.Attach(path, nullptr), 0);
        EXPECT_EQ(rep.LastAttachCode(), TAVEX_UNKNOWN_VERSION);
        EXPECT_NE(rep.LastAttachDetail().find("image 0 needs a newer version of Tavora"), std::string::npos)
            << rep.LastAttachDetail();
    }
}
