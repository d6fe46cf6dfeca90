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
// for a backup of the job file in token 2, full when token 3 is "FULL", else incremental
// ("INC" says so); "SW_HIDE" anywhere after the program hides the window; "--help" (or
// "-h") as token 1 asks for the usage. Words ignore letter case. Other tokens are ignored,
// but listed in `unknown`, except tokens 4 and 5 after "FULL" or "INC": the scheduler's
// description words ("Scheduled", "Scheduled backup").
struct HostCommand {
    bool backup = false;     // token 1 is "JOB_BACKUP"
    bool help = false;       // token 1 is "--help" or "-h"
    std::string jobPath;     // token 2; empty when missing
    bool full = false;       // token 3 is "FULL"
    bool hide = false;       // some token is "SW_HIDE"
    std::vector<std::string> unknown;  // tokens that mean nothing to the host
};

HostCommand ParseHostCommand(const std::vector<std::string>& tokens);

// Letter case ignored, ASCII only (the host's words are ASCII).
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace cmdhost
