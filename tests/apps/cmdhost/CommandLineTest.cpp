// The command host's command line, the counters read from closing logs, the record texts,
// what the host shows and asks (the terminal view and its progress line, the repository's
// questions) and the stop signal.
#include <gtest/gtest.h>

#include <sstream>

#include "CommandLine.h"
#include "ConsoleView.h"
#include "HostErrorCallback.h"
#include "HostRecords.h"
#include "RunCounters.h"
#include "RunnerTestUtil.h"
#include "StopSignal.h"

using namespace cmdhost;
using namespace hosttest;
using Tokens = std::vector<std::string>;

// Tokens split at white space; a quoted token ends only at a quote before white space or
// the end of the line.
TEST(Tokenize, SplitsAtWhiteSpaceAndKeepsQuotedPathsWhole) {
    const std::pair<const char*, Tokens> cases[] = {
        {"", {}},
        {" \t ", {}},
        {"host  JOB_BACKUP\t/a/job.tvj\r\n", {"host", "JOB_BACKUP", "/a/job.tvj"}},
        // The editor's line: the program, then four quoted tokens.
        {"/opt/tavora/TavCmdHost JOB_BACKUP \"/home/anna/My Jobs/daily.tvj\" \"FULL\" \"SW_HIDE\" \"\"",
         {"/opt/tavora/TavCmdHost", "JOB_BACKUP", "/home/anna/My Jobs/daily.tvj", "FULL", "SW_HIDE", ""}},
        {"x \"a\"b c\" d", {"x", "a\"b c", "d"}},  // a quote not followed by white space belongs to it
        {"x \"a \"b\" c", {"x", "a \"b", "c"}},
        {"x \"/a b/job.tvj FULL", {"x", "/a b/job.tvj FULL"}},  // no closing quote: to the end
        {"x a\"b c", {"x", "a\"b", "c"}},                    // kept inside an unquoted token
        {"\"only\"", {"only"}},
    };
    for (const auto& [line, tokens] : cases) EXPECT_EQ(TokenizeCommandLine(line), tokens) << line;
}

// Words are read by their place, ignoring letter case; the scheduler's two words after the
// type are known, anything else is listed as unknown.
TEST(HostCommand, ReadsTheWordsByTheirPlaceAndListsUnknownOnes) {
    const struct {
        Tokens tokens;
        bool backup, full, hide;
        Tokens unknown;
    } cases[] = {
        {TokenizeCommandLine("h JOB_BACKUP \"/j b.tvj\" FULL SW_HIDE"), true, true, true, {}},
        {{"h", "job_backup", "/j.tvj", "full"}, true, true, false, {}},
        {{"h", "JOB_BACKUP", "/j.tvj"}, true, false, false, {}},  // incremental
        // SW_HIDE counts anywhere; only token 3 selects the type.
        {{"h", "JOB_BACKUP", "/j", "INCREMENT", "sw_hide"}, true, false, true, {"INCREMENT"}},
        {{"h", "JOB_BACKUP", "/j.tvj", "SW_HIDE", "FULL"}, true, false, true, {"FULL"}},
        // The scheduler's two words follow the type.
        {{"h", "JOB_BACKUP", "/j", "FULL", "Scheduled", "Scheduled backup"}, true, true, false, {}},
        {{"h", "JOB_BACKUP", "/j", "INC", "Scheduled", "backup", "x"}, true, false, false, {"x"}},
        {{}, false, false, false, {}},
        {{"h", "/j.tvj", "JOB_BACKUP"}, false, false, false, {"/j.tvj", "JOB_BACKUP"}},
        {{"h", "JOB_BACKUPX", "/j.tvj"}, false, false, false, {"JOB_BACKUPX", "/j.tvj"}},
        {{"h", "SW_HIDE"}, false, false, true, {}},
        {{"h", "--help"}, false, false, false, {}},
    };
    for (const auto& c : cases) {
        const HostCommand command = ParseHostCommand(c.tokens);
        const std::string line = ::testing::PrintToString(c.tokens);
        EXPECT_EQ(command.backup, c.backup) << line;
        EXPECT_EQ(command.full, c.full) << line;
        EXPECT_EQ(command.hide, c.hide) << line;
        EXPECT_EQ(command.unknown, c.unknown) << line;
    }
    EXPECT_TRUE(ParseHostCommand({"h", "--help"}).help);
    EXPECT_EQ(ParseHostCommand(TokenizeCommandLine("h JOB_BACKUP \"/j b.tvj\"")).jobPath,
              "/j b.tvj");
    EXPECT_EQ(ParseHostCommand({"h", "JOB_BACKUP"}).jobPath, "")
        << "the runner refuses a missing job path";
}

TEST(RunCounters, SumsTheCounterLinesOfClosingLogs) {
    RunCounters counters;
    counters.AddFromLog(
        "Finish Backup Files and Folders: Mon May  6 10:00:00 2024\n\r\n12 Files Added\r\n3 Files "
        "Updated\r\n40 Files Skipped\r\n1 Files Deleted\r\n2 Items Error\r\n");
    counters.AddFromLog("\r\nFinish Backup Outlook Express: x\r\n5 Files Added\r\n0 Files Updated\r\n");
    EXPECT_EQ(counters.added, 17u);
    EXPECT_EQ(counters.updated, 3u);
    EXPECT_EQ(counters.skipped, 40u);
    EXPECT_EQ(counters.deleted, 1u);
    EXPECT_EQ(counters.errors, 2u);
    // Lines that only look alike are not counted.
    counters.AddFromLog("Adding \"/data/7 Files Added\"\r\n7 Files Added twice\r\n-1 Items Error\r\n"
                        " 4 Files Added\r\n99999999999999999999999 Files Added\r\n");
    EXPECT_EQ(counters.added, 17u);
    EXPECT_EQ(counters.errors, 2u);
}

TEST(HostRecords, TextsAreCutToTheirRoomInCharacters) {
    EXPECT_EQ(CutChars("abcdef", 3), "abc");
    EXPECT_EQ(CutChars("abc", 3), "abc");
    EXPECT_EQ(CutChars("", 0), "");
    EXPECT_EQ(CutChars("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t") << "never inside a character";
    EXPECT_EQ(CutChars("\xE2\x82\xAC\xE2\x82\xAC", 1), "\xE2\x82\xAC");
}

TEST(ProgressLine, ShowsBarPercentTitleAndFileWithinTheWidth) {
    HostStatusRecord status{"Backup File", "/home/anna/a.txt", 42};
    EXPECT_EQ(CConsoleView::RenderProgressLine(status, 80),
              "[########............]  42%  Backup File: /home/anna/a.txt");
    status.percent = 250;
    EXPECT_EQ(CConsoleView::RenderProgressLine(status, 80).substr(0, 27),
              "[####################] 100%");

    status.percent = 7;
    status.item = "/home/anna/" + std::string(200, 'd') + "/the-end.txt";
    const std::string line = CConsoleView::RenderProgressLine(status, 80);
    EXPECT_EQ(line.size(), 79u);
    EXPECT_NE(line.find("Backup File: /home/"), std::string::npos) << line;
    EXPECT_NE(line.find("..."), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 11), "the-end.txt") << "the file name stays readable";

    // Control characters in a name cannot move the cursor.
    status.item = "/a\rb\x1b[2Jc";
    EXPECT_EQ(CConsoleView::RenderProgressLine(status, 80).find_first_of("\r\x1b"), std::string::npos);
}

TEST(ConsoleView, MessagesAndProblemsBecomeLinesTheBarIsErasedAndAStopIsSaidOnce) {
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

    // The stop signal asks the run to stop, saying so once.
    CStopSignal stop;
    CConsoleView stoppable(progress, messages, ConsoleOptions(), &stop);
    EXPECT_FALSE(stoppable.Pump());
    CStopSignal::Raise();
    EXPECT_TRUE(stoppable.Pump());
    EXPECT_TRUE(stoppable.Pump());
    EXPECT_EQ(messages.str().substr(before),
              "Stopping: the run is rolled back at the next item...\n");
}

TEST(ErrorCallback, WithoutAWindowTheRepositoryGivesUpAndAShownOneAsks) {
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

    // A shown window asks, and takes the chosen path.
    view = CRecordingView();
    path = "/mnt/usb/store.tvr";
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
