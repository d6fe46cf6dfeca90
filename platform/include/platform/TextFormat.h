// printf-style formatting into a std::string, for the fixed texts of every part of the suite
// (log lines, messages, reasons), which are written with printf conversions.
//
// It lives here, beside the operating-system layer although it calls nothing of the system,
// because tavplatform is the one library that every other library, module and program links:
// the repository library, the engines, the modules, tavctl, the command host and the GUI
// programs all take it from this header, and none keeps a copy of its own.
#pragma once
#include <string>

namespace plat {

// The formatted text; empty when the format is empty or the conversion fails. The compiler
// checks the arguments against the conversions of a literal format.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace plat
