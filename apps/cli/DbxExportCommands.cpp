// tavctl dbx export and export-all: messages of a store file written as .eml files.
#include <ostream>
#include <set>
#include <vector>

#include "CliCommon.h"
#include "DbxCommandParts.h"
#include "NodeFormat.h"
#include "Progress.h"
#include "core/DbxCaseFold.h"
#include "core/EmlExport.h"
#include "core/EmlFileNamer.h"
#include "core/OeStrings.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"

namespace tavctl {

namespace {

constexpr const char* SOURCE_SYNOPSIS = "FILE | --repo REPO [-b N] NODEPATH";
// Names tried for one message when other programs keep taking them meanwhile.
constexpr int NAME_ATTEMPTS = 100;

// Writes the text under the next free name the subject gives. A name that another program
// takes between the namer's check and the write is passed over for the next one.
bool WriteUnderFreeName(const std::string& dir, const std::string& subject, const std::string& text,
                        CEmlFileNamer& namer, std::string& name, std::string& error) {
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        name = namer.Next(subject);
        const std::string path = plat::JoinPath(dir, name);
        if (WriteEmlFile(path, text, EmlOverwrite::Refuse, error)) return true;
        if (!plat::PathExists(path)) return false;
    }
    return false;
}

int RunExport(const CCliArgs& args, CCliContext& ctx) {
    CDbxSource source;
    int code = EXIT_OK;
    if (!source.Open(args, ctx, false, code)) return code;
    uint32_t offset = 0;
    if (!CheckDbxMessage(source, args.positionals[1], ctx, offset, code)) return code;
    const std::string& out = args.positionals[2];
    std::string error;
    const EmlOverwrite overwrite = args.Has("force") ? EmlOverwrite::Replace : EmlOverwrite::Refuse;
    if (!ExportDbxMessage(source.Input(), offset, out, overwrite, error)) {
        if (plat::PathExists(out) && overwrite == EmlOverwrite::Refuse)
            error += " (use --force to replace it)";
        return Fail(ctx, source.Subject(),
                    "message at offset " + std::to_string(offset) + ": " + error);
    }
    return EXIT_OK;
}

int RunExportAll(const CCliArgs& args, CCliContext& ctx) {
    DbxSearchQuery query;
    int code = EXIT_OK;
    if (!DbxQueryFromArgs(args, ctx, query, code)) return code;
    CDbxSource source;
    if (!source.Open(args, ctx, false, code)) return code;
    const std::string& dir = args.positionals[1];
    if (plat::PathExists(dir) && !plat::IsDirectory(dir)) return Fail(ctx, dir, "is not a folder");
    if (!plat::CreateDirectories(dir)) return Fail(ctx, dir, "the folder cannot be created");

    // Every message with a text, a received time or not.
    CDbxMessageSearch search(source.Input());
    search.SetRequireDate(false);
    const DbxSearchResult result = search.Run(query);

    // Names in use are looked up without regard to case, so that the export can be copied
    // to a file system that ignores case without one file hiding another.
    std::set<std::string> existing;
    std::vector<TavFindData> entries;
    plat::ListDirectory(dir, entries);
    for (const TavFindData& entry : entries) existing.insert(DbxFoldCase(entry.name));
    CEmlFileNamer namer([&](const std::string& name) {
        return existing.count(DbxFoldCase(name)) != 0 ||
               plat::PathExists(plat::JoinPath(dir, name));
    });
    CProgress progress(ctx.err, ctx.progress);
    uint32_t written = 0;
    uint32_t failed = 0;
    for (size_t i = 0; i < result.rows.size(); ++i) {
        const DbxMessageRow& row = result.rows[i];
        progress.Update([&] {
            return "Exporting " + std::to_string(i + 1) + " of " +
                   std::to_string(result.rows.size());
        });
        std::string text;
        std::string error;
        std::string name;
        bool ok = ReadDbxMessageText(source.Input(), row.offset, text, error);
        if (ok) ok = WriteUnderFreeName(dir, row.subject.value_or(""), text, namer, name, error);
        progress.Clear();
        if (!ok) {
            ++failed;
            Fail(ctx, source.Subject(),
                 "message at offset " + std::to_string(row.offset) + ": " + error);
            continue;
        }
        ++written;
        // The file carries the message's received time, so that folders sort by it.
        if (row.received) {
            const TavFileTime time = TavFileTime::FromTicks(*row.received);
            plat::SetFileTimes(plat::JoinPath(dir, name), time, time);
        }
        ctx.out << Printable(name) << '\n';
    }
    progress.Clear();
    ctx.out.flush();
    const int problems = ReportSearchProblems(result, source, ctx);
    if (failed != 0)
        return Fail(ctx, dir,
                    std::to_string(failed) + " message(s) were not exported, " +
                        std::to_string(written) + " were");
    return problems;
}

}  // namespace

void AddDbxExportCommands(CCommandTable& table) {
    const std::vector<CliOption> sourceOptions = DbxSourceOptions();
    std::vector<CliOption> exportOptions = {
        {"force", 'f', false, "", "replace OUT.eml when it exists"}};
    exportOptions.insert(exportOptions.end(), sourceOptions.begin(), sourceOptions.end());
    table.Add({{"dbx", "export"},
               std::string(SOURCE_SYNOPSIS) + " OFFSET OUT.eml [--force]",
               "write one message to an .eml file",
               "OFFSET is the message's offset as 'tavctl dbx ls' shows it. The file gets the\n"
               "message's mail text with CR LF line ends: a line that ends in LF alone gets its\n"
               "CR, CR LF stays as it is (never doubled), and a CR that no LF follows is kept.\n"
               "An existing OUT.eml is replaced only with --force, and then only once the new\n"
               "file is completely written.",
               exportOptions,
               3,
               3,
               RunExport});

    std::vector<CliOption> allOptions = DbxFilterOptions();
    allOptions.insert(allOptions.end(), sourceOptions.begin(), sourceOptions.end());
    table.Add({{"dbx", "export-all"},
               std::string(SOURCE_SYNOPSIS) + " DIR [--filter TEXT] [--in FIELDS]",
               "write every message to its own .eml file in DIR",
               "DIR is created when missing. Every message with a text is written (with\n"
               "--filter, those that match, as for ls), with the line ends of 'dbx export'.\n"
               "Files are named after the subject: characters that are not allowed in file\n"
               "names on Linux or Windows become '_', a name never starts with a dot, and\n"
               "\"Subject (2).eml\" and so on keep messages with the same subject apart;\n"
               "existing files are never replaced. A file's modification time is the\n"
               "message's received time. The names written are listed; messages that cannot\n"
               "be read or written are reported and make the exit code 1.",
               allOptions,
               2,
               2,
               RunExportAll});
}

}  // namespace tavctl
