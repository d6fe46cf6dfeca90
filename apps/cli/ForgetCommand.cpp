// tavctl forget: forgets baselines by a keep policy and gives their space back at once.
#include <ostream>

#include "CmdHostText.h"
#include "CommandGroups.h"
#include "NodeFormat.h"
#include "PasswordSource.h"
#include "Progress.h"
#include "RepoSession.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tavengine/TavModFactory.h"
#include "tavengine/TavRepLock.h"
#include "tavengine/TavRetention.h"

namespace tavctl {

namespace {

bool ReadCount(const CCliArgs& args, const char* name, uint32_t& out, std::string& problem) {
    const auto value = args.Value(name);
    if (!value) return true;
    uint64_t n = 0;
    for (char c : *value) {
        if (c < '0' || c > '9' || n > 1000000) {
            problem = std::string("--") + name + " needs a count, not '" + *value + "'";
            return false;
        }
        n = n * 10 + uint64_t(c - '0');
    }
    if (value->empty()) {
        problem = std::string("--") + name + " needs a count";
        return false;
    }
    out = uint32_t(n);
    return true;
}

std::string ImageList(const std::vector<TavReclaimResult::Image>& images) {
    std::string s;
    for (const auto& i : images) s += (s.empty() ? "" : ", ") + std::to_string(i.id);
    return s;
}

void PrintDecisions(const TavForgetReport& report, std::ostream& out) {
    for (const TavKeepDecision& d : report.decisions) {
        std::string number = std::to_string(d.number);
        if (number.size() < 4) number = std::string(4 - number.size(), ' ') + number;
        out << (d.keep ? "  keep   " : "  forget ") << number << "  " << FormatLocalTime(d.time);
        if (d.keep) out << "  " << d.reasons;
        out << '\n';
    }
}

int RunForget(const CCliArgs& args, CCliContext& ctx) {
    TavKeepPolicy policy;
    std::string problem;
    if (!ReadCount(args, "keep-last", policy.last, problem) ||
        !ReadCount(args, "keep-daily", policy.daily, problem) ||
        !ReadCount(args, "keep-weekly", policy.weekly, problem) ||
        !ReadCount(args, "keep-monthly", policy.monthly, problem) ||
        !ReadCount(args, "keep-yearly", policy.yearly, problem))
        return Fail(ctx, "forget", problem, EXIT_USAGE);
    if (auto within = args.Value("keep-within")) {
        if (!ParseKeepDuration(*within, policy.withinSeconds))
            return Fail(ctx, "forget", "--keep-within needs a duration such as 14d, 36h or 1y6m, not '" +
                                           *within + "'", EXIT_USAGE);
    }
    if (policy.Empty())
        return Fail(ctx, "forget",
                    "no keep rule given (--keep-last, --keep-daily, --keep-weekly, --keep-monthly, "
                    "--keep-yearly or --keep-within)",
                    EXIT_USAGE);
    const bool dryRun = args.Has("dry-run");
    const std::string path = args.positionals[0];

    // No backup run may commit between reading the baselines and writing the new table.
    CTavRepositoryLock lock(path);
    if (!lock.Acquire(TAV_RUN_LOCK_TIMEOUT_MS)) return Fail(ctx, Printable(path), lock.Error());
    CRepoSession session;
    int code = EXIT_OK;
    if (!session.Open(path, args, ctx, code)) return code;
    CTavModFactory hub(cmdhost::text::HUB_COMMAND_BASE);
    hub.Reconnoiter();

    const uint64_t start = plat::NowMillis();
    TavForgetReport report;
    const bool ok = ApplyKeepPolicy(session.Rep(), policy, dryRun, &hub, report);
    session.Rep().ReleaseReadHandles();
    if (!report.decisions.empty()) PrintDecisions(report, ctx.out);
    if (!ok) return Fail(ctx, Printable(session.Path()), report.error);
    const TavReclaimResult& r = report.reclaim;
    if (dryRun) {
        ctx.out << "Would forget " << report.forgotten.size() << " of " << report.decisions.size()
                << " baselines and free " << FormatBytes(r.Freed());
        if (!r.deleted.empty()) ctx.out << " (images " << ImageList(r.deleted) << ")";
        ctx.out << ". Nothing was changed (--dry-run).\n";
        return EXIT_OK;
    }
    ctx.out << DescribeForget(report) << '\n';
    uint64_t total = 0;
    for (uint32_t id = 0, last = session.Rep().GetCurrentImageID(); last != TAV_NONE && id <= last; ++id) {
        TavFindData fd;
        const std::string image = session.Rep().GetImagePath(id);
        if (!image.empty() && plat::GetFindData(image, fd)) total += fd.Size();
    }
    ctx.out << "The kept baselines use " << report.liveBytes << " bytes of the " << total
            << " bytes in the repository's images.\n";
    ctx.out << "Checked " << report.headersRead << " block headers in "
            << (plat::NowMillis() - start) << " ms.\n";
    return EXIT_OK;
}

}  // namespace

void RegisterForgetCommands(CCommandTable& table) {
    table.Add({{"forget"},
               "REPO --keep-last N --keep-daily N --keep-weekly N --keep-monthly N "
               "--keep-yearly N [--keep-within DURATION] [--dry-run]",
               "forget old baselines by a keep policy and free their space",
               "Keeps the baselines the rules choose and forgets the others, then deletes every\n"
               "image file that no kept baseline uses and cuts the first image back to what is\n"
               "still used: the space comes back in this one command. --keep-daily N keeps the\n"
               "newest baseline of each of the last N days that have one (local time); weekly\n"
               "(ISO weeks, Monday to Sunday), monthly and yearly work the same way; --keep-last\n"
               "N keeps the N newest; --keep-within 14d keeps every baseline saved within that\n"
               "time of the newest (units y, m, w, d, h). Baseline 0 and the newest baseline are\n"
               "always kept; baseline numbers are never reused. The forget is one transaction: a\n"
               "failed or killed forget leaves the repository at its old or its new baselines.\n"
               "An image another program holds open is left and deleted by the next forget or\n"
               "backup run. --dry-run lists what would be kept (with the rule that keeps it) and\n"
               "forgotten, and changes nothing.",
               {{"keep-last", 0, true, "N", "keep the N newest baselines"},
                {"keep-daily", 0, true, "N", "keep the newest baseline of each of N days"},
                {"keep-weekly", 0, true, "N", "keep the newest baseline of each of N weeks"},
                {"keep-monthly", 0, true, "N", "keep the newest baseline of each of N months"},
                {"keep-yearly", 0, true, "N", "keep the newest baseline of each of N years"},
                {"keep-within", 0, true, "DURATION", "keep every baseline this close to the newest"},
                {"dry-run", 'n', false, "", "show what would be forgotten; change nothing"},
                PasswordFileOption()},
               1,
               1,
               RunForget});
}

}  // namespace tavctl
