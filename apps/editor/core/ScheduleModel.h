// The schedules of a job: scheduled tasks named after the job that start TavCmdHost with it.
// The rules here (names, command line, default times, listing, creating, deleting) are kept
// apart from the SCHEDULE page so that tests drive them on the in-memory scheduler.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/TaskScheduler.h"

namespace editor {

// "Tavora.<job id>" (8 upper-case hexadecimal digits): the head of every task of the job.
std::string ScheduleTaskPrefix(uint32_t jobId);
// "Tavora.<job id>.Ful.<job id XOR time>" or ".Inc." for an incremental backup.
std::string ScheduleTaskName(uint32_t jobId, bool full, uint32_t nowSeconds);
// Whether a task belongs to the job (its name begins with the job's prefix; letter case ignored).
bool IsJobTask(const std::string& taskName, uint32_t jobId);
// "Full Backup", "Incremental Backup", "Additional Backup" or "Unknown", from the three
// letters after the job id.
std::string ScheduleBackupType(const std::string& taskName);
// The task's times for the list ("every Sat at 01:00"), "None." without a trigger, and
// "(disabled)" added for a task that does not run.
std::string ScheduleText(const plat::ScheduledTask& task);
// Full: weekly on Saturday at 01:00. Incremental: every day at 02:00.
plat::TaskTrigger DefaultScheduleTrigger(bool full);
// TavCmdHost JOB_BACKUP <job> FULL|INC Scheduled "Scheduled backup": one argument each, so a
// path with spaces, quotes, '%' or '$' reaches the host as it is.
std::vector<std::string> ScheduleCommand(const std::string& hostProgram, const std::string& jobPath,
                                         bool full);
// The variables a scheduled run needs as they are set now (settings store, Outlook Express
// data, module folders), read through `getEnv`.
template <typename GetEnv>
std::vector<std::pair<std::string, std::string>> ScheduleEnvironment(GetEnv getEnv) {
    std::vector<std::pair<std::string, std::string>> variables;
    for (const char* name : {"TAVORA_HOME", "WINEPREFIX", "TAVORA_MODULE_PATH"}) {
        const std::string value = getEnv(name);
        if (!value.empty()) variables.emplace_back(name, value);
    }
    return variables;
}

// What a new schedule is made of.
struct NewSchedule {
    uint32_t jobId = 0;
    std::string jobPath;
    bool full = false;
    std::string hostProgram;  // absolute path of TavCmdHost
    std::vector<std::pair<std::string, std::string>> environment;
    uint32_t nowSeconds = 0;
};

// The job's schedules and what goes wrong with them, on one scheduler.
class CScheduleModel {
public:
    explicit CScheduleModel(plat::ITaskScheduler& scheduler) : m_scheduler(scheduler) {}

    // The job's tasks in the scheduler's order; false with ErrorText() when it cannot list.
    bool List(uint32_t jobId, std::vector<plat::ScheduledTask>& tasks);
    // Creates the task; its name in `created`. Two creations in one second would give the
    // same name: the next free value is taken instead. False with ErrorText().
    bool Create(const NewSchedule& schedule, plat::ScheduledTask& created);
    // Deletes each named task once; the names that could not be deleted, with why, in
    // `failures` (empty when all went). Returns the names that were deleted.
    std::vector<std::string> Delete(const std::vector<std::string>& names,
                                    std::vector<std::pair<std::string, std::string>>& failures);
    // Writes a changed task (its times and enabled state); false with ErrorText().
    bool Update(const plat::ScheduledTask& task);
    const std::string& ErrorText() const { return m_error; }

private:
    plat::ITaskScheduler& m_scheduler;
    std::string m_error;
};

}  // namespace editor

namespace editor {

// What Tools > "Windows Scheduled Tasks" shows: every task of Tavora the user's scheduler
// keeps (of every job), where it lives (the systemd timer file, or its crontab lines read
// through `run`) and what it starts.
std::string ScheduledTasksReport(plat::ITaskScheduler& scheduler, const plat::CommandRunner& run);

}  // namespace editor
