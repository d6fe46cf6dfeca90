// Command lines and triggers of scheduled tasks in systemd's and cron's own syntax.
#include "platform/TaskText.h"

#include <cstdio>

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

bool ValidName(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

void AppendCEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char code[8];
                std::snprintf(code, sizeof code, "\\x%02x", c);
                out += code;
            } else {
                out += char(c);
            }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One C escape after a backslash at text[i]; advances i past it. False for an unknown one.
bool TakeCEscape(const std::string& text, size_t& i, std::string& word) {
    if (i + 1 >= text.size()) return false;
    const char c = text[i + 1];
    i += 2;
    switch (c) {
        case '\\': word += '\\'; return true;
        case '"': word += '"'; return true;
        case '\'': word += '\''; return true;
        case 'n': word += '\n'; return true;
        case 't': word += '\t'; return true;
        case 'r': word += '\r'; return true;
        case 's': word += ' '; return true;
        case 'x': {
            if (i + 1 >= text.size() || HexValue(text[i]) < 0 || HexValue(text[i + 1]) < 0) return false;
            word += char(HexValue(text[i]) * 16 + HexValue(text[i + 1]));
            i += 2;
            return true;
        }
        default: return false;
    }
}

// Splits a line into words the way systemd's unquoting does (after specifiers).
bool SplitSystemdWords(const std::string& text, std::vector<std::string>& words) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        std::string word;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
            const char c = text[i];
            if (c == '"' || c == '\'') {
                ++i;
                while (i < text.size() && text[i] != c) {
                    if (text[i] == '\\') {
                        if (!TakeCEscape(text, i, word)) return false;
                    } else {
                        word += text[i++];
                    }
                }
                if (i >= text.size()) return false;  // open quote
                ++i;
            } else if (c == '\\') {
                if (!TakeCEscape(text, i, word)) return false;
            } else {
                word += text[i++];
            }
        }
        words.push_back(std::move(word));
    }
    return true;
}

// "%%" → "%"; any other specifier is not ours.
bool ExpandPercent(const std::string& text, std::string& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

std::string CronQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else if (c == '%') out += "'\\%'";  // the quote before the backslash keeps it cron's escape
        else out += c;
    }
    return out + "'";
}

}  // namespace

std::string SystemdQuoteArgument(const std::string& argument, bool program) {
    std::string out = "\"";
    for (unsigned char c : argument) {
        if (c == '%') out += "%%";
        else if (c == '$' && !program) out += "$$";
        else AppendCEscape(out, c);
    }
    return out + "\"";
}

std::string SystemdExecLine(const std::vector<std::string>& argv) {
    std::string line;
    for (size_t i = 0; i < argv.size(); ++i)
        line += (i ? " " : "") + SystemdQuoteArgument(argv[i], i == 0);
    return line;
}

std::string SystemdProgramProblem(const std::string& program) {
    for (unsigned char c : program)
        if (c == '"' || c == '\'' || c == '\\' || c < 0x20 || c == 0x7F)
            return "systemd cannot start a program whose path holds a quote, a backslash or a "
                   "control character: " + program;
    return {};
}

std::string SystemdEnvironmentValue(const std::string& name, const std::string& value) {
    std::string out = "\"" + name + "=";
    for (unsigned char c : value) {
        if (c == '%') out += "%%";
        else AppendCEscape(out, c);
    }
    return out + "\"";
}

bool SystemdSplitExecLine(const std::string& line, std::vector<std::string>& argv) {
    std::string expanded;
    std::vector<std::string> words;
    if (!ExpandPercent(line, expanded) || !SplitSystemdWords(expanded, words)) return false;
    argv.clear();
    for (const std::string& word : words) {
        if (argv.empty()) {  // the program's path is taken as it stands
            argv.push_back(word);
            continue;
        }
        std::string plain;
        for (size_t i = 0; i < word.size(); ++i) {
            plain += word[i];
            if (word[i] == '$' && i + 1 < word.size() && word[i + 1] == '$') ++i;
        }
        argv.push_back(std::move(plain));
    }
    return !argv.empty();
}

bool SystemdSplitEnvironment(const std::string& value, std::string& name, std::string& text) {
    std::string expanded;
    std::vector<std::string> words;
    if (!ExpandPercent(value, expanded) || !SplitSystemdWords(expanded, words) || words.size() != 1)
        return false;
    const size_t equals = words[0].find('=');
    if (equals == std::string::npos || !ValidName(words[0].substr(0, equals))) return false;
    name = words[0].substr(0, equals);
    text = words[0].substr(equals + 1);
    return true;
}

bool CronCommand(const TaskEnvironment& environment, const std::vector<std::string>& argv,
                 std::string& command, std::string& error) {
    command.clear();
    auto fits = [&](const std::string& text) {
        if (text.find('\n') == std::string::npos && text.find('\r') == std::string::npos &&
            text.find('\0') == std::string::npos)
            return true;
        error = "a crontab line cannot hold a line break: \"" + text + "\"";
        return false;
    };
    for (const auto& [name, value] : environment) {
        if (!ValidName(name)) {
            error = "not a variable name: \"" + name + "\"";
            return false;
        }
        if (!fits(value)) return false;
        command += name + "=" + CronQuote(value) + " ";
    }
    for (size_t i = 0; i < argv.size(); ++i) {
        if (!fits(argv[i])) return false;
        command += (i ? " " : "") + CronQuote(argv[i]);
    }
    return true;
}

bool CronSplitCommand(const std::string& command, TaskEnvironment& environment,
                      std::vector<std::string>& argv) {
    environment.clear();
    argv.clear();
    // cron's own pass: "\%" is a '%', an unescaped '%' ends the command (our lines have none).
    std::string text;
    bool escaped = false;
    for (char c : command) {
        if (escaped) {
            if (c == '%') text.back() = '%';
            else text += c;
            escaped = false;
            continue;
        }
        if (c == '%') return false;
        if (c == '\\') escaped = true;
        text += c;
    }
    // The shell's words: single quotes, backslashes outside them, a '#' word ends the line.
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size() || text[i] == '#') break;
        std::string word;
        bool quoted = false;
        bool assignment = false;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
            const char c = text[i];
            if (c == '\'') {
                const size_t end = text.find('\'', i + 1);
                if (end == std::string::npos) return false;
                word += text.substr(i + 1, end - i - 1);
                quoted = true;
                i = end + 1;
            } else if (c == '\\' && i + 1 < text.size()) {
                word += text[i + 1];
                quoted = true;
                i += 2;
            } else if (c == '"' || c == '$' || c == '`' || c == ';' || c == '&' || c == '|') {
                return false;  // not written by CronCommand
            } else {
                if (c == '=' && !quoted && !assignment && ValidName(word)) assignment = true;
                word += c;
                ++i;
            }
        }
        if (assignment && argv.empty()) {
            const size_t equals = word.find('=');
            environment.emplace_back(word.substr(0, equals), word.substr(equals + 1));
        } else {
            argv.push_back(std::move(word));
        }
    }
    return !argv.empty();
}

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
        if (!ValidName(name)) return "not a variable name: \"" + name + "\"";
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
