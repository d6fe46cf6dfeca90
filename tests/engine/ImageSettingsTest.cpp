// Image settings: split-size texts and the encoding word as the repository sees them.
#include <gtest/gtest.h>

#include "tavengine/TavImageSettings.h"
#include "tavengine/TavWords.h"

namespace {

constexpr uint64_t KB = 1024, MB = 1024 * KB, GB = 1024 * MB;

TEST(SplitSize, ReadsTheTextsUsersPickAndType) {
    struct Case {
        const char* text;
        uint64_t bytes;
    } cases[] = {
        {"2.00 GB", 2 * GB},   {"2 GB", 2 * GB},      {"1 GB", GB},         {"700 MB", 700 * MB},
        {"650 MB", 650 * MB},  {"1.44 MB", 1509949},  {"1,44 MB", 1509949}, {"2GB", 2 * GB},
        {" 700mb ", 700 * MB}, {"512 KB", 512 * KB},  {"4096", 4096},       {"10 B", 10},
        {"3 GiB", 3 * GB},     {"1.5G", GB + GB / 2}, {"0 MB", 0},          {"100 Bytes", 100},
    };
    for (const Case& c : cases) {
        uint64_t bytes = 1;
        ASSERT_TRUE(ParseSplitSize(c.text, bytes)) << c.text;
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
    for (const char* bad : {"", "GB", "two GB", "2 TB", "2 GBs", "-1 GB", "1.2.3 MB", "2 G B"}) {
        uint64_t bytes = 0;
        EXPECT_FALSE(ParseSplitSize(bad, bytes)) << bad;
    }
}

TEST(SplitSize, TheImageLimitStaysWithinWhatImagesCanHoldAndSizesFormat) {
    EXPECT_EQ(SplitSizeToImageLimit("700 MB"), 700 * MB);
    // Offsets in images are 32-bit: nothing above 2 GiB.
    EXPECT_EQ(SplitSizeToImageLimit("2.00 GB"), TAV_SPLIT_MAX);
    EXPECT_EQ(SplitSizeToImageLimit("99999999999999 GB"), TAV_SPLIT_MAX);
    // Unreadable or zero: the default; tiny: the smallest sensible image.
    EXPECT_EQ(SplitSizeToImageLimit(""), TAV_SPLIT_MAX);
    EXPECT_EQ(SplitSizeToImageLimit("0 MB"), TAV_SPLIT_MAX);
    EXPECT_EQ(SplitSizeToImageLimit("1 KB"), TAV_SPLIT_MIN);
    // Written as the status page shows sizes.
    EXPECT_EQ(FormatSplitSize(2 * GB), "2.00 GB");
    EXPECT_EQ(FormatSplitSize(1509949), "1.44 MB");
    EXPECT_EQ(FormatSplitSize(1024), "1024.00 Bytes");
    EXPECT_EQ(FormatSplitSize(1536), "1.50 KB");
    EXPECT_EQ(FormatSplitSize(5000 * GB), "5000.00 GB");
    uint64_t back = 0;
    ASSERT_TRUE(ParseSplitSize(FormatSplitSize(650 * MB), back));
    EXPECT_EQ(back, 650 * MB);
}

TEST(EncodingWord, SelectsCompressionLevelAndEncryption) {
    struct Case {
        uint32_t word;
        uint32_t compression;
        int32_t level;
        uint32_t encryption;
    } cases[] = {
        {31, COMPRESS_DEFLATE, -1, ENCRYPT_BUILTIN},
        {15, COMPRESS_DEFLATE, -1, ENCRYPT_NONE},
        {16, COMPRESS_NONE, 0, ENCRYPT_BUILTIN},
        {0, COMPRESS_NONE, 0, ENCRYPT_NONE},
        {9, COMPRESS_DEFLATE, 9, ENCRYPT_NONE},
        {0x11, COMPRESS_DEFLATE, 1, ENCRYPT_BUILTIN},
        {0x15, COMPRESS_DEFLATE, 5, ENCRYPT_BUILTIN},
        {12, COMPRESS_DEFLATE, -1, ENCRYPT_NONE},
        // Only the nibble value 1 in bits 4-7 means encryption.
        {0x2F, COMPRESS_DEFLATE, -1, ENCRYPT_NONE},
        {0x30, COMPRESS_NONE, 0, ENCRYPT_NONE},
    };
    for (const Case& c : cases) {
        TavImageSecurity security{};
        ASSERT_EQ(FillImageSecurity(c.word, 700 * MB, security), 1);
        EXPECT_EQ(security.compression, c.compression) << c.word;
        EXPECT_EQ(security.level, c.level) << c.word;
        EXPECT_EQ(security.encryption, c.encryption) << c.word;
        EXPECT_EQ(security.maxImageSize, 700 * MB);
        EXPECT_EQ(security.hasPassword, 0u);
    }
    EXPECT_TRUE(EncodingEncrypts(TAV_DEFAULT_ENCODING) && EncodingCompresses(TAV_DEFAULT_ENCODING));
}

}  // namespace
