// Tests of DbxMessageText over text chains built by CDbxWriter.
#include <gtest/gtest.h>

#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"
#include "modules/oe/DbxTestStore.h"

namespace {

const auto TextError = [](const auto&... a) { return dbxtest::ReadError<DbxMessageText>(a...); };

std::string SampleText(size_t size) {
    std::string s;
    for (size_t i = 0; s.size() < size; ++i) s += "Line " + std::to_string(i) + "\r\n";
    s.resize(size);
    return s;
}

TEST(DbxMessageTextTest, JoinsBlocksOfEveryShape) {
    for (auto [size, blockSize] : {std::pair{1u, 512u},
                                   {512u, 512u},
                                   {513u, 512u},
                                   {5000u, 512u},
                                   {70000u, 4096u},
                                   {100u, 1u}}) {
        CDbxWriter w;
        const std::string s = SampleText(size);
        const uint32_t first = w.AddMessageText(s, blockSize);
        DbxMemoryInput input(w.Bytes());
        DbxMessageText text(input, first);
        EXPECT_EQ(text.Length(), size);
        EXPECT_EQ(text.Str(), s);
        EXPECT_EQ(text.Text()[text.Length()], '\0');
    }
    // Binary bytes and NULs are kept.
    CDbxWriter w;
    const std::string binary("a\0b\xFF\r\n", 6);
    const uint32_t first = w.AddMessageText(binary, 2);
    DbxMemoryInput input(w.Bytes());
    EXPECT_EQ(DbxMessageText(input, first).Str(), binary);

    // Stripping carriage returns keeps everything else.
    const uint32_t crlf = w.AddMessageText("Subject: x\r\n\r\nbody\rline\r\n", 5);
    DbxMemoryInput input2(w.Bytes());
    DbxMessageText text(input2, crlf);
    text.StripCarriageReturns();
    EXPECT_EQ(text.Str(), "Subject: x\n\nbodyline\n");
    EXPECT_EQ(text.Length(), 21u);
    EXPECT_EQ(text.Text()[21], '\0');
}

TEST(DbxMessageTextTest, NoTextFound) {
    CDbxWriter w;
    // A message without index 0x04: Integer gives 0, and offset 0 has no text.
    const uint32_t rec = w.AddRecord({DbxField::Text(DBX_MESSAGE_SUBJECT, "s")});
    const uint32_t empty = w.AddMessageText("");
    DbxMemoryInput input(w.Bytes());
    DbxMessageRecord record(input, rec);
    EXPECT_EQ(TextError(w.Bytes(), record.Integer(DBX_MESSAGE_TEXT)), "No text found !");
    EXPECT_EQ(TextError(w.Bytes(), empty), "No text found !");
    // Several blocks that are all empty.
    std::vector<uint32_t> blocks;
    const uint32_t first = w.AddMessageText("abc", 1, &blocks);
    for (uint32_t b : blocks) w.SetU32(b + 8, 0);
    EXPECT_EQ(TextError(w.Bytes(), first), "No text found !");
}

TEST(DbxMessageTextTest, DamagedChainsFailInTheFirstPass) {
    CDbxWriter w;
    std::vector<uint32_t> blocks;
    const uint32_t first = w.AddMessageText(SampleText(2000), 512, &blocks);
    ASSERT_EQ(blocks.size(), 4u);
    const std::string overlap = "Message text blocks overlap !",
                      read = "Error reading from input stream !";
    const struct {
        const char* why;
        uint32_t at, value;  // the word written over the chain
        std::string error;
        uint64_t where;  // the offset the error names (0: not checked)
    } cases[] = {
        {"the second block's marker", blocks[1], 0x1234, "Wrong object marker !", blocks[1]},
        {"a chain that loops back to its first block", blocks[3] + 12, first, overlap, first},
        {"a block whose next is itself", blocks[3] + 12, blocks[3], overlap, 0},
        {"a block whose length reaches into the next block", blocks[0] + 8, 600, overlap, 0},
        {"a next block past the end of the file", blocks[1] + 12, w.Size() - 4, read, 0},
        // A length beyond the file ends in a read error, not an allocation.
        {"the last block claims almost 4 GiB", blocks.back() + 8, 0xF0000000, read, 0},
    };
    for (const auto& c : cases) {
        CDbxWriter d = w;
        d.SetU32(c.at, c.value);
        uint64_t at = 0;
        EXPECT_EQ(TextError(d.Bytes(), first, &at), c.error) << c.why;
        if (c.where) EXPECT_EQ(at, c.where) << c.why;
    }
    std::vector<uint8_t> cut = w.Bytes();
    cut.pop_back();
    EXPECT_EQ(TextError(cut, first), read);
}

}  // namespace
