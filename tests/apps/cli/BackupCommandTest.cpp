// tavctl backup: the command host's run started by hand, with the Files and Folders module
// that the build puts beside the programs; and a repository made by real runs of a job that
// turns compression off: a changed content byte is still found (check names every damaged
// block of the chain, restore fails the item), and a run that cleans up after a killed one
// says what it removed.
#include <gtest/gtest.h>

#include <regex>

#include "CliTestRepo.h"
#include "platform/Process.h"

using namespace clitest;

namespace {

class BackupCommandTest : public ::testing::Test {
protected:
    // data/ with `files` (name, content), and a job over it with `options` for "job new".
    void NewJob(const std::vector<std::pair<std::string, std::string>>& files, const std::vector<std::string>& options) {
        // The hub looks beside the test program (bin/../lib/modules) unless told otherwise.
        ASSERT_NO_FATAL_FAILURE(UseBuiltModules());
        plat::CreateDirectories(m_dir / "data/sub");
        plat::CreateDirectories(m_dir / "repo");
        for (const auto& [name, content] : files) tavtest::WriteFile(m_dir / ("data/" + name), content);
        std::vector<std::string> args = {"job", "new", m_job, "-l", m_dir / "repo", "-n", "store"};
        args.insert(args.end(), options.begin(), options.end());
        m_cli.Ok(args);
        m_cli.Ok({"job", "add", m_job, m_dir / "data"});
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "test.tvj";
    std::string m_repo = m_dir / "repo/store.tvr";
};

TEST_F(BackupCommandTest, AFullThenAnIncrementalRunWithSummaries) {
    ASSERT_NO_FATAL_FAILURE(NewJob({{"a.txt", "first\n"}, {"gone.txt", "soon deleted\n"}, {"sub/b.bin", RandomBytes(200000, 7)}},
                                   {"-t", "Test job"}));
    CliResult r = m_cli.Expect(0, {"backup", m_job, "--full"});
    const std::regex full(
        "Full backup of " + m_job + " saved as baseline 1 of " + m_dir / "repo/store.tvr\n"
        "  Files added     3\n  Files updated   0\n  Files skipped   0\n  Files deleted   0\n"
        "  Items in error  0\n  Bytes stored    [0-9.]+ KiB \\([0-9]+ bytes\\)\n  Time            [0-9]+\\.[0-9] s\n"
        "  Run log         " + m_job + "\\.[0-9A-F]{8}\\.log/[0-9A-F]{8}\\.10001015\\.log\n");
    EXPECT_TRUE(std::regex_match(r.out, full)) << r.out;

    tavtest::WriteFile(m_dir / "data/a.txt", "first, edited\n");
    tavtest::WriteFile(m_dir / "data/c.txt", "new\n");
    ASSERT_TRUE(plat::RemoveFile(m_dir / "data/gone.txt"));
    r = m_cli.Expect(0, {"backup", m_job}, "", "Incremental backup of " + m_job + " saved as baseline 2 of ");
    EXPECT_TRUE(Contains(r.out, "  Files added     1\n  Files updated   1\n  Files skipped   1\n  Files deleted   1\n"))
        << r.out;
    // The run log holds the module's closing lines; the run wrote a fresh image.
    const std::string logText = RunLogText(r.out);
    EXPECT_TRUE(Contains(logText, "Backup Type: Incremental\r\n")) << logText;
    EXPECT_TRUE(Contains(logText, "\r\n1 Files Added\r\n1 Files Updated\r\n1 Files Skipped\r\n1 Files Deleted\r\n0 Items Error\r\n"));
    EXPECT_TRUE(plat::PathExists(m_dir / "repo/store.0001.tvr"));
    EXPECT_TRUE(Contains(m_cli.Expect(0, {"baselines", m_dir / "repo/store.tvr"}, "", "Full ").out, "Test job  Manual Backup\n"));
    r = m_cli.Expect(0, {"ls", "-r", m_dir / "repo/store.tvr"}, "", m_dir / "data/c.txt\n");
    EXPECT_TRUE(Contains(r.out, m_dir / "data/sub/b.bin\n")) << r.out;
    // The exit statuses of failed runs are checked with the command host's (ExitStatusTest).
    m_cli.Expect(1, {"backup", m_dir / "none.tvj"}, m_dir / "none.tvj");
}

class IntegrityTest : public BackupCommandTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(NewJob({{"a.txt", "alpha\n"}, {"b.bin", m_content}}, {"--no-compress"}));
        m_cli.Expect(0, {"backup", m_job, "--full"});
    }

    // Changes one byte of the file's content where it lies (as it is) in the image.
    void FlipContentByte(size_t at) {
        const size_t where = tavtest::ReadFile(m_repo).find(m_content.substr(at, 64));
        ASSERT_NE(where, std::string::npos);
        FlipByte(m_repo, where);
    }

    std::string m_content = RandomBytes(300000, 5);  // five content blocks
};

TEST_F(IntegrityTest, AFlippedContentByteOfAnUncompressedRepositoryIsFound) {
    m_cli.Ok({"check", m_repo, "--read-data"});
    FlipContentByte(1000);
    FlipContentByte(140000);
    FlipContentByte(270000);

    const CliResult r = m_cli.Expect(1, {"check", m_repo, "--read-data"}, "", m_dir / "data/b.bin (#");
    EXPECT_TRUE(Contains(r.out, "): content block at image 0 offset ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "CRC-32")) << r.out;
    EXPECT_TRUE(Contains(r.out, "; 2 more damaged blocks in the chain (image 0 offset ")) << r.out;
    m_cli.Expect(1, {"restore", m_repo, "--to", m_dir / "restored"});
    EXPECT_EQ(tavtest::ReadFile(m_dir / "restored" + m_dir / "data/a.txt"), "alpha\n");
    EXPECT_FALSE(plat::PathExists(m_dir / "restored" + m_dir / "data/b.bin"));
    // extract fails the item too and leaves no partial file.
    m_cli.Expect(1, {"extract", m_repo, m_dir / "data/b.bin", "--to", m_dir / "ex"});
    EXPECT_FALSE(plat::PathExists(m_dir / "ex/b.bin"));
}

TEST_F(IntegrityTest, ARunSaysWhatAKilledRunLeftAndItRemoved) {
    const std::string leftover = tavtest::ImagePath(m_repo, 1);
    ASSERT_NO_FATAL_FAILURE(LeaveUncommittedRun(
        m_repo, tavtest::Security(nullptr, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE),
        m_content.substr(0, 50000)));
    const size_t size = tavtest::ReadFile(leftover).size();
    ASSERT_GT(size, 50000u);

    const CliResult r = m_cli.Expect(0, {"backup", m_job});
    const std::string line = "Removed image file \"" + leftover + "\": " + std::to_string(size) +
                             " bytes left by a backup run that did not finish.";
    EXPECT_TRUE(Contains(r.out, "  " + line + "\n")) << r.out;
    EXPECT_TRUE(Contains(RunLogText(r.out), line + "\r\n"));
    m_cli.Ok({"check", m_repo, "--read-data"});
}

}  // namespace
