// The editor's plain rules: encoding words, condition bits, new-job defaults, recent files,
// the SETTINGS fields and the document's modified flag.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "core/EditorSettings.h"
#include "core/SettingsModel.h"
#include "core/TavoraDoc.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "tavengine/TavWords.h"

using namespace editor;

namespace {

class EditorCore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plat::SetEnv("TAVORA_HOME", m_dir.Path())); }
    void TearDown() override { plat::SetEnv("TAVORA_HOME", ""); }
    static plat::CRegistry Machine() {
        plat::CRegistry key;
        key.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Norvik\\Tavora", true);
        return key;
    }
    tavtest::CTempDir m_dir;
};

TEST(Encoding, WordsOfTheControls) {
    struct Case {
        EncodingChoice choice;
        uint32_t word;
    } cases[] = {
        {{true, true, 0}, 31},  {{false, true, 5}, 9}, {{true, false, 3}, 16},
        {{false, true, 0}, 15}, {{true, true, 1}, 17}, {{false, false, 0}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeEncoding(c.choice), c.word) << c.word;
        const EncodingChoice back = DecodeEncoding(c.word);
        EXPECT_EQ(back.encrypt, c.choice.encrypt) << c.word;
        EXPECT_EQ(back.compress, c.choice.compress) << c.word;
        if (c.choice.compress) EXPECT_EQ(back.level, c.choice.level) << c.word;
    }
    // Encryption reads as on only when bits 4 to 7 hold 1; levels above 9 read as "Default".
    EXPECT_FALSE(DecodeEncoding(0x3F).encrypt);
    EXPECT_EQ(DecodeEncoding(0x1C).level, 0);
    // zstd: read by deflate-only programs as "deflate, default level"; the level names map to
    // zstd levels and back, and a saved zstd job stays zstd.
    const uint32_t best = EncodeEncoding({true, true, 5, true});
    EXPECT_EQ(best, ZstdEncoding(19, true));
    EXPECT_EQ(best & TAV_ENC_LEVEL_MASK, TAV_ENC_DEFAULT_LEVEL);
    const EncodingChoice back = DecodeEncoding(best);
    EXPECT_TRUE(back.zstd && back.encrypt && back.compress);
    EXPECT_EQ(back.level, 5);
    EXPECT_EQ(EncodeEncoding({false, true, 0, true}), ZstdEncoding(-1, false));
    EXPECT_EQ(EncodeEncoding({false, false, 0, true}), 0u) << "no compression, no method";
}

TEST(Conditions, OkClearsTheOwnedBitsAndSetsThemFromTheBoxes) {
    const uint32_t word = TAV_CMD_BACKUP | TAV_BKTYPE_INCREMENTAL | 0x135 | 0x2;
    const BackupConditions read = ReadConditions(word);
    EXPECT_FALSE(read.ignoreNewFiles);
    EXPECT_FALSE(read.alwaysAddNewFiles);  // 0x30: only when the whole folder was selected
    EXPECT_TRUE(read.updateOnDate && read.updateOnSize && read.noArchiveCheck);
    BackupConditions boxes;
    boxes.ignoreNewFiles = true;
    boxes.alwaysAddNewFiles = true;  // disabled while new files are ignored
    boxes.updateOnDate = true;
    EXPECT_EQ(ApplyConditions(word, boxes), TAV_CMD_BACKUP | TAV_BKTYPE_INCREMENTAL | 0x2 | 0x20 | 0x4);
    boxes.ignoreNewFiles = false;
    EXPECT_EQ(ApplyConditions(0, boxes) & TAV_COND_NEWFILE_MASK, TAV_COND_NEWFILE_ALWAYS);
    EXPECT_TRUE(ReadConditions(0x20).ignoreNewFiles);
    EXPECT_TRUE(ReadConditions(0x10).alwaysAddNewFiles);
}

TEST_F(EditorCore, NewJobsCountImagesAndStartAgainAfter999) {
    CTavJobHelper first;
    ASSERT_TRUE(ApplyNewJobDefaults(first, "/home/u/Documents"));
    EXPECT_EQ(first.GetImageDesc("name"), "Image000");
    EXPECT_EQ(first.GetImageDesc("location"), "/home/u/Documents");
    EXPECT_EQ(first.GetImageDesc("splitsize"), "2.00 GB");
    EXPECT_EQ(first.GetImageEncoding(), 31u);
    plat::CRegistry key = Machine();
    std::string text;
    uint32_t number = 0;
    EXPECT_TRUE(key.ReadString("ImageLocation", text) && text == "/home/u/Documents");
    EXPECT_TRUE(key.ReadString("ImageSplitSize", text) && text == "2.00 GB");
    EXPECT_TRUE(key.ReadNumber("Encoding", number) && number == 31);
    EXPECT_TRUE(key.ReadNumber("Image", number) && number == 1);

    key.WriteNumber("Image", 999);
    key.WriteNumber("Encoding", 9);
    key.WriteString("ImageLocation", "/srv/images");
    CTavJobHelper last, wrapped;
    ApplyNewJobDefaults(last, "/ignored");
    ApplyNewJobDefaults(wrapped, "/ignored");
    EXPECT_EQ(last.GetImageDesc("name"), "Image999");
    EXPECT_EQ(last.GetImageEncoding(), 9u);
    EXPECT_EQ(last.GetImageDesc("location"), "/srv/images");
    EXPECT_EQ(wrapped.GetImageDesc("name"), "Image000");
}

TEST_F(EditorCore, RecentFilesKeepFourNewestFirstWithoutDuplicates) {
    CRecentFiles recent;
    for (const char* path : {"/a.tvj", "/b.tvj", "/c.tvj", "/d.tvj", "/e.tvj", "/c.tvj"}) recent.Add(path);
    const std::vector<std::string> expected = {"/c.tvj", "/e.tvj", "/d.tvj", "/b.tvj"};
    EXPECT_EQ(recent.Files(), expected);
    CRecentFiles again;
    again.Load();
    EXPECT_EQ(again.Files(), expected);
}

TEST_F(EditorCore, SettingsSaveAndOpenEqualAndEditsMarkModified) {
    CTavoraDoc doc;
    doc.NewJob("/home/u/Documents");
    EXPECT_FALSE(doc.IsModified());
    JobSettings s = ReadJobSettings(doc.Job());
    s.name = "Nightly";
    s.location = m_dir.Path();
    s.description = "two\nlines";
    s.splitSize = "700 MB";
    s.encoding = {false, true, 5};
    WriteJobSettings(s, doc.Job());
    EXPECT_TRUE(doc.IsModified());
    const std::string path = m_dir / "job.tvj";
    ASSERT_TRUE(doc.Save(path)) << doc.ErrorText();
    EXPECT_FALSE(doc.IsModified());

    CTavoraDoc reopened;
    ASSERT_TRUE(reopened.Open(path)) << reopened.ErrorText();
    const JobSettings back = ReadJobSettings(reopened.Job());
    EXPECT_EQ(back.name, "Nightly");
    EXPECT_EQ(back.location, m_dir.Path());
    EXPECT_EQ(back.description, "two\nlines");
    EXPECT_EQ(back.splitSize, "700 MB");
    EXPECT_EQ(reopened.Job().GetImageEncoding(), 9u);
}

}  // namespace
