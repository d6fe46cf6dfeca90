// The engines of a restore and what the terminal shows of them.
#include "RestoreRunner.h"

#include <exception>
#include <ostream>

#include "BaselineView.h"
#include "CliCommon.h"
#include "ConsoleView.h"
#include "HostRecords.h"
#include "JobFile.h"
#include "NodeFormat.h"
#include "Progress.h"
#include "RestoreCliText.h"
#include "StopSignal.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavModFactory.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"

namespace tavctl {

using namespace restoretext;

namespace {

constexpr const char* ERROR_LINE_PREFIX = "***** ";
constexpr const char* MSG_STOPPING =
    "Stopping: the file being written is not kept; files restored so far stay.";

std::string FourCC(uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((id >> shift) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

// Shows an engine's run: the progress bar, the error lines of its log as they come (on the
// error stream), and its summary (the last text before it finished) or, when verbose, every
// line of the log.
class CRestoreObserver : public CTavEngineObserver {
public:
    CRestoreObserver(CCliContext& ctx, bool verbose, const cmdhost::CStopSignal& stop)
        : m_ctx(ctx), m_verbose(verbose), m_stop(stop), m_progress(ctx.err, ctx.progress),
          m_columns(cmdhost::CConsoleView::TerminalColumns()) {}

    void OnTavEngineProgress(CTavEngine* engine, const std::string& title, const std::string& item,
                             uint32_t percent) override {
        if (m_stop.Raised()) {
            if (!m_stopAsked) {
                m_stopAsked = true;
                m_progress.Clear();
                m_ctx.err << MSG_STOPPING << '\n' << std::flush;
            }
            engine->CancelOperation();
        }
        m_progress.Update([&] {
            cmdhost::HostStatusRecord status;
            status.title = title;
            status.item = item;
            status.percent = percent;
            return cmdhost::CConsoleView::RenderProgressLine(status, m_columns);
        });
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
        m_progress.Clear();
    }

private:
    void Line(std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return;
        if (line.rfind(ERROR_LINE_PREFIX, 0) == 0) {
            ++m_errorLines;
            m_progress.Clear();
            m_ctx.err << Printable(line) << '\n' << std::flush;
        } else if (m_verbose) {
            m_progress.Clear();
            m_ctx.out << Printable(line) << '\n';
        }
    }

    // The engine's summary: its last text, line by line.
    void End() {
        if (!m_pending.empty()) Line(m_pending);
        m_pending.clear();
        m_progress.Clear();
        if (m_verbose) return;  // already shown line by line
        std::string text = m_last;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line.rfind(ERROR_LINE_PREFIX, 0) != 0)
                m_ctx.out << Printable(line) << '\n';
            start = end + 1;
        }
        m_ctx.out.flush();
    }

    CCliContext& m_ctx;
    bool m_verbose;
    const cmdhost::CStopSignal& m_stop;
    CProgress m_progress;
    unsigned m_columns;
    std::string m_pending;
    std::string m_last;
    uint64_t m_errorLines = 0;
    bool m_stopAsked = false;
};

struct Prepared {
    CTavEngine* engine;
    std::string rootName;
};

// Calls into module code, which must not let exceptions out; if one does, it ends that
// root's restore with a message instead of the program.
template <typename Call>
bool Guarded(CCliContext& ctx, const RestoreRunOptions& options, const std::string& rootName,
             Call call) {
    std::string problem;
    try {
        call();
        return true;
    } catch (CTavException* e) {
        problem = TakeException(e);
    } catch (const std::exception& e) {
        problem = e.what();
    } catch (...) {
        problem = "unexpected failure";
    }
    Fail(ctx, options.subject, Printf(ERR_ENGINE_THREW, Printable(rootName).c_str(), problem.c_str()));
    return false;
}

}  // namespace

RestoreRunResult RunRestoreEngines(CTavRepository& repository, const std::vector<TavNodeRec>& roots,
                                   const std::string& request, const RestoreRunOptions& options,
                                   CCliContext& ctx) {
    RestoreRunResult result;
    CTavModFactory hub(HUB_COMMAND_BASE);
    hub.Reconnoiter();
    cmdhost::CStopSignal stop;
    CRestoreObserver observer(ctx, options.verbose, stop);

    std::vector<Prepared> engines;
    bool goOn = true;
    for (const TavNodeRec& root : roots) {
        const std::string name = NodeName(root);
        const TavModDesc* module = hub.GetModDesc(root.moduleId);
        if (module == nullptr || module->createEngine == nullptr) {
            Fail(ctx, options.subject,
                 Printf(ERR_NO_MODULE, Printable(name).c_str(), FourCC(root.moduleId).c_str()));
            ++result.failedRoots;
            continue;
        }
        CTavEngine* engine = nullptr;
        Guarded(ctx, options, name, [&] { engine = module->createEngine(); });
        if (engine == nullptr) {
            Fail(ctx, options.subject,
                 Printf(ERR_NO_ENGINE, Printable(name).c_str(), FourCC(root.moduleId).c_str()));
            ++result.failedRoots;
            continue;
        }
        engine->SubscribeNotify(&observer);
        engines.push_back({engine, name});
        if (!options.prepare) continue;
        int32_t prepared = 0;
        Guarded(ctx, options, name,
                [&] { prepared = engine->PreRestoreProcess(request, &repository); });
        if (prepared == 0) {
            Fail(ctx, options.subject, Printf(ERR_PREPARE_REFUSED, Printable(name).c_str()));
            ++result.failedRoots;
            goOn = false;
            break;
        }
    }

    for (const Prepared& prepared : engines) {
        if (!goOn || stop.Raised()) break;
        int32_t done = 0;
        const bool returned =
            Guarded(ctx, options, prepared.rootName,
                    [&] { done = prepared.engine->Restore(request, &repository); });
        observer.Finish();
        ++result.engines;
        const uint32_t state = prepared.engine->GetEngineState();
        if (state == TAV_ENGINE_CANCELLED || stop.Raised()) {
            result.cancelled = true;
        } else if (!returned || done == 0 || state != TAV_ENGINE_FINISHED) {
            if (returned)
                Fail(ctx, options.subject, Printf(ERR_ENGINE_FAILED, Printable(prepared.rootName).c_str()));
            ++result.failedRoots;
        }
    }

    for (const Prepared& prepared : engines) {
        if (options.prepare)
            Guarded(ctx, options, prepared.rootName,
                    [&] { prepared.engine->PostRestoreProcess(request, &repository); });
        prepared.engine->SubscribeNotify(nullptr);
        Guarded(ctx, options, prepared.rootName, [&] { prepared.engine->Dispose(); });
    }
    result.errorLines = observer.ErrorLines();
    return result;
}

}  // namespace tavctl
