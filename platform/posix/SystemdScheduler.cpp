// Scheduled tasks as systemd user timers: <name>.service runs the command once,
// <name>.timer starts it at the trigger times (Persistent=true: a time missed while the
// machine was off is made up at the next start). Enabled means linked into timers.target.
#include <fstream>
#include <sstream>

#include "platform/FileSystem.h"
#include "platform/TaskScheduler.h"
#include "platform/TaskText.h"

namespace plat {

namespace {

// The first line of every unit this scheduler writes; units without it are not ours.
constexpr const char* MARK = "# Scheduled task of Tavora (tavctl schedule); edit it there.";
constexpr const char* WANTS_FOLDER = "timers.target.wants";

std::string EscapePercent(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

std::string UnescapePercent(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
    }
    return out;
}

bool ReadText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

// Writes through a temporary file and a rename, so that systemd never reads half a unit.
bool WriteText(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tav~";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !(out << text) || !out.flush()) {
            RemoveFile(temporary);
            return false;
        }
    }
    if (RenameFile(temporary, path)) return true;
    RemoveFile(temporary);
    return false;
}

// "key=value" lines of a unit, in order.
std::vector<std::pair<std::string, std::string>> UnitEntries(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') continue;
        const size_t equals = line.find('=');
        if (equals != std::string::npos) entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return entries;
}

std::string FirstLines(const std::string& text) {
    std::string shown = text.substr(0, 400);
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == ' ')) shown.pop_back();
    for (char& c : shown)
        if (c == '\n') c = ' ';
    return shown.empty() ? "no message" : shown;
}

class CSystemdScheduler : public ITaskScheduler {
public:
    CSystemdScheduler(std::string folder, CommandRunner run) : m_folder(std::move(folder)), m_run(std::move(run)) {}

    std::string Backend() const override { return "systemd"; }

    bool List(std::vector<ScheduledTask>& tasks) override {
        tasks.clear();
        std::vector<TavFindData> entries;
        if (!ListDirectory(m_folder, entries)) return true;  // no folder: no timers yet
        for (const TavFindData& entry : entries) {
            const std::string& file = entry.name;
            if (file.size() <= 6 || file.compare(file.size() - 6, 6, ".timer") != 0) continue;
            ScheduledTask task;
            if (Read(file.substr(0, file.size() - 6), task)) tasks.push_back(std::move(task));
        }
        return true;
    }

    bool Create(const ScheduledTask& task) override {
        if (std::string problem = CheckTask(task); !problem.empty()) return Failed(problem);
        if (std::string problem = SystemdProgramProblem(task.command[0]); !problem.empty()) return Failed(problem);
        if (PathExists(UnitPath(task.name, ".timer")) || PathExists(UnitPath(task.name, ".service")))
            return Failed("a scheduled task named " + task.name + " exists already (" +
                          UnitPath(task.name, ".timer") + ")");
        if (!CreateDirectories(m_folder)) return Failed("cannot create the folder " + m_folder);
        if (!WriteUnits(task)) {
            RemoveUnits(task.name);
            return false;
        }
        if (!Systemctl({"daemon-reload"}) || !ApplyEnabled(task)) {
            const std::string error = m_error;
            RemoveUnits(task.name);
            Systemctl({"daemon-reload"});
            return Failed(error);
        }
        return true;
    }

    bool Update(const ScheduledTask& task) override {
        if (std::string problem = CheckTask(task); !problem.empty()) return Failed(problem);
        if (std::string problem = SystemdProgramProblem(task.command[0]); !problem.empty()) return Failed(problem);
        ScheduledTask old;
        if (!Read(task.name, old)) return Failed("there is no scheduled task named " + task.name);
        if (!WriteUnits(task)) return false;
        return Systemctl({"daemon-reload"}) && ApplyEnabled(task);
    }

    bool Delete(const std::string& name) override {
        ScheduledTask old;
        if (!Read(name, old)) return Failed("there is no scheduled task named " + name);
        // The manager may be gone; the files go regardless, and with them the link.
        const bool stopped = Systemctl({"disable", "--now", name + ".timer"});
        const std::string stopError = m_error;
        if (!RemoveUnits(name)) return false;
        Systemctl({"daemon-reload"});
        if (!stopped) return Failed(stopError + "; the unit files were removed");
        return true;
    }

private:
    std::string UnitPath(const std::string& name, const char* suffix) const {
        return JoinPath(m_folder, name + suffix);
    }
    std::string LinkPath(const std::string& name) const {
        return JoinPath(JoinPath(m_folder, WANTS_FOLDER), name + ".timer");
    }

    bool Systemctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"systemctl", "--user"});
        const CommandOutcome outcome = m_run(args, "");
        if (outcome.status == 0) return true;
        std::string shown;
        for (const std::string& a : args) shown += (shown.empty() ? "" : " ") + a;
        if (outcome.status < 0) return Failed("cannot start " + shown);
        return Failed(shown + " failed (exit status " + std::to_string(outcome.status) + "): " +
                      FirstLines(outcome.output));
    }

    bool ApplyEnabled(const ScheduledTask& task) {
        return Systemctl({task.enabled ? "enable" : "disable", "--now", task.name + ".timer"});
    }

    bool WriteUnits(const ScheduledTask& task) {
        const std::string description =
            EscapePercent(task.description.empty() ? task.name : task.description);
        std::string service = std::string(MARK) + "\n[Unit]\nDescription=" + description +
                              "\n\n[Service]\nType=oneshot\n";
        for (const auto& [name, value] : task.environment)
            service += "Environment=" + SystemdEnvironmentValue(name, value) + "\n";
        service += "ExecStart=" + SystemdExecLine(task.command) + "\n";
        std::string timer = std::string(MARK) + "\n[Unit]\nDescription=" + description + "\n\n[Timer]\n";
        for (const TaskTrigger& t : task.triggers) timer += "OnCalendar=" + OnCalendarValue(t) + "\n";
        timer += "Persistent=true\n\n[Install]\nWantedBy=timers.target\n";
        if (WriteText(UnitPath(task.name, ".service"), service) &&
            WriteText(UnitPath(task.name, ".timer"), timer))
            return true;
        return Failed("cannot write the units of " + task.name + " in " + m_folder);
    }

    bool RemoveUnits(const std::string& name) {
        bool removed = true;
        for (const std::string& path : {UnitPath(name, ".timer"), UnitPath(name, ".service"), LinkPath(name)})
            if (PathExists(path) && !RemoveFile(path)) removed = false;
        return removed || Failed("cannot remove the units of " + name + " from " + m_folder);
    }

    bool Read(const std::string& name, ScheduledTask& task) {
        std::string timer, service;
        if (!ReadText(UnitPath(name, ".timer"), timer) || timer.rfind(MARK, 0) != 0 ||
            !ReadText(UnitPath(name, ".service"), service))
            return false;
        task = ScheduledTask{};
        task.name = name;
        task.enabled = PathExists(LinkPath(name));
        for (const auto& [key, value] : UnitEntries(timer)) {
            TaskTrigger trigger;
            if (key == "OnCalendar" && ParseOnCalendar(value, trigger)) task.triggers.push_back(trigger);
        }
        for (const auto& [key, value] : UnitEntries(service)) {
            if (key == "Description") task.description = UnescapePercent(value);
            if (key == "ExecStart") SystemdSplitExecLine(value, task.command);
            std::string variable, text;
            if (key == "Environment" && SystemdSplitEnvironment(value, variable, text))
                task.environment.emplace_back(variable, text);
        }
        if (task.description == name) task.description.clear();
        return true;
    }

    std::string m_folder;
    CommandRunner m_run;
};

}  // namespace

std::unique_ptr<ITaskScheduler> MakeSystemdScheduler(std::string unitFolder, CommandRunner run) {
    return std::make_unique<CSystemdScheduler>(std::move(unitFolder), std::move(run));
}

}  // namespace plat
