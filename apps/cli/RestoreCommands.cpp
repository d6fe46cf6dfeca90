// tavctl restore and tavctl extract: stored items back to disk through the module engines,
// with the request the browser would build.
#include <functional>
#include <ostream>
#include <unordered_set>

#include "CliText.h"
#include "CommandGroups.h"
#include "ItemResolver.h"
#include "Json.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "OeRestoreOptions.h"
#include "PasswordSource.h"
#include "RepoSession.h"
#include "RestoreCliText.h"
#include "RestoreRequest.h"
#include "RestoreRunner.h"
#include "tavengine/TavWords.h"
#include "platform/TextFormat.h"

namespace tavctl {

using namespace restoretext;

namespace {

// The overwrite bits of "--overwrite": "always", "older", "size", "never", or two of
// "older" and "size" joined by a comma. False for anything else.
bool OverwriteBits(const std::string& value, uint32_t& bits) {
    bits = 0;
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(',', start);
        if (end == std::string::npos) end = value.size();
        const std::string word = value.substr(start, end - start);
        if (word == OVERWRITE_ALWAYS && value == word)
            bits = TAV_RS_OVERWRITE_ALWAYS;
        else if (word == OVERWRITE_NEVER && value == word)
            bits = 0;
        else if (word == OVERWRITE_OLDER)
            bits |= TAV_RS_OVERWRITE_OLDER;
        else if (word == OVERWRITE_SIZE)
            bits |= TAV_RS_OVERWRITE_SIZE;
        else
            return false;
        start = end + 1;
    }
    return true;
}

// The folder of --to as an absolute path; false after reporting a wrong value. A restore
// must say where it writes: --to DIR or --in-place (the original paths).
bool Destination(const CCliArgs& args, CCliContext& ctx, std::string& out, int& code,
                 bool restore = false) {
    out.clear();
    const std::optional<std::string> value = args.Value("to");
    if (restore && value.has_value() == args.Has("in-place")) {
        code = Fail(ctx, "", value ? ERR_TO_AND_IN_PLACE : ERR_NO_TARGET, EXIT_USAGE);
        return false;
    }
    if (!value) return true;
    if (value->empty()) {
        code = Fail(ctx, "", ERR_EMPTY_DESTINATION, EXIT_USAGE);
        return false;
    }
    out = CommandLinePath(*value);
    return true;
}

// The top-most root of `node`; false when its parent links do not lead to one.
bool RootOf(const CBaselineView& view, TavNodeRec node, TavNodeRec& root) {
    for (uint32_t steps = 0; steps <= view.Count(); ++steps) {
        if (node.parentId == TAV_NONE) {
            root = node;
            return true;
        }
        if (!view.Load(node.parentId, node)) return false;
    }
    return false;
}

// --json: one object per file a dry run lists (or a restore kept although it differs),
// then the summary.
void PrintJson(const RestoreRunResult& run, const std::string& repo, uint32_t baseline,
               const std::string& location, bool dryRun, CCliContext& ctx) {
    for (const RestoreListedFile& file : run.listed)
        ctx.out << CJsonObject().Str("type", "file").Str("action", file.action).Str("path", file.path).Text()
                << '\n';
    std::vector<std::string> modules;
    for (const RestoreModuleSummary& m : run.summaries)
        modules.push_back(CJsonObject()
                              .Str("module", m.module)
                              .Num("written", m.succeeded)
                              .Num("replaced", m.overwritten)
                              .Num("up_to_date", m.upToDate)
                              .Num("kept_differing", m.kept)
                              .Num("errors", m.errors)
                              .Text());
    CJsonObject summary;
    summary.Str("type", "summary").Str("repository", repo).Num("baseline", baseline);
    if (location.empty()) summary.Null("to");
    else summary.Str("to", location);
    summary.Bool("dry_run", dryRun)
        .Raw("modules", JsonArray(modules))
        .Num("error_lines", run.errorLines)
        .Bool("cancelled", run.cancelled)
        .Bool("ok", run.Ok());
    ctx.out << summary.Text() << '\n';
}

int Report(const RestoreRunResult& run, CCliContext& ctx, const std::string& subject) {
    if (run.cancelled) return Fail(ctx, subject, ERR_CANCELLED);
    if (run.errorLines > 0)
        Fail(ctx, subject, plat::Format(ERR_ITEMS_FAILED, static_cast<unsigned long long>(run.errorLines)));
    return run.Ok() ? EXIT_OK : EXIT_PROBLEMS;
}

// A dry run can only be asked of engines that know it; other roots are named and left out.
void KeepDryRunRoots(std::vector<TavNodeRec>& roots, CCliContext& ctx) {
    std::vector<TavNodeRec> kept;
    for (const TavNodeRec& root : roots) {
        if (CanDryRun(root.moduleId)) kept.push_back(root);
        else ctx.err << plat::Format(MSG_DRY_RUN_NOT_SHOWN, Printable(NodeName(root)).c_str()) << '\n';
    }
    roots = std::move(kept);
}

// The files and bytes below the chosen items (for the progress line), and the size each
// Files and Folders target path receives: `targetOf` gives the target of an item path.
void CountWork(const CBaselineView& view, const std::vector<TavNodeRec>& tops,
               const std::function<bool(const TavNodeRec&)>& chosen,
               const std::function<std::string(const std::string&)>& targetOf,
               RestoreRunOptions& options) {
    std::vector<std::pair<TavNodeRec, std::string>> stack;
    for (const TavNodeRec& top : tops) stack.push_back({top, view.ItemPath(top).value_or("")});
    std::unordered_set<uint32_t> seen;
    while (!stack.empty()) {
        auto [node, path] = std::move(stack.back());
        stack.pop_back();
        if (!seen.insert(node.nodeId).second || !chosen(node)) continue;
        if (!IsFolder(node)) {
            ++options.totalFiles;
            options.totalBytes += node.Size();
            if (node.moduleId == MODULE_FILES_ITEM) options.targetSizes[targetOf(path)] = node.Size();
            continue;
        }
        for (const TavNodeRec& child : view.Children(node, false))
            stack.push_back({child, IsFilesRoot(node) ? NodeName(child) : JoinItemPath(path, NodeName(child))});
    }
}

int RunRestore(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_PROBLEMS;
    std::string location;
    if (!Destination(args, ctx, location, code, true)) return code;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    std::unique_ptr<CBaselineView> view = session.OpenBaseline(args, ctx, code);
    if (!view) return code;

    uint32_t overwrite = TAV_RS_OVERWRITE_OLDER;  // the browser's default
    if (const std::optional<std::string> value = args.Value("overwrite")) {
        if (!OverwriteBits(*value, overwrite))
            return Fail(ctx, "", plat::Format(ERR_BAD_OVERWRITE, value->c_str()), EXIT_USAGE);
    }
    const bool dryRun = args.Has("dry-run");
    uint32_t word = RESTORE_WORD | overwrite;
    if (!args.Has("no-times")) word |= TAV_RS_SET_TIMES;
    if (args.Has("verbose")) word |= TAV_RS_VERBOSE;
    if (!args.Has("no-verify")) word |= TAV_RS_VERIFY;
    if (dryRun) word |= TAV_RS_DRY_RUN;

    // --only items (also given after REPO) and --exclude items become check states.
    CRestoreSelection selection(*view);
    std::vector<std::string> only = args.Values("only");
    only.insert(only.end(), args.positionals.begin() + 1, args.positionals.end());
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::string& name : pass == 0 ? only : args.Values("exclude")) {
            ResolvedItem item;
            std::string problem;
            if (!ResolveItem(*view, name, item, problem)) return Fail(ctx, session.Path(), problem);
            std::vector<TavNodeRec> nodes = item.stored ? std::vector<TavNodeRec>{item.node} : item.below;
            for (const TavNodeRec& node : nodes)
                pass == 0 ? selection.Choose(node.nodeId) : selection.Leave(node.nodeId);
        }
    }
    selection.Resolve();
    std::vector<TavNodeRec> roots;
    for (const TavNodeRec& root : RestorableRoots(*view))
        if (!selection.IsPartial() || selection.State(root) != CRestoreSelection::NOT_SELECTED)
            roots.push_back(root);
    const std::vector<uint32_t> excluded =
        selection.IsPartial() ? selection.ExcludedIds() : std::vector<uint32_t>{};
    const uint32_t number = view->Number();
    if (dryRun) KeepDryRunRoots(roots, ctx);
    RestoreRunOptions options;
    // Preparing changes nothing on the machine (Outlook Express confirms its identity
    // mapping), so a dry run refuses what the restore would refuse.
    options.prepare = true;
    options.verbose = args.Has("verbose");
    options.dryRun = dryRun;
    options.json = args.Has("json");
    options.subject = session.Path();
    if (ctx.progress && !options.json)
        CountWork(*view, roots,
                  [&](const TavNodeRec& node) { return selection.State(node) != CRestoreSelection::NOT_SELECTED; },
                  [&](const std::string& path) { return location.empty() ? path : location + path; },
                  options);
    view.reset();  // the engines load the baseline themselves
    if (roots.empty()) {
        if (!options.json) ctx.out << plat::Format(MSG_NOTHING_SELECTED, number) << '\n';
        else PrintJson({}, session.Path(), number, location, dryRun, ctx);
        return EXIT_OK;
    }

    std::string request = BuildRestoreRequest(number, word, location, excluded, {});
    if (!ApplyOeMapOptions(args, !location.empty(), request, ctx, code)) return code;
    const RestoreRunResult run = RunRestoreEngines(session.Rep(), roots, request, options, ctx);
    if (options.json) PrintJson(run, session.Path(), number, location, dryRun, ctx);
    return Report(run, ctx, session.Path());
}

int RunExtract(const CCliArgs& args, CCliContext& ctx) {
    std::string location;
    int code = EXIT_PROBLEMS;
    if (!args.Has("to")) return Fail(ctx, "", ERR_NO_DESTINATION, EXIT_USAGE);
    if (!Destination(args, ctx, location, code)) return code;
    CRepoSession session;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    std::unique_ptr<CBaselineView> view = session.OpenBaseline(args, ctx, code);
    if (!view) return code;

    const std::string& name = args.positionals[1];
    ResolvedItem item;
    std::string problem;
    if (!ResolveItem(*view, name, item, problem)) return Fail(ctx, session.Path(), problem);
    const std::string subject = Printable(item.path.empty() ? name : item.path);
    if (!item.stored) return Fail(ctx, subject, ERR_NOT_STORED);
    TavNodeRec root;
    if (item.node.parentId == TAV_NONE || !RootOf(*view, item.node, root))
        return Fail(ctx, subject, ERR_IS_ROOT);
    if (IsDeleted(item.node)) return Fail(ctx, subject, plat::Format(ERR_IS_DELETED, view->Number()));

    uint32_t overwrite = 0;  // existing files are kept unless a rule is given
    if (const std::optional<std::string> value = args.Value("overwrite")) {
        if (!OverwriteBits(*value, overwrite))
            return Fail(ctx, "", plat::Format(ERR_BAD_OVERWRITE, value->c_str()), EXIT_USAGE);
    }
    const bool dryRun = args.Has("dry-run");
    uint32_t word = EXTRACT_WORD | overwrite;
    if (!args.Has("no-recursive")) word |= TAV_RS_SUBFOLDERS;
    if (!args.Has("no-verify")) word |= TAV_RS_VERIFY;
    if (args.Has("verbose")) word |= TAV_RS_VERBOSE;
    if (dryRun) word |= TAV_RS_DRY_RUN;
    if (dryRun && !CanDryRun(root.moduleId))
        return Fail(ctx, subject, plat::Format(MSG_DRY_RUN_NOT_SHOWN, Printable(NodeName(root)).c_str()));
    const uint32_t number = view->Number();
    const std::string request = BuildRestoreRequest(number, word, location, {}, {item.node.nodeId});

    RestoreRunOptions options;
    options.prepare = false;  // an extract runs the engine alone
    options.verbose = args.Has("verbose");
    options.dryRun = dryRun;
    options.json = args.Has("json");
    options.subject = session.Path();
    if (ctx.progress && !options.json) {
        // A file lands as DIR/<name>, a folder's items below DIR/<name> (a top-level folder
        // below DIR/<its absolute path>).
        const std::string own = item.node.parentId == root.nodeId ? item.path : NodeName(item.node);
        const std::string above = item.path.substr(0, item.path.size() - std::min(item.path.size(), own.size()));
        CountWork(*view, {item.node}, [](const TavNodeRec&) { return true; },
                  [&](const std::string& path) {
                      return JoinItemPath(location, path.substr(std::min(path.size(), above.size())));
                  },
                  options);
    }
    view.reset();
    const RestoreRunResult run = RunRestoreEngines(session.Rep(), {root}, request, options, ctx);
    if (options.json) PrintJson(run, session.Path(), number, location, dryRun, ctx);
    return Report(run, ctx, session.Path());
}

CliOption OverwriteOption(const char* help) {
    CliOption o{"overwrite", 0, true, "RULE", help};
    return o;
}

CliOption ToOption(const char* help) { return {"to", 't', true, "DIR", help}; }

}  // namespace

void RegisterRestoreCommands(CCommandTable& table) {
    const CliOption dryRun{"dry-run", 0, false, "",
                           "list what would be written, replaced or kept; write nothing"};
    const CliOption noVerify{"no-verify", 0, false, "",
                             "do not read written files back (they are checked by default)"};
    const CliOption verbose{"verbose", 'v', false, "", "show the whole run log"};
    const CliOption oldVerify = OldSpelling({"verify", 0, false, "", ""});
    table.Add({{"restore"},
               "REPO [ITEM...] (--to DIR | --in-place) [-b N] [--only ITEM ...] [--exclude ITEM ...] "
               "[--overwrite RULE] [--dry-run] [--no-times] [--no-verify] [--verbose] [--json] "
               "[--password-file FILE]",
               "restore a baseline, or chosen items of it",
               "Restores the newest baseline (or baseline N) through the engine of each module\n"
               "whose items it holds. Say where: --to DIR puts a top-level item below DIR at its\n"
               "original absolute path (/home/ann/docs with --to /mnt/r: /mnt/r/home/ann/docs);\n"
               "--in-place writes every item back to its original path. --only restores the\n"
               "named items (a path, or a node id) with everything below them; items may also\n"
               "follow REPO. --exclude leaves items out. Existing files are kept unless the\n"
               "overwrite rule says otherwise (default: older, replace files older than the\n"
               "stored ones; size: replace files of another size; always; never); a kept file\n"
               "that differs from the stored one is named. A file is replaced only by a complete\n"
               "copy, read back and checked against its stored fingerprint (--no-verify skips\n"
               "the check). --dry-run lists what would be written, replaced or kept, with the\n"
               "same summary, and writes nothing (for Outlook Express: the store files, and the\n"
               "settings it would import). Error lines of the run log go to standard error;\n"
               "each module's summary to standard output.\n"
               "Exit code 1 when any item could not be restored. Ctrl-C stops after the current\n"
               "file's chunk.\n"
               "Outlook Express identities go back into the identity of the same identifier on\n"
               "this machine (store files into its store folder, settings into the settings\n"
               "store); --map OLDUID=NEWUID restores identity OLDUID into identity NEWUID\n"
               "instead, and an identity with neither stops the restore before it starts. With\n"
               "--to they are written below DIR as files, one folder per identity.",
               {BaselineOption(),
                ToOption("restore below DIR"),
                {"in-place", 0, false, "", "restore to the original paths"},
                {"only", 0, true, "ITEM", "restore only ITEM (repeatable)"},
                {"exclude", 'x', true, "ITEM", "leave ITEM out (repeatable)"},
                OverwriteOption("always, older (default), size, older,size or never"),
                dryRun,
                {"no-times", 0, false, "", "do not set the stored file times"},
                noVerify,
                oldVerify,
                verbose,
                JsonOption(),
                OeMapOption(),
                PasswordFileOption()},
               1,
               size_t(-1),
               RunRestore});
    CliOption extractOverwrite =
        OverwriteOption("always (also --overwrite alone), older, size, older,size or never "
                        "(default)");
    extractOverwrite.implicitValue = OVERWRITE_ALWAYS;
    extractOverwrite.valueWords = {OVERWRITE_ALWAYS, OVERWRITE_OLDER, OVERWRITE_SIZE,
                                   OVERWRITE_NEVER, std::string(OVERWRITE_OLDER) + "," + OVERWRITE_SIZE,
                                   std::string(OVERWRITE_SIZE) + "," + OVERWRITE_OLDER};
    table.Add({{"extract"},
               "REPO [-b N] PATH --to DIR [--no-recursive] [--overwrite [RULE]] [--dry-run] "
               "[--no-verify] [--verbose] [--json] [--password-file FILE]",
               "extract one stored file or folder into a folder",
               "Writes one stored item into DIR: a file as DIR/<name>, a folder with what lies\n"
               "below it as DIR/<name> (a top-level folder as DIR/<its absolute path>). PATH is\n"
               "the item's original path or node id. Files get their stored times and are\n"
               "verified against their stored fingerprints (--no-verify skips it); existing\n"
               "files are kept unless --overwrite says otherwise (the rules of restore;\n"
               "--overwrite alone is always). --dry-run lists what would be written. Exit code 1\n"
               "when any item could not be extracted.",
               {BaselineOption(),
                ToOption("the folder to extract into (required)"),
                {"no-recursive", 0, false, "", "only the files directly inside a folder"},
                extractOverwrite,
                dryRun,
                noVerify,
                verbose,
                JsonOption(),
                PasswordFileOption()},
               2,
               2,
               RunExtract});
}

}  // namespace tavctl
