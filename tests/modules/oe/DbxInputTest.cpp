// Tests of the DBX inputs over memory and files, and of ReadAppend's bounded growth.
#include <gtest/gtest.h>

#include "core/DbxFileInput.h"
#include "core/DbxMemoryInput.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"

namespace {

class DbxInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = plat::MakeTempFile("tavtest~dbx");
        ASSERT_FALSE(m_path.empty());
        auto file = plat::CFile::Open(m_path, plat::FileAccess::ReadWrite,
                                      plat::FileDisposition::CreateAlways);
        ASSERT_TRUE(file);
        for (int i = 0; i < 100; ++i) m_content.push_back(uint8_t(i * 7));
        ASSERT_TRUE(file->Write(m_content.data(), m_content.size()));
    }
    void TearDown() override {
        if (!m_path.empty()) plat::RemoveFile(m_path);
    }
    // The same reads against any input over m_content.
    void CheckReads(DbxInput& input) {
        uint8_t buffer[64];
        EXPECT_TRUE(input.Seek(10));
        ASSERT_EQ(input.Read(buffer, 5), 5u);
        EXPECT_EQ(buffer[0], m_content[10]);
        EXPECT_EQ(buffer[4], m_content[14]);
        EXPECT_FALSE(input.AtEnd());
        input.Seek(90);
        EXPECT_EQ(input.Read(buffer, 64), 10u);  // short at the end
        EXPECT_EQ(buffer[9], m_content[99]);
        EXPECT_TRUE(input.AtEnd());
        input.Seek(0);
        EXPECT_FALSE(input.AtEnd());
        input.Seek(1000);  // past the end: nothing, no failure
        EXPECT_EQ(input.Read(buffer, 1), 0u);
        EXPECT_TRUE(input.AtEnd());

        std::vector<uint8_t> out{0xEE};
        input.Seek(20);
        EXPECT_TRUE(input.ReadAppend(out, 30));
        ASSERT_EQ(out.size(), 31u);
        EXPECT_EQ(out[0], 0xEE);
        EXPECT_EQ(out[30], m_content[49]);
        // A count of 4 GiB appends what there is and fails, without a 4 GiB buffer.
        std::string text;
        input.Seek(95);
        EXPECT_FALSE(input.ReadAppend(text, 0xFFFFFFFFull));
        EXPECT_EQ(text.size(), 5u);
        EXPECT_LT(text.capacity(), 4u << 20);
        EXPECT_TRUE(input.ReadAppend(text, 0));
    }

    std::string m_path;
    std::vector<uint8_t> m_content;
};

TEST_F(DbxInputTest, MemoryAndFileInputsReadAlike) {
    DbxMemoryInput memory(m_content);
    CheckReads(memory);
    DbxMemoryInput empty(nullptr, 0);
    uint8_t b[4];
    EXPECT_EQ(empty.Read(b, 1), 0u);

    DbxFileInput file(m_path);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.OpenError(), 0u);
    CheckReads(file);

    // A missing file delivers nothing.
    DbxFileInput missing(m_path + ".missing");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.OpenError(), plat::ERR_FILE_NOT_FOUND);
    missing.Seek(0);
    EXPECT_EQ(missing.Read(b, 4), 0u);
    EXPECT_TRUE(missing.AtEnd());
}

}  // namespace
