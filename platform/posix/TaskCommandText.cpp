// Command lines of scheduled tasks as systemd's ExecStart= and a crontab line read them.
#include <cstdio>

#include "platform/TaskText.h"

namespace plat {

namespace {

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

bool IsVariableName(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

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
    if (equals == std::string::npos || !IsVariableName(words[0].substr(0, equals))) return false;
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
        if (!IsVariableName(name)) {
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
                if (c == '=' && !quoted && !assignment && IsVariableName(word)) assignment = true;
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
}  // namespace plat
