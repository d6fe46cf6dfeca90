// tavctl ls and tavctl cat: the stored tree of a baseline and the content of one item.
#include <algorithm>
#include <ostream>
#include <unordered_set>
#include <vector>

#include "CliText.h"
#include "CommandGroups.h"
#include "ContentReader.h"
#include "ItemResolver.h"
#include "Json.h"
#include "NodeFormat.h"
#include "PasswordSource.h"
#include "RepoSession.h"
#include "tavrep/MD5Checksum.h"

namespace tavctl {

namespace {

constexpr size_t MAX_LINK_TARGET = 4096;

// The target text of a stored symbolic link; "?" when it cannot be read.
std::string LinkTarget(CTavRepository& rep, const TavNodeRec& node) {
    std::string target;
    ReadStats stats;
    const std::string problem = ReadItemData(
        rep, node, false,
        [&](const uint8_t* bytes, size_t count) {
            target.append(reinterpret_cast<const char*>(bytes), std::min(count, MAX_LINK_TARGET));
            return target.size() < MAX_LINK_TARGET;
        },
        stats);
    return problem.empty() ? target.substr(0, MAX_LINK_TARGET) : "?";
}

class CLister {
public:
    // `previous`, when given, is the baseline before `view`: items it held that `view` no
    // longer does were deleted by the run that saved `view` (a run removes the items it
    // deletes from the table it saves).
    CLister(CRepoSession& session, const CBaselineView& view, const CBaselineView* previous,
            CCliContext& ctx, bool recursive, bool all, bool json)
        : m_rep(session.Rep()), m_view(view), m_previous(previous), m_ctx(ctx),
          m_recursive(recursive), m_all(all), m_json(json) {}

    void Header() {
        if (!m_json) m_ctx.out << ListHeader() << '\n';
    }

    void Row(const TavNodeRec& node, const std::string& name) {
        const std::string target = IsSymlink(node) ? LinkTarget(m_rep, node) : "";
        if (m_json) {
            CJsonObject o;
            o.Str("name", name);
            if (node.nodeId == TAV_NONE) o.Null("id");  // deleted by this baseline's run
            else o.Str("id", IdText(node.nodeId));
            o.Str("type", IsFolder(node) ? "folder" : IsSymlink(node) ? "link" : "file");
            if (IsFolder(node)) o.Null("size");
            else o.Num("size", node.Size());
            o.Num("version", node.updateCount)
                .Str("status", StatusText(node))
                .Str("backup_date", FormatLocalTime(node.stamp))
                .Str("modified", FormatFileTime(node.written));
            if (IsFolder(node) || node.content.offset == 0) o.Null("image");
            else o.Num("image", node.content.image);
            if (IsSymlink(node)) o.Str("target", target);
            m_ctx.out << o.Text() << '\n';
            return;
        }
        std::string shown = name;
        if (IsSymlink(node)) shown += " -> " + target;
        m_ctx.out << FormatListRow(MakeListRow(node, shown)) << '\n';
    }

    // The items of `folder` (whose item path is `path`); with -a also those the previous
    // baseline held there and this one does not, marked deleted.
    std::vector<TavNodeRec> ChildrenOf(const TavNodeRec& folder, const std::string& path) {
        std::vector<TavNodeRec> children = m_view.Children(folder, m_all);
        if (!m_all || m_previous == nullptr) return children;
        ResolvedItem before;
        std::string problem;
        if (!ResolveItem(*m_previous, path, before, problem) || !before.stored ||
            !IsFolder(before.node))
            return children;
        std::unordered_set<std::string> names;
        for (const TavNodeRec& child : children) names.insert(NodeName(child));
        for (TavNodeRec gone : m_previous->Children(before.node, false)) {
            if (names.count(NodeName(gone))) continue;
            gone.flags |= NODE_DELETED;
            gone.nodeId = TAV_NONE;  // not an id of this baseline
            children.push_back(gone);
        }
        return children;
    }

    // Lists `nodes` under the item path `base` ("" at the top and for the Files and Folders
    // root, whose items carry full paths); with -r their subtrees too, depth first.
    void List(std::vector<TavNodeRec> nodes, const std::string& base) {
        struct Pending {
            TavNodeRec node;
            std::string path;
        };
        std::vector<Pending> stack;
        auto push = [&](std::vector<TavNodeRec> items, const std::string& dir) {
            std::sort(items.begin(), items.end(), [](const TavNodeRec& a, const TavNodeRec& b) {
                return NodeName(a) < NodeName(b);
            });
            for (auto it = items.rbegin(); it != items.rend(); ++it)
                stack.push_back(
                    {*it, m_recursive ? JoinItemPath(dir, NodeName(*it)) : NodeName(*it)});
        };
        push(std::move(nodes), base);
        while (!stack.empty()) {
            Pending item = std::move(stack.back());
            stack.pop_back();
            Row(item.node, item.path);
            if (!m_recursive || !IsFolder(item.node) || IsDeleted(item.node) ||
                !m_visited.insert(item.node.nodeId).second)
                continue;
            push(ChildrenOf(item.node, IsFilesRoot(item.node) ? NodeName(item.node) : item.path),
                 IsFilesRoot(item.node) ? "" : item.path);
        }
    }

private:
    CTavRepository& m_rep;
    const CBaselineView& m_view;
    const CBaselineView* m_previous;
    CCliContext& m_ctx;
    bool m_recursive;
    bool m_all;
    bool m_json;
    std::unordered_set<uint32_t> m_visited;
};

int RunLs(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    std::unique_ptr<CBaselineView> view = session.OpenBaseline(args, ctx, code);
    if (!view) return code;
    const bool all = args.Has("all");
    // The baseline before this one tells what this one's run deleted.
    std::unique_ptr<CBaselineView> previous;
    if (all) {
        const TavBaselineList* list = session.Rep().GetBaselineList();
        for (size_t i = 1; list != nullptr && i < list->items.size(); ++i) {
            if (list->items[i].number != view->Number()) continue;
            std::string problem;
            previous = session.LoadBaseline(list->items[i - 1].number, problem);
        }
    }
    CLister lister(session, *view, previous.get(), ctx, args.Has("recursive"), all,
                   args.Has("json"));

    if (args.positionals.size() < 2) {
        std::vector<TavNodeRec> roots;
        for (const TavNodeRec& root : view->Roots())
            if (all || (root.moduleId != 0 && !IsDeleted(root))) roots.push_back(root);
        lister.Header();
        lister.List(roots, "");
    } else {
        ResolvedItem item;
        std::string problem;
        if (!ResolveItem(*view, args.positionals[1], item, problem))
            return Fail(ctx, session.Path(), problem);
        lister.Header();
        if (!item.stored) {
            lister.List(item.below, "");
        } else if (!IsFolder(item.node)) {
            lister.Row(item.node, item.path);
        } else {
            lister.List(lister.ChildrenOf(item.node, IsFilesRoot(item.node) ? NodeName(item.node)
                                                                             : item.path),
                        IsFilesRoot(item.node) ? "" : item.path);
        }
    }
    session.Rep().ReleaseReadHandles();
    return EXIT_OK;
}

int RunCat(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    std::unique_ptr<CBaselineView> view = session.OpenBaseline(args, ctx, code);
    if (!view) return code;
    ResolvedItem item;
    std::string problem;
    if (!ResolveItem(*view, args.positionals[1], item, problem))
        return Fail(ctx, session.Path(), problem);
    const std::string subject = session.Path() + ": " + Printable(item.path);
    if (!item.stored || IsFolder(item.node)) return Fail(ctx, subject, text::ERR_IS_FOLDER);

    CMD5Checksum md5;
    uint64_t length = 0;
    bool writeFailed = false;
    ReadStats stats;
    problem = ReadItemData(
        session.Rep(), item.node, true,
        [&](const uint8_t* bytes, size_t count) {
            md5.Update(bytes, count);
            length += count;
            ctx.out.write(reinterpret_cast<const char*>(bytes), std::streamsize(count));
            writeFailed = !ctx.out;
            return !writeFailed;
        },
        stats);
    ctx.out.flush();
    session.Rep().ReleaseReadHandles();
    if (writeFailed || !ctx.out) return Fail(ctx, subject, "the output cannot be written");
    if (!problem.empty()) return Fail(ctx, subject, problem);
    uint32_t fingerprint[4];
    md5.GetHash(fingerprint);
    problem = CompareWithNode(item.node, length, fingerprint);
    if (!problem.empty()) return Fail(ctx, subject, problem);
    return EXIT_OK;
}

}  // namespace

void RegisterBrowseCommands(CCommandTable& table) {
    table.Add(
        {{"ls"},
         "REPO [PATH] [-b N] [-r] [-a] [--json] [--password-file FILE]",
         "list the stored items of a baseline",
         "Without PATH, lists the module roots (\"Files and Folders\", \"Outlook Express\").\n"
         "PATH names a stored item: the original full path of a Files and Folders item\n"
         "(/home/ann/docs), a node id (628 or #00000274), or the names from a module\n"
         "root down (\"Outlook Express/{GUID}/<msgroot>\"). A folder is listed with its\n"
         "items; a folder above the stored paths (/home) lists the stored items inside.\n"
         "Columns: type (d folder, l symbolic link, - file), size in bytes, version (how\n"
         "often the content was replaced), status (Added, Updated, Not Changed), the\n"
         "backup date, the file's modification time (both local time), the image that\n"
         "holds the content, and the name (a link shows \"name -> target\"). With -r the\n"
         "whole subtree is listed with full item paths. With -a the items the baseline's\n"
         "run deleted (held by the baseline before, not by this one) are shown too, as\n"
         "Deleted. --json writes one JSON object per row.",
         {BaselineOption(),
          {"recursive", 'r', false, "", "list the whole subtree"},
          {"all", 'a', false, "", "also show deleted items and the repository's own root"},
          JsonOption(),
          PasswordFileOption()},
         1,
         2,
         RunLs});
    table.Add({{"cat"},
               "REPO PATH [-b N] [--password-file FILE]",
               "write a stored file's content to standard output",
               "PATH names the item as for ls. The content is checked while it is written: its\n"
               "length must equal the item's size and its MD5 fingerprint the stored one;\n"
               "otherwise an error names the problem and the exit code is 1. A stored symbolic\n"
               "link gives its target text; an Outlook Express message store is reassembled\n"
               "from its chunks.",
               {BaselineOption(), PasswordFileOption()},
               2,
               2,
               RunCat});
}

}  // namespace tavctl
