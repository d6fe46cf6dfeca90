// CCliContext: what a tavctl command reads and writes besides its arguments (output
// streams, environment, password prompt, progress), so that tests can run commands
// in-process.
#pragma once
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tavctl {

struct CCliContext {
    CCliContext(std::ostream& outStream, std::ostream& errStream)
        : out(outStream), err(errStream) {}

    std::ostream& out;  // results (listings, file contents, reports)
    std::ostream& err;  // error lines and progress
    // An environment variable, nullopt when unset.
    std::function<std::optional<std::string>(const std::string&)> getEnv;
    // Asks for a password without echo; nullopt when there is no terminal to ask on.
    std::function<std::optional<std::string>(const std::string&)> readPassword;
    // The first line of standard input (for "--password-file -"); nullopt when there is none.
    std::function<std::optional<std::string>()> readStdinLine;
    // Progress lines on `err` for long work (set when the output is a terminal).
    bool progress = false;

    // The context of the running process: std streams, the real environment and terminal.
    static CCliContext ForProcess(std::ostream& out, std::ostream& err);
};

}  // namespace tavctl
