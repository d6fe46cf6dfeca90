// TavCmdHost as cron runs it: the program's exit status and output, and (with the Files and
// Folders module) a full then an incremental backup of a real folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "RunnerTestUtil.h"
#include "support/ProgramRun.h"

using namespace hosttest;

namespace {

using HostResult = tavtest::ProgramResult;

// Runs TavCmdHost with `arguments` and the modules of `moduleDir`.
HostResult RunHost(const CTempDir& dir, const std::string& moduleDir,
                   const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {TAVCMDHOST_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return tavtest::RunProgram(dir, command, {{"TAVORA_MODULE_PATH", moduleDir}});
}

TEST(CmdHostProcess, AHiddenRunFromCronPrintsNothingAndExitsZero) {
    CTempDir dir;
    CTestJob job(dir);
    job.AddModule("alpha", {{"progress", "3"}});
    job.Save();
    HostResult r = RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"JOB_BACKUP", job.path, "FULL", "SW_HIDE"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "no bar when stdout is not a terminal";
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Baselines(job.ImagePath()).size(), 2u);

    // Visible (no SW_HIDE): the message box becomes a line.
    r = RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"JOB_BACKUP", job.path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Backup Finished.\n");
    EXPECT_EQ(Baselines(job.ImagePath()).size(), 3u);
}

TEST(CmdHostProcess, FailuresExitNonZeroAndSayWhyEvenWhenHidden) {
    CTempDir dir;
    CTestJob job(dir);
    job.AddModule("alpha", {{"fail", "yes"}});
    job.Save();
    HostResult r = RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"JOB_BACKUP", job.path, "FULL", "SW_HIDE"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "TavCmdHost: module \"alpha\" did not finish its part of the job")) << r.err;
    EXPECT_TRUE(Contains(r.err, "No baseline was saved")) << r.err;

    r = RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"JOB_BACKUP", dir / "missing.tvj", "SW_HIDE"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, dir / "missing.tvj")) << r.err;

    r = RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"BACKUP", job.path});
    EXPECT_EQ(r.status, 2) << "nothing to do";
    EXPECT_TRUE(Contains(r.err, "usage: TavCmdHost JOB_BACKUP JOB_FILE")) << r.err;
    EXPECT_EQ(RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"--help"}).status, 0);

    // Unknown words are warned about, and the run goes on.
    r = RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"JOB_BACKUP", dir / "none.tvj", "FULLL", "SW_HIDE", "extra"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "TavCmdHost: warning: ignored unknown word \"FULLL\"")) << r.err;
    EXPECT_TRUE(Contains(r.err, "TavCmdHost: warning: ignored unknown word \"extra\"")) << r.err;
}

class FilesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plat::PathExists(std::string(FILES_MODULE_DIR) + "/filesmodule.so"))
            << "the Files and Folders module is not built";
        ASSERT_TRUE(plat::CreateDirectories(m_dir / "data/sub"));
        ASSERT_TRUE(plat::CreateDirectories(m_dir / "repo"));
        tavtest::WriteFile(m_dir / "data/a.txt", "alpha\n");
        tavtest::WriteFile(m_dir / "data/sub/b.txt", std::string(100000, 'b'));
        tavtest::WriteFile(m_dir / "data/gone.txt", "soon deleted\n");
        m_job.job.SetImageDesc("store", "2.00 GB", 0x1F, m_dir / "repo");
        m_job.job.AddBackupNode("Files and Folders", "files").AddChild("file").SetAttribute("fullpath", m_dir / "data");
        m_job.Save();
    }

    // The counters of the closing log of the run log written last.
    std::string LastLog() {
        std::vector<std::string> logs = LogFiles(m_job.LogFolder());
        std::sort(logs.begin(), logs.end());
        return logs.empty() ? "" : tavtest::ReadFile(logs.back());
    }

    CTempDir m_dir;
    CTestJob m_job{m_dir};
};

TEST_F(FilesEndToEnd, AFullThenAnIncrementalBackupOfARealFolder) {
    HostResult r = RunHost(m_dir, FILES_MODULE_DIR, {"JOB_BACKUP", m_job.path, "FULL", "SW_HIDE"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string log = LastLog();
    EXPECT_EQ(log.substr(0, 26), "====SCHEDULED BACKUP====\r\n");
    EXPECT_TRUE(Contains(log, "Backup Type: Full\r\n")) << log;
    EXPECT_TRUE(Contains(log, "\r\n3 Files Added\r\n0 Files Updated\r\n")) << log;
    EXPECT_EQ(log.substr(log.size() - 81), "\r\n" + std::string(77, '-') + "\r\n");

    // Edit, add and delete, then an incremental run (the timestamps may share a second, so
    // the edit also changes the size).
    tavtest::WriteFile(m_dir / "data/a.txt", "alpha, edited\n");
    tavtest::WriteFile(m_dir / "data/sub/new.txt", "new\n");
    ASSERT_TRUE(plat::RemoveFile(m_dir / "data/gone.txt"));
    r = RunHost(m_dir, FILES_MODULE_DIR, {"JOB_BACKUP", m_job.path, "SW_HIDE"});
    ASSERT_EQ(r.status, 0) << r.err;
    log = LastLog();
    EXPECT_TRUE(Contains(log, "Backup Type: Incremental\r\n")) << log;
    EXPECT_TRUE(Contains(log, "\r\n1 Files Added\r\n1 Files Updated\r\n1 Files Skipped\r\n1 Files Deleted\r\n0 Items Error\r\n"))
        << log;

    const std::vector<TavBaselineHeaderRec> baselines = Baselines(m_dir / "repo/store.tvr");
    ASSERT_EQ(baselines.size(), 3u);
    EXPECT_EQ(baselines[1].type & 0xF000u, 0x1000u);
    EXPECT_EQ(baselines[2].type & 0xF000u, 0x2000u);
    EXPECT_EQ(Utf16Text(baselines[2].description, 512), "Scheduled Backup");
    EXPECT_TRUE(plat::PathExists(m_dir / "repo/store.0001.tvr")) << "the incremental run wrote a fresh image";
}

}  // namespace
