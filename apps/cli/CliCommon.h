// Exit codes and the one-line error reports shared by every tavctl command.
#pragma once
#include <cstdint>
#include <string>

#include "ArgParser.h"
#include "CliContext.h"
#include "tavrep/TavException.h"

namespace tavctl {

constexpr int EXIT_OK = 0;        // done, or nothing wrong found
constexpr int EXIT_PROBLEMS = 1;  // an error, or problems found
constexpr int EXIT_USAGE = 2;     // the command line is wrong

// "--json": machine-readable output (one JSON document, or one object per line for a
// listing).
CliOption JsonOption();

// Writes "tavctl: <subject>: <problem>" to the error stream and returns `code`.
int Fail(CCliContext& ctx, const std::string& subject, const std::string& problem,
         int code = EXIT_PROBLEMS);

// "file not found", "access denied" or the system's message for a platform error code.
std::string SystemErrorText(uint32_t error);

}  // namespace tavctl
