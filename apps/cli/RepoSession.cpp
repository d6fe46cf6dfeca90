// Opening a repository for a command.
#include "RepoSession.h"

#include "CliCommon.h"
#include "CliText.h"
#include "ContentReader.h"
#include "PasswordSource.h"
#include "RepositoryNotes.h"
#include "platform/FileSystem.h"
#include "tavrep/TavSecurity.h"

namespace tavctl {

namespace {

std::string AttachProblem(int32_t code, const std::string& detail) {
    switch (code) {
        case TAVEX_NOT_FOUND:
            return text::ERR_NO_SUCH_FILE;
        case TAVEX_BUSY:
            return text::ERR_BUSY;
        case TAVEX_NOT_IMAGE:
            return text::ERR_NOT_IMAGE;
        case TAVEX_UNKNOWN_VERSION:
            return detail.empty() ? std::string(text::ERR_UNKNOWN_VERSION) : detail;
        case TAVEX_WRONG_ID:
            return text::ERR_WRONG_IMAGE_ID;
        default:
            return detail.empty() ? std::string(text::ERR_CANNOT_OPEN) : detail;
    }
}

}  // namespace

CliOption BaselineOption() {
    return {"baseline", 'b', true, "N", "use baseline N or latest (default: the newest)"};
}

CRepoSession::~CRepoSession() { DetachQuietly(); }

void CRepoSession::DetachQuietly() {
    try {
        m_rep.Detach();
    } catch (CTavException* e) {
        e->Delete();
    }
}

bool CRepoSession::AttachWith(const std::optional<std::string>& password, std::string& problem) {
    TavImageSecurity security;
    if (!InitTavImageSecure(&security, password ? password->c_str() : nullptr, COMPRESS_DEFLATE, -1,
                            ENCRYPT_BUILTIN, TAV_DEFAULT_IMAGE_SIZE)) {
        problem = text::ERR_PASSWORD_TOO_LONG;
        return false;
    }
    try {
        if (m_rep.Attach(m_path, &security) == 1) return true;
        problem = AttachProblem(m_rep.LastAttachCode(), m_rep.LastAttachDetail());
    } catch (CTavException* e) {
        const int32_t code = e->code;
        problem = AttachProblem(code, TakeException(e));
        DetachQuietly();
    }
    return false;
}

bool CRepoSession::Reattach(std::string& problem) {
    DetachQuietly();
    return AttachWith(m_password.empty() ? std::nullopt : std::optional<std::string>(m_password), problem);
}

std::vector<std::string> CRepoSession::DamageNotes() { return RepositoryDamageNotes(m_rep); }

bool CRepoSession::Open(const std::string& path, const CCliArgs& args, CCliContext& ctx,
                        int& code) {
    if (!OpenQuietly(path, args, ctx, code)) return false;
    if (m_warnings)
        for (const std::string& note : DamageNotes()) ctx.err << "tavctl: " << path << ": warning: " << note << '\n';
    return true;
}

bool CRepoSession::OpenQuietly(const std::string& path, const CCliArgs& args, CCliContext& ctx,
                               int& code) {
    m_path = path;
    if (plat::IsDirectory(path)) {
        code = Fail(ctx, path, "is a folder, not a repository image file");
        return false;
    }
    std::optional<std::string> given;
    if (!GivenPassword(args, ctx, "password-file", text::ENV_PASSWORD, given, code)) return false;
    if (given && !PasswordFits(given->c_str())) {
        code = Fail(ctx, path, text::ERR_PASSWORD_TOO_LONG);
        return false;
    }
    std::string problem;
    if (!AttachWith(given, problem)) {
        code = Fail(ctx, path, problem);
        return false;
    }
    try {
        if (m_rep.VerifyPassword("")) {
            // No password: reading needs none, so the one given (if any) is not used as a key.
            if (given && !given->empty()) {
                DetachQuietly();
                if (!AttachWith(std::nullopt, problem)) {
                    code = Fail(ctx, path, problem);
                    return false;
                }
            }
            m_password.clear();
            return true;
        }
        if (given) {
            if (!m_rep.VerifyPassword(given->c_str())) {
                code = Fail(ctx, path, text::ERR_WRONG_PASSWORD);
                return false;
            }
            m_password = *given;
            return true;
        }
        std::optional<std::string> asked = PromptPassword(ctx, text::PROMPT_PASSWORD);
        if (!asked) {
            code = Fail(ctx, path, text::ERR_PASSWORD_NEEDED);
            return false;
        }
        if (!PasswordFits(asked->c_str())) {
            code = Fail(ctx, path, text::ERR_PASSWORD_TOO_LONG);
            return false;
        }
        if (!m_rep.VerifyPassword(asked->c_str())) {
            code = Fail(ctx, path, text::ERR_WRONG_PASSWORD);
            return false;
        }
        // Blocks encrypted with the password need it in the record given to Attach.
        DetachQuietly();
        if (!AttachWith(asked, problem)) {
            code = Fail(ctx, path, problem);
            return false;
        }
        m_password = *asked;
        return true;
    } catch (CTavException* e) {
        code = Fail(ctx, path, TakeException(e));
        return false;
    }
}

std::unique_ptr<CBaselineView> CRepoSession::LoadBaseline(uint32_t number, std::string& problem) {
    TavBaselineHeaderRec header;
    if (!m_rep.GetBaselineHeader(number, header)) {
        problem = std::string(text::ERR_NO_BASELINE) + " " + std::to_string(number);
        const TavBaselineList* list = m_rep.GetBaselineList();
        if (list != nullptr && !list->items.empty())
            problem += " (the baselines are " + std::to_string(list->items.front().number) +
                       " to " + std::to_string(list->items.back().number) + ")";
        return nullptr;
    }
    CTavRepBaselineDetails* table = nullptr;
    try {
        table = m_rep.LoadBaseline(number);
    } catch (CTavException* e) {
        problem = TakeException(e);
        return nullptr;
    }
    if (table == nullptr) {
        problem = text::ERR_BASELINE_UNREADABLE;
        return nullptr;
    }
    return std::make_unique<CBaselineView>(table, number);
}

std::optional<uint32_t> CRepoSession::BaselineNumber(const CCliArgs& args, CCliContext& ctx,
                                                     int& code) {
    std::optional<std::string> value = args.Value("baseline");
    if (!value || *value == "latest") return m_rep.GetLatestBaselineNumber();
    std::optional<uint32_t> parsed = ParseNumber(*value);
    if (!parsed)
        code = Fail(ctx, "", "-b needs a baseline number or latest, not '" + *value + "'", EXIT_USAGE);
    return parsed;
}

std::unique_ptr<CBaselineView> CRepoSession::OpenBaseline(const CCliArgs& args, CCliContext& ctx,
                                                          int& code) {
    const std::optional<uint32_t> chosen = BaselineNumber(args, ctx, code);
    if (!chosen) return nullptr;
    const uint32_t number = *chosen;
    std::string problem;
    std::unique_ptr<CBaselineView> view = LoadBaseline(number, problem);
    if (!view) {
        TavBaselineHeaderRec header;
        const bool listed = m_rep.GetBaselineHeader(number, header) == 1;
        code = Fail(ctx, m_path,
                    listed ? "baseline " + std::to_string(number) + ": " + problem : problem);
    }
    return view;
}

}  // namespace tavctl
