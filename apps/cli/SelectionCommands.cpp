// tavctl job add, remove, exclude, include, partial and filter: editing the Files and
// Folders selection of a job with the same rules as the job editor's view.
#include <cstdint>
#include <memory>
#include <ostream>

#include "CommandGroups.h"
#include "JobCliText.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "core/FilesSelection.h"
#include "core/TavJobFilesHelper.h"
#include "platform/FileSystem.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

// Notes whether the job changed.
class CChangeFlag : public CTavJobObserver {
public:
    void OnTavJobChanged(CTavJobHelper*, int32_t) override { changed = true; }
    bool changed = false;
};

// One job opened for editing its selection; saved at the end when it changed.
class CSelectionEdit {
public:
    explicit CSelectionEdit(CCliContext& ctx, std::string command) : m_ctx(ctx), m_command(std::move(command)) {}

    bool Open(const std::string& path) {
        if (!LoadJobFile(path, m_job, m_ctx)) return false;
        m_job.SetObserver(&m_flag);
        m_selection = std::make_unique<CTavJobFilesHelper>(FilesNode(m_job), &m_job);
        return true;
    }

    // Saves a changed job; the exit code of the command.
    int Finish() {
        m_selection.reset();
        m_job.SetObserver(nullptr);
        if (!m_flag.changed) {
            m_ctx.out << jobtext::MSG_UNCHANGED << '\n';
            return m_code;
        }
        if (!SaveJobFile(m_job, m_ctx)) return EXIT_PROBLEMS;
        return m_code;
    }

    // Reports a problem with one path and goes on with the next.
    void Problem(const std::string& path, const std::string& problem) {
        Fail(m_ctx, m_command + ": " + Printable(path), problem);
        m_code = EXIT_PROBLEMS;
    }
    void Say(const std::string& line) { m_ctx.out << line << '\n'; }
    void Warn(const std::string& line) { m_ctx.err << line << '\n'; }

    // True when `path` is a source of the job or lies below one.
    bool InsideSources(const std::string& path) const {
        const SubPathTestResult r = m_selection->CheckDupSupPath("file", path);
        return r == SubPathSame || r == SubPathInside;
    }
    // The excluded folder that `path` lies below; empty when none.
    std::string ExcludedAncestor(const std::string& path) const {
        for (int i = 0; i < m_selection->GetExcludeCount(); ++i)
            if (auto e = m_selection->GetExclude(i); e && CTavJobFilesHelper::IsBelow(path, *e)) return *e;
        return {};
    }

    CTavJobHelper& Job() { return m_job; }
    CTavJobFilesHelper& Selection() { return *m_selection; }

private:
    CCliContext& m_ctx;
    std::string m_command;
    CTavJobHelper m_job;
    CChangeFlag m_flag;
    std::unique_ptr<CTavJobFilesHelper> m_selection;
    int m_code = EXIT_OK;
};

std::vector<std::string> Paths(const CCliArgs& args) {
    std::vector<std::string> paths;
    for (size_t i = 1; i < args.positionals.size(); ++i) paths.push_back(CommandLinePath(args.positionals[i]));
    return paths;
}

int RunAdd(const CCliArgs& args, CCliContext& ctx) {
    CSelectionEdit edit(ctx, "job add");
    if (!edit.Open(args.positionals[0])) return EXIT_PROBLEMS;
    const std::string images = plat::DirName(edit.Job().GetImagePath());
    for (const std::string& path : Paths(args)) {
        TavFindData data;
        if (path == jobtext::ROOT_PATH || !plat::GetFindData(path, data)) {
            edit.Problem(path, jobtext::ERR_NO_SUCH_PATH);
            continue;
        }
        const TavAddPathResult result =
            AddSelectionPath(edit.Selection(), path, data.kind == TavFileKind::Directory);
        switch (result.outcome) {
            case TavAddPathOutcome::AlreadyCovered:
                // The editor's warning, as it shows it.
                edit.Warn(result.warning);
                break;
            case TavAddPathOutcome::NotAdded:
                edit.Problem(path, jobtext::ERR_NOT_ADDED);
                break;
            case TavAddPathOutcome::Added:
                edit.Say(plat::Format(jobtext::MSG_ADDED, Printable(path).c_str()));
                for (const std::string& replaced : result.removedSources)
                    edit.Say(plat::Format(jobtext::MSG_REPLACED, Printable(replaced).c_str()));
                if (!images.empty() && (images == path || CTavJobFilesHelper::IsBelow(images, path)))
                    edit.Warn(plat::Format(jobtext::WARN_REPOSITORY_INSIDE, Printable(path).c_str()));
                break;
        }
    }
    return edit.Finish();
}

int RunRemove(const CCliArgs& args, CCliContext& ctx) {
    CSelectionEdit edit(ctx, "job remove");
    if (!edit.Open(args.positionals[0])) return EXIT_PROBLEMS;
    for (const std::string& path : Paths(args)) {
        if (RemoveSelectionSource(edit.Selection(), path))
            edit.Say(plat::Format(jobtext::MSG_REMOVED, Printable(path).c_str()));
        else
            edit.Problem(path, jobtext::ERR_NOT_A_SOURCE);
    }
    return edit.Finish();
}

int RunExclude(const CCliArgs& args, CCliContext& ctx) {
    CSelectionEdit edit(ctx, "job exclude");
    if (!edit.Open(args.positionals[0])) return EXIT_PROBLEMS;
    for (const std::string& path : Paths(args)) {
        if (path != jobtext::ROOT_PATH && !edit.InsideSources(path)) {
            edit.Problem(path, jobtext::ERR_OUTSIDE_SOURCES);
            continue;
        }
        if (edit.Selection().AddExclude(path)) {
            edit.Selection().Sort();
            edit.Say(plat::Format(jobtext::MSG_EXCLUDED, Printable(path).c_str()));
        } else {
            edit.Say(plat::Format(jobtext::MSG_ALREADY_EXCLUDED, Printable(path).c_str()));
        }
    }
    return edit.Finish();
}

int RunInclude(const CCliArgs& args, CCliContext& ctx) {
    CSelectionEdit edit(ctx, "job include");
    if (!edit.Open(args.positionals[0])) return EXIT_PROBLEMS;
    const bool recursive = args.Has("recursive");
    for (const std::string& path : Paths(args)) {
        CTavJobFilesHelper& selection = edit.Selection();
        if (path != jobtext::ROOT_PATH && !edit.InsideSources(path)) {
            edit.Problem(path, jobtext::ERR_OUTSIDE_SOURCES);
            continue;
        }
        bool changed = selection.RemoveExclude(path) != 0;
        if (recursive && path != jobtext::ROOT_PATH) {
            // Everything below the path is selected again, as a checked folder in the editor.
            std::vector<std::string> below;
            for (int i = 0; i < selection.GetExcludeCount(); ++i)
                if (auto e = selection.GetExclude(i); e && CTavJobFilesHelper::IsBelow(*e, path)) below.push_back(*e);
            for (const std::string& e : below) changed = selection.RemoveExclude(e) != 0 || changed;
            below.clear();
            for (int i = 0; i < selection.GetPartialCount(); ++i)
                if (auto p = selection.GetPartial(i); p && CTavJobFilesHelper::IsBelow(*p, path)) below.push_back(*p);
            for (const std::string& p : below) changed = selection.RemovePartial(p) != 0 || changed;
        }
        if (changed) {
            edit.Say(plat::Format(jobtext::MSG_INCLUDED, Printable(path).c_str()));
            continue;
        }
        const std::string ancestor = path == jobtext::ROOT_PATH ? "" : edit.ExcludedAncestor(path);
        if (!ancestor.empty())
            edit.Problem(path, plat::Format(jobtext::ERR_INSIDE_EXCLUDED, Printable(ancestor).c_str()));
        else
            edit.Say(plat::Format(jobtext::MSG_NOT_EXCLUDED, Printable(path).c_str()));
    }
    return edit.Finish();
}

int RunPartial(const CCliArgs& args, CCliContext& ctx) {
    CSelectionEdit edit(ctx, "job partial");
    if (!edit.Open(args.positionals[0])) return EXIT_PROBLEMS;
    for (const std::string& path : Paths(args)) {
        if (path == jobtext::ROOT_PATH || !edit.InsideSources(path)) {
            edit.Problem(path, jobtext::ERR_OUTSIDE_SOURCES);
            continue;
        }
        if (edit.Selection().AddPartial(path)) {
            edit.Selection().Sort();
            edit.Say(plat::Format(jobtext::MSG_PARTIAL, Printable(path).c_str()));
        } else {
            edit.Say(plat::Format(jobtext::MSG_ALREADY_PARTIAL, Printable(path).c_str()));
        }
        const std::string ancestor = edit.ExcludedAncestor(path);
        if (!ancestor.empty())
            edit.Warn(plat::Format(jobtext::WARN_PARTIAL_UNDER_EXCLUDED, Printable(path).c_str(),
                             Printable(ancestor).c_str()));
    }
    return edit.Finish();
}

int RunFilter(const CCliArgs& args, CCliContext& ctx) {
    const bool remove = args.Has("remove");
    const std::string included = args.Value("include").value_or("");
    const std::string excluded = args.Value("exclude").value_or("");
    const bool setting = args.Has("include") || args.Has("exclude");
    if (remove && setting) return Fail(ctx, "job filter", jobtext::ERR_FILTER_REMOVE_AND_SET, EXIT_USAGE);
    if (!remove && !setting) return Fail(ctx, "job filter", jobtext::ERR_FILTER_NOTHING, EXIT_USAGE);
    CSelectionEdit edit(ctx, "job filter");
    if (!edit.Open(args.positionals[0])) return EXIT_PROBLEMS;
    const std::string folder = CommandLinePath(args.positionals[1]);
    if (folder == jobtext::ROOT_PATH || !edit.InsideSources(folder)) {
        edit.Problem(folder, jobtext::ERR_OUTSIDE_SOURCES);
        return edit.Finish();
    }
    const bool recursive = args.Has("recursive");
    const bool had = !edit.Selection().SearchInFilters(folder).IsEmpty();
    EditFolderFilter(edit.Selection(), folder, remove ? "" : included, remove ? "" : excluded, recursive);
    if (remove)
        edit.Say(plat::Format(had ? jobtext::MSG_FILTER_REMOVED : jobtext::MSG_NO_FILTER, Printable(folder).c_str()));
    else if (included.empty() && excluded.empty())
        edit.Say(plat::Format(had ? jobtext::MSG_FILTER_REMOVED : jobtext::MSG_NO_FILTER, Printable(folder).c_str()));
    else
        edit.Say(plat::Format(jobtext::MSG_FILTER_SET, Printable(folder).c_str(), Printable(included).c_str(),
                        Printable(excluded).c_str(), recursive ? "recursive" : "this folder only"));
    return edit.Finish();
}

}  // namespace

void RegisterSelectionCommands(CCommandTable& table) {
    table.Add({{"job", "add"},
               "JOB PATH...",
               "add files or folders to a job's sources",
               "Adds each PATH (made absolute) as a source of the job's Files and Folders\n"
               "selection. A path that is a source already, or lies inside one, is not added\n"
               "and the warning '\"PATH\" already exists in file list' is shown. A folder that\n"
               "contains sources replaces them. Paths must exist.",
               {},
               2,
               SIZE_MAX,
               RunAdd});
    table.Add({{"job", "remove"},
               "JOB PATH...",
               "remove sources from a job",
               "Removes each source PATH with the exclusions and filters below it and the\n"
               "exclusion of PATH itself (the filter of PATH stays).",
               {},
               2,
               SIZE_MAX,
               RunRemove});
    table.Add({{"job", "exclude"},
               "JOB PATH...",
               "leave paths inside the sources out of the backup",
               "Excludes each PATH, which must be a source or lie inside one, with everything\n"
               "below it. A PATH that was marked partial is excluded instead. The path\n"
               ":root: leaves the whole Files and Folders part of the job out.",
               {},
               2,
               SIZE_MAX,
               RunExclude});
    table.Add({{"job", "include"},
               "JOB PATH... [--recursive]",
               "take exclusions back",
               "Takes back the exclusion of each PATH; with --recursive also every exclusion\n"
               "and partial mark below it. A PATH inside an excluded folder cannot be included\n"
               "on its own: include the folder, or keep single files with 'tavctl job partial'.",
               {{"recursive", 'r', false, "", "also take back what is excluded below PATH"}},
               2,
               SIZE_MAX,
               RunInclude});
    table.Add({{"job", "partial"},
               "JOB FILE...",
               "keep files of a partly excluded folder",
               "Marks each FILE as kept: it is backed up even where the new-file condition\n"
               "would pass it over, and an exclusion of the same path is taken back. Use it\n"
               "for the files to keep in a folder whose other files are excluded one by one.",
               {},
               2,
               SIZE_MAX,
               RunPartial});
    table.Add({{"job", "filter"},
               "JOB FOLDER [--include PATTERNS] [--exclude PATTERNS] [--recursive] | --remove",
               "set or remove a folder's file filter",
               "Sets the filter of FOLDER (a source or a folder inside one): only files that\n"
               "match --include are backed up, and files that match --exclude are not.\n"
               "PATTERNS is a ';'-separated list of wildcards (* and ?, letter case ignored),\n"
               "such as \"*.doc;*.jpg\", of any length: the walk uses every pattern.\n"
               "The options give the whole filter: a list not given is empty. With --recursive\n"
               "the filter also governs sub folders that have none of their own. Folders are\n"
               "never filtered. --remove (or two empty lists) removes the filter.",
               {{"include", 0, true, "PATTERNS", "back up only files that match"},
                OldSpelling({"include", 'i', true, "PATTERNS", ""}),
                {"exclude", 'x', true, "PATTERNS", "leave out files that match"},
                {"recursive", 'r', false, "", "also for sub folders without a filter"},
                {"remove", 0, false, "", "remove the folder's filter"}},
               2,
               2,
               RunFilter});
}

}  // namespace tavctl
