// The engines' shared helpers: filters, paths, change tests, new-file modes, checksums.
#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/RepBuilder.h"
#include "support/TempDir.h"
#include "tavengine/ExcludedPaths.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavWords.h"
#include "tavrep/TavTypes.h"

namespace {

using tavtest::CTempDir;

// An engine that does nothing but lets the tests reach the checksum loop.
class CTestEngine : public CTavEngine {
public:
    int32_t Backup(const std::string&, CTavRepository*, CTavRepBaselineDetails*) override {
        return 1;
    }
    int32_t Restore(const std::string&, CTavRepository*) override { return 1; }
    void CancelOperation() override { m_stopAfter = 0; }
    int32_t ContinueChecksum() override { return m_stopAfter < 0 || m_asked++ < m_stopAfter; }
    int m_stopAfter = -1;
    int m_asked = 0;
};

// Restores the process's current directory after a test that changes it.
class CCurrentDirectory {
public:
    CCurrentDirectory() : m_saved(plat::CurrentDirectory()) {}
    ~CCurrentDirectory() { CTavEngine::SetDirectory("", m_saved); }

private:
    std::string m_saved;
};

TavNodeRec Node(uint64_t size, uint64_t written, uint32_t attributes) {
    TavNodeRec node{};
    node.sizeHigh = uint32_t(size >> 32);
    node.sizeLow = uint32_t(size);
    node.written = TavFileTime::FromTicks(written);
    node.attributes = attributes;
    return node;
}

TavFindData Found(uint64_t size, uint64_t written, uint32_t attributes) {
    TavFindData data;
    data.SetSize(size);
    data.written = TavFileTime::FromTicks(written);
    data.attributes = attributes;
    return data;
}

TEST(FileMatchFilters, WildcardsAndLetterCase) {
    EXPECT_TRUE(CTavEngine::FileMatchFilters("Report.DOC", "*.doc;*.jpg;*.mp3"));
    EXPECT_FALSE(CTavEngine::FileMatchFilters("report.docx", "*.doc;*.jpg"));
    EXPECT_TRUE(CTavEngine::FileMatchFilters("report.docx", "*.doc?"));
    EXPECT_FALSE(CTavEngine::FileMatchFilters("report.doc", "*.doc?"));
    EXPECT_TRUE(CTavEngine::FileMatchFilters("a.b.c", "*.c"));
    EXPECT_TRUE(CTavEngine::FileMatchFilters("README", "*.*")) << "*.* matches every name";
    EXPECT_FALSE(CTavEngine::FileMatchFilters("", "?"));
    EXPECT_TRUE(CTavEngine::FileMatchFilters("abc", "a*b*c*"));
    EXPECT_FALSE(CTavEngine::FileMatchFilters("abd", "a*b*c"));
    EXPECT_TRUE(CTavEngine::FileMatchFilters("x.jpg", " *.png ; *.JPG "));
    EXPECT_FALSE(CTavEngine::FileMatchFilters("x.jpg", ""));
    // "?" is one character of any script; case folding reaches beyond ASCII.
    EXPECT_TRUE(CTavEngine::FileMatchFilters("caf\xC3\xA9.txt", "caf?.txt"));
    EXPECT_TRUE(CTavEngine::FileMatchFilters("\xC3\x89T\xC3\x89.TXT", "\xC3\xA9t\xC3\xA9.txt"));
    EXPECT_TRUE(CTavEngine::FileMatchFilters("\xD0\x9F\xD0\xA0.doc", "\xD0\xBF\xD1\x80.*"));
    // Bytes that are not UTF-8 match only themselves.
    EXPECT_TRUE(CTavEngine::FileMatchFilters("bad\xFF.txt", "bad?.txt"));
    EXPECT_FALSE(CTavEngine::FileMatchFilters("bad\xFF.txt", "bad\xC3\xBF.txt"));
    // Many stars stay fast.
    EXPECT_FALSE(CTavEngine::FileMatchFilters(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(EnginePaths, NormalizePathSplitsFoldersAndFilesAndSetDirectoryNeverLeavesTheBase) {
    CTempDir dir;
    ASSERT_TRUE(plat::CreateDirectory(dir / "data"));
    ASSERT_TRUE(tavtest::WriteFile(dir / "data/a.doc", "x"));
    // A path that does not exist (yet) is a file unless it ends with '/'; letter case is kept.
    const struct {
        std::string path, folder, pattern;
    } rows[] = {{dir / "data", dir / "data/", "*.*"},
                {dir / "data/a.doc", dir / "data/", "a.doc"},
                {dir / "data/gone", dir / "data/", "gone"},
                {"//x///./y.txt", "/x/", "y.txt"},
                {"/", "/", "*.*"},
                {"/Data/X", "/Data/", "X"}};
    std::string folder, pattern;
    for (const auto& row : rows) {
        ASSERT_TRUE(CTavEngine::NormalizePath(row.path, folder, pattern)) << row.path;
        EXPECT_EQ(folder + "|" + pattern, row.folder + "|" + row.pattern);
    }

    folder = pattern = "unchanged";
    for (const std::string& bad :
         {std::string(), std::string("data/x"), std::string(":root:"), std::string("/a/../etc"),
          std::string("/a/.."), std::string("/a\0b", 4), "/" + std::string(5000, 'x')})
        EXPECT_FALSE(CTavEngine::NormalizePath(bad, folder, pattern)) << bad;
    EXPECT_EQ(folder, "unchanged");

    // SetDirectory enters and creates the target folder, but never leaves the base.
    CCurrentDirectory keep;
    ASSERT_TRUE(CTavEngine::SetDirectory("", dir / "a/b"));
    EXPECT_EQ(plat::CurrentDirectory(), dir / "a/b");
    // Below a base, an absolute item path keeps its folders.
    ASSERT_TRUE(CTavEngine::SetDirectory(dir / "restore", "/data/Sub"));
    EXPECT_EQ(plat::CurrentDirectory(), dir / "restore/data/Sub");
    ASSERT_TRUE(CTavEngine::SetDirectory(dir.Path(), "rel/x"));
    EXPECT_EQ(plat::CurrentDirectory(), dir / "rel/x");
    // Relative to the current directory without a base.
    ASSERT_TRUE(CTavEngine::SetDirectory("", "deeper"));
    EXPECT_EQ(plat::CurrentDirectory(), dir / "rel/x/deeper");
    // The walks go back up with EnterDirectory, which makes nothing.
    ASSERT_TRUE(CTavEngine::EnterDirectory(".."));
    EXPECT_EQ(plat::CurrentDirectory(), dir / "rel/x");
    EXPECT_FALSE(CTavEngine::EnterDirectory("missing"));
    EXPECT_FALSE(plat::PathExists(dir / "rel/x/missing"));

    // Refused: what could leave the base or cannot be made; the directory stays.
    const std::string before = plat::CurrentDirectory();
    EXPECT_FALSE(CTavEngine::SetDirectory(dir / "base", "/../../etc"));
    EXPECT_FALSE(CTavEngine::SetDirectory(dir / "base", "a/../../b"));
    EXPECT_FALSE(plat::PathExists(dir / "base"));
    EXPECT_FALSE(CTavEngine::SetDirectory("", ""));
    ASSERT_TRUE(tavtest::WriteFile(dir / "file", "x"));
    EXPECT_FALSE(CTavEngine::SetDirectory("", dir / "file"));
    EXPECT_FALSE(CTavEngine::SetDirectory(dir / "file", "x"));
    EXPECT_EQ(plat::CurrentDirectory(), before);
}

// Whether an item is due: in a backup, changed since it was stored; in a restore, worth
// overwriting on disk.
TEST(CheckUpToDate, FollowsTheConditionsOfTheCommandWordAndTheNewFileMode) {
    const uint32_t inc = SetTavCmd(SetBkType(0, TAV_BKTYPE_INCREMENTAL), TAV_CMD_BACKUP);
    const uint32_t full = SetTavCmd(SetBkType(0x0135, TAV_BKTYPE_FULL), TAV_CMD_BACKUP);
    const uint32_t restore = SetTavCmd(0, TAV_CMD_RESTORE);
    const uint32_t A = TAV_ATTR_ARCHIVE, NO_ARCHIVE = TAV_COND_NO_ARCHIVE;
    const TavNodeRec node = Node(100, 5000, A);
    const struct {
        const char* why;
        TavNodeRec node;
        TavFindData found;
        uint32_t word;
        bool changed;
    } rows[] = {
        {"same size, time and archive bit", node, Found(100, 5000, A), inc | 0x5, false},
        {"bigger, size compared", node, Found(101, 5000, A), inc | TAV_COND_SIZE, true},
        {"bigger, only the date compared", node, Found(101, 5000, A), inc | TAV_COND_DATE | NO_ARCHIVE, false},
        {"newer, date compared", node, Found(100, 6000, A), inc | TAV_COND_DATE, true},
        {"older, date compared", node, Found(100, 4000, A), inc | TAV_COND_DATE, true},
        {"newer, only the size compared", node, Found(100, 6000, A), inc | TAV_COND_SIZE | NO_ARCHIVE, false},
        {"archive bit cleared", node, Found(100, 5000, 0), inc, true},
        {"archive bit not counted (0x0100)", node, Found(100, 5000, 0), inc | NO_ARCHIVE, false},
        {"became a link", node, Found(100, 5000, A | TAV_ATTR_REPARSE_POINT), inc | NO_ARCHIVE, true},
        {"became a folder", node, Found(100, 5000, A | TAV_ATTR_DIRECTORY), inc | NO_ARCHIVE, true},
        {"sizes above 4 GiB compare in full", Node(100 + (1ull << 32), 5000, A), Found(100, 5000, A),
         inc | TAV_COND_SIZE, true},
        {"a full run: a file", node, Found(100, 5000, A), full, true},
        {"a full run: a folder", Node(0, 1, TAV_ATTR_DIRECTORY), Found(0, 1, TAV_ATTR_DIRECTORY), full, true},
        {"restore: the same file stays", node, Found(100, 5000, 0), restore | 0x5, false},
        {"restore: another size", node, Found(99, 5000, 0), restore | TAV_RS_OVERWRITE_SIZE, true},
        {"restore: an older file", node, Found(100, 4000, 0), restore | TAV_RS_OVERWRITE_OLDER, true},
        {"restore: a newer file stays", node, Found(100, 6000, 0), restore | TAV_RS_OVERWRITE_OLDER, false},
        {"restore: no condition", node, Found(1, 1, 0), restore, false},
        {"restore: the full-backup bits mean nothing", node, Found(100, 5000, 0), restore | TAV_BKTYPE_FULL, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CTavEngine::CheckUpToDate(row.node, row.found, row.word), row.changed) << row.why;
    // A new file: as the new-file mode says.
    EXPECT_TRUE(CTavEngine::CheckShouldBeAdded("/d/x", 0, TAV_COND_NEWFILE_ALWAYS));
    EXPECT_FALSE(CTavEngine::CheckShouldBeAdded("/d/x", 1, TAV_COND_NEWFILE_IGNORE));
    EXPECT_FALSE(CTavEngine::CheckShouldBeAdded("/d/x", 0, TAV_COND_NEWFILE_ALLSELECTED));
    EXPECT_TRUE(CTavEngine::CheckShouldBeAdded("/d/x", 1, 0));
    EXPECT_FALSE(CTavEngine::CheckShouldBeAdded("/d/x", 0, 0));
}

TEST(CheckSum, ComparesTheFingerprintOfCompleteBlocks) {
    CTempDir dir;
    std::string content;
    for (int i = 0; i < 200000; ++i) content += char('a' + i % 23);
    content += "tail";  // not a whole 64-byte block: outside the fingerprint
    ASSERT_TRUE(tavtest::WriteFile(dir / "f", content));
    std::array<uint32_t, 4> fingerprint = tavtest::FingerprintOf(content);

    CTestEngine engine;
    EXPECT_TRUE(engine.CheckSum(dir / "f", 0, fingerprint.data()));
    EXPECT_TRUE(engine.CheckSum(dir / "f", 1000, fingerprint.data()))
        << "any chunk size gives the same";
    fingerprint[2] ^= 1;
    EXPECT_FALSE(engine.CheckSum(dir / "f", 0, fingerprint.data()));
    fingerprint[2] ^= 1;
    EXPECT_FALSE(engine.CheckSum(dir / "missing", 0, fingerprint.data()));
    engine.m_stopAfter = 1;
    EXPECT_FALSE(engine.CheckSum(dir / "f", 1024, fingerprint.data())) << "a stop ends the check";

    ASSERT_TRUE(tavtest::WriteFile(dir / "empty", ""));
    CTestEngine fresh;
    EXPECT_TRUE(fresh.CheckSum(dir / "empty", 0, tavtest::FingerprintOf("").data()));
}

TEST(ExcludedPaths, SystemFoldersEachEndedBySeparatorAndUserLists) {
    const std::string list = GetDefaultExcludedPaths();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.back(), ';');
    for (const char* path : {"/proc;", "/sys;", "/dev;", "/run;", "/tmp;"})
        EXPECT_NE(list.find(path), std::string::npos) << path;
    EXPECT_EQ(list.find(";;"), std::string::npos);
    EXPECT_EQ(list.find("/;"), std::string::npos) << "never the whole disk";

    const uint32_t n = GetDefaultExcludedPaths(nullptr, 0);
    EXPECT_EQ(n, list.size());
    std::string buffer(n + 16, 'x');
    EXPECT_EQ(GetDefaultExcludedPaths(buffer.data(), n + 15), n);
    char small[6];
    EXPECT_EQ(GetDefaultExcludedPaths(small, sizeof(small)), 5u);
    EXPECT_STREQ(small, list.substr(0, 5).c_str());

    // A user's lists split with the last path kept and join with separators.
    using List = std::vector<std::string>;
    EXPECT_EQ(SplitExcludedPaths("/a;/b c;"), (List{"/a", "/b c"}));
    EXPECT_EQ(SplitExcludedPaths(";;/a;;"), List{"/a"});
    EXPECT_TRUE(SplitExcludedPaths("").empty());
    EXPECT_EQ(JoinExcludedPaths({"/a", "/b"}), "/a;/b;");
    EXPECT_TRUE(IsStorableExcludedPath("/home/u/a b"));
    EXPECT_FALSE(IsStorableExcludedPath("/home/u/a;b"));
    EXPECT_FALSE(IsStorableExcludedPath(""));
}

}  // namespace
