// tavctl find and tavctl history: which baselines hold an item, and every stored version
// of one item, so that a user sees at once which baseline to restore.
#include <functional>
#include <ostream>
#include <unordered_set>
#include <vector>

#include "CommandGroups.h"
#include "ItemResolver.h"
#include "Json.h"
#include "NodeFormat.h"
#include "PasswordSource.h"
#include "RepoSession.h"

namespace tavctl {

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// '*' any run of characters (also '/'), '?' one character (of any script); everything
// else as it stands.
bool Matches(const char* pattern, const char* text) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text != '\0') {
        if (*pattern == '?') {
            ++pattern;
            ++text;
            while (IsContinuation(*text)) ++text;
        } else if (*pattern != '*' && *pattern == *text) {
            ++pattern;
            ++text;
        } else if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

// Small letters for the capitals of the scripts names most often use: ASCII, Latin-1, Greek
// and Cyrillic (the folding the engine's file filters use). Other bytes stay as they are.
std::string FoldCase(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
            ++i;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size() && IsContinuation(text[i + 1])) {
            char32_t cp = char32_t(c & 0x1F) << 6 | char32_t(text[i + 1] & 0x3F);
            if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) || (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) ||
                (cp >= 0x410 && cp <= 0x42F))
                cp += 32;
            else if (cp >= 0x400 && cp <= 0x40F)
                cp += 80;
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
            i += 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string RowJson(uint32_t baseline, const TavNodeRec& node, const std::string& path) {
    CJsonObject o;
    o.Num("baseline", baseline).Str("path", path).Str("id", IdText(node.nodeId));
    o.Str("type", IsFolder(node) ? "folder" : IsSymlink(node) ? "link" : "file");
    if (IsFolder(node)) o.Null("size");
    else o.Num("size", node.Size());
    o.Str("status", StatusText(node))
        .Str("backup_date", FormatLocalTime(node.stamp))
        .Str("modified", FormatFileTime(node.written));
    if (IsFolder(node) || node.content.offset == 0) o.Null("image");
    else o.Num("image", node.content.image);
    return o.Text();
}

std::string RowText(uint32_t baseline, const TavNodeRec& node, const std::string& path) {
    std::string number = std::to_string(baseline);
    if (number.size() < 4) number.insert(0, 4 - number.size(), ' ');
    return number + "  " + FormatListRow(MakeListRow(node, path));
}

std::string Header() { return "  NO  " + ListHeader(); }

// The baselines a command looks at: -b N (or latest), every one with `all`, else the newest.
bool ChosenBaselines(CRepoSession& session, const CCliArgs& args, bool all, CCliContext& ctx,
                     std::vector<uint32_t>& numbers, int& code) {
    if (!all) {
        std::optional<uint32_t> number = session.BaselineNumber(args, ctx, code);
        if (!number) return false;
        numbers.push_back(*number);
        return true;
    }
    if (const TavBaselineList* list = session.Rep().GetBaselineList())
        for (const TavBaselineHeaderRec& h : list->items)
            if (h.number != 0) numbers.push_back(h.number);
    return true;
}

int RunFind(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    const bool all = args.Has("all-baselines");
    if (all && args.Has("baseline"))
        return Fail(ctx, "find", "--all-baselines and -b exclude each other", EXIT_USAGE);
    std::vector<uint32_t> numbers;
    if (!ChosenBaselines(session, args, all, ctx, numbers, code)) return code;
    const bool ignoreCase = args.Has("ignore-case");
    const std::string& given = args.positionals[1];
    const std::string pattern = ignoreCase ? FoldCase(given) : given;
    const bool byPath = pattern.find('/') != std::string::npos;
    const bool json = args.Has("json");
    uint64_t found = 0;
    if (!json) ctx.out << Header() << '\n';
    for (uint32_t number : numbers) {
        std::string problem;
        std::unique_ptr<CBaselineView> view = session.LoadBaseline(number, problem);
        if (!view) {
            Fail(ctx, session.Path(), "baseline " + std::to_string(number) + ": " + problem);
            code = EXIT_PROBLEMS;
            continue;
        }
        ForEachItem(*view, args.Has("deleted"), [&](const TavNodeRec& node, const std::string& path) {
            const std::string subject = byPath ? path : NodeName(node);
            if (!Matches(pattern.c_str(), (ignoreCase ? FoldCase(subject) : subject).c_str())) return;
            ++found;
            ctx.out << (json ? RowJson(number, node, path) : RowText(number, node, path)) << '\n';
        });
    }
    session.Rep().ReleaseReadHandles();
    if (found == 0 && code == EXIT_OK && !json)
        ctx.err << "tavctl: nothing matches '" << Printable(given) << "'\n";
    return found == 0 && code == EXIT_OK ? EXIT_PROBLEMS : code;
}

int RunHistory(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    const TavBaselineList* list = session.Rep().GetBaselineList();
    const bool json = args.Has("json");
    const std::string& name = args.positionals[1];
    uint64_t versions = 0;
    if (!json)
        ctx.out << "  NO  " << std::string("SAVED") + std::string(TIME_WIDTH - 5, ' ') << "  "
                << ListHeader() << '\n';
    for (const TavBaselineHeaderRec& h : list ? list->items : std::vector<TavBaselineHeaderRec>{}) {
        if (h.number == 0) continue;
        std::string problem;
        std::unique_ptr<CBaselineView> view = session.LoadBaseline(h.number, problem);
        if (!view) {
            Fail(ctx, session.Path(), "baseline " + std::to_string(h.number) + ": " + problem);
            code = EXIT_PROBLEMS;
            continue;
        }
        ResolvedItem item;
        if (!ResolveItem(*view, name, item, problem) || !item.stored) continue;
        ++versions;
        if (json) {
            std::string row = RowJson(h.number, item.node, item.path);
            row.insert(1, "\"saved\":" + JsonQuote(FormatLocalTime(h.time)) + ",");
            ctx.out << row << '\n';
        } else {
            std::string number = std::to_string(h.number);
            if (number.size() < 4) number.insert(0, 4 - number.size(), ' ');
            std::string saved = FormatLocalTime(h.time);
            saved.resize(std::max<size_t>(saved.size(), TIME_WIDTH), ' ');
            ctx.out << number << "  " << saved << "  "
                    << FormatListRow(MakeListRow(item.node, item.path)) << '\n';
        }
    }
    session.Rep().ReleaseReadHandles();
    if (versions == 0 && code == EXIT_OK)
        return Fail(ctx, session.Path(), Printable(name) + ": no baseline holds this item");
    return code;
}

}  // namespace

void RegisterFindCommands(CCommandTable& table) {
    table.Add({{"find"},
               "REPO PATTERN [-b N | --all-baselines] [-i] [--deleted] [--json] [--password-file FILE]",
               "find stored items by a wildcard on their name or path",
               "Lists the items of the newest baseline (or baseline N, or with --all-baselines\n"
               "of every baseline) whose name matches PATTERN, or, when PATTERN holds a '/',\n"
               "whose whole item path does: '*' stands for any run of characters, '?' for one;\n"
               "letter case counts unless -i is given. Each row gives the baseline, then the\n"
               "columns of ls.\n"
               "--deleted also looks at items marked deleted. Exit code 1 when nothing matches.",
               {BaselineOption(),
                {"all-baselines", 'A', false, "", "look in every baseline"},
                {"deleted", 0, false, "", "also items marked deleted"},
                {"ignore-case", 'i', false, "", "letter case does not count"},
                JsonOption(),
                PasswordFileOption()},
               2,
               2,
               RunFind});
    table.Add({{"history"},
               "REPO PATH [--json] [--password-file FILE]",
               "every stored version of one item, baseline by baseline",
               "Lists each baseline that holds PATH (named as for ls; a relative path names\n"
               "the item below the current folder), oldest first: the baseline, when it was\n"
               "saved, and the item's columns as ls shows them: its size, how often it was\n"
               "replaced, its status (Added, Updated, Not Changed, Deleted), its backup date,\n"
               "modification time and the image that holds its content. Restore a version with\n"
               "'tavctl restore REPO PATH -b N --to DIR'.",
               {JsonOption(), PasswordFileOption()},
               2,
               2,
               RunHistory});
}

}  // namespace tavctl
