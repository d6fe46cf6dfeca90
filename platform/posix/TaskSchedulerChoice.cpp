// Which scheduler serves this user: systemd user timers when a user manager answers, else
// the crontab.
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/TaskScheduler.h"

namespace plat {

namespace {

std::shared_ptr<ITaskScheduler>& Override() {
    static std::shared_ptr<ITaskScheduler> scheduler;
    return scheduler;
}

}  // namespace

CommandOutcome RunHelperProgram(const std::vector<std::string>& argv, const std::string& input) {
    CommandOutcome outcome;
    outcome.status = RunProcessCapture(argv, input, outcome.output);
    return outcome;
}

std::string SystemdUserUnitFolder() {
    const std::optional<std::string> config = GetEnv("XDG_CONFIG_HOME");
    const std::string base = config && !config->empty() && (*config)[0] == '/'
                                 ? *config
                                 : JoinPath(HomeDirectory(), ".config");
    return JoinPath(JoinPath(base, "systemd"), "user");
}

std::shared_ptr<ITaskScheduler> OpenTaskScheduler(std::string& error) {
    if (Override()) return Override();
    const std::string choice = GetEnv("TAVORA_SCHEDULER").value_or("");
    if (choice == "systemd") return MakeSystemdScheduler(SystemdUserUnitFolder(), RunHelperProgram);
    if (choice == "crontab") return MakeCrontabScheduler(RunHelperProgram);
    if (!choice.empty()) {
        error = "TAVORA_SCHEDULER must be \"systemd\" or \"crontab\", not \"" + choice + "\"";
        return nullptr;
    }
    if (ProgramExists("systemctl") &&
        RunHelperProgram({"systemctl", "--user", "show-environment"}, "").status == 0)
        return MakeSystemdScheduler(SystemdUserUnitFolder(), RunHelperProgram);
    if (ProgramExists("crontab")) return MakeCrontabScheduler(RunHelperProgram);
    error = "no scheduler here: no systemd user manager answers (systemctl --user) and there is "
            "no crontab program (install cron)";
    return nullptr;
}

void SetTaskSchedulerOverride(std::shared_ptr<ITaskScheduler> scheduler) {
    Override() = std::move(scheduler);
}

}  // namespace plat
