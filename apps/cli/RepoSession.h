// CRepoSession: one repository opened by a tavctl command: attached, its password
// checked, and the baseline the command works on loaded.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
    // Open says on the error stream when the newest baselines cannot be read (the
    // repository then shows the ones before) or when the images' security records disagree;
    // `check` reports these itself and turns it off.
    void SetWarnings(bool on) { m_warnings = on; }
    // Attaches again (after a repair detached the repository) with the password it was
    // opened with. False with `problem` set.
    bool Reattach(std::string& problem);
    // Lines that describe those states (empty when there is nothing to say).
    std::vector<std::string> DamageNotes();

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
    bool OpenQuietly(const std::string& path, const CCliArgs& args, CCliContext& ctx, int& code);
    bool AttachWith(const std::optional<std::string>& password, std::string& problem);
    void DetachQuietly();

    CTavRepository m_rep;
    std::string m_path;
    std::string m_password;
    bool m_warnings = true;
};

}  // namespace tavctl
