// Opening the message store of a dbx command.
#include "DbxSource.h"

#include "CliCommon.h"
#include "CliText.h"
#include "ContentReader.h"
#include "ItemResolver.h"
#include "NodeFormat.h"
#include "PasswordSource.h"
#include "core/DbxChunkInput.h"
#include "core/DbxFileInput.h"
#include "core/OeStrings.h"
#include "platform/FileSystem.h"

namespace tavctl {

namespace {

constexpr const char* FOLDERS_FILE = "folders.dbx";
constexpr const char* ERR_NO_FOLDERS_FILE = "holds no folders.dbx";
constexpr const char* ERR_NOT_A_STORE = "is not a stored message store (.dbx) file";
constexpr const char* ERR_REPO_ONLY = "-b and --password-file need --repo";

}  // namespace

std::vector<CliOption> DbxSourceOptions() {
    return {{"repo", 0, true, "REPO", "read the store file NODEPATH kept in repository REPO"},
            BaselineOption(),
            PasswordFileOption()};
}

CDbxSource::CDbxSource() = default;
CDbxSource::~CDbxSource() = default;

bool CDbxSource::Open(const CCliArgs& args, CCliContext& ctx, bool foldersFile, int& code) {
    const std::string& name = args.positionals.at(0);
    if (std::optional<std::string> repo = args.Value("repo"))
        return OpenStored(*repo, name, args, ctx, foldersFile, code);
    if (args.Has("baseline") || args.Has("password-file")) {
        code = Fail(ctx, "", ERR_REPO_ONLY, EXIT_USAGE);
        return false;
    }
    return OpenFile(name, ctx, foldersFile, code);
}

bool CDbxSource::OpenFile(const std::string& path, CCliContext& ctx, bool foldersFile, int& code) {
    std::string file = path;
    if (plat::IsDirectory(path)) {
        if (!foldersFile) {
            code = Fail(ctx, path, "is a folder, not a .dbx file");
            return false;
        }
        std::vector<TavFindData> entries;
        plat::ListDirectory(path, entries);
        file.clear();
        for (const TavFindData& entry : entries)
            if (OeEqualsNoCase(entry.name, FOLDERS_FILE)) file = plat::JoinPath(path, entry.name);
        if (file.empty()) {
            code = Fail(ctx, path, ERR_NO_FOLDERS_FILE);
            return false;
        }
    }
    auto input = std::make_unique<DbxFileInput>(file);
    if (!input->IsOpen()) {
        code = Fail(ctx, file, SystemErrorText(input->OpenError()));
        return false;
    }
    m_input = std::move(input);
    m_subject = file;
    return true;
}

bool CDbxSource::OpenStored(const std::string& repo, const std::string& item, const CCliArgs& args,
                            CCliContext& ctx, bool foldersFile, int& code) {
    m_session = std::make_unique<CRepoSession>();
    if (!m_session->Open(repo, args, ctx, code)) return false;
    m_view = m_session->OpenBaseline(args, ctx, code);
    if (!m_view) return false;
    ResolvedItem found;
    std::string problem;
    if (!ResolveItem(*m_view, item, found, problem)) {
        code = Fail(ctx, repo, problem);
        return false;
    }
    TavNodeRec node = found.node;
    std::string path = found.path;
    if (found.stored && foldersFile && IsFolder(node)) {
        bool seen = false;
        for (const TavNodeRec& child : m_view->Children(node, false)) {
            if (!seen && OeEqualsNoCase(NodeName(child), FOLDERS_FILE)) {
                node = child;
                path = JoinItemPath(path, NodeName(child));
                seen = true;
            }
        }
        if (!seen) {
            code = Fail(ctx, repo + ": " + Printable(path), ERR_NO_FOLDERS_FILE);
            return false;
        }
    }
    if (found.stored && IsDeleted(node)) {
        code = Fail(ctx, repo,
                    Printable(item) + ": " + text::ERR_NO_ITEM + " in baseline " +
                        std::to_string(m_view->Number()));
        return false;
    }
    m_subject = repo + ": " + Printable(path);
    if (!found.stored || LayoutOf(node) != ContentLayout::ChunkTable) {
        code = Fail(ctx, m_subject,
                    !found.stored || IsFolder(node) ? text::ERR_IS_FOLDER : ERR_NOT_A_STORE);
        return false;
    }
    m_input = std::make_unique<DbxChunkInput>(&m_session->Rep(), node);
    return true;
}

}  // namespace tavctl
