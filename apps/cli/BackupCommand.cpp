// tavctl backup: the command host's run of a job, started by hand ("Manual Backup"), with a
// progress bar on the terminal and a summary at the end.
#include <ostream>

#include "BackupProgress.h"

#include "CliText.h"
#include "CmdHostText.h"
#include "CommandGroups.h"
#include "ConsoleView.h"
#include "JobCliText.h"
#include "Json.h"
#include "JobFile.h"
#include "JobRunner.h"
#include "NodeFormat.h"
#include "Progress.h"
#include "StopSignal.h"
#include "tavengine/TavModFactory.h"
#include "tavengine/TavWords.h"
#include "platform/TextFormat.h"

namespace tavctl {

namespace {

std::string Seconds(uint64_t millis) {
    return plat::Format("%llu.%01llu s", static_cast<unsigned long long>(millis / 1000),
                  static_cast<unsigned long long>(millis % 1000 / 100));
}

void PrintSummary(const cmdhost::RunSummary& run, std::ostream& out) {
    out << GetBackupTypeName(run.command) << " backup of " << Printable(run.jobPath)
        << " saved as baseline " << run.baseline << " of " << Printable(run.repositoryPath)
        << '\n';
    const auto row = [&out](const char* label, const std::string& value) {
        const std::string text = label;
        out << "  " << text << std::string(text.size() < 16 ? 16 - text.size() : 1, ' ') << value << '\n';
    };
    row("Files added", std::to_string(run.counters.added));
    row("Files updated", std::to_string(run.counters.updated));
    row("Files skipped", std::to_string(run.counters.skipped));
    row("Files deleted", std::to_string(run.counters.deleted));
    row("Items in error", std::to_string(run.counters.errors));
    row("Bytes stored", FormatBytes(run.bytesStored) +
                            (run.bytesStored >= 1024 ? " (" + std::to_string(run.bytesStored) + " bytes)" : ""));
    row("Time", Seconds(run.elapsedMs));
    if (!run.logPath.empty()) row("Run log", Printable(run.logPath));
    for (const std::string& note : run.cleanedUp) out << "  " << Printable(note) << '\n';
    if (!run.retention.empty()) {
        std::string text = run.retention;
        for (size_t at; (at = text.find('\r')) != std::string::npos;) text.erase(at, 1);
        out << text;
    }
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::string json = "[";
    for (const std::string& text : texts) json += (json.size() > 1 ? "," : "") + JsonQuote(text);
    return json + "]";
}

void PrintJsonSummary(const cmdhost::RunSummary& run, std::ostream& out) {
    out << CJsonObject()
               .Str("type", GetBackupTypeName(run.command))
               .Str("job", run.jobPath)
               .Str("repository", run.repositoryPath)
               .Num("baseline", run.baseline)
               .Num("files_added", run.counters.added)
               .Num("files_updated", run.counters.updated)
               .Num("files_skipped", run.counters.skipped)
               .Num("files_deleted", run.counters.deleted)
               .Num("items_in_error", run.counters.errors)
               .Num("bytes_stored", run.bytesStored)
               .Num("time_ms", run.elapsedMs)
               .Str("run_log", run.logPath)
               .Raw("cleaned_up", JsonStrings(run.cleanedUp))
               .Text()
        << '\n';
}

int RunBackup(const CCliArgs& args, CCliContext& ctx) {
    const std::string jobPath = CommandLinePath(args.positionals[0]);
    CTavModFactory hub(cmdhost::text::HUB_COMMAND_BASE);
    hub.Reconnoiter();
    cmdhost::CStopSignal stop;
    cmdhost::ConsoleOptions options;
    options.program = text::PROGRAM;
    options.progressBar = false;  // the progress line with totals is drawn below
    options.visible = true;
    options.showFinished = false;  // the summary says more
    options.columns = cmdhost::CConsoleView::TerminalColumns();
    cmdhost::CConsoleView console(ctx.err, ctx.err, options, &stop);
    const bool progress = ctx.progress && !args.Has("json");
    CBackupProgressView withProgress(console, ctx.err, options.columns);
    cmdhost::CRunnerView& view = progress ? static_cast<cmdhost::CRunnerView&>(withProgress) : console;
    cmdhost::CJobRunner runner(hub, view);
    const cmdhost::RunSummary& run = runner.RunJob(jobPath, args.Has("full"), cmdhost::RunKind::Manual);
    withProgress.Clear();
    console.ClearLine();
    // The view has said why a run saved nothing, and listed the items in error.
    if (run.Committed()) {
        if (args.Has("json")) PrintJsonSummary(run, ctx.out);
        else PrintSummary(run, ctx.out);
    } else {
        for (const std::string& note : run.cleanedUp) ctx.err << Printable(note) << '\n';
    }
    return run.ExitStatus();
}

}  // namespace

void RegisterBackupCommands(CCommandTable& table) {
    table.Add({{"backup"},
               "JOB [--full] [--json]",
               "run a backup of a job now",
               "Runs the job as the command host does (the same run, described as \"Manual\n"
               "Backup\"): the job's repository is made or opened, every module of the job\n"
               "backs up its part into one new baseline, which is saved and committed, or\n"
               "rolled back when a module fails. Incremental unless --full. A progress bar\n"
               "shows the current file on a terminal; Ctrl-C stops the run and rolls it back.\n"
               "The run log is written beside the job. Exit status: 0 committed with every item\n"
               "stored; 3 committed, but some items could not be stored (they are listed on\n"
               "stderr, all of them in the run log) or the job's keep policy could not be\n"
               "applied in full; 1 nothing committed; 2 wrong usage.",
               {{"full", 0, false, "", "store every file anew (default: incremental)"},
                OldSpelling({"full", 'f', false, "", ""}),
                JsonOption()},
               1,
               1,
               RunBackup});
}

}  // namespace tavctl
