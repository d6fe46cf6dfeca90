// Tokenising the command line and reading the host's words.
#include "CommandLine.h"

#include "CmdHostText.h"

namespace cmdhost {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::vector<std::string> TokenizeCommandLine(std::string_view line) {
    std::vector<std::string> tokens;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        while (i < n && IsSpace(line[i])) ++i;
        if (i >= n) break;
        if (line[i] == '"') {
            // A quoted token ends at a quote that white space or the end of the line follows;
            // quotes inside it ("a"b" c") belong to the token.
            const size_t start = i + 1;
            size_t close = start;
            while (close < n && !(line[close] == '"' && (close + 1 == n || IsSpace(line[close + 1]))))
                ++close;
            tokens.emplace_back(line.substr(start, close - start));
            i = close < n ? close + 1 : n;
        } else {
            const size_t start = i;
            while (i < n && !IsSpace(line[i])) ++i;
            tokens.emplace_back(line.substr(start, i - start));
        }
    }
    return tokens;
}

HostCommand ParseHostCommand(const std::vector<std::string>& tokens) {
    HostCommand command;
    if (tokens.size() < 2) return command;
    command.backup = EqualsNoCase(tokens[1], text::TOKEN_JOB_BACKUP);
    command.help = tokens[1] == text::TOKEN_HELP || tokens[1] == text::TOKEN_HELP_SHORT;
    if (command.backup && tokens.size() > 2) command.jobPath = tokens[2];
    const bool typed = command.backup && tokens.size() > 3 &&
                       (EqualsNoCase(tokens[3], text::TOKEN_FULL) || EqualsNoCase(tokens[3], text::TOKEN_INC));
    command.full = typed && EqualsNoCase(tokens[3], text::TOKEN_FULL);
    for (size_t i = 1; i < tokens.size(); ++i) {
        if (EqualsNoCase(tokens[i], text::TOKEN_SW_HIDE)) {
            command.hide = true;
            continue;
        }
        const bool known = (i == 1 && (command.backup || command.help)) || (i == 2 && command.backup) ||
                           (i == 3 && typed) || ((i == 4 || i == 5) && typed);
        if (!known) command.unknown.push_back(tokens[i]);
    }
    return command;
}

}  // namespace cmdhost
