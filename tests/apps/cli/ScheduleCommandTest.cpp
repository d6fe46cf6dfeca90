// tavctl schedule on the in-memory scheduler.
#include <gtest/gtest.h>

#include <regex>

#include "CliTestRepo.h"
#include "platform/TaskScheduler.h"
#include "tavengine/TavJobHelper.h"

using namespace clitest;

namespace {

class ScheduleCommandTest : public ::testing::Test {
protected:
    ScheduleCommandTest() {
        plat::SetTaskSchedulerOverride(m_scheduler);
        plat::CreateDirectories(m_dir / "My Jobs/repo");
        EXPECT_EQ(m_cli.Run({"job", "new", m_job, "--location", m_dir / "My Jobs/repo", "--name", "store"}).code, 0);
        CTavJobHelper job;
        EXPECT_EQ(job.Load(m_job), 1);
        char id[16];
        std::snprintf(id, sizeof id, "%08X", job.GetJobID());
        m_id = id;
    }
    ~ScheduleCommandTest() override { plat::SetTaskSchedulerOverride(nullptr); }

    std::vector<plat::ScheduledTask> Tasks() {
        std::vector<plat::ScheduledTask> tasks;
        m_scheduler->List(tasks);
        return tasks;
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "My Jobs/it's 100% $daily.tvj";
    std::string m_id;
    std::shared_ptr<plat::ITaskScheduler> m_scheduler = plat::MakeMemoryScheduler();
};

TEST_F(ScheduleCommandTest, MakesTasksAsTheEditorDoesRefusesWrongOnesAndListsAJobsTasks) {
    struct Case {
        std::vector<std::string> options;
        const char* type;
        const char* backupWord;
        const char* when;
    };
    const std::vector<Case> cases = {
        {{}, "Inc", "INC", "every day at 02:00"},
        {{"--full"}, "Ful", "FULL", "every Sat at 01:00"},
        {{"--daily", "23:15"}, "Inc", "INC", "every day at 23:15"},
        {{"--weekly", "sun", "4:05", "--full"}, "Ful", "FULL", "every Sun at 04:05"},
        {{"--weekly", "Mon,thu 22:30"}, "Inc", "INC", "every Mon, Thu at 22:30"},
    };
    m_cli.env["TAVORA_HOME"] = m_dir / "settings";
    for (const Case& c : cases) {
        std::vector<std::string> args = {"schedule", m_job};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliResult r = m_cli.Expect(0, args);
        ASSERT_EQ(Tasks().size(), 1u);
        const plat::ScheduledTask task = Tasks()[0];
        EXPECT_TRUE(std::regex_match(task.name, std::regex("Tavora\\." + m_id + "\\." + c.type + "\\.[0-9A-F]{8}")))
            << task.name;
        EXPECT_EQ(plat::TriggerText(task.triggers.at(0)), c.when);
        ASSERT_EQ(task.command.size(), 5u);
        EXPECT_EQ(plat::BaseName(task.command[0]), "TavCmdHost");
        EXPECT_EQ(std::vector<std::string>(task.command.begin() + 1, task.command.end()),
                  (std::vector<std::string>{"JOB_BACKUP", m_job, c.backupWord, "SW_HIDE"}));
        EXPECT_EQ(task.environment, (std::vector<std::pair<std::string, std::string>>{{"TAVORA_HOME", m_dir / "settings"}}));
        EXPECT_NE(r.out.find(c.when), std::string::npos) << r.out;

        const CliResult listed = m_cli.Run({"schedule", "--list", m_job});
        EXPECT_NE(listed.out.find(task.name), std::string::npos) << listed.out;
        EXPECT_NE(listed.out.find(c.type == std::string("Ful") ? "Full Backup" : "Incremental Backup"), std::string::npos);
        m_cli.Expect(0, {"schedule", "--remove", task.name});
        EXPECT_TRUE(Tasks().empty());
    }

    // What cannot be scheduled is refused; --list with a job lists only its tasks.
    const std::vector<std::pair<std::vector<std::string>, int>> refused = {
        {{"schedule", m_job, "--daily", "24:00"}, 2},
        {{"schedule", m_job, "--daily", "2"}, 2},
        {{"schedule", m_job, "--weekly", "someday", "01:00"}, 2},
        {{"schedule", m_job, "--weekly", "sat"}, 2},
        {{"schedule", m_job, "--daily", "01:00", "--weekly", "sat", "01:00"}, 2},
        {{"schedule", m_job, "--list", "--remove", "Tavora.1.Inc.2"}, 2},
        {{"schedule"}, 2},
        {{"schedule", "--remove", "ssh-agent"}, 2},
        {{"schedule", "--remove", "Tavora.00000001.Inc.00000002"}, 1},
        {{"schedule", m_dir / "missing.tvj"}, 1},
    };
    for (const auto& [args, code] : refused)
        EXPECT_FALSE(m_cli.Expect(code, args).err.empty()) << args.back();
    EXPECT_TRUE(Tasks().empty());
    EXPECT_NE(m_cli.Run({"schedule", "--list"}).out.find("No schedules"), std::string::npos);

    // --list with a job lists only that job's tasks.
    plat::ScheduledTask foreign;  // a job whose id differs in its last digit only
    foreign.name = "Tavora." + m_id.substr(0, 7) + (m_id[7] == '0' ? "1" : "0") + ".Add.00000001";
    foreign.command = {"/bin/true"};
    foreign.triggers = {plat::TaskTrigger{}};
    ASSERT_TRUE(m_scheduler->Create(foreign));
    m_cli.Expect(0, {"schedule", m_job});
    const std::string ofJob = m_cli.Run({"schedule", "--list", m_job}).out;
    EXPECT_EQ(ofJob.find(foreign.name), std::string::npos) << ofJob;
    const std::string all = m_cli.Run({"schedule", "--list"}).out;
    EXPECT_NE(all.find(foreign.name), std::string::npos) << all;
    EXPECT_NE(all.find("Additional Backup"), std::string::npos) << all;
}

}  // namespace
