// Where tavctl takes passwords from: a file named by an option, an environment variable,
// or a prompt on the terminal.
#pragma once
#include <optional>
#include <string>

#include "ArgParser.h"
#include "CliContext.h"

namespace tavctl {

// The options that name password files.
CliOption PasswordFileOption();
CliOption NewPasswordFileOption();

// The first line of `path` (without its line end). False with `problem` set when the
// file cannot be read.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& problem);

// The password given without asking: the file named by option `option`, else the
// variable `envName`. nullopt in `password` when neither is given. False after reporting
// an unreadable file (exit code in `code`).
bool GivenPassword(const CCliArgs& args, CCliContext& ctx, const std::string& option,
                   const std::string& envName, std::optional<std::string>& password, int& code);

// Asks on the terminal; nullopt when there is no terminal.
std::optional<std::string> PromptPassword(CCliContext& ctx, const std::string& prompt);

}  // namespace tavctl
