// Images written without compression: every block but the two fixed ones is a gzip member
// of stored deflate blocks, which zlib reads back and whose CRC-32 catches a changed byte,
// and UpdateBlock rewrites bytes anywhere inside such a member.
#include <gtest/gtest.h>

#include "DeflateCodec.h"
#include "RepHelpers.h"
#include "support/RepBuilder.h"
#include "platform/File.h"
#include "tavrep/TavImage.h"

using namespace tavtest;

namespace {

// The stored bytes of the block at `offset` as they lie in the file.
std::string StoredBytes(const std::string& path, uint32_t offset) {
    const std::string file = ReadFile(path);
    return file.substr(offset + BLOCK_HEADER_SIZE, LE32(file, offset + 4));
}

struct Case {
    const char* name;
    uint32_t encryption;
};

class StoredMemberTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        path = dir / "job.tvr";
        sec = Security(nullptr, GetParam().encryption, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE);
        ASSERT_EQ(CTavRepository::CreateRepository(path, &sec, 0, {0, 0}), 1);
    }
    bool Plain() const { return GetParam().encryption == ENCRYPT_NONE; }

    CTempDir dir;
    std::string path;
    TavImageSecurity sec;
};

}  // namespace

TEST_P(StoredMemberTest, BlocksCarryACrcAndAFlippedByteIsDamage) {
    CTavImage image(path, sec);
    const std::string file = ReadFile(path);
    // The fixed blocks stay as they were: the header plain, the security record only encrypted.
    EXPECT_EQ(LE32(file, 8), 0u);
    EXPECT_EQ(LE32(file, SECURITY_BLOCK_OFFSET + 8), ENCRYPT_BUILTIN);

    const std::string chunk = RandomBytes(65536, 11);
    const uint32_t off = image.WriteBlock(chunk.data(), uint32_t(chunk.size()), 0, BLOCK_KIND_CONTENT, 0);
    ASSERT_NE(off, 0u);
    const std::string after = ReadFile(path);
    EXPECT_EQ(LE32(after, off + 8) & 0x00F00000, COMPRESS_DEFLATE);
    const size_t member = tavrep::StoredMemberSize(chunk.size());
    EXPECT_EQ(LE32(after, off + 4), Plain() ? member : (member + 15) / 16 * 16);
    if (Plain()) {
        EXPECT_EQ(ZlibGunzip(StoredBytes(path, off)), chunk);
    }
    const TavBlockData back = image.ReadBlock(off, TavBlockUse::Content);
    EXPECT_EQ(std::string(back.data.begin(), back.data.end()), chunk);

    // One content byte changed: the block no longer reads, in either form.
    image.ReleaseReadHandle();
    FlipByte(path, off + BLOCK_HEADER_SIZE + 30000);
    EXPECT_EQ(ThrownCode([&] { image.ReadBlock(off, TavBlockUse::Content); }), TAVEX_READ_BLOCK);
}

TEST_P(StoredMemberTest, UpdateBlockRewritesAnyRangeOfAStoredMember) {
    CTavImage image(path, sec);
    // Two stored deflate blocks (65,535 bytes and the rest) behind a plain prefix of 7.
    std::string payload = TextBytes(70000);
    const uint32_t off = image.WriteBlock(payload.data(), uint32_t(payload.size()), 7, BLOCK_KIND_NODES, 0);
    ASSERT_NE(off, 0u);
    const uint32_t stored = LE32(ReadFile(path), off + 4);
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
}

INSTANTIATE_TEST_SUITE_P(Encryptions, StoredMemberTest,
                         ::testing::Values(Case{"Plain", ENCRYPT_NONE}, Case{"Aes", ENCRYPT_BUILTIN}),
                         [](const auto& info) { return std::string(info.param.name); });
