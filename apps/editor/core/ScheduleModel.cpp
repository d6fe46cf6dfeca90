#include "ScheduleModel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace editor {

namespace {

constexpr const char* TYPE_FULL = "Ful";
constexpr const char* TYPE_INCREMENTAL = "Inc";
// A clash is met only by creations within the same few seconds; this bounds the search.
constexpr uint32_t MAX_NAME_TRIES = 1000;

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

}  // namespace

std::string ScheduleTaskPrefix(uint32_t jobId) { return "Tavora." + Hex8(jobId); }

std::string ScheduleTaskName(uint32_t jobId, bool full, uint32_t nowSeconds) {
    return ScheduleTaskPrefix(jobId) + "." + (full ? TYPE_FULL : TYPE_INCREMENTAL) + "." +
           Hex8(jobId ^ nowSeconds);
}

bool IsJobTask(const std::string& taskName, uint32_t jobId) {
    const std::string prefix = Lower(ScheduleTaskPrefix(jobId));
    return taskName.size() >= prefix.size() && Lower(taskName.substr(0, prefix.size())) == prefix;
}

std::string ScheduleBackupType(const std::string& taskName) {
    // "Tavora." and eight digits, then a dot and the type.
    const size_t field = ScheduleTaskPrefix(0).size() + 1;
    const std::string letters = taskName.size() >= field + 3 ? Lower(taskName.substr(field, 3)) : "";
    if (letters == "ful") return "Full Backup";
    if (letters == "inc") return "Incremental Backup";
    if (letters == "add") return "Additional Backup";
    return "Unknown";
}

std::string ScheduleText(const plat::ScheduledTask& task) {
    std::string text;
    for (const plat::TaskTrigger& trigger : task.triggers)
        text += (text.empty() ? "" : "; ") + plat::TriggerText(trigger);
    if (text.empty()) text = "None.";
    if (!task.enabled) text += " (disabled)";
    return text;
}

plat::TaskTrigger DefaultScheduleTrigger(bool full) {
    plat::TaskTrigger trigger;
    if (full) {
        trigger.kind = plat::TaskTriggerKind::Weekly;
        trigger.weekDays = 1u << 6;  // Saturday
        trigger.hour = 1;
    } else {
        trigger.kind = plat::TaskTriggerKind::Daily;
        trigger.hour = 2;
    }
    return trigger;
}

std::vector<std::string> ScheduleCommand(const std::string& hostProgram, const std::string& jobPath,
                                         bool full) {
    return {hostProgram, "JOB_BACKUP", jobPath, full ? "FULL" : "INC", "Scheduled", "Scheduled backup"};
}

bool CScheduleModel::List(uint32_t jobId, std::vector<plat::ScheduledTask>& tasks) {
    tasks.clear();
    std::vector<plat::ScheduledTask> all;
    if (!m_scheduler.List(all)) {
        m_error = m_scheduler.ErrorText();
        return false;
    }
    for (plat::ScheduledTask& task : all)
        if (IsJobTask(task.name, jobId)) tasks.push_back(std::move(task));
    return true;
}

bool CScheduleModel::Create(const NewSchedule& schedule, plat::ScheduledTask& created) {
    std::vector<plat::ScheduledTask> existing;
    if (!m_scheduler.List(existing)) {
        m_error = m_scheduler.ErrorText();
        return false;
    }
    std::set<std::string> taken;
    for (const plat::ScheduledTask& task : existing) taken.insert(Lower(task.name));

    plat::ScheduledTask task;
    task.command = ScheduleCommand(schedule.hostProgram, schedule.jobPath, schedule.full);
    task.environment = schedule.environment;
    task.triggers = {DefaultScheduleTrigger(schedule.full)};
    task.description = std::string("Tavora ") + (schedule.full ? "full" : "incremental") +
                       " backup of " + schedule.jobPath;
    for (uint32_t step = 0; step < MAX_NAME_TRIES; ++step) {
        task.name = ScheduleTaskName(schedule.jobId, schedule.full, schedule.nowSeconds + step);
        if (!taken.count(Lower(task.name))) break;
    }
    if (taken.count(Lower(task.name))) {
        m_error = "every name for a new schedule of this job is taken";
        return false;
    }
    if (!m_scheduler.Create(task)) {
        m_error = m_scheduler.ErrorText();
        return false;
    }
    created = task;
    return true;
}

std::vector<std::string> CScheduleModel::Delete(const std::vector<std::string>& names,
                                                std::vector<std::pair<std::string, std::string>>& failures) {
    failures.clear();
    std::vector<std::string> deleted;
    std::set<std::string> seen;
    for (const std::string& name : names) {
        if (!seen.insert(name).second) continue;
        if (m_scheduler.Delete(name))
            deleted.push_back(name);
        else
            failures.emplace_back(name, m_scheduler.ErrorText());
    }
    return deleted;
}

bool CScheduleModel::Update(const plat::ScheduledTask& task) {
    if (m_scheduler.Update(task)) return true;
    m_error = m_scheduler.ErrorText();
    return false;
}

}  // namespace editor

namespace editor {

std::string ScheduledTasksReport(plat::ITaskScheduler& scheduler, const plat::CommandRunner& run) {
    std::vector<plat::ScheduledTask> tasks;
    if (!scheduler.List(tasks)) return "The schedules cannot be listed: " + scheduler.ErrorText() + "\n";
    std::string crontab;
    if (scheduler.Backend() == "crontab" && run) crontab = run({"crontab", "-l"}, "").output;
    std::string report;
    const std::string backend = scheduler.Backend();
    report += backend == "systemd"   ? "Scheduler: systemd user timers in " + plat::SystemdUserUnitFolder() + "\n"
              : backend == "crontab" ? std::string("Scheduler: the user's crontab (crontab -l)\n")
                                     : "Scheduler: " + backend + "\n";
    int count = 0;
    for (const plat::ScheduledTask& task : tasks) {
        if (Lower(task.name).rfind("tavora.", 0) != 0) continue;
        ++count;
        report += "\n" + task.name + "  (" + ScheduleBackupType(task.name) + ")\n";
        report += "  When:  " + ScheduleText(task) + "\n";
        std::string command;
        for (const std::string& argument : task.command) {
            const bool plain = !argument.empty() && argument.find_first_of(" \t\"'$%\\") == std::string::npos;
            command += (command.empty() ? "" : " ") + (plain ? argument : "\"" + argument + "\"");
        }
        report += "  Runs:  " + command + "\n";
        if (backend == "systemd") report += "  Timer: " + task.name + ".timer\n";
        size_t start = 0;
        while (start < crontab.size()) {
            size_t end = crontab.find('\n', start);
            if (end == std::string::npos) end = crontab.size();
            const std::string line = crontab.substr(start, end - start);
            const std::string tag = "# " + task.name;
            if (line.size() >= tag.size() && line.compare(line.size() - tag.size(), tag.size(), tag) == 0)
                report += "  Line:  " + line + "\n";
            start = end + 1;
        }
    }
    if (count == 0) report += "\nNo schedules of Tavora.\n";
    return report;
}

}  // namespace editor
