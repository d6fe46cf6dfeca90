// Error reports shared by the commands.
#include "CliCommon.h"

#include <ostream>

#include "CliText.h"
#include "platform/SysError.h"
#include "tavrep/TavException.h"

namespace tavctl {

CliOption JsonOption() {
    return {"json", 0, false, "", "write JSON (one object per line for listings)"};
}

int Fail(CCliContext& ctx, const std::string& subject, const std::string& problem, int code) {
    ctx.err << text::PROGRAM << ": ";
    if (!subject.empty()) ctx.err << subject << ": ";
    ctx.err << problem << '\n';
    ctx.err.flush();
    return code;
}

std::string SystemErrorText(uint32_t error) {
    switch (error) {
        case plat::ERR_FILE_NOT_FOUND:
        case plat::ERR_PATH_NOT_FOUND:
            return "file not found";
        case plat::ERR_ACCESS_DENIED:
            return "access denied";
        case plat::ERR_SHARING_VIOLATION:
            return "the file is in use by another process";
        default:
            return plat::ErrorText(error);
    }
}

}  // namespace tavctl
