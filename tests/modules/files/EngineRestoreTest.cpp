// The Files and Folders restore: requests, overwrite rules, verification, exclusions, single
// items, cancel, and the exact texts of the run log.
#include <gtest/gtest.h>

#include "RestoreTestRun.h"
#include "core/FilesTexts.h"
#include "tavrep/TavImage.h"
#include "tavrep/TavSecurity.h"

namespace {

using namespace filestest;

class FilesRestore : public CFilesJobTest {
protected:
    // data/{a.txt, b.bin (3 chunks), sub/{c.txt, deep/d.txt}, other/e.txt}, one baseline.
    void BackUpSampleTree() {
        Write("a.txt", "alpha");
        Write("b.bin", std::string(150000, 'b'));
        Write("sub/c.txt", "gamma");
        Write("sub/deep/d.txt", "delta");
        Write("other/e.txt", "epsilon");
        AddSource(Data());
        ASSERT_TRUE(Run(true).committed);
    }

    std::string Target(const std::string& relative) const { return m_to + Data(relative); }
    std::string Read(const std::string& relative) const { return tavtest::ReadFile(Target(relative)); }

    // Puts `content` at the restore target of `relative`, written `secondsFromStored` after
    // the stored file's written time.
    void Existing(const std::string& relative, const std::string& content, int64_t secondsFromStored) {
        TavFindData stored;
        ASSERT_TRUE(plat::GetFindData(Data(relative), stored));
        const std::string path = Target(relative);
        plat::CreateDirectories(plat::DirName(path));
        ASSERT_TRUE(tavtest::WriteFile(path, content));
        const TavFileTime t = TavFileTime::FromTicks(
            uint64_t(int64_t(stored.written.Ticks()) + secondsFromStored * 10000000));
        ASSERT_TRUE(plat::SetFileTimes(path, t, t));
    }

    // The id of a stored item in the latest baseline; TAV_NONE when there is none.
    uint32_t StoredId(const std::string& path) const {
        Tree stored;
        Stored(stored);
        return stored.count(path) ? stored[path].id : TAV_NONE;
    }

    RestoreResult Restore(uint32_t command, const std::vector<uint32_t>& excluded = {},
                          const std::vector<uint32_t>& nodes = {}, int cancelAfter = 0) {
        return RunRestore(ImagePath(), Request(1, command, m_to, excluded, nodes), cancelAfter);
    }

    std::string m_to = m_dir / "to";
};

TEST_F(FilesRestore, WholeRestoresLogExactTextsCountsAndVerboseOutcomesUnderTheOverwriteRules) {
    BackUpSampleTree();
    const RestoreResult run = Restore(RS_BASE);
    ASSERT_EQ(run.result, 1);
    EXPECT_EQ(run.starts, 1);
    EXPECT_EQ(run.finishes, 1);
    EXPECT_EQ(Read("sub/deep/d.txt"), "delta");

    const std::string start = "Image Path: " + ImagePath() + "\r\nStart Restoring Files and Folders: ";
    ASSERT_EQ(run.log.compare(0, start.size(), start), 0) << run.log;
    // asctime's text (24 characters and its line feed), then the line's end.
    EXPECT_EQ(run.log.substr(start.size() + 24, 3), "\n\r\n");
    const std::string finish = "\r\nFinish Restoring Files and Folders: ";
    const size_t at = run.log.find(finish);
    ASSERT_NE(at, std::string::npos) << run.log;
    EXPECT_EQ(run.log.substr(at + finish.size() + 24),
              "\n\r\n5 Files Succeed\r\n0 Files Overwritten\r\n0 Files are already up to date\r\n"
              "0 Items Error\r\n");

    // Progress: each file under the restore title; a small file 0 before, 100 after its only
    // chunk; three chunks of 150000 bytes by the design's rounding, ending at 100.
    std::map<std::string, std::vector<uint32_t>> byFile;
    for (const Progress& p : run.progress) {
        EXPECT_EQ(p.title, "Restore File");
        byFile[p.item].push_back(p.percent);
    }
    ASSERT_EQ(byFile.size(), 5u);
    EXPECT_EQ(byFile[Target("a.txt")], (std::vector<uint32_t>{0, 100}));
    EXPECT_EQ(byFile[Target("b.bin")], (std::vector<uint32_t>{0, 44, 87, 100}));

    // The overwrite rules decide over files that are there.
    struct Case {
        const char* name;
        uint32_t bits;
        std::string content;
        int64_t age;  // seconds after the stored time
        bool replaced;
    };
    const std::vector<Case> cases = {
        {"never, older and other size", 0, "old", -3600, false},
        {"older: the existing file is newer", TAV_RS_OVERWRITE_OLDER, "newer", 3600, false},
        {"older: the existing file is older", TAV_RS_OVERWRITE_OLDER, "older", -3600, true},
        {"size: same size and time", TAV_RS_OVERWRITE_SIZE, "ALPHA", 0, false},
        {"size: other size, newer", TAV_RS_OVERWRITE_SIZE, "alpha, longer", 3600, true},
        {"always: same file", TAV_RS_OVERWRITE_ALWAYS, "alpha", 0, true},
        {"always: newer", TAV_RS_OVERWRITE_ALWAYS, "newest", 7200, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tavtest::RemoveTree(m_to);
        Existing("a.txt", c.content, c.age);
        const RestoreResult rerun = Restore(0x20000000 | TAV_RS_SUBFOLDERS | c.bits);
        ASSERT_EQ(rerun.result, 1) << rerun.log;
        EXPECT_EQ(Read("a.txt"), c.replaced ? "alpha" : c.content);
        EXPECT_EQ(rerun.counts.overwritten, c.replaced ? 1u : 0u);
        EXPECT_EQ(rerun.counts.upToDate, c.replaced ? 0u : 1u);
        EXPECT_EQ(rerun.counts.succeeded, c.replaced ? 5u : 4u);
    }

    // The verbose log names every file and its outcome.
    tavtest::RemoveTree(m_to);
    Existing("a.txt", "newer", 3600);
    Existing("other/e.txt", "older", -3600);
    const RestoreResult verbose = Restore(RS_BASE | TAV_RS_OVERWRITE_OLDER | TAV_RS_VERBOSE);
    // The newer file is kept by the rule, but it differs: it is not called up to date.
    EXPECT_TRUE(Once(verbose.log,
                     "Restoring file \"" + Target("a.txt") + "\".....Skipped\r\nKept \"" +
                         Target("a.txt") +
                         "\": kept the existing file; it differs: use --overwrite always\r\n"));
    EXPECT_TRUE(Once(verbose.log,
                     "Restoring file \"" + Target("other/e.txt") + "\".....Overwrite.....OK\r\n"));
    EXPECT_TRUE(Once(verbose.log, "Restoring file \"" + Target("sub/c.txt") + "\".....OK\r\n"));
    EXPECT_EQ(Count(verbose.log, ".....OK\r\n"), 4);
    EXPECT_NE(
        verbose.log.find("\r\n4 Files Succeed\r\n1 Files Overwritten\r\n0 Files are already up "
                         "to date\r\n0 Items Error\r\n1 Files kept the existing file; it differs: "
                         "use --overwrite always\r\n"),
        std::string::npos);
}

TEST_F(FilesRestore, FilesAreWrittenInTheOrderOfTheirStoredContent) {
    Write("z.txt", "stored first");
    AddSource(Data());
    ASSERT_TRUE(Run(true).committed);
    Write("a.txt", "stored second");
    Write("m.txt", "stored third");
    ASSERT_TRUE(Run().committed);
    const RestoreResult run = RunRestore(ImagePath(), Request(2, RS_BASE, m_to));
    std::vector<std::string> order;
    for (const Progress& p : run.progress)
        if (p.percent == 0) order.push_back(plat::BaseName(p.item));
    EXPECT_EQ(order, (std::vector<std::string>{"z.txt", "a.txt", "m.txt"}));
}

TEST_F(FilesRestore, VerifyCatchesACorruptedStoredByteAndTheOthersRestore) {
    // Stored without compression and encryption, so a changed byte reaches the file.
    m_job.SetImageDesc("bk", "2.00 GB", 0, m_dir / "images");
    const std::string marked = "MARKED-CONTENT-" + std::string(3000, 'm');
    Write("bad.txt", marked);
    Write("good.txt", "good content");
    AddSource(Data());
    ASSERT_TRUE(Run(true).committed);
    // The image the run wrote holds the content once, in a stored member; one byte of it is
    // changed through the library, so that the block still checks out and only the file's
    // fingerprint can tell.
    std::string imageFile = tavtest::ImagePath(ImagePath(), 1);
    if (!plat::PathExists(imageFile)) imageFile = ImagePath();
    const size_t at = tavtest::ReadFile(imageFile).find(marked);
    ASSERT_NE(at, std::string::npos);
    {
        const TavImageSecurity security =
            tavtest::Security(nullptr, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE);
        CTavImage image(imageFile, security);
        const char changed = char(marked[100] ^ 0x20);
        // The content follows the block header, the gzip header and a stored block's header.
        ASSERT_EQ(image.UpdateBlock(uint32_t(at - BLOCK_HEADER_SIZE - 10 - 5), &changed, 1, 100), 1);
    }

    const RestoreResult run = Restore(RS_BASE | TAV_RS_VERIFY);
    ASSERT_EQ(run.result, 1);
    EXPECT_TRUE(Once(run.log, "\r\n***** Checksum error: \"" + Target("bad.txt") + "\"\r\n"));
    EXPECT_EQ(run.counts.errors, 1u);
    EXPECT_EQ(run.counts.succeeded, 1u);
    EXPECT_EQ(Read("good.txt"), "good content");
    EXPECT_FALSE(plat::PathExists(Target("bad.txt")));
    EXPECT_TRUE(TempFilesBelow(m_to).empty());

    // Without verification the damaged file is written as stored.
    const RestoreResult plain = Restore(RS_BASE);
    EXPECT_EQ(plain.counts.errors, 0u);
    EXPECT_EQ(Read("bad.txt").size(), marked.size());
}

TEST_F(FilesRestore, ExcludedIdsNoSubfolderBitAndRequestedNodesRestorePartsOfABaseline) {
    BackUpSampleTree();
    const uint32_t sub = StoredId(Data("sub"));
    const uint32_t e = StoredId(Data("other/e.txt"));
    const uint32_t a = StoredId(Data("a.txt"));
    const uint32_t c = StoredId(Data("sub/c.txt"));
    ASSERT_NE(sub, TAV_NONE);
    RestoreResult run = Restore(RS_BASE, {sub, e, 0});
    EXPECT_EQ(run.counts.succeeded, 2u) << run.log;
    EXPECT_EQ(Read("a.txt"), "alpha");
    EXPECT_FALSE(plat::PathExists(Target("sub")));
    EXPECT_FALSE(plat::PathExists(Target("other/e.txt")));
    EXPECT_TRUE(plat::IsDirectory(Target("other")));

    // Without the subfolder bit only the files of the top folder are written.
    tavtest::RemoveTree(m_to);
    run = Restore(0x20000000 | TAV_RS_SET_TIMES);
    EXPECT_EQ(run.counts.succeeded, 2u) << run.log;
    EXPECT_EQ(Read("a.txt"), "alpha");
    EXPECT_FALSE(plat::PathExists(Target("sub")));
    EXPECT_FALSE(plat::PathExists(Target("other")));

    // Requested nodes: a deeper folder lands below the location by its name, a file inside
    // the location.
    tavtest::RemoveTree(m_to);
    run = Restore(0x20010008, {}, {sub, e});
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(tavtest::ReadFile(m_to + "/sub/deep/d.txt"), "delta");
    EXPECT_EQ(tavtest::ReadFile(m_to + "/e.txt"), "epsilon");
    EXPECT_EQ(run.starts, 2);

    // A top-level folder lands below the location at its absolute path.
    const uint32_t top = StoredId(Data());
    run = Restore(0x20010000, {}, {top});
    EXPECT_EQ(run.counts.succeeded, 2u);
    EXPECT_EQ(Read("b.bin").size(), 150000u);
    EXPECT_FALSE(plat::PathExists(Target("sub")));

    // A single file without a location goes back to its original folder.
    Remove("sub");
    run = RunRestore(ImagePath(), Request(1, RS_BASE, "", {}, {c}));
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(tavtest::ReadFile(Data("sub/c.txt")), "gamma");
    EXPECT_FALSE(plat::PathExists(Data("sub/deep")));

    // A failed node stops the nodes after it: a.txt cannot be written, a folder stands there.
    tavtest::RemoveTree(m_to);
    plat::CreateDirectories(m_to + "/a.txt");
    run = Restore(RS_ALWAYS, {}, {a, e});
    EXPECT_EQ(run.state, TAV_ENGINE_FAILED);
    EXPECT_TRUE(Once(run.log, "\r\n***** Access denied. Cannot open file \"" + m_to +
                                  "/a.txt\" for writing\r\n"));
    EXPECT_FALSE(plat::PathExists(m_to + "/e.txt"));
}

TEST_F(FilesRestore, CancelledRestoreLeavesExistingFilesIntactAndNoTemporaryFiles) {
    BackUpSampleTree();
    Existing("b.bin", "the previous b.bin", 0);
    // Reports: a.txt 0, 100; b.bin 0, 44, ... : cancelled inside b.bin.
    const RestoreResult run = Restore(RS_ALWAYS, {}, {}, 4);
    EXPECT_EQ(run.state, TAV_ENGINE_CANCELLED);
    EXPECT_EQ(run.cancels, 1);
    EXPECT_EQ(run.finishes, 0);
    EXPECT_EQ(run.log.substr(run.log.size() - 19), "\r\nRestore Cancelled");
    EXPECT_EQ(Read("b.bin"), "the previous b.bin");
    EXPECT_EQ(Read("a.txt"), "alpha");
    EXPECT_FALSE(plat::PathExists(Target("sub/c.txt")));
    EXPECT_TRUE(TempFilesBelow(m_to).empty());
}

TEST_F(FilesRestore, RequestsAreReadWhateverTheLetterCaseOfTheirAttributes) {
    BackUpSampleTree();
    const std::string request =
        "<tav-restore><restore Baseline='#00000001' COMMAND='#20010008' Location='" + m_to +
        "'/><excluded><node id='#00000000'/></excluded></tav-restore>";
    const RestoreResult run = RunRestore(ImagePath(), request);
    EXPECT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.counts.succeeded, 5u);

    for (const std::string bad : {"not xml", "<tav-job/>", "<tav-restore><excluded/></tav-restore>",
                                  "<tav-restore><restore command='#20010008'/></tav-restore>"}) {
        const RestoreResult refused = RunRestore(ImagePath(), bad);
        EXPECT_EQ(refused.result, 0) << bad;
        EXPECT_EQ(refused.starts, 0) << bad;
    }
    // A baseline that does not exist fails the run.
    tavtest::RemoveTree(m_to);
    const RestoreResult missing = RunRestore(ImagePath(), Request(7, RS_BASE, m_to));
    EXPECT_EQ(missing.state, TAV_ENGINE_FAILED);
    EXPECT_NE(missing.log.find("***** Baseline 7 cannot be loaded"), std::string::npos) << missing.log;
    EXPECT_FALSE(plat::PathExists(m_to));
}


}  // namespace
