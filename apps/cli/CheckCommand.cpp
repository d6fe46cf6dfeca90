// tavctl check: verifies a repository and names every problem it finds.
#include <ostream>
#include <vector>

#include "CliCommon.h"
#include "CommandGroups.h"
#include "Json.h"
#include "PasswordSource.h"
#include "Progress.h"
#include "RepoChecker.h"
#include "RepoRepair.h"
#include "RepoSession.h"
#include "UnusedSpace.h"

namespace tavctl {

namespace {

int RunCheck(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    session.SetWarnings(false);  // the check reports them
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    const bool readData = args.Has("read-data");
    const bool json = args.Has("json");
    std::vector<std::string> lines;
    std::vector<std::string> notes;
    const auto print = [&](const std::string& line) {
        if (json) notes.push_back(JsonQuote(line));
        else ctx.out << line << '\n' << std::flush;
    };
    if (args.Has("repair")) {
        std::string problem;
        if (!RepairRepository(session, print, problem)) return Fail(ctx, session.Path(), "cannot repair: " + problem);
    } else {
        DescribeLeftovers(session.Rep(), print);
    }
    CProgress progress(ctx.err, ctx.progress && !json);
    CRepoChecker checker(session, readData, progress, [&](const std::string& line) {
        if (json) lines.push_back(JsonQuote(line));
        else ctx.out << line << '\n' << std::flush;
    });
    checker.Run();
    progress.Clear();
    // Reclaimable space is reported, not counted as a problem.
    if (checker.Problems() == 0)
        for (const std::string& line : DescribeUnusedSpace(session)) print(line);

    const uint64_t problems = checker.Problems();
    if (json) {
        ctx.out << CJsonObject()
                       .Str("repository", session.Path())
                       .Num("baselines", checker.Baselines())
                       .Num("items", checker.Items())
                       .Num("blocks", checker.Stats().blocks)
                       .Num("bytes", checker.Stats().bytes)
                       .Bool("read_data", readData)
                       .Num("problem_count", problems)
                       .Raw("problems", JsonArray(lines))
                       .Raw("notes", JsonArray(notes))
                       .Bool("ok", problems == 0)
                       .Text()
                << '\n';
        return problems == 0 ? EXIT_OK : EXIT_PROBLEMS;
    }
    ctx.out << "Checked " << checker.Baselines() << " baselines, " << checker.Items() << " items, "
            << checker.Stats().blocks << " content blocks (" << FormatBytes(checker.Stats().bytes)
            << ")" << (readData ? ", fingerprints recomputed" : "") << ": ";
    if (problems == 0)
        ctx.out << "no problems found.\n";
    else
        ctx.out << problems << (problems == 1 ? " problem" : " problems") << " found.\n";
    return problems == 0 ? EXIT_OK : EXIT_PROBLEMS;
}

}  // namespace

void RegisterCheckCommands(CCommandTable& table) {
    table.Add({{"check"},
               "REPO [--read-data] [--repair] [--json] [--password-file FILE]",
               "verify a repository's images, baselines and contents",
               "Checks that every image file opens, that every baseline's node table decodes\n"
               "and links consistently (ids and links inside the table, every item listed once\n"
               "under its own parent, no loops), and that every content chain can be read to\n"
               "its end and holds as many bytes as the item's size. Every block read is checked\n"
               "as it is decoded (the CRC-32 and length of its gzip member, the most a block of\n"
               "its kind may hold): a damaged block is a problem naming its image and offset.\n"
               "With --read-data every fingerprint is recomputed from the stored data and\n"
               "compared (the fingerprint covers the content up to its last whole 64-byte\n"
               "block), and the earlier baseline tables kept in the images are decoded too.\n"
               "Each problem is one line naming the baseline, the item and what is wrong; bytes\n"
               "that backup runs which did not finish left behind are named with their size.\n"
               "--repair first sets aside (renames) the images whose newest baselines cannot be\n"
               "read, removes what unfinished runs left and rewrites security records that\n"
               "disagree, saying what it did. Exit code 0 only when no problem was found. Images\n"
               "that no baseline uses (and an unused end of image 0) are listed as space that\n"
               "'tavctl forget' gives back; they are not problems.",
               {{"read-data", 0, false, "", "recompute every fingerprint from the stored data"},
                {"repair", 0, false, "",
                 "set aside images whose newest baselines cannot be read, remove what unfinished "
                 "runs left, make the images' security records agree; then check"},
                JsonOption(),
                PasswordFileOption()},
               1,
               1,
               RunCheck});
}

}  // namespace tavctl
