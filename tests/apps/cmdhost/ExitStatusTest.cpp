// The exit statuses of a backup run as cron and systemd see them, through the real
// TavCmdHost and tavctl programs: 0 committed and complete, 3 committed with items missing,
// 1 nothing committed, 2 wrong usage; the items in error listed on stderr; and what
// TavCmdHost prints, hidden and visible.
#include <gtest/gtest.h>

#include <functional>

#include "RunnerTestUtil.h"
#include "support/ProgramRun.h"

using namespace hosttest;

namespace {

using HostResult = tavtest::ProgramResult;

// One program run with the modules of the build, a private settings store and Wine prefix.
HostResult RunWithModules(const CTempDir& dir, const std::vector<std::string>& command) {
    return tavtest::RunProgram(dir, command,
                               {{"TAVORA_MODULE_PATH", FILES_MODULE_DIR}, {"TAVORA_HOME", dir / "home"},
                                {"WINEPREFIX", dir / "wine"}, {"XDG_RUNTIME_DIR", dir.Path()}});
}

// TavCmdHost with `arguments` over the test modules.
HostResult RunHost(const CTempDir& dir, const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {TAVCMDHOST_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return tavtest::RunProgram(dir, command, {{"TAVORA_MODULE_PATH", CMDHOST_TEST_MODULE_DIR}});
}

// A job over dir/data (a.txt in it); each case changes it before the run.
struct ExitCase {
    const char* name;
    std::function<void(const CTempDir&, CTavJobHelper&)> prepare;
    int status;
    std::vector<std::string> said;  // texts stderr holds
    std::string logged;             // a text the run log holds after dir's path
};

const ExitCase CASES[] = {
    {"complete", [](const CTempDir&, CTavJobHelper&) {}, 0, {}},
    // Twenty missing sources are listed, the rest counted: those are in the run log.
    {"23 missing sources",
     [](const CTempDir& dir, CTavJobHelper& job) {
         for (int i = 0; i < 23; ++i)
             job.GetBackupNode("files").AddChild("file").SetAttribute(
                 "fullpath", dir / ("gone" + std::to_string(i)));
     },
     3,
     {"23 item(s) could not be backed up:", "/gone0: No such file or directory",
      "  ... and 3 more (see the run log)\n"},
     "/gone22\r\n***** No such file or directory\r\n"},
    {"source that an excluded path names",
     [](const CTempDir& dir, CTavJobHelper& job) {
         XMLNode node = job.GetBackupNode("files");
         node.AddChild("file").SetAttribute("fullpath", dir / "skip");
         node.AddChild("excluded").SetAttribute("fullpath", dir / "skip");
         plat::CreateDirectories(dir / "skip");
     },
     3,
     {"/skip: the source is in the excluded paths"}},
    {"module not installed",
     [](const CTempDir&, CTavJobHelper& job) {
         job.AddBackupNode("Mail", "mailmodule").AddChild("item");
     },
     1,
     {"module \"mailmodule\" of the job is not installed", "No baseline was saved"}},
    // A missing image folder is the runner's test (JobRunnerTest): every run that commits
    // nothing ends with 1.
    {"job without a source",
     [](const CTempDir&, CTavJobHelper& job) { job.GetBackupNode("files").RemoveChildren("file"); },
     1,
     {"nothing to back up"}},
    {"identity whose store folder is missing",
     [](const CTempDir& dir, CTavJobHelper& job) {
         const std::string id = "{5C1D0A3E-1111-4A4A-9A9A-00000000000A}";
         const std::string key = "HKEY_CURRENT_USER\\Identities\\" + id;
         tavtest::WriteFile(dir / "home/user.reg",
                            "Windows Registry Editor Version 5.00\r\n\r\n[" + key +
                                "]\r\n\"Username\"=\"Anna\"\r\n\r\n[" + key +
                                "\\Software\\Microsoft\\Outlook Express\\5.0]\r\n"
                                "\"Store Root\"=\"C:\\\\nowhere\\\\Outlook Express\"\r\n");
         job.AddBackupNode("Outlook Express", "oe").AddChild("identity").SetAttribute("uid", id);
     },
     3,
     {"identity {5C1D0A3E-1111-4A4A-9A9A-00000000000A}"}},
};

class ExitStatusTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(plat::PathExists(std::string(FILES_MODULE_DIR) + "/filesmodule.so"))
            << "the modules are not built";
    }
    // TavCmdHost (the parameter false) or tavctl backup.
    std::vector<std::string> Command(const std::string& job) const {
        if (GetParam()) return {TAVCTL_PATH, "backup", job};
        return {TAVCMDHOST_PATH, "JOB_BACKUP", job, "FULL", "SW_HIDE"};
    }
};

TEST_P(ExitStatusTest, EachOutcomeHasItsStatusAndSaysWhy) {
    for (const ExitCase& c : CASES) {
        SCOPED_TRACE(c.name);
        CTempDir dir;
        plat::CreateDirectories(dir / "data");
        plat::CreateDirectories(dir / "home");
        tavtest::WriteFile(dir / "data/a.txt", "alpha\n");
        CTestJob job(dir);
        job.job.AddBackupNode("Files and Folders", "files").AddChild("file").SetAttribute("fullpath", dir / "data");
        c.prepare(dir, job.job);
        job.Save();
        const tavtest::ProgramResult r = RunWithModules(dir, Command(job.path));
        EXPECT_EQ(r.status, c.status) << r.err;
        for (const std::string& text : c.said) EXPECT_TRUE(Contains(r.err, text)) << r.err;
        EXPECT_EQ(Baselines(job.ImagePath()).size(), c.status == 1 ? (plat::PathExists(job.ImagePath()) ? 1u : 0u) : 2u);
        if (c.status != 0) {
            EXPECT_FALSE(Contains(r.err, "Backup Finished.")) << "a hidden run shows no box";
        }
        if (!c.logged.empty()) {
            const std::vector<std::string> logs = LogFiles(job.LogFolder());
            ASSERT_EQ(logs.size(), 1u);
            EXPECT_TRUE(Contains(tavtest::ReadFile(logs[0]), dir.Path() + c.logged));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ExitStatusTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "tavctl" : "TavCmdHost";
                         });

TEST(CmdHostProcess, AHiddenRunPrintsNothingAVisibleOneALineAndFailuresSayWhy) {
    CTempDir dir;
    CTestJob job(dir);
    job.AddModule("alpha", {{"progress", "3"}});
    job.Save();
    HostResult r = RunHost(dir, {"JOB_BACKUP", job.path, "FULL", "SW_HIDE"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "no bar when stdout is not a terminal";
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(Baselines(job.ImagePath()).size(), 2u);
    EXPECT_EQ(Baselines(job.ImagePath())[1].type & 0xF000u, 0x1000u) << "FULL";

    // Visible (no SW_HIDE): the message box becomes a line.
    r = RunHost(dir, {"JOB_BACKUP", job.path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Backup Finished.\n");
    ASSERT_EQ(Baselines(job.ImagePath()).size(), 3u);
    EXPECT_EQ(Baselines(job.ImagePath())[2].type & 0xF000u, 0x2000u) << "incremental without FULL";

    // Failures exit non-zero and say why, also when hidden.
    job.AddModule("beta", {{"fail", "yes"}});
    job.Save();
    r = RunHost(dir, {"JOB_BACKUP", job.path, "FULL", "SW_HIDE"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "TavCmdHost: module \"beta\" did not finish its part of the job"))
        << r.err;
    EXPECT_TRUE(Contains(r.err, "No baseline was saved")) << r.err;
    EXPECT_EQ(Baselines(job.ImagePath()).size(), 3u);

    r = RunHost(dir, {"BACKUP", job.path});
    EXPECT_EQ(r.status, 2) << "nothing to do";
    EXPECT_TRUE(Contains(r.err, "usage: TavCmdHost JOB_BACKUP JOB_FILE")) << r.err;
    EXPECT_EQ(RunHost(dir, {"--help"}).status, 0);

    // Unknown words are warned about, and the run goes on (to a job that is not there).
    r = RunHost(dir, {"JOB_BACKUP", dir / "none.tvj", "FULLL", "SW_HIDE", "extra"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, dir / "none.tvj")) << r.err;
    EXPECT_TRUE(Contains(r.err, "TavCmdHost: warning: ignored unknown word \"FULLL\"")) << r.err;
    EXPECT_TRUE(Contains(r.err, "TavCmdHost: warning: ignored unknown word \"extra\"")) << r.err;
}

}  // namespace
