// Scheduled tasks: command lines that reach the program unchanged through systemd and cron,
// triggers in both syntaxes, and the same behaviour from the three schedulers.
#include <gtest/gtest.h>

#include <map>

#include "support/TempDir.h"
#include "platform/Process.h"
#include "platform/TaskScheduler.h"
#include "platform/TaskText.h"

using namespace plat;
using tavtest::CTempDir;

namespace {

// Texts that a job path may hold and that each syntax treats specially.
const std::vector<std::string> AWKWARD = {
    "/home/ann/My Jobs/daily.tvj", "say \"hi\"", "it's", "100%", "%h%%n", "$HOME", "${USER}x", "$$",
    "back\\slash", "a\\%b", "a\\'b", "'%'", "", "#not a comment", "a;b|c&d`e`", "tab\there", "ünï"};

TaskTrigger Daily(int h, int m) { return {TaskTriggerKind::Daily, h, m}; }
TaskTrigger Weekly(uint8_t days, int h, int m) { return {TaskTriggerKind::Weekly, h, m, 0, 0, 0, days}; }
TaskTrigger Monthly(uint32_t days, uint16_t months, int h, int m) {
    return {TaskTriggerKind::Monthly, h, m, 0, 0, 0, 0, days, months};
}
TaskTrigger Once(int y, int mo, int d, int h, int m) { return {TaskTriggerKind::Once, h, m, y, mo, d}; }

const std::vector<TaskTrigger> TRIGGERS = {
    Daily(2, 0), Daily(23, 59), Weekly(1u << 6, 1, 0), Weekly(0x7F, 0, 5), Weekly(0x2A, 12, 30),
    Monthly(1, 0xFFF, 3, 0), Monthly((1u << 14) | (1u << 30), 0x041, 4, 15), Once(2027, 2, 28, 18, 30)};

// What cron does to a command field before the shell sees it: "\%" becomes '%', and an
// unescaped '%' ends the command (the rest goes to its standard input).
std::string AsCronPassesIt(const std::string& field) {
    std::string out;
    bool escaped = false;
    for (char c : field) {
        if (escaped) {
            if (c == '%') out.back() = '%';
            else out += c;
            escaped = false;
            continue;
        }
        if (c == '%') break;
        if (c == '\\') escaped = true;
        out += c;
    }
    return out;
}

// Runs a crontab command field the way cron does (/bin/sh -c) and returns its output.
std::string RunAsCron(const TaskEnvironment& environment, const std::vector<std::string>& argv) {
    std::string field, error, output;
    EXPECT_TRUE(CronCommand(environment, argv, field, error)) << error;
    EXPECT_EQ(RunProcessCapture({"/bin/sh", "-c", AsCronPassesIt(field)}, "", output), 0) << field;
    return output;
}

bool HaveAnalyze() { return ProgramExists("systemd-analyze"); }

TEST(TaskTextTest, CommandLinesReachTheProgramUnchanged) {
    for (const std::string& text : AWKWARD) {
        const std::vector<std::string> argv = {"/usr/bin/printf", "%s\\n", text, "x " + text + " y"};
        std::vector<std::string> back;
        ASSERT_TRUE(SystemdSplitExecLine(SystemdExecLine(argv), back)) << SystemdExecLine(argv);
        EXPECT_EQ(back, argv) << SystemdExecLine(argv);
        EXPECT_EQ(RunAsCron({}, argv), text + "\nx " + text + " y\n") << text;
        std::string field, error;
        TaskEnvironment env;
        ASSERT_TRUE(CronCommand({{"TAVORA_HOME", text}}, argv, field, error));
        ASSERT_TRUE(CronSplitCommand(field, env, back)) << field;
        EXPECT_EQ(back, argv);
        EXPECT_EQ(env, (TaskEnvironment{{"TAVORA_HOME", text}}));
    }
    // A variable set before the command reaches it as written.
    EXPECT_NE(RunAsCron({{"WINEPREFIX", "/a b/%x'y$z"}}, {"/usr/bin/env"}).find("WINEPREFIX=/a b/%x'y$z\n"),
              std::string::npos);
    // systemd takes the program's path as it stands ('$' included) and expands '%' in it.
    std::vector<std::string> back;
    ASSERT_TRUE(SystemdSplitExecLine(SystemdExecLine({"/opt/100% $x/prog", "$x"}), back));
    EXPECT_EQ(back, (std::vector<std::string>{"/opt/100% $x/prog", "$x"}));
    EXPECT_EQ(SystemdExecLine({"/opt/100% $x/prog", "$x"}), "\"/opt/100%% $x/prog\" \"$$x\"");
    // Line breaks: systemd escapes them, a crontab line cannot hold one.
    ASSERT_TRUE(SystemdSplitExecLine(SystemdExecLine({"/bin/x", "a\nb"}), back));
    EXPECT_EQ(back, (std::vector<std::string>{"/bin/x", "a\nb"}));
    std::string field, error;
    EXPECT_FALSE(CronCommand({}, {"/bin/x", "a\nb"}, field, error));
    EXPECT_NE(error.find("line break"), std::string::npos);
}

TEST(TaskTextTest, TriggersReadBackFromBothSyntaxes) {
    for (const TaskTrigger& t : TRIGGERS) {
        TaskTrigger back;
        ASSERT_TRUE(ParseOnCalendar(OnCalendarValue(t), back)) << OnCalendarValue(t);
        EXPECT_EQ(back, t) << OnCalendarValue(t);
        std::string guard;
        const std::string fields = CronTimeFields(t, guard);
        ASSERT_TRUE(ParseCronTime(fields, guard, back)) << fields;
        EXPECT_EQ(back, t) << fields;
    }
    std::string guard;
    EXPECT_EQ(OnCalendarValue(Daily(2, 0)), "*-*-* 02:00:00");
    EXPECT_EQ(OnCalendarValue(Weekly(1u << 6, 1, 0)), "Sat *-*-* 01:00:00");
    EXPECT_EQ(CronTimeFields(Weekly(1u << 6, 1, 0), guard), "0 1 * * 6");
    EXPECT_EQ(CronTimeFields(Monthly(1, 0xFFF, 3, 0), guard), "0 3 1 * *");
    EXPECT_EQ(TriggerText(Weekly(0x22, 22, 30)), "every Mon, Fri at 22:30");
    if (!HaveAnalyze()) GTEST_SKIP() << "systemd-analyze is not installed: OnCalendar values not checked by systemd";
    for (const TaskTrigger& t : TRIGGERS) {
        std::string output;
        EXPECT_EQ(RunProcessCapture({"systemd-analyze", "calendar", OnCalendarValue(t)}, "", output), 0)
            << OnCalendarValue(t) << ": " << output;
    }
}

// A stand-in for systemctl and crontab: records the calls, keeps the crontab text and links
// enabled timers into timers.target.wants as systemctl does.
struct CFakeTools {
    std::string unitFolder;
    std::string crontab = "MAILTO=ann\n15 4 * * * /usr/bin/true # the user's own line, 100% kept\n";
    bool crontabExists = true;
    std::vector<std::string> calls;

    CommandRunner Runner() {
        return [this](const std::vector<std::string>& argv, const std::string& input) {
            std::string call;
            for (const std::string& a : argv) call += (call.empty() ? "" : " ") + a;
            calls.push_back(call);
            if (argv[0] == "crontab" && argv[1] == "-l")
                return crontabExists ? CommandOutcome{0, crontab} : CommandOutcome{1, "no crontab for ann\n"};
            if (argv[0] == "crontab") {
                crontab = input;
                crontabExists = true;
                return CommandOutcome{0, ""};
            }
            if (argv.size() == 5 && (argv[2] == "enable" || argv[2] == "disable")) {
                const std::string wants = JoinPath(unitFolder, "timers.target.wants");
                CreateDirectories(wants);
                const std::string link = JoinPath(wants, argv[4]);
                RemoveFile(link);
                if (argv[2] == "enable") CreateSymlink(JoinPath(unitFolder, argv[4]), link);
            }
            return CommandOutcome{0, ""};
        };
    }
};

class SchedulerBase : public ::testing::Test {
protected:
    void Use(const std::string& backend) {
        m_backend = backend;
        m_tools.unitFolder = m_dir / "systemd/user";
        if (backend == "memory") m_scheduler = MakeMemoryScheduler();
        if (backend == "systemd") m_scheduler = MakeSystemdScheduler(m_tools.unitFolder, m_tools.Runner());
        if (backend == "crontab") m_scheduler = MakeCrontabScheduler(m_tools.Runner());
    }

    ScheduledTask Task(const std::string& name) {
        ScheduledTask task;
        task.name = name;
        task.command = {"/bin/echo", "JOB_BACKUP", m_dir / "My Jobs/it's 100% \"$HOME\" \\.tvj", "FULL", "SW_HIDE"};
        task.environment = {{"TAVORA_HOME", m_dir / "home %h $x"}};
        task.triggers = {Weekly(1u << 6, 1, 0), Monthly(1, 0xFFF, 3, 0)};
        if (m_backend != "crontab") task.description = "Tavora full backup of 100% \"daily\"";
        return task;
    }

    std::vector<ScheduledTask> Listed() {
        std::vector<ScheduledTask> tasks;
        EXPECT_TRUE(m_scheduler->List(tasks)) << m_scheduler->ErrorText();
        return tasks;
    }

    std::string m_backend;
    CTempDir m_dir;
    CFakeTools m_tools;
    std::unique_ptr<ITaskScheduler> m_scheduler;
};

class SchedulerTest : public SchedulerBase, public ::testing::WithParamInterface<std::string> {
protected:
    SchedulerTest() { Use(GetParam()); }
};

TEST_P(SchedulerTest, CreatesListsUpdatesAndDeletes) {
    const ScheduledTask task = Task("Tavora.5CE5645C.Ful.6B1603C4");
    ScheduledTask other = Task("Tavora.5CE5645C.Inc.6B1603C5");
    other.triggers = {Daily(2, 0)};
    ScheduledTask changed = task;
    changed.enabled = false;
    changed.triggers = {Once(2027, 1, 31, 6, 45)};
    ScheduledTask relative = Task("Tavora.1.Inc.2");
    relative.command[0] = "TavCmdHost";
    ScheduledTask badName = Task("Tavora x");

    struct Step {
        const char* what;
        std::function<bool()> call;
        const char* error;  // a part of the error text; null when the call succeeds
        std::vector<ScheduledTask> listed;
    };
    const std::vector<Step> steps = {
        {"create", [&] { return m_scheduler->Create(task); }, nullptr, {task}},
        {"create again", [&] { return m_scheduler->Create(task); }, "exists already", {task}},
        {"create another", [&] { return m_scheduler->Create(other); }, nullptr, {task, other}},
        {"update", [&] { return m_scheduler->Update(changed); }, nullptr, {changed, other}},
        {"update missing", [&] { return m_scheduler->Update(Task("Tavora.9.Inc.9")); }, "no scheduled task", {changed, other}},
        {"relative program", [&] { return m_scheduler->Create(relative); }, "absolute path", {changed, other}},
        {"bad name", [&] { return m_scheduler->Create(badName); }, "task name", {changed, other}},
        {"delete", [&] { return m_scheduler->Delete(task.name); }, nullptr, {other}},
        {"delete again", [&] { return m_scheduler->Delete(task.name); }, "no scheduled task", {other}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(step.call(), step.error == nullptr);
        if (step.error) {
            EXPECT_NE(m_scheduler->ErrorText().find(step.error), std::string::npos) << m_scheduler->ErrorText();
        }
        EXPECT_EQ(Listed(), step.listed);
    }
    if (m_backend == "crontab") {
        EXPECT_EQ(m_tools.crontab.rfind("MAILTO=ann\n15 4 * * * /usr/bin/true # the user's own line, 100% kept\n", 0), 0u)
            << "the user's own lines stay as they were";
    }
}

TEST_F(SchedulerBase, CrontabStartsAMissingCrontabAndSystemdRefusesAProgramPathItCannotStart) {
    Use("crontab");
    m_tools.crontabExists = false;
    ASSERT_TRUE(m_scheduler->Create(Task("Tavora.1.Inc.2"))) << m_scheduler->ErrorText();
    EXPECT_EQ(Listed().size(), 1u);
    auto failing = MakeCrontabScheduler([](const std::vector<std::string>&, const std::string&) {
        return CommandOutcome{1, "crontab: your UID isn't in the passwd file.\n"};
    });
    std::vector<ScheduledTask> tasks;
    EXPECT_FALSE(failing->List(tasks));
    EXPECT_EQ(failing->ErrorText(),
              "crontab -l failed: crontab: your UID isn't in the passwd file.");

    // systemd: a program path it cannot start is refused; the units of one it can are accepted.
    Use("systemd");
    ScheduledTask refused = Task("Tavora.1.Inc.2");
    refused.command[0] = "/opt/it's/TavCmdHost";
    EXPECT_FALSE(m_scheduler->Create(refused));
    EXPECT_NE(m_scheduler->ErrorText().find("quote"), std::string::npos) << m_scheduler->ErrorText();
    EXPECT_TRUE(Listed().empty());
    if (!HaveAnalyze()) GTEST_SKIP() << "systemd-analyze is not installed: units not checked by systemd";
    // The program's own path holds the awkward characters: systemd must find it.
    const std::string program = m_dir / "bin 100% $x $$";
    CreateDirectories(DirName(program));
    ASSERT_TRUE(tavtest::WriteFile(program, "#!/bin/sh\n"));
    SetFileMode(program, 0755);
    ScheduledTask task = Task("Tavora.5CE5645C.Ful.6B1603C4");
    task.command[0] = program;
    ASSERT_TRUE(m_scheduler->Create(task)) << m_scheduler->ErrorText();
    std::string output;
    const int status = RunProcessCapture({"systemd-analyze", "verify", m_tools.unitFolder + "/" + task.name + ".timer",
                                          m_tools.unitFolder + "/" + task.name + ".service"},
                                         "", output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find(task.name), std::string::npos) << output;
    EXPECT_NE(m_tools.calls.end(), std::find(m_tools.calls.begin(), m_tools.calls.end(),
                                             "systemctl --user enable --now " + task.name + ".timer"));
}

INSTANTIATE_TEST_SUITE_P(Backends, SchedulerTest, ::testing::Values("memory", "systemd", "crontab"),
                         [](const auto& info) { return info.param; });

}  // namespace
