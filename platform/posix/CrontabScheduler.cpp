// Scheduled tasks as lines of the user's crontab, for machines where no systemd user manager
// runs. Each trigger is one line that ends in the task's tag; a disabled task's lines are
// commented out. Lines without a tag are the user's own and are written back unchanged.
#include <sstream>

#include "platform/TaskScheduler.h"
#include "platform/TaskText.h"

namespace plat {

namespace {

constexpr const char* TAG = " # tavctl schedule: ";
constexpr const char* DISABLED = "#disabled: ";

std::string FirstLines(const std::string& text) {
    std::string shown = text.substr(0, 400);
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == ' ')) shown.pop_back();
    for (char& c : shown)
        if (c == '\n') c = ' ';
    return shown.empty() ? "no message" : shown;
}

// The task name a line is tagged with, "" for a line of the user's own.
std::string TagOf(const std::string& line) {
    const size_t at = line.rfind(TAG);
    if (at == std::string::npos) return {};
    const std::string name = line.substr(at + std::string(TAG).size());
    ScheduledTask probe;
    probe.name = name;
    probe.command = {"/"};
    probe.triggers = {TaskTrigger{}};
    return CheckTask(probe).empty() ? name : std::string();
}

class CCrontabScheduler : public ITaskScheduler {
public:
    explicit CCrontabScheduler(CommandRunner run) : m_run(std::move(run)) {}

    std::string Backend() const override { return "crontab"; }

    bool List(std::vector<ScheduledTask>& tasks) override {
        tasks.clear();
        std::vector<std::string> lines;
        if (!ReadCrontab(lines)) return false;
        for (const std::string& line : lines) {
            const std::string name = TagOf(line);
            if (name.empty()) continue;
            ScheduledTask* task = nullptr;
            for (ScheduledTask& t : tasks)
                if (t.name == name) task = &t;
            if (!task) {
                tasks.push_back(ScheduledTask{});
                task = &tasks.back();
                task->name = name;
                task->enabled = false;
            }
            ReadLine(line, *task);
        }
        return true;
    }

    bool Create(const ScheduledTask& task) override {
        if (std::string problem = CheckTask(task); !problem.empty()) return Failed(problem);
        std::vector<std::string> lines, ours;
        if (!ReadCrontab(lines) || !MakeLines(task, ours)) return false;
        for (const std::string& line : lines)
            if (TagOf(line) == task.name)
                return Failed("a scheduled task named " + task.name + " exists already (in the crontab)");
        lines.insert(lines.end(), ours.begin(), ours.end());
        return WriteCrontab(lines);
    }

    bool Update(const ScheduledTask& task) override {
        if (std::string problem = CheckTask(task); !problem.empty()) return Failed(problem);
        std::vector<std::string> lines, ours;
        if (!ReadCrontab(lines) || !MakeLines(task, ours)) return false;
        std::vector<std::string> updated;
        bool found = false;
        for (const std::string& line : lines) {
            if (TagOf(line) != task.name) {
                updated.push_back(line);
            } else if (!found) {
                found = true;
                updated.insert(updated.end(), ours.begin(), ours.end());
            }
        }
        if (!found) return Failed("there is no scheduled task named " + task.name);
        return WriteCrontab(updated);
    }

    bool Delete(const std::string& name) override {
        std::vector<std::string> lines, kept;
        if (!ReadCrontab(lines)) return false;
        for (const std::string& line : lines)
            if (TagOf(line) != name) kept.push_back(line);
        if (kept.size() == lines.size()) return Failed("there is no scheduled task named " + name);
        return WriteCrontab(kept);
    }

private:
    bool ReadCrontab(std::vector<std::string>& lines) {
        lines.clear();
        const CommandOutcome outcome = m_run({"crontab", "-l"}, "");
        if (outcome.status < 0) return Failed("cannot start crontab; is cron installed?");
        if (outcome.status != 0) {
            if (outcome.output.find("no crontab for") != std::string::npos) return true;
            return Failed("crontab -l failed: " + FirstLines(outcome.output));
        }
        std::istringstream in(outcome.output);
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
        return true;
    }

    bool WriteCrontab(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        const CommandOutcome outcome = m_run({"crontab", "-"}, text);
        if (outcome.status == 0) return true;
        if (outcome.status < 0) return Failed("cannot start crontab; is cron installed?");
        return Failed("crontab - failed: " + FirstLines(outcome.output));
    }

    bool MakeLines(const ScheduledTask& task, std::vector<std::string>& lines) {
        std::string command, error;
        if (!CronCommand(task.environment, task.command, command, error)) return Failed(error);
        for (const TaskTrigger& trigger : task.triggers) {
            std::string guard;
            const std::string fields = CronTimeFields(trigger, guard);
            lines.push_back((task.enabled ? "" : DISABLED) + fields + " " + guard + command + TAG + task.name);
        }
        return true;
    }

    // Adds what one tagged line says to `task`.
    static void ReadLine(std::string line, ScheduledTask& task) {
        const bool disabled = line.rfind(DISABLED, 0) == 0;
        if (disabled) line.erase(0, std::string(DISABLED).size());
        if (!disabled) task.enabled = true;
        line.erase(line.rfind(TAG));
        // Five time fields, then the command.
        size_t at = 0;
        for (int field = 0; field < 5 && at != std::string::npos; ++field) {
            at = line.find(' ', at);
            if (at != std::string::npos) ++at;
        }
        if (at == std::string::npos) return;
        const std::string fields = line.substr(0, at - 1);
        std::string command = line.substr(at);
        const std::string guard = CronYearGuardOf(command);
        command.erase(0, guard.size());
        TaskTrigger trigger;
        if (ParseCronTime(fields, guard, trigger)) task.triggers.push_back(trigger);
        if (task.command.empty()) CronSplitCommand(command, task.environment, task.command);
    }

    CommandRunner m_run;
};

}  // namespace

std::unique_ptr<ITaskScheduler> MakeCrontabScheduler(CommandRunner run) {
    return std::make_unique<CCrontabScheduler>(std::move(run));
}

}  // namespace plat
