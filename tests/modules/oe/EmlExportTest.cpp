// Export to .eml: line ends, failed exports, replacing and refusing files, and the names
// export-all gives its files.
#include <gtest/gtest.h>

#include <set>

#include "core/DbxCaseFold.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageText.h"
#include "core/EmlExport.h"
#include "core/EmlFileNamer.h"
#include "modules/oe/DbxTestStore.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

TEST(EmlLineEndsTest, EveryLineEndsInOneCrLf) {
    EXPECT_EQ(EmlLineEnds("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(EmlLineEnds("\r\n\n\r\n"), "\r\n\r\n\r\n");
    EXPECT_EQ(EmlLineEnds("a\r\nb\nc"), "a\r\nb\r\nc");  // mixed
    // A CR without LF is kept as it stands; so is every other byte.
    EXPECT_EQ(EmlLineEnds("a\rb\r"), "a\rb\r");
    EXPECT_EQ(EmlLineEnds("a\r\r\nb"), "a\r\r\nb");
    EXPECT_EQ(EmlLineEnds(std::string("\0\xFF\n", 3)), std::string("\0\xFF\r\n", 4));
    // Converting twice changes nothing more.
    const std::string once = EmlLineEnds("x\ny\r\nz\rw\n");
    EXPECT_EQ(EmlLineEnds(once), once);
}

class EmlExportTest : public ::testing::Test {
protected:
    tavtest::CTempDir m_dir;
};

// (Exports that succeed: the viewer model's and tavctl's tests.)
TEST_F(EmlExportTest, AMessageWithoutATextOrADamagedRecordWritesNoFile) {
    dbxtest::Message none;
    none.text.reset();
    std::vector<uint32_t> offsets;
    const std::vector<uint8_t> bytes = dbxtest::BuildStore({none}, &offsets);
    DbxMemoryInput input(bytes);
    std::string error;
    EXPECT_FALSE(ExportDbxMessage(input, offsets[0], m_dir / "a.eml", EmlOverwrite::Refuse, error));
    EXPECT_EQ(error, "the message has no text");
    EXPECT_FALSE(
        ExportDbxMessage(input, offsets[0] + 4, m_dir / "a.eml", EmlOverwrite::Refuse, error));
    EXPECT_NE(error.find("Wrong object marker !"), std::string::npos);
    EXPECT_FALSE(plat::PathExists(m_dir / "a.eml"));
}

// An existing file is refused or replaced whole; a failed write leaves nothing behind.
TEST_F(EmlExportTest, AnExistingFileIsRefusedOrReplacedWholeAndAFailedWriteLeavesNothing) {
    const std::string path = m_dir / "m.eml";
    ASSERT_TRUE(tavtest::WriteFile(path, "old"));
    std::string error;
    EXPECT_FALSE(WriteEmlFile(path, "new\n", EmlOverwrite::Refuse, error));
    EXPECT_EQ(error, path + ": the file exists already");
    EXPECT_EQ(tavtest::ReadFile(path), "old");
    // A leftover temporary file of an earlier export does not get in the way.
    ASSERT_TRUE(tavtest::WriteFile(m_dir / ".m.eml.tav~0", "leftover"));
    ASSERT_TRUE(WriteEmlFile(path, "new\n", EmlOverwrite::Replace, error)) << error;
    EXPECT_EQ(tavtest::ReadFile(path), "new\r\n");

    // A folder that does not exist; a folder in the way of a replaced file (it stays).
    EXPECT_FALSE(WriteEmlFile(m_dir / "missing/m.eml", "x", EmlOverwrite::Refuse, error));
    EXPECT_EQ(error, m_dir / "missing/m.eml" + ": the file cannot be created");
    ASSERT_TRUE(plat::CreateDirectory(m_dir / "d.eml"));
    ASSERT_TRUE(tavtest::WriteFile(m_dir / "d.eml/inside", "x"));
    EXPECT_FALSE(WriteEmlFile(m_dir / "d.eml", "x", EmlOverwrite::Replace, error));
    EXPECT_EQ(error, m_dir / "d.eml" + ": the file cannot be replaced");
    EXPECT_TRUE(plat::IsDirectory(m_dir / "d.eml"));
    // No temporary file is left.
    std::vector<TavFindData> entries;
    ASSERT_TRUE(plat::ListDirectory(m_dir.Path(), entries));
    std::set<std::string> names;
    for (const TavFindData& e : entries) names.insert(e.name);
    EXPECT_EQ(names, (std::set<std::string>{".m.eml.tav~0", "d.eml", "m.eml"}));
}

TEST(EmlFileNamerTest, NamesNeverLeaveTheFolder) {
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("Hello world"), "Hello world");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("../../etc/passwd"), "_.._etc_passwd");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName(".."), "message");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName(" . . "), "message");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName(".hidden"), "hidden");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("a\\b/c"), "a_b_c");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("a\x1B[31mb\x7F"), "a_[31mb_");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("Re: what? <now> \"x\" | *"), "Re_ what_ _now_ _x_ _ _");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("a \t\r\n  b"), "a b");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("CON"), "_CON");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("lpt1.txt"), "_lpt1.txt");
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("Console"), "Console");
    // Windows-1252 subjects become UTF-8.
    EXPECT_EQ(CEmlFileNamer::SafeBaseName("\xC9t\xE9"), "\xC3\x89t\xC3\xA9");
}

TEST(EmlFileNamerTest, LongSubjectsAreCutOnACharacterBoundary) {
    std::string subject;
    for (int i = 0; i < 150; ++i) subject += "\xC3\xA9";  // 300 bytes of "é"
    const std::string name = CEmlFileNamer::SafeBaseName("x" + subject);
    EXPECT_LE(name.size(), EML_NAME_MAX_BYTES);
    EXPECT_EQ(name.size(), 199u);  // "x" and 99 whole characters
    EXPECT_EQ(name.substr(name.size() - 2), "\xC3\xA9");
    // A cut that ends in a dot or space is trimmed.
    const std::string dots = CEmlFileNamer::SafeBaseName(std::string(199, 'a') + " .b");
    EXPECT_EQ(dots, std::string(199, 'a'));
}

TEST(EmlFileNamerTest, NamesAreUniqueWithoutRegardToCaseAndSkipExistingFiles) {
    // The folder holds "Report.eml" and "report (3).eml"; like export-all, the test looks
    // them up without regard to case.
    const std::set<std::string> existing = {"report.eml", "report (3).eml"};
    CEmlFileNamer namer(
        [&](const std::string& name) { return existing.count(DbxFoldCase(name)) != 0; });
    EXPECT_EQ(namer.Next("Report"), "Report (2).eml");
    EXPECT_EQ(namer.Next("report"), "report (4).eml");
    EXPECT_EQ(namer.Next("REPORT"), "REPORT (5).eml");
    EXPECT_EQ(namer.Next("Other"), "Other.eml");
    EXPECT_EQ(namer.Next(""), "message.eml");
    EXPECT_EQ(namer.Next(".."), "message (2).eml");
    EXPECT_EQ(namer.Next("\xC3\x89T\xC3\x89"), "\xC3\x89T\xC3\x89.eml");
    EXPECT_EQ(namer.Next("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9 (2).eml");  // ÉTÉ and été collide
}

}  // namespace
