// The engines of a restore and what the terminal shows of them.
#include "RestoreRunner.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <ostream>

#include "BaselineView.h"
#include "CliCommon.h"
#include "ConsoleView.h"
#include "HostRecords.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "ProgressMeter.h"
#include "JobFile.h"
#include "platform/Clock.h"
#include "RestoreCliText.h"
#include "RestoreSequence.h"
#include "StopSignal.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavModFactory.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"
#include "platform/TextFormat.h"

namespace tavctl {

using namespace restoretext;

namespace {

constexpr const char* ERROR_LINE_PREFIX = "***** ";
constexpr const char* MSG_STOPPING =
    "Stopping: the file being written is not kept; files restored so far stay.";

// How many kept files are named one by one in a run's output.
constexpr uint64_t MAX_KEPT_LINES = 20;

// The text after `prefix` up to the closing quote: the path of a "Would ..." or "Kept" line.
std::string QuotedPath(const std::string& line, size_t from) {
    const size_t open = line.find('"', from);
    const size_t close = line.rfind('"');
    if (open == std::string::npos || close <= open) return "";
    return line.substr(open + 1, close - open - 1);
}

// The number a summary line starts with, when the rest of it is `suffix`.
bool CountLine(const std::string& line, const char* suffix, uint64_t& value) {
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits == 0 || line.compare(digits, std::string::npos, suffix) != 0) return false;
    value = std::stoull(line.substr(0, digits));
    return true;
}

// Shows an engine's run: the progress line, the error lines of its log as they come (on the
// error stream), the files a dry run would write and the files kept although they differ,
// and its summary (the last text before it finished) or, when verbose, every line of the log.
class CRestoreObserver : public CTavEngineObserver {
public:
    CRestoreObserver(CCliContext& ctx, const RestoreRunOptions& options,
                     const cmdhost::CStopSignal& stop, RestoreRunResult& result)
        : m_ctx(ctx), m_options(options), m_stop(stop), m_result(result),
          m_meter(ctx.err, ctx.progress && !options.json, cmdhost::CConsoleView::TerminalColumns()) {
        m_meter.SetTotals(options.totalFiles, options.totalBytes);
    }

    void OnTavEngineProgress(CTavEngine* engine, const std::string& /*title*/,
                             const std::string& item, uint32_t percent) override {
        if (m_stop.Raised()) {
            if (!m_stopAsked) {
                m_stopAsked = true;
                m_meter.Clear();
                m_ctx.err << MSG_STOPPING << '\n' << std::flush;
            }
            engine->CancelOperation();
        }
        if (!m_meter.Enabled()) return;
        if (item != m_item) {  // the engine has gone on to the next file
            if (!m_item.empty()) {
                ++m_filesDone;
                m_bytesDone += m_itemSize;
            }
            m_item = item;
            auto it = m_options.targetSizes.find(item);
            m_itemSize = it == m_options.targetSizes.end() ? 0 : it->second;
        }
        m_meter.Update(m_filesDone, m_bytesDone + m_itemSize * std::min<uint32_t>(percent, 100) / 100,
                       Printable(item));
    }
    void OnTavEngineStart(CTavEngine*) override {}
    void OnTavEngineFinish(CTavEngine*) override { End(); }
    void OnTavEngineCancelled(CTavEngine*) override { End(); }
    void OnTavEngineLogNotify(CTavEngine*, const std::string& text) override {
        m_pending += text;
        m_last = text;
        size_t end;
        while ((end = m_pending.find('\n')) != std::string::npos) {
            Line(m_pending.substr(0, end));
            m_pending.erase(0, end + 1);
        }
    }

    uint64_t ErrorLines() const { return m_errorLines; }
    void Finish() {
        if (!m_pending.empty()) Line(m_pending);
        m_pending.clear();
        m_meter.Clear();
        if (m_keptLines > MAX_KEPT_LINES && !m_options.json && !m_options.verbose)
            m_ctx.out << "... and " << (m_keptLines - MAX_KEPT_LINES)
                      << " more files kept that differ (--verbose lists them all)\n";
        m_keptLines = 0;
    }

private:
    void Line(std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return;
        if (line.rfind(ERROR_LINE_PREFIX, 0) == 0) {
            ++m_errorLines;
            m_meter.Clear();
            m_ctx.err << Printable(line) << '\n' << std::flush;
            return;
        }
        const char* action = nullptr;
        if (line.rfind(LOG_WOULD_WRITE, 0) == 0) action = "write";
        else if (line.rfind(LOG_WOULD_REPLACE, 0) == 0) action = "replace";
        else if (line.rfind(LOG_WOULD_SKIP, 0) == 0) action = "skip";
        else if (line.rfind(LOG_WOULD_IMPORT, 0) == 0) action = "import";
        else if (line.rfind(LOG_KEPT, 0) == 0) action = "keep";
        if (action != nullptr && m_options.json) {
            m_result.listed.push_back({action, QuotedPath(line, 0)});
            return;
        }
        const bool kept = action != nullptr && std::string(action) == "keep";
        if (kept) ++m_keptLines;
        if (m_options.verbose || (action != nullptr && (!kept || m_keptLines <= MAX_KEPT_LINES))) {
            m_meter.Clear();
            m_ctx.out << Printable(line) << '\n';
        }
    }

    // The engine's summary: its last text, line by line, with the finish time written as
    // every time tavctl shows; the counts are kept for --json.
    void End() {
        if (!m_pending.empty()) Line(m_pending);
        m_pending.clear();
        m_meter.Clear();
        RestoreModuleSummary summary;
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < m_last.size()) {
            size_t end = m_last.find('\n', start);
            if (end == std::string::npos) end = m_last.size();
            std::string line = m_last.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line.rfind(ERROR_LINE_PREFIX, 0) == 0) continue;
            if (line.rfind(FINISH_PREFIX, 0) == 0) {
                const size_t colon = line.find(": ");
                summary.module = line.substr(std::strlen(FINISH_PREFIX),
                                             colon == std::string::npos ? std::string::npos
                                                                        : colon - std::strlen(FINISH_PREFIX));
                line = m_options.dryRun
                           ? plat::Format(MSG_DRY_RUN_HEADING, summary.module.c_str())
                           : line.substr(0, colon == std::string::npos ? line.size() : colon) + ": " +
                                 FormatLocalTime(plat::NowSeconds());
            }
            CountLine(line, " Files Succeed", summary.succeeded);
            CountLine(line, " Files Overwritten", summary.overwritten);
            CountLine(line, " Files are already up to date", summary.upToDate);
            CountLine(line, " Items Error", summary.errors);
            CountLine(line, SUMMARY_KEPT_SUFFIX, summary.kept);
            lines.push_back(line);
        }
        if (!summary.module.empty()) m_result.summaries.push_back(summary);
        if (m_options.verbose || m_options.json) return;  // already shown line by line, or JSON
        for (const std::string& line : lines) m_ctx.out << Printable(line) << '\n';
        m_ctx.out.flush();
    }

    CCliContext& m_ctx;
    const RestoreRunOptions& m_options;
    const cmdhost::CStopSignal& m_stop;
    RestoreRunResult& m_result;
    CProgressMeter m_meter;
    std::string m_pending;
    std::string m_last;
    std::string m_item;
    uint64_t m_itemSize = 0, m_filesDone = 0, m_bytesDone = 0;
    uint64_t m_errorLines = 0;
    uint64_t m_keptLines = 0;
    bool m_stopAsked = false;
};

}  // namespace

RestoreRunResult RunRestoreEngines(CTavRepository& repository, const std::vector<TavNodeRec>& roots,
                                   const std::string& request, const RestoreRunOptions& options,
                                   CCliContext& ctx) {
    RestoreRunResult result;
    CTavModFactory hub(HUB_COMMAND_BASE);
    hub.Reconnoiter();
    cmdhost::CStopSignal stop;
    CRestoreObserver observer(ctx, options, stop, result);

    // The engine sequence every program runs; tavctl reports its problems as error lines.
    CRestoreSequence sequence(
        hub, repository, request, &observer, options.prepare,
        [&](CRestoreSequence::Problem problem, const std::string& root, const std::string& module,
            const std::string& detail) {
            const std::string name = Printable(root);
            switch (problem) {
                case CRestoreSequence::Problem::NoModule:
                    Fail(ctx, options.subject, plat::Format(ERR_NO_MODULE, name.c_str(), module.c_str()));
                    break;
                case CRestoreSequence::Problem::NoEngine:
                    Fail(ctx, options.subject, plat::Format(ERR_NO_ENGINE, name.c_str(), module.c_str()));
                    break;
                case CRestoreSequence::Problem::Refused:
                    Fail(ctx, options.subject, plat::Format(ERR_PREPARE_REFUSED, name.c_str()));
                    break;
                case CRestoreSequence::Problem::Threw:
                    Fail(ctx, options.subject, plat::Format(ERR_ENGINE_THREW, name.c_str(), detail.c_str()));
                    break;
                case CRestoreSequence::Problem::Failed:
                    Fail(ctx, options.subject, plat::Format(ERR_ENGINE_FAILED, name.c_str()));
                    break;
            }
        });
    if (sequence.Prepare(roots))
        sequence.Run([&] { return stop.Raised(); }, [&] { observer.Finish(); });
    sequence.Finish();
    result.engines = sequence.EnginesRun();
    result.failedRoots = sequence.FailedRoots();
    result.cancelled = sequence.Cancelled();
    result.errorLines = observer.ErrorLines();
    return result;
}

}  // namespace tavctl
