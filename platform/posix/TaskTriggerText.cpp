// Triggers of scheduled tasks as systemd's OnCalendar= values and crontab time fields, and
// the checks every scheduler makes on a task.
#include <cstdio>

#include "platform/TaskText.h"

namespace plat {

namespace {

constexpr const char* DAY_NAMES[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MONTH_NAMES[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// The shell test before a crontab command that runs a Once trigger in its year only.
constexpr const char* YEAR_GUARD_HEAD = "[ \"$(date +\\%Y)\" = ";
constexpr const char* YEAR_GUARD_TAIL = " ] && ";

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string TimeOfDay(const TaskTrigger& t) { return TwoDigits(t.hour) + ":" + TwoDigits(t.minute); }

bool IsDigits(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// "3,15" (numbers from `low` to `high`) as bits counted from `low`.
bool ParseNumberList(const std::string& text, int low, int high, uint32_t& bits) {
    bits = 0;
    for (const std::string& part : Split(text, ',')) {
        if (!IsDigits(part)) return false;
        const int value = std::stoi(part);
        if (value < low || value > high) return false;
        bits |= 1u << (value - low);
    }
    return bits != 0;
}

// The set bits of `bits` as numbers counted from `low`, comma-separated, each with `width`
// digits at least.
std::string NumberList(uint32_t bits, int count, int low, bool twoDigits) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (!(bits & (1u << i))) continue;
        if (!list.empty()) list += ',';
        list += twoDigits ? TwoDigits(i + low) : std::to_string(i + low);
    }
    return list;
}

bool ParseTimeOfDay(const std::string& text, TaskTrigger& t) {
    const std::vector<std::string> parts = Split(text, ':');
    if (parts.size() != 3 || parts[2] != "00" || !IsDigits(parts[0]) || !IsDigits(parts[1]))
        return false;
    t.hour = std::stoi(parts[0]);
    t.minute = std::stoi(parts[1]);
    return t.hour < 24 && t.minute < 60;
}

}  // namespace

std::string OnCalendarValue(const TaskTrigger& t) {
    const std::string time = " " + TimeOfDay(t) + ":00";
    switch (t.kind) {
        case TaskTriggerKind::Once:
            return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + time;
        case TaskTriggerKind::Daily: return "*-*-*" + time;
        case TaskTriggerKind::Weekly: {
            std::string days;
            for (int d = 0; d < 7; ++d)
                if (t.weekDays & (1u << d)) days += std::string(days.empty() ? "" : ",") + DAY_NAMES[d];
            return days + " *-*-*" + time;
        }
        case TaskTriggerKind::Monthly: {
            const std::string months = (t.months & 0xFFF) == 0xFFF ? "*" : NumberList(t.months, 12, 1, true);
            return "*-" + months + "-" + NumberList(t.monthDays, 31, 1, true) + time;
        }
    }
    return {};
}

bool ParseOnCalendar(const std::string& value, TaskTrigger& t) {
    t = TaskTrigger{};
    std::vector<std::string> parts = Split(value, ' ');
    if (parts.size() == 3) {
        t.kind = TaskTriggerKind::Weekly;
        for (const std::string& name : Split(parts[0], ',')) {
            int d = 0;
            while (d < 7 && name != DAY_NAMES[d]) ++d;
            if (d == 7) return false;
            t.weekDays |= uint8_t(1u << d);
        }
        if (parts[1] != "*-*-*") return false;
        return ParseTimeOfDay(parts[2], t);
    }
    if (parts.size() != 2 || !ParseTimeOfDay(parts[1], t)) return false;
    const std::vector<std::string> date = Split(parts[0], '-');
    if (date.size() != 3) return false;
    if (parts[0] == "*-*-*") {
        t.kind = TaskTriggerKind::Daily;
        return true;
    }
    if (IsDigits(date[0]) && IsDigits(date[1]) && IsDigits(date[2])) {
        t.kind = TaskTriggerKind::Once;
        t.year = std::stoi(date[0]);
        t.month = std::stoi(date[1]);
        t.day = std::stoi(date[2]);
        return true;
    }
    if (date[0] != "*") return false;
    t.kind = TaskTriggerKind::Monthly;
    uint32_t months = 0xFFF;
    if (date[1] != "*" && !ParseNumberList(date[1], 1, 12, months)) return false;
    t.months = uint16_t(months);
    return ParseNumberList(date[2], 1, 31, t.monthDays);
}

std::string CronTimeFields(const TaskTrigger& t, std::string& yearGuard) {
    yearGuard.clear();
    const std::string head = std::to_string(t.minute) + " " + std::to_string(t.hour) + " ";
    switch (t.kind) {
        case TaskTriggerKind::Once:
            yearGuard = YEAR_GUARD_HEAD + std::to_string(t.year) + YEAR_GUARD_TAIL;
            return head + std::to_string(t.day) + " " + std::to_string(t.month) + " *";
        case TaskTriggerKind::Daily: return head + "* * *";
        case TaskTriggerKind::Weekly: return head + "* * " + NumberList(t.weekDays, 7, 0, false);
        case TaskTriggerKind::Monthly:
            return head + NumberList(t.monthDays, 31, 1, false) + " " +
                   ((t.months & 0xFFF) == 0xFFF ? "*" : NumberList(t.months, 12, 1, false)) + " *";
    }
    return {};
}

std::string CronYearGuardOf(const std::string& command) {
    const std::string head = YEAR_GUARD_HEAD;
    const std::string tail = YEAR_GUARD_TAIL;
    if (command.compare(0, head.size(), head) != 0) return {};
    const size_t end = command.find(tail, head.size());
    if (end == std::string::npos || !IsDigits(command.substr(head.size(), end - head.size()))) return {};
    return command.substr(0, end + tail.size());
}

bool ParseCronTime(const std::string& fields, const std::string& yearGuard, TaskTrigger& t) {
    t = TaskTrigger{};
    const std::vector<std::string> f = Split(fields, ' ');
    if (f.size() != 5 || !IsDigits(f[0]) || !IsDigits(f[1])) return false;
    t.minute = std::stoi(f[0]);
    t.hour = std::stoi(f[1]);
    if (t.minute > 59 || t.hour > 23) return false;
    if (!yearGuard.empty()) {
        const std::string head = YEAR_GUARD_HEAD;
        t.kind = TaskTriggerKind::Once;
        t.year = std::stoi(yearGuard.substr(head.size()));
        if (!IsDigits(f[2]) || !IsDigits(f[3]) || f[4] != "*") return false;
        t.day = std::stoi(f[2]);
        t.month = std::stoi(f[3]);
        return true;
    }
    if (f[2] == "*" && f[3] == "*" && f[4] == "*") {
        t.kind = TaskTriggerKind::Daily;
        return true;
    }
    if (f[2] == "*" && f[3] == "*") {
        uint32_t days = 0;
        t.kind = TaskTriggerKind::Weekly;
        if (!ParseNumberList(f[4], 0, 6, days)) return false;
        t.weekDays = uint8_t(days);
        return true;
    }
    if (f[4] != "*") return false;
    t.kind = TaskTriggerKind::Monthly;
    uint32_t months = 0xFFF;
    if (f[3] != "*" && !ParseNumberList(f[3], 1, 12, months)) return false;
    t.months = uint16_t(months);
    return ParseNumberList(f[2], 1, 31, t.monthDays);
}

std::string TriggerText(const TaskTrigger& t) {
    const std::string at = " at " + TimeOfDay(t);
    switch (t.kind) {
        case TaskTriggerKind::Once:
            return "on " + std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + at;
        case TaskTriggerKind::Daily: return "every day" + at;
        case TaskTriggerKind::Weekly: {
            std::string days;
            for (int d = 0; d < 7; ++d)
                if (t.weekDays & (1u << d)) days += std::string(days.empty() ? "" : ", ") + DAY_NAMES[d];
            return "every " + days + at;
        }
        case TaskTriggerKind::Monthly: {
            std::string months;
            for (int m = 0; m < 12; ++m)
                if (t.months & (1u << m)) months += std::string(months.empty() ? "" : ", ") + MONTH_NAMES[m];
            std::string days = NumberList(t.monthDays, 31, 1, false);
            for (size_t p = days.find(','); p != std::string::npos; p = days.find(',', p + 2))
                days.replace(p, 1, ", ");
            return "on day " + days + " of " + ((t.months & 0xFFF) == 0xFFF ? "every month" : months) + at;
        }
    }
    return {};
}

std::string CheckTask(const ScheduledTask& task) {
    if (task.name.empty() || task.name.size() > 200 || task.name[0] == '.' || task.name[0] == '-')
        return "not a usable task name: \"" + task.name + "\"";
    for (char c : task.name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == '_'))
            return "not a usable task name: \"" + task.name + "\" (letters, digits, '.', '-' and '_' only)";
    if (task.command.empty() || task.command[0].empty() || task.command[0][0] != '/')
        return "the program of task " + task.name + " must be given by its absolute path";
    for (const auto& [name, value] : task.environment)
        if (!IsVariableName(name)) return "not a variable name: \"" + name + "\"";
    if (task.description.find('\n') != std::string::npos)
        return "the description of task " + task.name + " must be one line";
    if (task.triggers.empty()) return "task " + task.name + " has no time to run";
    static constexpr int MONTH_DAYS[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (const TaskTrigger& t : task.triggers) {
        if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59)
            return "not a time of day: " + std::to_string(t.hour) + ":" + std::to_string(t.minute);
        if (t.kind == TaskTriggerKind::Weekly && (t.weekDays & 0x7F) == 0)
            return "a weekly time needs at least one day of the week";
        if (t.kind == TaskTriggerKind::Monthly &&
            ((t.monthDays & 0x7FFFFFFF) == 0 || (t.months & 0xFFF) == 0))
            return "a monthly time needs at least one day and one month";
        if (t.kind == TaskTriggerKind::Once &&
            (t.year < 1970 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
             t.day > MONTH_DAYS[t.month - 1]))
            return "not a date: " + std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                   std::to_string(t.day);
    }
    return {};
}
}  // namespace plat
