// tavctl passwd: sets, changes or removes a repository's password.
#include <ostream>

#include "CliText.h"
#include "CommandGroups.h"
#include "PasswordSource.h"
#include "RepoSession.h"
#include "tavrep/TavSecurity.h"

namespace tavctl {

namespace {

constexpr uint32_t ENCRYPTION_FIELD = 0x000F0000;  // coding word bits 16-19

// True when a node or baseline table was written with ENCRYPT_PASSWORD. Each run writes
// its node table with the encryption of its contents, so the tables tell whether
// contents depend on the password as a key.
bool UsesPasswordKey(CTavRepository& rep) {
    const TavBaselineList* list = rep.GetBaselineList();
    if (list == nullptr) return false;
    std::vector<TavPosition> tables{list->entryPoint};
    for (const TavBaselineHeaderRec& h : list->items) tables.push_back({h.image, h.nodeTable});
    for (const TavPosition& p : tables) {
        CTavImage* image = rep.GetImageFromID(p.image);
        if (image == nullptr || p.offset == 0) continue;
        try {
            const TavBlockData block = image->ReadBlock(p.offset);
            if ((block.coding & ENCRYPTION_FIELD) == ENCRYPT_PASSWORD) return true;
        } catch (CTavException* e) {
            TakeException(e);
        }
    }
    return false;
}

// The new password from the option's file, the variable or two prompts; false after
// reporting (exit code in `code`).
bool NewPassword(const CCliArgs& args, CCliContext& ctx, const std::string& repo, std::string& out,
                 int& code) {
    std::optional<std::string> given;
    if (!GivenPassword(args, ctx, "new-password-file", text::ENV_NEW_PASSWORD, given, code))
        return false;
    if (given) {
        out = *given;
    } else {
        std::optional<std::string> first = PromptPassword(ctx, text::PROMPT_NEW_PASSWORD);
        if (!first) {
            code = Fail(ctx, repo,
                        "no new password given: use --new-password-file, TAVORA_NEW_PASSWORD or a "
                        "terminal");
            return false;
        }
        std::optional<std::string> second = PromptPassword(ctx, text::PROMPT_CONFIRM_PASSWORD);
        if (!second || *second != *first) {
            code = Fail(ctx, repo, text::ERR_PASSWORDS_DIFFER);
            return false;
        }
        out = *first;
    }
    if (out.empty()) {
        code = Fail(ctx, repo, text::ERR_EMPTY_NEW_PASSWORD);
        return false;
    }
    if (!PasswordFits(out.c_str())) {
        code = Fail(ctx, repo, text::ERR_PASSWORD_TOO_LONG);
        return false;
    }
    return true;
}

int RunPasswd(const CCliArgs& args, CCliContext& ctx) {
    const bool remove = args.Has("remove");
    if (remove && args.Has("new-password-file"))
        return Fail(ctx, "passwd", "--remove and --new-password-file exclude each other",
                    EXIT_USAGE);
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    const std::string& repo = session.Path();
    std::string newPassword;
    if (!remove && !NewPassword(args, ctx, repo, newPassword, code)) return code;
    if (UsesPasswordKey(session.Rep())) return Fail(ctx, repo, text::ERR_PASSWORD_ENCRYPTED);
    if (!session.Rep().ChangePassword(session.Password().c_str(), newPassword.c_str()))
        return Fail(ctx, repo, text::ERR_CANNOT_CHANGE);
    session.Rep().ReleaseReadHandles();
    ctx.out << (remove ? text::MSG_PASSWORD_REMOVED : text::MSG_PASSWORD_CHANGED) << '\n'
            << text::MSG_PASSWORD_PROTECTS << '\n';
    return EXIT_OK;
}

}  // namespace

void RegisterPasswdCommands(CCommandTable& table) {
    table.Add({{"passwd"},
               "REPO [--password-file FILE] [--new-password-file FILE | --remove]",
               "set, change or remove a repository's password",
               "The current password (when one is set) comes from --password-file, the\n"
               "TAVORA_PASSWORD variable or a prompt; the new one from --new-password-file, the\n"
               "TAVORA_NEW_PASSWORD variable or two prompts. A password file holds the password\n"
               "on its first line (- reads it from standard input). --remove removes the\n"
               "password.\n\n"
               "What a password protects: opening the repository with Tavora's tools. What it\n"
               "does not: the stored data is not encrypted with it. The data stays encrypted\n"
               "with the key built into the program (or not at all without --encrypt), so\n"
               "anyone who has the image files can read them (README, \"Security of the\n"
               "format\").",
               {PasswordFileOption(),
                NewPasswordFileOption(),
                {"remove", 0, false, "", "remove the password"}},
               1,
               1,
               RunPasswd});
}

}  // namespace tavctl
