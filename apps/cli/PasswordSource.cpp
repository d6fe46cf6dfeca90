// Password sources.
#include "PasswordSource.h"

#include "CliCommon.h"
#include "CliText.h"
#include "platform/File.h"
#include "platform/SysError.h"

namespace tavctl {

namespace {
// More than any password the format can hold; a longer file is not a password file.
constexpr size_t MAX_PASSWORD_FILE = 4096;
}  // namespace

CliOption PasswordFileOption() {
    return {"password-file", 0, true, "FILE", "read the repository's password from FILE (- for standard input)"};
}

CliOption NewPasswordFileOption() {
    return {"new-password-file", 0, true, "FILE", "read the new password from FILE (- for standard input)"};
}

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& problem) {
    uint32_t error = 0;
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                                  &error);
    if (!file) {
        problem = std::string(text::ERR_PASSWORD_FILE) + " (" + SystemErrorText(error) + ")";
        return false;
    }
    std::string content(MAX_PASSWORD_FILE + 1, '\0');
    const int64_t n = file->ReadFull(content.data(), content.size());
    if (n < 0) {
        problem = std::string(text::ERR_PASSWORD_FILE) + " (" +
                  SystemErrorText(plat::GetLastError()) + ")";
        return false;
    }
    if (size_t(n) > MAX_PASSWORD_FILE) {
        problem = std::string(text::ERR_PASSWORD_FILE) + " (it is larger than " +
                  std::to_string(MAX_PASSWORD_FILE) + " bytes)";
        return false;
    }
    content.resize(size_t(n));
    const size_t end = content.find('\n');
    if (end != std::string::npos) content.resize(end);
    if (!content.empty() && content.back() == '\r') content.pop_back();
    password = content;
    return true;
}

bool GivenPassword(const CCliArgs& args, CCliContext& ctx, const std::string& option,
                   const std::string& envName, std::optional<std::string>& password, int& code) {
    password.reset();
    if (std::optional<std::string> file = args.Value(option)) {
        if (*file == "-") {  // the first line of standard input
            std::optional<std::string> line = ctx.readStdinLine ? ctx.readStdinLine() : std::nullopt;
            if (!line) {
                code = Fail(ctx, "standard input", text::ERR_PASSWORD_STDIN);
                return false;
            }
            if (!line->empty() && line->back() == '\r') line->pop_back();
            password = *line;
            return true;
        }
        std::string value, problem;
        if (!ReadPasswordFile(*file, value, problem)) {
            code = Fail(ctx, *file, problem);
            return false;
        }
        password = value;
        return true;
    }
    if (ctx.getEnv) password = ctx.getEnv(envName);
    return true;
}

std::optional<std::string> PromptPassword(CCliContext& ctx, const std::string& prompt) {
    if (!ctx.readPassword) return std::nullopt;
    return ctx.readPassword(prompt);
}

}  // namespace tavctl
