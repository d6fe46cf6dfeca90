// tavctl dbx folders, ls and show: the folders and messages of an Outlook Express store
// file, live or kept in a repository.
#include <iterator>
#include <ostream>

#include "CliCommon.h"
#include "CommandGroups.h"
#include "DbxCommandParts.h"
#include "NodeFormat.h"
#include "Progress.h"
#include "TextTable.h"
#include "core/DbxException.h"
#include "core/DbxFolderList.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMessageSort.h"
#include "core/DbxViewerText.h"
#include "core/EmlExport.h"
#include "core/OeStrings.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

constexpr const char* FIELD_NAMES[] = {"from", "to", "subject", "content"};
constexpr uint32_t FIELD_BITS[] = {DBX_FIELD_FROM, DBX_FIELD_TO, DBX_FIELD_SUBJECT,
                                   DBX_FIELD_CONTENT};
constexpr const char* FIELD_ALL = "all";
constexpr const char* STATUS_ACTIVE = "Active";
constexpr const char* STATUS_INACTIVE = "Inactive";
constexpr const char* ICON_FLAG = "*";
constexpr const char* NO_VALUE = "-";
constexpr const char* SOURCE_SYNOPSIS = "FILE | --repo REPO [-b N] NODEPATH";

const char* const SOURCE_HELP =
    "FILE is a .dbx file. With --repo, NODEPATH names a store file kept in repository\n"
    "REPO instead, as for 'tavctl ls' (\"Outlook Express/{GUID}/<msgroot>/Inbox.dbx\" or a\n"
    "node id); -b picks the baseline (default: the newest).";

std::string Cell(const std::optional<std::string>& text) { return text ? Printable(*text) : ""; }

std::string UpperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

int RunFolders(const CCliArgs& args, CCliContext& ctx) {
    CDbxSource source;
    int code = EXIT_OK;
    if (!source.Open(args, ctx, true, code)) return code;
    const DbxFolderList list = ReadDbxFolders(source.Input());
    if (list.folders.empty() && !list.error.empty()) return Fail(ctx, source.Subject(), list.error);
    std::vector<uint32_t> depth;
    const std::vector<DbxFolderEntry> tree = DbxFoldersAsTree(list.folders, depth);
    CTextTable table({"ID", "PARENT", "MESSAGES", "UNREAD", "STATUS", "FILE", "NAME"});
    for (size_t i = 0; i < tree.size(); ++i) {
        const DbxFolderEntry& f = tree[i];
        table.AddRow({std::to_string(f.id), std::to_string(f.parentId), std::to_string(f.messages),
                      std::to_string(f.unread), (f.flags & 1) ? STATUS_ACTIVE : STATUS_INACTIVE,
                      f.fileName ? Printable(*f.fileName) : NO_VALUE,
                      std::string(2 * depth[i], ' ') + (f.name ? Printable(*f.name) : NO_VALUE)});
    }
    table.Print(ctx.out);
    if (!list.error.empty())
        return Fail(
            ctx, source.Subject(),
            std::to_string(list.unreadable) + " folder record(s) cannot be read: " + list.error);
    return EXIT_OK;
}

// Shows the search's progress on the terminal.
class CSearchProgress : public CDbxSearchObserver {
public:
    explicit CSearchProgress(CCliContext& ctx) : m_line(ctx.err, ctx.progress) {}
    void OnSearchProgress(uint32_t percent) override {
        m_line.Update([&] { return plat::Format(dbxviewer::PROGRESS_FORMAT, long(percent)); });
    }
    void Clear() { m_line.Clear(); }

private:
    CProgress m_line;
};

int RunLs(const CCliArgs& args, CCliContext& ctx) {
    DbxSearchQuery query;
    int code = EXIT_OK;
    if (!DbxQueryFromArgs(args, ctx, query, code)) return code;
    std::optional<DbxColumn> column;
    if (std::optional<std::string> sort = args.Value("sort")) {
        column = DbxColumnFromName(*sort);
        if (!column)
            return Fail(
                ctx, "",
                "--sort takes icon, from, to, subject, date or account, not '" + *sort + "'",
                EXIT_USAGE);
    } else if (args.Has("reverse")) {
        return Fail(ctx, "", "--reverse needs --sort", EXIT_USAGE);
    }
    CDbxSource source;
    if (!source.Open(args, ctx, false, code)) return code;

    CSearchProgress progress(ctx);
    CDbxMessageSearch search(source.Input());
    DbxSearchResult result = search.Run(query, &progress);
    progress.Clear();
    if (column) SortDbxRows(result.rows, *column, !args.Has("reverse"));

    CTextTable table({"OFFSET", "F", UpperCase(dbxviewer::COLUMN_FROM),
                      UpperCase(dbxviewer::COLUMN_TO), UpperCase(dbxviewer::COLUMN_SUBJECT),
                      UpperCase(dbxviewer::COLUMN_RECEIVED), UpperCase(dbxviewer::COLUMN_ACCOUNT)});
    for (const DbxMessageRow& row : result.rows)
        table.AddRow({std::to_string(row.offset), row.iconFlag ? ICON_FLAG : NO_VALUE,
                      Cell(row.from), Cell(row.to), Cell(row.subject), row.receivedText,
                      Cell(row.account)});
    table.Print(ctx.out);
    return ReportSearchProblems(result, source, ctx);
}

int RunShow(const CCliArgs& args, CCliContext& ctx) {
    CDbxSource source;
    int code = EXIT_OK;
    if (!source.Open(args, ctx, false, code)) return code;
    uint32_t offset = 0;
    if (!CheckDbxMessage(source, args.positionals[1], ctx, offset, code)) return code;
    std::string text;
    std::string error;
    if (!ReadDbxMessageText(source.Input(), offset, text, error))
        return Fail(ctx, source.Subject(),
                    "message at offset " + std::to_string(offset) + ": " + error);
    ctx.out.write(text.data(), std::streamsize(text.size()));
    ctx.out.flush();
    if (!ctx.out) return Fail(ctx, source.Subject(), "the output cannot be written");
    return EXIT_OK;
}

}  // namespace

std::optional<uint32_t> ParseDbxOffset(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (text.size() > 10) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            const char c = text[i];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return std::nullopt;
            value = value * 16 + uint32_t(digit);
        }
        return value;
    }
    return ParseNumber(text);
}

std::vector<CliOption> DbxFilterOptions() {
    return {{"filter", 0, true, "TEXT", "only messages whose fields contain TEXT (any case)"},
            {"in", 0, true, "FIELDS",
             "fields --filter looks in: from,to,subject,content or all (default: subject)"}};
}

bool DbxQueryFromArgs(const CCliArgs& args, CCliContext& ctx, DbxSearchQuery& query, int& code) {
    query = DbxSearchQuery{};
    const std::optional<std::string> filter = args.Value("filter");
    const std::optional<std::string> in = args.Value("in");
    if (in && !filter) {
        code = Fail(ctx, "", "--in needs --filter", EXIT_USAGE);
        return false;
    }
    if (!filter) return true;
    query.filter = true;
    query.text = *filter;
    if (!in) return true;
    query.fields = 0;
    size_t start = 0;
    while (start <= in->size()) {
        size_t comma = in->find(',', start);
        if (comma == std::string::npos) comma = in->size();
        const std::string word = in->substr(start, comma - start);
        uint32_t bit = OeEqualsNoCase(word, FIELD_ALL) ? DBX_FIELD_ALL : 0;
        for (size_t i = 0; i < std::size(FIELD_NAMES); ++i)
            if (OeEqualsNoCase(word, FIELD_NAMES[i])) bit = FIELD_BITS[i];
        if (bit == 0) {
            code = Fail(ctx, "",
                        "--in takes from, to, subject, content or all, separated by commas, not '" +
                            word + "'",
                        EXIT_USAGE);
            return false;
        }
        query.fields |= bit;
        start = comma + 1;
    }
    return true;
}

bool CheckDbxMessage(CDbxSource& source, const std::string& offsetText, CCliContext& ctx,
                     uint32_t& offset, int& code) {
    const std::optional<uint32_t> parsed = ParseDbxOffset(offsetText);
    if (!parsed) {
        code = Fail(ctx, "",
                    "OFFSET is a message's offset as 'tavctl dbx ls' shows it, not '" +
                        Printable(offsetText) + "'",
                    EXIT_USAGE);
        return false;
    }
    offset = *parsed;
    try {
        const DbxHeader header(source.Input());
        if (header.MessageCount() != 0 && header.MessageRoot() != 0) {
            const DbxIndexTree tree(source.Input(), header.MessageRoot(), header.MessageCount());
            for (const uint32_t value : tree.Values())
                if (value == offset) return true;
        }
    } catch (const DbxException& e) {
        code = Fail(ctx, source.Subject(), e.Describe());
        return false;
    }
    code = Fail(ctx, source.Subject(),
                "no message at offset " + std::to_string(offset) + " (see 'tavctl dbx ls')");
    return false;
}

int ReportSearchProblems(const DbxSearchResult& result, const CDbxSource& source,
                         CCliContext& ctx) {
    if (result.damaged) return Fail(ctx, source.Subject(), result.error);
    if (result.unreadable != 0)
        return Fail(
            ctx, source.Subject(),
            std::to_string(result.unreadable) + " message(s) cannot be read: " + result.error);
    return EXIT_OK;
}

void RegisterDbxCommands(CCommandTable& table) {
    std::vector<CliOption> sourceOptions = DbxSourceOptions();
    table.Add({{"dbx", "folders"},
               std::string(SOURCE_SYNOPSIS),
               "list the mail folders that a folders.dbx file describes",
               std::string(SOURCE_HELP) +
                   "\n\nFILE may also be a store folder and NODEPATH a stored <msgroot>: their\n"
                   "folders.dbx is read. Columns: folder id, parent id, messages, unread\n"
                   "messages, status (Active or Inactive), the folder's .dbx file and its name,\n"
                   "indented below its parent.",
               sourceOptions,
               1,
               1,
               RunFolders});

    std::vector<CliOption> lsOptions = DbxFilterOptions();
    lsOptions.push_back(
        {"sort", 0, true, "COLUMN", "sort by icon, from, to, subject, date or account"});
    lsOptions.push_back({"reverse", 0, false, "", "sort in descending order"});
    lsOptions.push_back(OldSpelling({"reverse", 'r', false, "", ""}));
    lsOptions.insert(lsOptions.end(), sourceOptions.begin(), sourceOptions.end());
    table.Add({{"dbx", "ls"},
               std::string(SOURCE_SYNOPSIS) + " [--filter TEXT] [--in FIELDS] [--sort COLUMN] [-r]",
               "list the messages of a .dbx file",
               std::string(SOURCE_HELP) +
                   "\n\nEach message with a text and a received time is listed, in the file's\n"
                   "order: its offset (for show and export), F (* when message flag 0x4000 is\n"
                   "set), sender and receiver address, subject, received date (local time) and\n"
                   "account. --filter keeps the messages whose fields hold TEXT, in any case;\n"
                   "--in names the fields (content searches the whole message text, headers\n"
                   "and body). --sort subject ignores reply and forward prefixes; a message\n"
                   "lacking the sorted field comes first. Messages that cannot be read are\n"
                   "left out, reported, and make the exit code 1.",
               lsOptions,
               1,
               1,
               RunLs});

    table.Add(
        {{"dbx", "show"},
         std::string(SOURCE_SYNOPSIS) + " OFFSET",
         "write one message's text to standard output",
         std::string(SOURCE_HELP) +
             "\n\nOFFSET is the message's offset as 'tavctl dbx ls' shows it (decimal, or hex\n"
             "with 0x). The text is written as stored: headers and body, as mail text.",
         sourceOptions,
         2,
         2,
         RunShow});
    AddDbxExportCommands(table);
}

}  // namespace tavctl
