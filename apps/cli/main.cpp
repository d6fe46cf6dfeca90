// tavctl: the suite's command-line tool.
#include <iostream>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "CliContext.h"
#include "CommandTable.h"

int main(int argc, char** argv) {
    plat::KeepFreedMemory();
    std::ios::sync_with_stdio(false);
    tavctl::CCliContext ctx = tavctl::CCliContext::ForProcess(std::cout, std::cerr);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = tavctl::RunTavctl(args, ctx);
    std::cout.flush();
    return code;
}
