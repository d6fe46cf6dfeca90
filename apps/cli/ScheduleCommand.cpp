// tavctl schedule: lets the system run a job's backups at set times (systemd user timers,
// else the crontab), lists such schedules and removes them. Each schedule starts TavCmdHost
// with the job, as the job editor's schedules do, and carries the same kind of name.
#include <algorithm>
#include <cctype>
#include <ostream>

#include "CommandGroups.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "TextTable.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/TaskScheduler.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

constexpr const char* COMMAND = "schedule";
constexpr const char* TASK_PREFIX = "Tavora.";
constexpr const char* HOST_PROGRAM = "TavCmdHost";
// Variables a scheduled run needs as they are now: the settings store, the Outlook Express
// data (Wine prefix) and the module folders.
constexpr const char* CARRIED_VARIABLES[] = {"TAVORA_HOME", "WINEPREFIX", "TAVORA_MODULE_PATH"};
constexpr const char* DAY_NAMES[7] = {"sunday", "monday", "tuesday", "wednesday",
                                      "thursday", "friday", "saturday"};

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "HH:MM" (or "H:MM") into the trigger; false when it is no time of day.
bool ParseTime(const std::string& text, plat::TaskTrigger& trigger) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != colon && !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    trigger.hour = std::stoi(text.substr(0, colon));
    trigger.minute = std::stoi(text.substr(colon + 1));
    return trigger.hour < 24 && trigger.minute < 60;
}

// "sat", "Saturday", "mon,wed,fri" into week-day bits; 0 when a name is unknown.
uint8_t ParseDays(const std::string& text) {
    uint8_t days = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string name = Lower(text.substr(start, end - start));
        int day = 0;
        while (day < 7 && std::string(DAY_NAMES[day]).rfind(name, 0) != 0) ++day;  // two letters tell them apart
        if (day == 7 || name.size() < 2) return 0;
        days |= uint8_t(1u << day);
        start = end + 1;
    }
    return days;
}

// "Full Backup", "Incremental Backup", ... from the three letters after the job id.
std::string BackupTypeOf(const std::string& name) {
    const size_t field = std::string(TASK_PREFIX).size() + 9;
    const std::string letters = name.size() >= field + 3 ? Lower(name.substr(field, 3)) : "";
    if (letters == "ful") return "Full Backup";
    if (letters == "inc") return "Incremental Backup";
    if (letters == "add") return "Additional Backup";
    return "Unknown";
}

bool StartsWithNoCase(const std::string& text, const std::string& head) {
    return text.size() >= head.size() && Lower(text.substr(0, head.size())) == Lower(head);
}

std::shared_ptr<plat::ITaskScheduler> OpenScheduler(CCliContext& ctx, int& code) {
    std::string error;
    std::shared_ptr<plat::ITaskScheduler> scheduler = plat::OpenTaskScheduler(error);
    if (!scheduler) code = Fail(ctx, COMMAND, error);
    return scheduler;
}

int RunList(const CCliArgs& args, CCliContext& ctx) {
    std::string prefix = TASK_PREFIX;
    if (!args.positionals.empty()) {
        CTavJobHelper job;
        if (!LoadJobFile(CommandLinePath(args.positionals[0]), job, ctx)) return EXIT_PROBLEMS;
        prefix = plat::Format("Tavora.%08X", job.GetJobID());
    }
    int code = EXIT_OK;
    std::shared_ptr<plat::ITaskScheduler> scheduler = OpenScheduler(ctx, code);
    if (!scheduler) return code;
    std::vector<plat::ScheduledTask> tasks;
    if (!scheduler->List(tasks)) return Fail(ctx, COMMAND, scheduler->ErrorText());
    CTextTable table({"NAME", "TYPE", "SCHEDULE", "STATE", "JOB"});
    for (const plat::ScheduledTask& task : tasks) {
        if (!StartsWithNoCase(task.name, prefix)) continue;
        std::string when;
        for (const plat::TaskTrigger& t : task.triggers) when += (when.empty() ? "" : "; ") + plat::TriggerText(t);
        const std::string jobPath = task.command.size() > 2 ? task.command[2] : "";
        table.AddRow({task.name, BackupTypeOf(task.name), when.empty() ? "None." : when,
                      task.enabled ? "enabled" : "disabled", Printable(jobPath)});
    }
    if (table.RowCount() == 0) {
        ctx.out << "No schedules (" << scheduler->Backend() << ").\n";
        return EXIT_OK;
    }
    table.Print(ctx.out);
    return EXIT_OK;
}

int RunRemove(const CCliArgs& args, CCliContext& ctx) {
    const std::string name = *args.Value("remove");
    if (!StartsWithNoCase(name, TASK_PREFIX))
        return Fail(ctx, COMMAND, "\"" + Printable(name) + "\" is not a schedule of Tavora (its name begins with Tavora.)",
                    EXIT_USAGE);
    int code = EXIT_OK;
    std::shared_ptr<plat::ITaskScheduler> scheduler = OpenScheduler(ctx, code);
    if (!scheduler) return code;
    if (!scheduler->Delete(name)) return Fail(ctx, COMMAND, scheduler->ErrorText());
    ctx.out << "Removed schedule " << name << ".\n";
    return EXIT_OK;
}

int RunCreate(const CCliArgs& args, CCliContext& ctx) {
    const bool full = args.Has("full");
    const bool daily = args.Has("daily");
    const bool weekly = args.Has("weekly");
    if (daily && weekly) return Fail(ctx, COMMAND, "give --daily or --weekly, not both", EXIT_USAGE);
    // Without a time: incremental runs every day at 02:00, full runs on Saturdays at 01:00.
    plat::TaskTrigger trigger;
    if (daily) {
        if (args.positionals.size() > 1)
            return Fail(ctx, COMMAND, "unexpected argument '" + args.positionals[1] + "'", EXIT_USAGE);
        if (!ParseTime(*args.Value("daily"), trigger))
            return Fail(ctx, COMMAND, "not a time of day (HH:MM): '" + *args.Value("daily") + "'", EXIT_USAGE);
    } else if (weekly) {
        std::string days = *args.Value("weekly");
        std::string time;
        if (const size_t space = days.find(' '); space != std::string::npos) {
            time = days.substr(space + 1);
            days.resize(space);
        }
        if (args.positionals.size() > 1) {
            if (!time.empty())
                return Fail(ctx, COMMAND, "unexpected argument '" + args.positionals[1] + "'", EXIT_USAGE);
            time = args.positionals[1];
        }
        trigger.kind = plat::TaskTriggerKind::Weekly;
        trigger.weekDays = ParseDays(days);
        if (trigger.weekDays == 0)
            return Fail(ctx, COMMAND, "not a day of the week (mon ... sun, or a list such as mon,thu): '" + days + "'",
                        EXIT_USAGE);
        if (!ParseTime(time, trigger))
            return Fail(ctx, COMMAND, "--weekly DAY HH:MM: not a time of day: '" + time + "'", EXIT_USAGE);
    } else if (args.positionals.size() > 1) {
        return Fail(ctx, COMMAND, "unexpected argument '" + args.positionals[1] + "'", EXIT_USAGE);
    } else if (full) {
        trigger.kind = plat::TaskTriggerKind::Weekly;
        trigger.weekDays = 1u << 6;
        trigger.hour = 1;
    } else {
        trigger.hour = 2;
    }

    const std::string jobPath = CommandLinePath(args.positionals[0]);
    CTavJobHelper job;
    if (!LoadJobFile(jobPath, job, ctx)) return EXIT_PROBLEMS;
    const std::string host = plat::JoinPath(plat::DirName(plat::ExecutablePath()), HOST_PROGRAM);
    if (!plat::PathExists(host))
        return Fail(ctx, COMMAND, "cannot find " + std::string(HOST_PROGRAM) + " beside tavctl (" + host + ")");

    plat::ScheduledTask task;
    const uint32_t id = job.GetJobID();
    task.name = plat::Format("Tavora.%08X.%s.%08X", id, full ? "Ful" : "Inc", id ^ plat::NowSeconds());
    task.command = {host, "JOB_BACKUP", jobPath, full ? "FULL" : "INC", "SW_HIDE"};
    for (const char* variable : CARRIED_VARIABLES)
        if (std::optional<std::string> value = ctx.getEnv ? ctx.getEnv(variable) : std::nullopt; value && !value->empty())
            task.environment.emplace_back(variable, *value);
    task.triggers = {trigger};
    task.description = std::string("Tavora ") + (full ? "full" : "incremental") + " backup of " + Printable(jobPath);

    int code = EXIT_OK;
    std::shared_ptr<plat::ITaskScheduler> scheduler = OpenScheduler(ctx, code);
    if (!scheduler) return code;
    if (!scheduler->Create(task)) return Fail(ctx, COMMAND, scheduler->ErrorText());
    ctx.out << "Scheduled " << task.name << ": " << (full ? "Full Backup" : "Incremental Backup") << " of "
            << Printable(jobPath) << ' ' << plat::TriggerText(trigger) << '\n';
    if (scheduler->Backend() == "systemd")
        ctx.out << "  systemd user timer " << plat::JoinPath(plat::SystemdUserUnitFolder(), task.name + ".timer")
                << "; a run missed while the machine is off happens at the next start.\n";
    else if (scheduler->Backend() == "crontab")
        ctx.out << "  a line of your crontab (crontab -l); cron does not make up a run missed while the "
                   "machine is off.\n";
    return EXIT_OK;
}

int RunSchedule(const CCliArgs& args, CCliContext& ctx) {
    const bool list = args.Has("list");
    const bool remove = args.Has("remove");
    if (list && remove) return Fail(ctx, COMMAND, "give --list or --remove, not both", EXIT_USAGE);
    if (list) {
        if (args.positionals.size() > 1 || args.Has("daily") || args.Has("weekly") || args.Has("full"))
            return Fail(ctx, COMMAND, "--list takes at most a job file", EXIT_USAGE);
        return RunList(args, ctx);
    }
    if (remove) {
        if (!args.positionals.empty() || args.Has("daily") || args.Has("weekly") || args.Has("full"))
            return Fail(ctx, COMMAND, "--remove takes only the schedule's name", EXIT_USAGE);
        return RunRemove(args, ctx);
    }
    if (args.positionals.empty()) return Fail(ctx, COMMAND, "missing the job file", EXIT_USAGE);
    return RunCreate(args, ctx);
}

}  // namespace

void RegisterScheduleCommands(CCommandTable& table) {
    table.Add({{"schedule"},
               "JOB [--daily HH:MM | --weekly DAY HH:MM] [--full] | --list [JOB] | --remove NAME",
               "run a job's backups at set times (systemd timer or crontab)",
               "Makes the system run TavCmdHost with the job at the times given: every day\n"
               "(--daily 02:00) or on days of the week (--weekly sat 01:00, --weekly mon,thu\n"
               "22:30); an incremental backup unless --full. Without a time, an incremental\n"
               "backup runs every day at 02:00 and a full one on Saturdays at 01:00.\n"
               "The schedule is a systemd user timer (a run missed while the machine was off\n"
               "happens at the next start) or, where no systemd user manager runs, a line of\n"
               "your crontab. TAVORA_HOME, WINEPREFIX and TAVORA_MODULE_PATH are passed on to\n"
               "the scheduled runs as they are set now. Each schedule is named\n"
               "Tavora.<job id>.Ful.<n> or Tavora.<job id>.Inc.<n>, as the job editor names\n"
               "its own. --list shows them (of one job when JOB is given); --remove NAME\n"
               "removes one. TAVORA_SCHEDULER=systemd or crontab chooses the scheduler.",
               {{"daily", 0, true, "HH:MM", "every day at this time"},
                {"weekly", 0, true, "DAY", "on these days (mon ... sun, comma-separated); the time follows"},
                {"full", 'f', false, "", "a full backup (else incremental)"},
                {"list", 'l', false, "", "list the schedules"},
                {"remove", 0, true, "NAME", "remove the schedule of that name"}},
               0,
               2,
               RunSchedule});
}

}  // namespace tavctl
