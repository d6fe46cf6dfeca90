// The backup run of the command host over the test modules: the run log, the records, the
// baseline saved or rolled back, every failure, the stop flag.
#include <gtest/gtest.h>

#include <regex>

#include "JobRunner.h"
#include "RunnerTestUtil.h"

using namespace cmdhost;
using namespace hosttest;

namespace {

const std::string SEPARATOR = "\r\n" + std::string(77, '-') + "\r\n";

class JobRunnerTest : public ::testing::Test {
protected:
    JobRunnerTest() : m_hub(60000), m_job(m_dir) {
        m_hub.Reconnoiter({CMDHOST_TEST_MODULE_DIR});
        tavtest::WriteFile(m_dir / "data.bin", std::string(70000, 'x'));
    }

    const RunSummary& Run(bool full, RunKind kind = RunKind::Scheduled) {
        return m_runner.RunJob(m_job.path, full, kind);
    }

    // The text of the run's log file.
    std::string LogText(const RunSummary& summary) {
        EXPECT_FALSE(summary.logPath.empty());
        return tavtest::ReadFile(summary.logPath);
    }

    // One committed run that stores data.bin through module alpha.
    void CommitFirstRun() {
        m_job.AddModule("alpha", {{"file", m_dir / "data.bin"}});
        m_job.Save();
        ASSERT_EQ(Run(true).outcome, RunOutcome::Committed) << m_runner.LastRun().problem;
        m_view = CRecordingView();
    }

    CTempDir m_dir;
    CTavModFactory m_hub;
    CRecordingView m_view;
    CJobRunner m_runner{m_hub, m_view};
    CTestJob m_job;
};

TEST_F(JobRunnerTest, AFullScheduledRunCommitsABaselineAndWritesTheLog) {
    ASSERT_EQ(m_hub.GetModCount(), 3);
    m_job.AddModule("alpha", {{"file", m_dir / "data.bin"}, {"added", "1"}, {"progress", "2"}});
    m_job.Save();
    const RunSummary& run = Run(true);
    ASSERT_EQ(run.outcome, RunOutcome::Committed) << run.problem;
    EXPECT_EQ(run.command, 0x10001015u) << "the job's word with the backup marker and full type";
    EXPECT_EQ(run.counters.added, 1u);
    EXPECT_GT(run.bytesStored, 0u);
    EXPECT_LT(run.bytesStored, 70000u) << "70000 repeated bytes compress";

    // The log: one file in the job's log folder (its name is checked with tavctl backup's).
    const std::vector<std::string> logs = LogFiles(m_job.LogFolder());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0], run.logPath);
    EXPECT_EQ(LogText(run),
              "====SCHEDULED BACKUP====\r\nModule alpha, command #10001015\r\n"
              "Finish Backup Run Test: now\r\n1 Files Added\r\n0 Files Updated\r\n0 Files Skipped\r\n"
              "0 Files Deleted\r\n0 Items Error\r\n" + SEPARATOR);

    // The baseline as a reader sees it.
    const std::vector<TavBaselineHeaderRec> baselines = Baselines(m_job.ImagePath());
    ASSERT_EQ(baselines.size(), 2u);
    EXPECT_EQ(Utf16Text(baselines[1].name, 64), "Nightly");
    EXPECT_EQ(Utf16Text(baselines[1].description, 512), "Scheduled Backup");
    EXPECT_EQ(baselines[1].type, 0x10001015u);

    // The job file itself keeps the word the user chose.
    CTavJobHelper reloaded;
    ASSERT_EQ(reloaded.Load(m_job.path), 1);
    EXPECT_EQ(reloaded.GetBackupCommand(), 0x2015u);

    // What the window shows.
    EXPECT_TRUE(m_view.Shown("Backup Finished."));
    ASSERT_EQ(m_view.titles.size(), 1u);
    EXPECT_EQ(m_view.titles[0], "TavCmdHost Backup: " + m_dir.Path() + "/store");
    EXPECT_EQ(m_view.events, std::vector<std::string>{m_view.titles[0]}) << "fired once";
    ASSERT_EQ(m_view.progress.size(), 2u);
    EXPECT_EQ(m_view.progress[1].item, "/run/test/item-2");
    EXPECT_EQ(m_view.progress[1].percent, 20u);
    EXPECT_TRUE(m_view.problems.empty());
}

TEST_F(JobRunnerTest, AnIncrementalManualRunHasItsWordRecordsAndNoBannerAndAHeldRepositoryDenies) {
    CommitFirstRun();
    const RunSummary& run = m_runner.RunJob(m_job.path, false, RunKind::Manual);
    ASSERT_EQ(run.outcome, RunOutcome::Committed);
    EXPECT_EQ(run.baseline, 2u);
    EXPECT_EQ(LogText(run).substr(0, 33), "Module alpha, command #10002015\r\n");
    const std::vector<TavBaselineHeaderRec> baselines = Baselines(m_job.ImagePath());
    ASSERT_EQ(baselines.size(), 3u);
    EXPECT_EQ(Utf16Text(baselines[2].description, 512), "Manual Backup");

    // The records follow the run.
    const HostJobRecord& job = m_runner.JobRecord();
    EXPECT_EQ(job.typeTitle, "Incremental Backup");
    EXPECT_EQ(job.imagePath, m_dir.Path() + "/store");
    EXPECT_TRUE(std::regex_match(job.startText,
                                 std::regex("Started from: \\d{4}/\\d\\d/\\d\\d (0\\d|1[0-2]):\\d\\d:\\d\\d (AM|PM)\\.")))
        << job.startText;
    EXPECT_EQ(m_view.runStates, (std::vector<uint32_t>{RUN_STATE_PREPARED, RUN_STATE_STARTED, RUN_STATE_FINISHED}));
    // The status record is zeroed when an engine starts and finishes.
    EXPECT_EQ(m_runner.StatusRecord().item, "");
    EXPECT_EQ(m_runner.StatusRecord().percent, 0u);
    EXPECT_EQ(m_runner.LogRecord().text.substr(0, 14), "Finish Backup ");

    // While another holds the repository, a run is denied access.
    CTavRepository* other = CTavEngine::CreateRepForBackup(&m_job.job);
    ASSERT_NE(other, nullptr);
    const RunSummary& denied = Run(false);
    EXPECT_EQ(denied.outcome, RunOutcome::CannotStart);
    EXPECT_TRUE(Contains(LogText(denied), "\r\nAccess denied. Cannot start backup operation.\r\n***** Another backup run"));
    CTavEngine::DisposeRep(other);
    EXPECT_EQ(Run(false).outcome, RunOutcome::Committed);
}

TEST_F(JobRunnerTest, AJobThatDoesNotLoadRunsNothing) {
    ASSERT_TRUE(tavtest::WriteFile(m_job.path, "<tavjob><unclosed></tavjob>"));
    const RunSummary& run = Run(true);
    EXPECT_EQ(run.outcome, RunOutcome::JobNotLoaded);
    EXPECT_TRUE(Contains(run.problem, m_job.path)) << run.problem;
    EXPECT_TRUE(run.logPath.empty());
    EXPECT_FALSE(plat::PathExists(m_job.ImagePath())) << "no repository";
    for (const std::string& entry : LogFiles(m_dir.Path()))
        EXPECT_FALSE(Contains(entry, ".log")) << "no log: " << entry;
    EXPECT_FALSE(m_view.Shown("Backup Finished.")) << "nothing was backed up";

    m_view = CRecordingView();
    m_view.visible = false;
    EXPECT_EQ(m_runner.RunJob(m_dir / "missing.tvj", true).outcome, RunOutcome::JobNotLoaded);
    EXPECT_TRUE(Contains(m_runner.LastRun().problem, m_dir / "missing.tvj"));
    EXPECT_TRUE(m_view.messages.empty()) << "no box without a window";
}

TEST_F(JobRunnerTest, AMissingImageFolderIsNamedAndNothingIsMade) {
    m_job.job.SetImageDesc("store", "1 MB", 0x0F, m_dir / "unmounted");
    m_job.AddModule("alpha");
    m_job.Save();
    const RunSummary& run = Run(true);
    EXPECT_EQ(run.outcome, RunOutcome::CannotStart);
    EXPECT_EQ(LogText(run), "====SCHEDULED BACKUP====\r\n\r\nCannot start backup operation.\r\n"
                            "***** the image folder " + m_dir / "unmounted" +
                                " does not exist (create it, or change the job's image location)\r\n");
    EXPECT_TRUE(Contains(run.problem, m_dir / "unmounted"));
    EXPECT_TRUE(m_view.messages.empty()) << "not \"Access denied\"; the view says the reason";
    EXPECT_FALSE(plat::PathExists(m_dir / "unmounted"));
    EXPECT_TRUE(m_view.events.empty());
}

TEST_F(JobRunnerTest, AnUnreadableLatestBaselineStopsTheRun) {
    CommitFirstRun();
    // Damage the node table of baseline 1 (the baseline table that points at it stays).
    const std::vector<TavBaselineHeaderRec> before = Baselines(m_job.ImagePath());
    ASSERT_EQ(before.size(), 2u);
    for (uint64_t i = 0; i < 64; ++i)
        tavtest::FlipByte(m_job.ImagePath(before[1].image), before[1].nodeTable + 4 + i);
    const RunSummary& run = Run(false);
    ASSERT_EQ(run.outcome, RunOutcome::BaselineUnreadable) << RunOutcomeName(run.outcome);
    EXPECT_TRUE(Contains(LogText(run), "\r\nCannot load image file. The image file may be corrupt.\r\n***** "));
    EXPECT_TRUE(m_view.Shown("Cannot load image file. The image file may be corrupt."));
    EXPECT_FALSE(m_view.Shown("Backup Finished."));
    EXPECT_FALSE(plat::PathExists(m_job.ImagePath(1))) << "the run's fresh image is removed";
}

TEST_F(JobRunnerTest, WhenTheSecondModuleFailsEverythingIsRolledBack) {
    CommitFirstRun();
    const std::string image0 = tavtest::ReadFile(m_job.ImagePath(0));
    tavtest::WriteFile(m_dir / "more.bin", tavtest::ReadFile(m_dir / "data.bin") + "more");
    m_job.AddModule("alpha").SetAttribute("file", m_dir / "more.bin");
    m_job.AddModule("beta", {{"fail", "yes"}});
    m_job.AddModule("nullmod");
    m_job.Save();

    const RunSummary& run = Run(true);
    EXPECT_EQ(run.outcome, RunOutcome::Failed);
    EXPECT_TRUE(Contains(run.problem, "\"beta\"")) << run.problem;
    const std::string log = LogText(run);
    EXPECT_TRUE(Contains(log, "Module alpha, command #10001015\r\n"));
    EXPECT_TRUE(Contains(log, "Module beta, command #10001015\r\n***** Run test failure\r\n"));
    EXPECT_FALSE(Contains(log, "nullmod")) << "modules after a failure do not run";
    EXPECT_FALSE(m_view.Shown("Backup Finished.")) << "only a committed run is finished";

    EXPECT_EQ(Baselines(m_job.ImagePath()).size(), 2u) << "no baseline saved";
    EXPECT_FALSE(plat::PathExists(m_job.ImagePath(1))) << "the run's image is gone";
    EXPECT_EQ(tavtest::ReadFile(m_job.ImagePath(0)), image0) << "committed images untouched";
    EXPECT_EQ(Run(false).outcome, RunOutcome::Failed);
}

// First runs of one module, each ending in its own way: the outcome, the exit status, a
// text of the log and problem, and whether a baseline was saved.
TEST_F(JobRunnerTest, EachEndingOfAFirstRunHasItsStatusLogAndBaseline) {
    const struct {
        const char* why;
        std::vector<std::pair<std::string, std::string>> alpha;
        bool nullmod, stopAtStart;
        RunOutcome outcome;
        int status;
        std::string said;  // in the log or the problem
    } cases[] = {
        {"exception out of an engine", {{"throw", "yes"}}, false, false, RunOutcome::Failed, EXIT_NOT_COMMITTED,
         "\r\n***** Module \"alpha\" stopped with an error: RunTest::Backup"},
        {"module without an engine", {{"added", "3"}}, true, false, RunOutcome::Failed, EXIT_NOT_COMMITTED,
         "\"nullmod\" gave no engine"},
        {"items in error", {{"added", "3"}, {"errors", "2"}}, false, false, RunOutcome::Committed, EXIT_ITEMS_MISSING,
         "2 Items Error"},
        {"stop before the modules start", {}, false, true, RunOutcome::Cancelled, EXIT_NOT_COMMITTED,
         "\r\n***** The run was stopped before module \"alpha\".\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CTempDir dir;
        CTestJob job(dir);
        job.AddModule("alpha", c.alpha);
        if (c.nullmod) job.AddModule("nullmod");
        job.Save();
        m_view = CRecordingView();
        if (c.stopAtStart) m_view.onEvent = [&] { m_runner.RequestStop(); };
        const RunSummary& run = m_runner.RunJob(job.path, true, RunKind::Scheduled);
        EXPECT_EQ(run.outcome, c.outcome) << RunOutcomeName(run.outcome);
        EXPECT_EQ(run.ExitStatus(), c.status);
        const std::string log = run.logPath.empty() ? "" : tavtest::ReadFile(run.logPath);
        EXPECT_TRUE(Contains(log + run.problem, c.said)) << log << run.problem;
        const bool committed = c.outcome == RunOutcome::Committed;
        EXPECT_EQ(Baselines(job.ImagePath()).size() == 2u, committed);
        EXPECT_EQ(m_view.Shown("Backup Finished."), committed);
        if (c.stopAtStart) {
            EXPECT_FALSE(Contains(log, "Module alpha"));
        }
    }
}

TEST_F(JobRunnerTest, AStopCancelsTheEngineAtItsNextProgressReport) {
    CommitFirstRun();
    m_job.AddModule("alpha").SetAttribute("progress", "5");
    m_job.AddModule("beta");
    m_job.Save();
    m_view.stopAtReport = 2;
    const RunSummary& run = Run(true);
    EXPECT_EQ(run.outcome, RunOutcome::Cancelled);
    EXPECT_TRUE(m_runner.IsStopRequested());
    EXPECT_EQ(m_view.progress.size(), 2u) << "cancelled at the report that saw the stop";
    const std::string log = LogText(run);
    EXPECT_TRUE(Contains(log, "\r\nBackup Cancelled\r\n"));
    EXPECT_FALSE(Contains(log, "Module beta"));
    EXPECT_EQ(m_view.runStates.back(), RUN_STATE_CANCELLED);
    EXPECT_FALSE(m_view.Shown("Backup Finished.")) << "no box after a stop";
    EXPECT_EQ(Baselines(m_job.ImagePath()).size(), 2u);
    EXPECT_FALSE(plat::PathExists(m_job.ImagePath(1)));

    // The next run starts with the flag cleared.
    m_view = CRecordingView();
    EXPECT_EQ(Run(false).outcome, RunOutcome::Committed);
    EXPECT_FALSE(m_runner.IsStopRequested());
}

}  // namespace
