// Scheduled tasks: programs the system starts at set times without the user, kept by
// systemd user timers where a user manager runs, else by the user's crontab. tavctl's
// schedule command and the job editor's schedule page work through ITaskScheduler; tests
// use the in-memory one.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace plat {

enum class TaskTriggerKind { Once, Daily, Weekly, Monthly };

// One time at which a task runs (local time).
struct TaskTrigger {
    TaskTriggerKind kind = TaskTriggerKind::Daily;
    int hour = 0;    // 0-23
    int minute = 0;  // 0-59
    // Once: the date of the run. Other kinds run from now on and ignore it.
    int year = 0, month = 0, day = 0;
    uint8_t weekDays = 0;     // Weekly: bit 0 Sunday ... bit 6 Saturday; at least one
    uint32_t monthDays = 0;   // Monthly: bit 0 the 1st ... bit 30 the 31st; at least one
    uint16_t months = 0xFFF;  // Monthly: bit 0 January ... bit 11 December

    bool operator==(const TaskTrigger&) const = default;
};

// A task: a name unique among the user's tasks, the program to start and when.
struct ScheduledTask {
    std::string name;                  // letters, digits, '.', '-', '_' (a unit name)
    std::vector<std::string> command;  // absolute program path, then its arguments
    std::vector<std::pair<std::string, std::string>> environment;  // set for the run
    std::vector<TaskTrigger> triggers;
    bool enabled = true;
    std::string description;  // one line for the user

    bool operator==(const ScheduledTask&) const = default;
};

// The scheduler of the current user. Every call that fails returns false and leaves a
// sentence for the user in ErrorText() (what failed and why).
class ITaskScheduler {
public:
    virtual ~ITaskScheduler() = default;
    // "systemd", "crontab" or "memory".
    virtual std::string Backend() const = 0;
    // Every task this scheduler keeps that was made through this interface.
    virtual bool List(std::vector<ScheduledTask>& tasks) = 0;
    // Adds a new task; a name in use already is an error.
    virtual bool Create(const ScheduledTask& task) = 0;
    // Replaces the task of the same name (command, triggers, enabled state).
    virtual bool Update(const ScheduledTask& task) = 0;
    virtual bool Delete(const std::string& name) = 0;
    const std::string& ErrorText() const { return m_error; }

protected:
    bool Failed(std::string text) {
        m_error = std::move(text);
        return false;
    }
    std::string m_error;
};

// Runs a helper program (systemctl, crontab) with `input` on its standard input; its exit
// status (-1 when it could not run) and what it printed on standard output and error.
struct CommandOutcome {
    int status = -1;
    std::string output;
};
using CommandRunner =
    std::function<CommandOutcome(const std::vector<std::string>& argv, const std::string& input)>;

// A task that is unusable for any scheduler: an empty or ill-formed name, a relative
// program path, no trigger, a trigger out of range. Empty when the task is sound.
std::string CheckTask(const ScheduledTask& task);

// A trigger for people: "every day at 02:00", "every Sat at 01:00", "on 2026-12-24 at 18:30".
std::string TriggerText(const TaskTrigger& trigger);

// Systemd user timers: <name>.timer and <name>.service in `unitFolder`, enabled and started
// with `systemctl --user` through `run`.
std::unique_ptr<ITaskScheduler> MakeSystemdScheduler(std::string unitFolder, CommandRunner run);
// The user's crontab through `crontab -l` and `crontab -`: one line per trigger, each ending
// in "# <task name>"; lines without such a tag are kept as they stand.
std::unique_ptr<ITaskScheduler> MakeCrontabScheduler(CommandRunner run);
// Tasks in memory only (tests).
std::unique_ptr<ITaskScheduler> MakeMemoryScheduler();

// Runs `argv` through the platform's process helpers (the default CommandRunner).
CommandOutcome RunHelperProgram(const std::vector<std::string>& argv, const std::string& input);

// $XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user.
std::string SystemdUserUnitFolder();

// The scheduler of this user: systemd when a user manager answers (`systemctl --user`),
// else the crontab. $TAVORA_SCHEDULER ("systemd" or "crontab") chooses one outright.
// Null with `error` set when neither can be used.
std::shared_ptr<ITaskScheduler> OpenTaskScheduler(std::string& error);
// Makes OpenTaskScheduler return `scheduler` (tests); null restores the real choice.
void SetTaskSchedulerOverride(std::shared_ptr<ITaskScheduler> scheduler);

}  // namespace plat
