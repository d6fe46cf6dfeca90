// Tests of the conversion of the 8-bit texts of ".dbx" files to UTF-8.
#include <gtest/gtest.h>

#include "platform/Utf8.h"

namespace {

bool Valid(const std::string& s) { return plat::IsValidUtf8(s); }
std::string Convert(const std::string& s) { return plat::Utf8OrCp1252ToUtf8(s); }

TEST(DbxTextConvTest, RecognisesValidUtf8) {
    EXPECT_TRUE(Valid(""));
    EXPECT_TRUE(Valid("plain ASCII"));
    EXPECT_TRUE(Valid("\xC3\xA9"));          // é
    EXPECT_TRUE(Valid("\xE2\x82\xAC"));      // €
    EXPECT_TRUE(Valid("\xF0\x9F\x98\x80"));  // U+1F600
    EXPECT_TRUE(Valid("\xF4\x8F\xBF\xBF"));  // U+10FFFF
    EXPECT_FALSE(Valid("\xC3"));             // cut short
    EXPECT_FALSE(Valid("\xE2\x82"));
    EXPECT_FALSE(Valid("\xC0\xAF"));          // overlong
    EXPECT_FALSE(Valid("\xE0\x80\xAF"));      // overlong
    EXPECT_FALSE(Valid("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(Valid("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(Valid("\x80"));              // lone continuation
    EXPECT_FALSE(Valid("caf\xE9"));           // Windows-1252 é
}

TEST(DbxTextConvTest, ConvertsWindows1252AndKeepsUtf8) {
    EXPECT_EQ(Convert("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(Convert("\x80\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF");
    EXPECT_EQ(Convert("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(Convert("caf\xC3\xA9"), "caf\xC3\xA9");
    // Every byte value converts to valid UTF-8.
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(char(b));
    const std::string converted = Convert(all);
    EXPECT_TRUE(Valid(converted));
}

}  // namespace
