// What the host shows and asks: the terminal view, the repository's questions, the stop
// signal.
#include <gtest/gtest.h>

#include <sstream>

#include "ConsoleView.h"
#include "HostErrorCallback.h"
#include "RunnerTestUtil.h"
#include "StopSignal.h"

using namespace cmdhost;
using namespace hosttest;

namespace {

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
