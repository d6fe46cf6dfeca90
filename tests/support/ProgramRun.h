// Runs a built program the way cron or a shell would: through /bin/sh with extra
// environment, standard input from /dev/null and its output caught in files.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/Process.h"
#include "support/TempDir.h"

namespace tavtest {

// `text` in single quotes for /bin/sh.
inline std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `command` with `env` (NAME, value) set; its output lands in `dir`. The program runs
// without a display whatever the test's own environment has (a window shown by a run meant
// for the console would wait for a click that never comes), unless `env` sets one.
inline ProgramResult RunProgram(const CTempDir& dir, const std::vector<std::string>& command,
                                const std::vector<std::pair<std::string, std::string>>& env = {}) {
    std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    for (const auto& [name, value] : env) line += name + "=" + ShellQuote(value) + " ";
    for (const std::string& word : command) line += ShellQuote(word) + " ";
    line += ">" + ShellQuote(dir / "run.out") + " 2>" + ShellQuote(dir / "run.err") + " </dev/null";
    ProgramResult r;
    r.status = plat::RunProcess({"/bin/sh", "-c", line});
    r.out = ReadFile(dir / "run.out");
    r.err = ReadFile(dir / "run.err");
    return r;
}

}  // namespace tavtest
