// The context of the running process.
#include "CliContext.h"

#include <iostream>

#include "platform/Process.h"

namespace tavctl {

CCliContext CCliContext::ForProcess(std::ostream& out, std::ostream& err) {
    CCliContext ctx(out, err);
    ctx.getEnv = [](const std::string& name) { return plat::GetEnv(name); };
    // The prompt goes to the controlling terminal, so it also works with redirected input.
    ctx.readPassword = [](const std::string& prompt) {
        return plat::ReadPasswordFromTerminal(prompt);
    };
    ctx.readStdinLine = []() -> std::optional<std::string> {
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        return line;
    };
    ctx.progress = plat::StdoutIsTerminal();
    return ctx;
}

}  // namespace tavctl
