// CJobRunner: one backup run of a job file, from loading the job to committing (or rolling
// back) the new baseline, as the command host and tavctl perform it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "HostErrorCallback.h"
#include "HostObserver.h"
#include "HostRecords.h"
#include "RunSummary.h"
#include "RunnerView.h"

class CTavModFactory;
class CTavJobHelper;
class CTavRepository;
class CTavRepBaselineDetails;

namespace cmdhost {

// A scheduled run (the command host: the log starts with "====SCHEDULED BACKUP====" and
// the baseline is described as "Scheduled Backup") or one started by hand ("Manual Backup").
enum class RunKind { Scheduled, Manual };

// Runs backups on the caller's thread. Modules are reached through the hub only. The hub
// and the view must outlive the runner; one run at a time.
class CJobRunner {
public:
    CJobRunner(const CTavModFactory& hub, CRunnerView& view);
    ~CJobRunner();
    CJobRunner(const CJobRunner&) = delete;
    CJobRunner& operator=(const CJobRunner&) = delete;

    // Backs up the job (full or incremental) into a new baseline. The result stays valid
    // until the next run.
    const RunSummary& RunJob(const std::string& jobPath, bool full, RunKind kind = RunKind::Scheduled);

    // Asks the running engine to stop at its next progress report; a stop asked for before
    // the modules start keeps them from starting. Either way nothing is committed.
    void RequestStop() { m_observer.RequestStop(); }
    bool IsStopRequested() const { return m_observer.IsStopRequested(); }

    const RunSummary& LastRun() const { return m_summary; }
    // The records a window publishes.
    const HostJobRecord& JobRecord() const { return m_observer.JobRecord(); }
    const HostStatusRecord& StatusRecord() const { return m_observer.StatusRecord(); }
    const HostLogRecord& LogRecord() const { return m_observer.LogRecord(); }
    // "Tavora Command Host", or "TavCmdHost Backup: <image path>" once a run has begun.
    const std::string& Title() const { return m_title; }

private:
    struct CRun;
    // Refuses a job that cannot run: one that names nothing to back up, or a module that is
    // not installed. Nothing is created then.
    bool CheckJob(CRun& run);
    bool OpenRepository(CRun& run);
    bool RunModules(CRun& run);
    void FinishTransaction(CRun& run, bool allSucceeded);
    // `accessDenied`: the repository could not be had (the log's "Access denied" text);
    // otherwise the reason alone says why.
    void FailToStart(CRun& run, const std::string& reason, bool accessDenied = true);
    void End(uint64_t startMillis);
    void Log(const std::string& text);
    void Message(const char* text, MessageIcon icon);

    const CTavModFactory& m_hub;
    CRunnerView& m_view;
    CHostObserver m_observer;
    CHostErrorCallback m_errorCallback;
    RunSummary m_summary;
    std::string m_title;
};


}  // namespace cmdhost
