// CHostObserver: the command host's engine observer; it keeps the run's records, the stop
// flag and the counters, writes the run log and tells the view.
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "HostRecords.h"
#include "RunCounters.h"
#include "RunSummary.h"
#include "RunnerView.h"
#include "tavengine/TavEngineObserver.h"

namespace cmdhost {

// Subscribed to every engine of a run. Records are written without waiting: a window that
// serves them to other programs guards them with its own locks.
class CHostObserver : public CTavEngineObserver {
public:
    explicit CHostObserver(CRunnerView& view) : m_view(view) {}

    // Stores the report, tells the view and lets it pump; cancels the engine when a stop
    // has been asked for (before or during the pump).
    void OnTavEngineProgress(CTavEngine* engine, const std::string& title, const std::string& item,
                             uint32_t percent) override;
    void OnTavEngineStart(CTavEngine* engine) override;
    // Closes the engine's part of the log with the line of hyphens.
    void OnTavEngineFinish(CTavEngine* engine) override;
    void OnTavEngineCancelled(CTavEngine* engine) override;
    // Appends the text to the run log, keeps it as the last log text and reads counters.
    void OnTavEngineLogNotify(CTavEngine* engine, const std::string& text) override;
    // Keeps the item for the run's list of items in error.
    void OnTavEngineItemError(CTavEngine* engine, const std::string& item,
                              const std::string& reason) override;

    // The stop flag: set by the user (window, tray, Ctrl-C), read at each progress report.
    void RequestStop() { m_stop = true; }
    void ClearStop() { m_stop = false; }
    bool IsStopRequested() const { return m_stop; }

    // Zeroes the records and counters for a new run.
    void Reset();
    void SetRunState(uint32_t state);
    HostJobRecord& JobRecord() { return m_job; }
    const HostJobRecord& JobRecord() const { return m_job; }
    const HostStatusRecord& StatusRecord() const { return m_status; }
    const HostLogRecord& LogRecord() const { return m_log; }
    const RunCounters& Counters() const { return m_counters; }
    const std::vector<ItemError>& ItemErrors() const { return m_itemErrors; }

private:
    void EngineEvent(cmdhost::EngineEvent event, uint32_t runState);

    CRunnerView& m_view;
    std::atomic<bool> m_stop{false};
    HostJobRecord m_job;
    HostStatusRecord m_status;
    HostLogRecord m_log;
    RunCounters m_counters;
    std::vector<ItemError> m_itemErrors;
};

}  // namespace cmdhost
