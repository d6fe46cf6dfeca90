// TavCmdHost as cron runs it: the program's exit status and output.
#include <gtest/gtest.h>

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
    ASSERT_EQ(Baselines(job.ImagePath()).size(), 2u);
    EXPECT_EQ(Baselines(job.ImagePath())[1].type & 0xF000u, 0x1000u) << "FULL";

    // Visible (no SW_HIDE): the message box becomes a line.
    r = RunHost(dir, CMDHOST_TEST_MODULE_DIR, {"JOB_BACKUP", job.path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Backup Finished.\n");
    ASSERT_EQ(Baselines(job.ImagePath()).size(), 3u);
    EXPECT_EQ(Baselines(job.ImagePath())[2].type & 0xF000u, 0x2000u) << "incremental without FULL";
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

}  // namespace
