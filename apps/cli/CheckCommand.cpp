// tavctl check: verifies a repository and names every problem it finds.
#include <ostream>

#include "CommandGroups.h"
#include "PasswordSource.h"
#include "Progress.h"
#include "RepoChecker.h"
#include "RepoSession.h"

namespace tavctl {

namespace {

int RunCheck(const CCliArgs& args, CCliContext& ctx) {
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(args.positionals[0], args, ctx, code)) return code;
    const bool readData = args.Has("read-data");
    CProgress progress(ctx.err, ctx.progress);
    CRepoChecker checker(session, readData, progress, [&](const std::string& line) {
        ctx.out << line << '\n' << std::flush;
    });
    checker.Run();
    progress.Clear();

    const uint64_t problems = checker.Problems();
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
               "REPO [--read-data] [--password-file FILE]",
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
               "Each problem is one line naming the baseline, the item and what is wrong. Exit\n"
               "code 0 only when no problem was found.",
               {{"read-data", 0, false, "", "recompute every fingerprint from the stored data"},
                PasswordFileOption()},
               1,
               1,
               RunCheck});
}

}  // namespace tavctl
