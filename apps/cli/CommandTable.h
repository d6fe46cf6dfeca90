// CCommandTable: the commands of tavctl and the dispatcher that picks one from the
// command line, parses its options and runs it. Each command group adds its commands
// in its own file (see CommandGroups.h).
#pragma once
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ArgParser.h"
#include "CliCommon.h"
#include "CliContext.h"

namespace tavctl {

struct CliCommand {
    std::vector<std::string> words;  // {"info"}, or {"job", "run"} for a command of a group
    std::string arguments;           // synopsis after the words: "REPO [-b N] [PATH]"
    std::string summary;             // one line for the command list
    std::string description;         // the body of --help
    std::vector<CliOption> options;  // --help is accepted by every command
    size_t minPositionals = 0;
    size_t maxPositionals = 0;
    // Runs the command; returns the exit code.
    std::function<int(const CCliArgs&, CCliContext&)> run;
};

class CCommandTable {
public:
    void Add(CliCommand command);
    // The command named by the longest run of leading words of `args`, with the number
    // of words it took in `used`; null when none matches.
    const CliCommand* Find(const std::vector<std::string>& args, size_t& used) const;
    // True when some command's words begin with `prefix` (a group such as "job").
    bool IsGroup(const std::vector<std::string>& prefix) const;
    // "; did you mean 'PREFIX WORD'?" for the command word after `prefix` closest to
    // `word`, "" when none is close.
    std::string Suggest(const std::vector<std::string>& prefix, const std::string& word) const;
    // The command list (of the whole table, or of one group).
    void PrintOverview(std::ostream& out, const std::vector<std::string>& prefix = {}) const;
    static void PrintUsage(const CliCommand& command, std::ostream& out);
    static void PrintHelp(const CliCommand& command, std::ostream& out);

private:
    std::vector<CliCommand> m_commands;
};

// Runs one tavctl command line (without the program name) and returns the exit code.
int RunTavctl(const std::vector<std::string>& args, CCliContext& ctx);

}  // namespace tavctl
