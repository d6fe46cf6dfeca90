// tavctl backup: the command host's run started by hand, with the Files and Folders module
// that the build puts beside the programs.
#include <gtest/gtest.h>

#include <regex>

#include "CliTestRepo.h"
#include "platform/Process.h"
#include "platform/Registry.h"

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
        tavtest::WriteFile(m_dir / "data/sub/b.bin", RandomBytes(200000, 7));
        ASSERT_EQ(m_cli.Run({"job", "new", m_job, "-l", m_dir / "repo", "-n", "store", "-t", "Test job"}).code, 0);
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "test.tvj";
};

TEST_F(BackupCommandTest, AFullThenAnIncrementalRunWithSummaries) {
    ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
    CliResult r = m_cli.Run({"backup", m_job, "--full"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::regex full(
        "Full backup of " + m_job + " saved as baseline 1 of " + m_dir / "repo/store.tvr\n"
        "  Files added     2\n  Files updated   0\n  Files skipped   0\n  Files deleted   0\n"
        "  Items in error  0\n  Bytes stored    [0-9.]+ KiB \\([0-9]+ bytes\\)\n  Time            [0-9]+\\.[0-9] s\n"
        "  Run log         " + m_job + "\\.[0-9A-F]{8}\\.log/[0-9A-F]{8}\\.10001015\\.log\n");
    EXPECT_TRUE(std::regex_match(r.out, full)) << r.out;

    tavtest::WriteFile(m_dir / "data/a.txt", "first, edited\n");
    tavtest::WriteFile(m_dir / "data/c.txt", "new\n");
    r = m_cli.Run({"backup", m_job});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Incremental backup of " + m_job + " saved as baseline 2 of ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "  Files added     1\n  Files updated   1\n  Files skipped   1\n")) << r.out;

    r = m_cli.Run({"baselines", m_dir / "repo/store.tvr"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Full ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Test job  Manual Backup\n")) << r.out;
    r = m_cli.Run({"ls", "-r", m_dir / "repo/store.tvr"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, m_dir / "data/c.txt\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, m_dir / "data/sub/b.bin\n")) << r.out;

    // The exit statuses of failed runs are checked with the command host's (ExitStatusTest).
    r = m_cli.Run({"backup", m_dir / "none.tvj"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, m_dir / "none.tvj")) << r.err;
}

TEST_F(BackupCommandTest, TheUsersExcludedPathsAreLeftOut) {
    plat::CreateDirectories(m_dir / "settings");
    ASSERT_TRUE(plat::SetEnv("TAVORA_HOME", m_dir / "settings"));
    plat::CRegistry user;
    ASSERT_TRUE(user.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora", true));
    ASSERT_TRUE(user.WriteString("ExcludedPaths", m_dir / "data/sub;"));
    ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
    CliResult r = m_cli.Run({"backup", m_job, "--full"});
    plat::SetEnv("TAVORA_HOME", "");
    ASSERT_EQ(r.code, 0) << r.err;
    r = m_cli.Run({"ls", "-r", m_dir / "repo/store.tvr"});
    EXPECT_TRUE(Contains(r.out, m_dir / "data/a.txt\n")) << r.out;
    EXPECT_FALSE(Contains(r.out, m_dir / "data/sub")) << r.out;
}

}  // namespace
