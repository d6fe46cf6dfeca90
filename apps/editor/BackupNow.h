// CBackupNow: Tools > "Backup Now": asks the backup type, makes sure the job is saved,
// prepares the run, runs the modules' engines on a worker thread while the STATUS page shows
// the progress, and says how the run ended.
#pragma once
#include <QObject>
#include <functional>
#include <memory>
#include <thread>

class CSubViewStatus;
class CTavModFactory;
class CTavoraDoc;
class IHostRunSource;
class QWidget;
namespace editor {
class CBackupRun;
}
namespace tavui {
class IPrompt;
}

class CBackupNow : public QObject {
    Q_OBJECT
public:
    CBackupNow(CTavoraDoc& doc, tavui::IPrompt& prompt, const CTavModFactory& hub, CSubViewStatus& status,
               QWidget* window);
    ~CBackupNow() override;

    // The whole sequence; false when no run was started.
    bool Start();
    bool IsRunning() const { return m_run != nullptr; }
    // Stops the running engine (closing the window during a run).
    void RequestStop();
    // Blocks until the worker is done and the run is finished (tests and shutting down).
    void WaitForEnd();
    // Stops a run and waits for it without telling anyone (the window is going away).
    void Abandon();

    // Seams set by the main frame: the save prompt, showing the STATUS page, the commands a
    // run disables, runs of the command host, and running on the window's thread (tests).
    std::function<bool()> saveModified;
    std::function<void()> showStatusPage;
    std::function<void(bool running)> runningChanged;
    IHostRunSource* hostRuns = nullptr;
    bool runOnWorker = true;

signals:
    // The run is over and its outcome was told.
    void finished();

private:
    void OnWorkerDone();

    CTavoraDoc& m_doc;
    tavui::IPrompt& m_prompt;
    const CTavModFactory& m_hub;
    CSubViewStatus& m_status;
    QWidget* m_window;
    std::unique_ptr<editor::CBackupRun> m_run;
    std::thread m_worker;
};
