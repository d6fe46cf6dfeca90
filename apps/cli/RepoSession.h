// CRepoSession: one repository opened by a tavctl command: attached, its password
// checked, and the baseline the command works on loaded.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include "ArgParser.h"
#include "BaselineView.h"
#include "CliContext.h"
#include "tavrep/TavRepository.h"

namespace tavctl {

// "-b N": the baseline a command works on.
CliOption BaselineOption();

class CRepoSession {
public:
    CRepoSession() = default;
    ~CRepoSession();
    CRepoSession(const CRepoSession&) = delete;
    CRepoSession& operator=(const CRepoSession&) = delete;

    // Attaches `path` and checks the password (from --password-file, TAVORA_PASSWORD or a
    // prompt, asked only when the repository has one). False after reporting the problem
    // as one line; `code` is then the exit code.
    bool Open(const std::string& path, const CCliArgs& args, CCliContext& ctx, int& code);

    CTavRepository& Rep() { return m_rep; }
    const std::string& Path() const { return m_path; }
    // The password the repository was opened with ("" when it has none).
    const std::string& Password() const { return m_password; }

    // The number -b names ("latest", or a number), else the newest; nullopt after reporting
    // a wrong value (exit code 2).
    std::optional<uint32_t> BaselineNumber(const CCliArgs& args, CCliContext& ctx, int& code);
    // The baseline named by -b, else the newest; null after reporting the problem.
    std::unique_ptr<CBaselineView> OpenBaseline(const CCliArgs& args, CCliContext& ctx, int& code);
    // Loads baseline `number`; null with `problem` set.
    std::unique_ptr<CBaselineView> LoadBaseline(uint32_t number, std::string& problem);

private:
    bool AttachWith(const std::optional<std::string>& password, std::string& problem);
    void DetachQuietly();

    CTavRepository m_rep;
    std::string m_path;
    std::string m_password;
};

}  // namespace tavctl
