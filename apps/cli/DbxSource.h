// CDbxSource: the message store a dbx command reads: a ".dbx" file, or a store file kept in
// a repository (--repo REPO [-b N] NODEPATH), read through its chunk table.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "ArgParser.h"
#include "BaselineView.h"
#include "CliContext.h"
#include "RepoSession.h"

class DbxInput;

namespace tavctl {

// --repo, -b and --password-file, which every dbx command accepts.
std::vector<CliOption> DbxSourceOptions();

class CDbxSource {
public:
    CDbxSource();
    ~CDbxSource();
    CDbxSource(const CDbxSource&) = delete;
    CDbxSource& operator=(const CDbxSource&) = delete;

    // Opens the store that the first positional names (a file, or with --repo a stored
    // item). With `foldersFile`, a folder names the "folders.dbx" inside it (found
    // without regard to case). False after reporting the problem; `code` is the exit code.
    bool Open(const CCliArgs& args, CCliContext& ctx, bool foldersFile, int& code);

    DbxInput& Input() { return *m_input; }
    // How error lines name the store: the file's path, or "REPO: item path".
    const std::string& Subject() const { return m_subject; }

private:
    bool OpenFile(const std::string& path, CCliContext& ctx, bool foldersFile, int& code);
    bool OpenStored(const std::string& repo, const std::string& item, const CCliArgs& args,
                    CCliContext& ctx, bool foldersFile, int& code);

    std::unique_ptr<CRepoSession> m_session;
    std::unique_ptr<CBaselineView> m_view;
    std::unique_ptr<DbxInput> m_input;
    std::string m_subject;
};

}  // namespace tavctl
