// The command host's command line: tokenising a line and reading what it asks for.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace cmdhost {

// Splits a command line into tokens. Tokens are separated by white space; a token that
// begins with a double quote runs to the next double quote that is followed by white space
// or by the end of the line (or, without one, to the end of the line), and the enclosing
// quotes are not part of it. Other quotes are kept as they stand.
std::vector<std::string> TokenizeCommandLine(std::string_view line);

// What a command line asks of the host. Token 0 is the program; token 1 "JOB_BACKUP" asks
// for a backup of the job file in token 2, full when token 3 is "FULL", else incremental;
// "SW_HIDE" anywhere after the program hides the window. Words ignore letter case; other
// tokens are ignored.
struct HostCommand {
    bool backup = false;     // token 1 is "JOB_BACKUP"
    std::string jobPath;     // token 2; empty when missing
    bool full = false;       // token 3 is "FULL"
    bool hide = false;       // some token is "SW_HIDE"
};

HostCommand ParseHostCommand(const std::vector<std::string>& tokens);

// Letter case ignored, ASCII only (the host's words are ASCII).
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace cmdhost
