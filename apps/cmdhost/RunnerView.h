// CRunnerView: what a job run shows and asks (the host window, a terminal, or a test).
#pragma once
#include <string>

#include "HostRecords.h"
#include "RunSummary.h"

namespace cmdhost {

enum class MessageIcon { Information, Exclamation, Question };

// The engine events that the host window reacts to (its message 0x4F4 with 1, 2, 3, 4).
enum class EngineEvent { Start = 1, Progress = 2, Finish = 3, Cancel = 4 };

// Every call comes on the thread that runs the job. The runner owns no view; the view
// must outlive the runs it is given to.
class CRunnerView {
public:
    virtual ~CRunnerView() = default;

    // Whether the window is shown: message boxes appear only then, and the repository's
    // questions (another image path?) can be asked only then.
    virtual bool IsVisible() const = 0;
    // "SW_HIDE": hide the window (the run goes on).
    virtual void Hide() = 0;
    virtual void SetTitle(const std::string& title) {}
    // A message box.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // A warning during a run (a module passed over, no run log, a question that could not
    // be asked), whether or not the window is shown. Why a run saved nothing is in its
    // RunSummary instead.
    virtual void ReportProblem(const std::string& text) {}
    // The command line's usage, asked for by "--help".
    virtual void ShowUsage(const std::string& text) {}
    // A Yes/No question; false for No or when it cannot be asked.
    virtual bool AskYesNo(const std::string& question) { return false; }
    // Lets the user pick an image file (`forSaving`: a new file on another drive). False
    // when cancelled; else the chosen path is in `path`.
    virtual bool ChooseImagePath(std::string& path, bool forSaving) { return false; }

    // Engine events, after the runner has updated its records.
    virtual void OnEngineEvent(EngineEvent event, const HostStatusRecord& status) {}
    virtual void OnLogText(const std::string& text) {}
    // The job record changed (filled at the start, run state on each event).
    virtual void OnJobRecord(const HostJobRecord& record) {}
    // The run's transaction is open: the named event message is fired once.
    virtual void FireEvent(const std::string& name) {}
    // Called on every progress report: lets waiting work of the window run. True when the
    // user asked to stop (a window may instead call CJobRunner::RequestStop directly).
    virtual bool Pump() { return false; }
    // The run is over (whatever way it ended), before the closing message box.
    virtual void OnRunEnded(const RunSummary& summary) {}
};

}  // namespace cmdhost
