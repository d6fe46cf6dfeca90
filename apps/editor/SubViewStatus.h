// CSubViewStatus: the STATUS page. Shows the job's image files and the state of a run of
// the job (the editor's own Backup Now, or the command host's run of the same job, which it
// reads through IHostRunSource), the run's log, its progress, and "Stop".
//
// As the editor's run's engine observer and repository error callback it is called on the
// run's worker thread: it hands everything to the window's thread, and asks its questions
// there while the worker waits.
#pragma once
#include <QWidget>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "HostRunSource.h"
#include "tavengine/TavEngineObserver.h"
#include "tavrep/TavRepository.h"

class CTavoraDoc;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
namespace editor {
class CBackupRun;
}
namespace tavui {
class IPrompt;
}

class CSubViewStatus : public QWidget,
                       public CTavEngineObserver,
                       public CTavRepErrorCallback,
                       public IHostRunSink {
    Q_OBJECT
public:
    CSubViewStatus(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    ~CSubViewStatus() override;

    // The job's image files again, and a command-host run of the job looked for.
    void LoadFromJob();
    // The information list with the status text ("Busy"), or "OK" for none.
    void RefreshInfo(const std::string& status = {});
    void SetHostRunSource(IHostRunSource* source) { m_hostRuns = source; }

    // The editor's run: it starts (the log file is begun with the run's command word), it
    // ended (whatever way).
    void OnRunStarts(editor::CBackupRun& run);
    void OnRunEnded();
    // "Stop": asks, then stops the run at the engine's next report.
    void OnStop();
    bool StopRequested() const { return m_stop.load(); }
    // When true (tests), the observer runs on the window's thread and lets waiting events
    // run on every progress report, as a run without a worker must.
    void SetInlineRun(bool inlineRun) { m_inline = inlineRun; }

    // CTavEngineObserver (the run's thread).
    void OnTavEngineProgress(CTavEngine* engine, const std::string& title, const std::string& item,
                             uint32_t percent) override;
    void OnTavEngineStart(CTavEngine*) override {}
    void OnTavEngineFinish(CTavEngine* engine) override;
    void OnTavEngineCancelled(CTavEngine* engine) override;
    void OnTavEngineLogNotify(CTavEngine* engine, const std::string& text) override;
    // CTavRepErrorCallback (the run's thread).
    int32_t OnChangePath(CTavRepository* repository, std::string& path) override;
    int32_t OnChangeDisk(CTavRepository* repository, std::string& path) override;
    // IHostRunSink (the window's thread).
    void OnHostRunState(uint32_t state) override;
    void OnHostProgress(const std::string& title, const std::string& item, uint32_t percent) override;

private:
    void ShowRunning(bool running);
    void SetProgress(const QString& text, int percent);
    void AppendLog(const std::string& text);
    void FlushLog();
    void CountReport();
    int32_t AskForPath(const char* question, std::string& path, bool forSaving);
    // Runs `work` on the window's thread: at once when called there, else queued.
    void Post(std::function<void()> work);

    CTavoraDoc& m_doc;
    tavui::IPrompt& m_prompt;
    IHostRunSource* m_hostRuns = nullptr;
    editor::CBackupRun* m_run = nullptr;
    QTreeWidget* m_info;
    QPlainTextEdit* m_log;
    QLabel* m_status;
    QProgressBar* m_progress;
    QPushButton* m_stopButton;
    std::atomic<bool> m_stop{false};
    bool m_inline = false;
    int m_reports = 0;
    bool m_showsBusy = false;  // the information list says "Busy"
    // What the worker has to show, collected until the window's thread takes it.
    std::mutex m_pendingLock;
    std::string m_pendingLog;
    bool m_logPosted = false;
    int m_lastPercent = -1;
    uint64_t m_lastReportMs = 0;
};
