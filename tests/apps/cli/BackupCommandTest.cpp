// tavctl backup: the command host's run started by hand, with the Files and Folders module
// that the build puts beside the programs.
#include <gtest/gtest.h>

#include <regex>

#include "CliTestRepo.h"
#include "platform/Process.h"

using namespace clitest;

namespace {

class BackupCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The hub looks beside the test program (bin/../lib/modules) unless told otherwise.
        ASSERT_NO_FATAL_FAILURE(UseBuiltModules());
        plat::CreateDirectories(m_dir / "data/sub");
        plat::CreateDirectories(m_dir / "repo");
        tavtest::WriteFile(m_dir / "data/a.txt", "first\n");
        tavtest::WriteFile(m_dir / "data/gone.txt", "soon deleted\n");
        tavtest::WriteFile(m_dir / "data/sub/b.bin", RandomBytes(200000, 7));
        m_cli.Ok({"job", "new", m_job, "-l", m_dir / "repo", "-n", "store", "-t", "Test job"});
        m_cli.Ok({"job", "add", m_job, m_dir / "data"});
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "test.tvj";
};

TEST_F(BackupCommandTest, AFullThenAnIncrementalRunWithSummaries) {
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
    const size_t log = r.out.find('/', r.out.find("Run log"));
    const std::string logText = tavtest::ReadFile(r.out.substr(log, r.out.find('\n', log) - log));
    EXPECT_TRUE(Contains(logText, "Backup Type: Incremental\r\n")) << logText;
    EXPECT_TRUE(Contains(logText, "\r\n1 Files Added\r\n1 Files Updated\r\n1 Files Skipped\r\n1 Files Deleted\r\n0 Items Error\r\n"));
    EXPECT_TRUE(plat::PathExists(m_dir / "repo/store.0001.tvr"));
    EXPECT_TRUE(Contains(m_cli.Expect(0, {"baselines", m_dir / "repo/store.tvr"}, "", "Full ").out, "Test job  Manual Backup\n"));
    r = m_cli.Expect(0, {"ls", "-r", m_dir / "repo/store.tvr"}, "", m_dir / "data/c.txt\n");
    EXPECT_TRUE(Contains(r.out, m_dir / "data/sub/b.bin\n")) << r.out;
    // The exit statuses of failed runs are checked with the command host's (ExitStatusTest).
    m_cli.Expect(1, {"backup", m_dir / "none.tvj"}, m_dir / "none.tvj");
}

}  // namespace
