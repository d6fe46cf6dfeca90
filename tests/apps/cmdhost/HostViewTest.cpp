// What the host shows and asks: the command line's effect on the view, the terminal view,
// the repository's questions, the stop signal.
#include <gtest/gtest.h>

#include <sstream>

#include "CmdHostApp.h"
#include "ConsoleView.h"
#include "HostErrorCallback.h"
#include "RunnerTestUtil.h"
#include "StopSignal.h"

using namespace cmdhost;
using namespace hosttest;

namespace {

class HostAppTest : public ::testing::Test {
protected:
    HostAppTest() : m_hub(60000), m_job(m_dir) { m_hub.Reconnoiter({CMDHOST_TEST_MODULE_DIR}); }

    CTempDir m_dir;
    CTavModFactory m_hub;
    CRecordingView m_view;
    CCmdHostApp m_app{m_hub, m_view};
    CTestJob m_job;
};

TEST_F(HostAppTest, JobBackupWithAQuotedPathFullAndSwHideRunsHidden) {
    m_job.AddModule("alpha");
    m_job.Save();
    EXPECT_EQ(m_app.HandleCommandLine("TavCmdHost JOB_BACKUP \"" + m_job.path + "\" \"FULL\" \"SW_HIDE\""),
              EXIT_COMMITTED);
    EXPECT_FALSE(m_view.visible);
    EXPECT_TRUE(m_view.messages.empty()) << "a hidden run shows no box";
    EXPECT_EQ(m_app.Runner().LastRun().command & 0xF000u, 0x1000u);
    EXPECT_EQ(Baselines(m_job.ImagePath()).size(), 2u);

    EXPECT_EQ(m_app.HandleTokens({"TavCmdHost", "job_backup", m_job.path}), EXIT_COMMITTED);
    EXPECT_EQ(m_app.Runner().LastRun().command & 0xF000u, 0x2000u) << "incremental without FULL";
}

TEST(ConsoleView, MessagesAndProblemsBecomeLinesAndTheBarIsErased) {
    std::ostringstream progress, messages;
    ConsoleOptions options;
    options.progressBar = true;
    CConsoleView view(progress, messages, options);
    view.OnEngineEvent(EngineEvent::Progress, {"Backup File", "/d/a.txt", 50});
    EXPECT_EQ(progress.str(), "\r[##########..........]  50%  Backup File: /d/a.txt");
    view.ShowMessage("Backup Finished.", MessageIcon::Information);
    EXPECT_EQ(messages.str(), "Backup Finished.\n");
    EXPECT_EQ(progress.str().substr(progress.str().size() - 1), "\r") << "bar erased before the line";
    view.ReportProblem("module \"x\" is not installed");
    EXPECT_EQ(messages.str(), "Backup Finished.\nTavCmdHost: module \"x\" is not installed\n");

    RunSummary failed;
    failed.outcome = RunOutcome::CannotStart;
    failed.problem = "Image folder \"/mnt/usb\" does not exist.";
    failed.logPath = "/j.tvj.00000001.log/1.log";
    view.OnRunEnded(failed);
    EXPECT_TRUE(Contains(messages.str(), "TavCmdHost: Image folder \"/mnt/usb\" does not exist.\n"
                                         "TavCmdHost: No baseline was saved; the repository is left as it "
                                         "was before the run. Run log: /j.tvj.00000001.log/1.log\n"));
    const size_t before = messages.str().size();
    RunSummary committed;
    committed.outcome = RunOutcome::Committed;
    view.OnRunEnded(committed);
    EXPECT_EQ(messages.str().size(), before) << "a committed run adds nothing";
}

TEST(ConsoleView, TheStopSignalAsksTheRunToStopOnce) {
    std::ostringstream progress, messages;
    CStopSignal stop;
    CConsoleView view(progress, messages, ConsoleOptions(), &stop);
    EXPECT_FALSE(view.Pump());
    CStopSignal::Raise();
    EXPECT_TRUE(view.Pump());
    EXPECT_TRUE(view.Pump());
    EXPECT_EQ(messages.str(), "Stopping: the run is rolled back at the next item...\n");
}

TEST(ErrorCallback, WithoutAWindowTheRepositoryGivesUp) {
    CRecordingView view;
    view.visible = false;
    view.answerYes = true;
    view.chosenPath = "/elsewhere/store.tvr";
    CHostErrorCallback callback(view);
    std::string path = "/mnt/usb/store.0003.tvr";
    EXPECT_EQ(callback.OnChangePath(nullptr, path), 0);
    EXPECT_EQ(path, "/mnt/usb/store.0003.tvr");
    EXPECT_TRUE(view.questions.empty());
    ASSERT_EQ(view.problems.size(), 1u);
    EXPECT_EQ(view.problems[0], "Cannot find image path \"/mnt/usb/store.0003.tvr\".");
    EXPECT_EQ(callback.OnChangeDisk(nullptr, path), 0);
    EXPECT_EQ(view.problems[1], "Disk space for image path \"/mnt/usb/store.0003.tvr\" is full.");
}

TEST(ErrorCallback, AShownWindowAsksAndTakesTheChosenPath) {
    CRecordingView view;
    CHostErrorCallback callback(view);
    std::string path = "/mnt/usb/store.tvr";
    EXPECT_EQ(callback.OnChangePath(nullptr, path), 0) << "No";
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0],
              "Cannot find image path \"/mnt/usb/store.tvr\".\nDo you want to browse for the path?");

    view.answerYes = true;
    EXPECT_EQ(callback.OnChangeDisk(nullptr, path), 0) << "Yes, then the dialog cancelled";
    EXPECT_EQ(view.questions[1], "Disk space for image path \"/mnt/usb/store.tvr\" is full.\n"
                                 "Do you want to open new image path in another drive?");
    EXPECT_EQ(path, "/mnt/usb/store.tvr");

    view.chosenPath = "/mnt/other/store.tvr";
    EXPECT_EQ(callback.OnChangePath(nullptr, path), 2);
    EXPECT_EQ(path, "/mnt/other/store.tvr");
}

}  // namespace
