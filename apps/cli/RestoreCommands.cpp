// tavctl restore and tavctl extract: stored items back to disk through the module engines,
// with the request the browser would build.
#include <ostream>

#include "CliText.h"
#include "CommandGroups.h"
#include "ItemResolver.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "OeRestoreOptions.h"
#include "PasswordSource.h"
#include "RepoSession.h"
#include "RestoreCliText.h"
#include "RestoreRequest.h"
#include "RestoreRunner.h"
#include "tavengine/TavWords.h"

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

// The folder of --to as an absolute path; false after reporting a wrong value.
bool Destination(const CCliArgs& args, CCliContext& ctx, std::string& out, int& code) {
    out.clear();
    const std::optional<std::string> value = args.Value("to");
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

int Report(const RestoreRunResult& run, CCliContext& ctx, const std::string& subject) {
    if (run.cancelled) return Fail(ctx, subject, ERR_CANCELLED);
    if (run.errorLines > 0)
        Fail(ctx, subject, Printf(ERR_ITEMS_FAILED, static_cast<unsigned long long>(run.errorLines)));
    return run.Ok() ? EXIT_OK : EXIT_PROBLEMS;
}

int RunRestore(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_PROBLEMS;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    std::unique_ptr<CBaselineView> view = session.OpenBaseline(args, ctx, code);
    if (!view) return code;

    uint32_t overwrite = TAV_RS_OVERWRITE_OLDER;  // the browser's default
    if (const std::optional<std::string> value = args.Value("overwrite")) {
        if (!OverwriteBits(*value, overwrite))
            return Fail(ctx, "", Printf(ERR_BAD_OVERWRITE, value->c_str()), EXIT_USAGE);
    }
    uint32_t word = RESTORE_WORD | overwrite;
    if (!args.Has("no-times")) word |= TAV_RS_SET_TIMES;
    if (args.Has("verbose")) word |= TAV_RS_VERBOSE;
    if (args.Has("verify")) word |= TAV_RS_VERIFY;
    std::string location;
    if (!Destination(args, ctx, location, code)) return code;

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
    view.reset();  // the engines load the baseline themselves
    if (roots.empty()) {
        ctx.out << Printf(MSG_NOTHING_SELECTED, number) << '\n';
        return EXIT_OK;
    }

    std::string request = BuildRestoreRequest(number, word, location, excluded, {});
    if (!ApplyOeMapOptions(args, !location.empty(), request, ctx, code)) return code;
    RestoreRunOptions options;
    options.prepare = true;
    options.verbose = args.Has("verbose");
    options.subject = session.Path();
    return Report(RunRestoreEngines(session.Rep(), roots, request, options, ctx), ctx, session.Path());
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
    if (IsDeleted(item.node)) return Fail(ctx, subject, Printf(ERR_IS_DELETED, view->Number()));

    uint32_t word = EXTRACT_WORD;
    if (args.Has("overwrite")) word |= TAV_RS_OVERWRITE_ALWAYS;
    if (!args.Has("no-recursive")) word |= TAV_RS_SUBFOLDERS;
    if (!args.Has("no-verify")) word |= TAV_RS_VERIFY;
    const std::string request =
        BuildRestoreRequest(view->Number(), word, location, {}, {item.node.nodeId});
    view.reset();

    RestoreRunOptions options;
    options.prepare = false;  // an extract runs the engine alone
    options.subject = session.Path();
    return Report(RunRestoreEngines(session.Rep(), {root}, request, options, ctx), ctx, session.Path());
}

}  // namespace

void RegisterRestoreCommands(CCommandTable& table) {
    table.Add({{"restore"},
               "REPO [ITEM...] [-b N] [--to DIR] [--only ITEM ...] [--exclude ITEM ...] "
               "[--overwrite always|older|size|never] [--no-times] [--verify] [--verbose] "
               "[--password-file FILE]",
               "restore a baseline, or chosen items of it",
               "Restores the newest baseline (or baseline N) through the engine of each module\n"
               "whose items it holds. Without --to every item goes back to its original path;\n"
               "with --to a top-level item lands below DIR at its original absolute path\n"
               "(/home/ann/docs with --to /mnt/r: /mnt/r/home/ann/docs). --only restores the\n"
               "named items (a path, or a node id) with everything below them; items may also\n"
               "follow REPO. --exclude leaves items out. Existing files are kept unless the\n"
               "overwrite rule says otherwise (default: older, replace files older than the\n"
               "stored ones; size: replace files of another size; always; never); a file is\n"
               "replaced only by a complete copy. Error lines of the run log go to standard\n"
               "error; each module's summary to standard output. Exit code 1 when any item\n"
               "could not be restored. Ctrl-C stops after the current file's chunk.\n"
               "Outlook Express identities go back into the identity of the same identifier on\n"
               "this machine (store files into its store folder, settings into the settings\n"
               "store); --map OLDUID=NEWUID restores identity OLDUID into identity NEWUID\n"
               "instead, and an identity with neither stops the restore before it starts. With\n"
               "--to they are written below DIR as files, one folder per identity.",
               {BaselineOption(),
                {"to", 't', true, "DIR", "restore below DIR instead of the original place"},
                {"only", 0, true, "ITEM", "restore only ITEM (repeatable)"},
                {"exclude", 'x', true, "ITEM", "leave ITEM out (repeatable)"},
                {"overwrite", 0, true, "RULE", "always, older (default), size or never"},
                {"no-times", 0, false, "", "do not set the stored file times"},
                {"verify", 0, false, "", "check each file against its stored fingerprint"},
                {"verbose", 'v', false, "", "show the whole run log"},
                OeMapOption(),
                PasswordFileOption()},
               1,
               size_t(-1),
               RunRestore});
    table.Add({{"extract"},
               "REPO [-b N] PATH --to DIR [--no-recursive] [--overwrite] [--no-verify] "
               "[--password-file FILE]",
               "extract one stored file or folder into a folder",
               "Writes one stored item into DIR: a file as DIR/<name>, a folder with what lies\n"
               "below it as DIR/<name> (a top-level folder as DIR/<its absolute path>). PATH is\n"
               "the item's original path or node id. Files get their stored times and are\n"
               "verified against their stored fingerprints; existing files are kept unless\n"
               "--overwrite is given. Exit code 1 when any item could not be extracted.",
               {BaselineOption(),
                {"to", 't', true, "DIR", "the folder to extract into (required)"},
                {"no-recursive", 0, false, "", "only the files directly inside a folder"},
                {"overwrite", 0, false, "", "replace existing files"},
                {"no-verify", 0, false, "", "do not check the written files"},
                PasswordFileOption()},
               2,
               2,
               RunExtract});
}

}  // namespace tavctl
