// CRunPanel: the run part the Restore and Extract dialogs share: the status text and the
// progress bar beside the dialog's start button, which reads "Stop" while a run goes on;
// the stop question; the progress and log of the run; and its end (the engines finished
// and released, then the summary, unless the user stopped the run).
#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "RunContext.h"

class CEngineRun;
class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;

class CRunPanel : public QObject {
    Q_OBJECT
public:
    // `button`: the dialog's start button; its text comes back when a run ends.
    CRunPanel(QDialog& dialog, QPushButton& button, const BrowserRunContext& context);
    ~CRunPanel() override { Abort(); }
    // Stops a run still going and ends it at once (its summary is not shown). Dialogs call
    // it as they close, while what the engines may call back into still exists.
    void Abort();

    QLabel* Status() const { return m_status; }
    QProgressBar* Progress() const { return m_progress; }
    bool IsRunning() const { return m_run != nullptr; }
    CEngineRun* Run() const { return m_run.get(); }

    // While a run goes on: asks "Do you want to stop restoring?" (No is the default) and
    // asks the run to stop on Yes. False when no run goes on.
    bool AskStop();
    // Takes a prepared run and starts it on its worker thread, showing `startingText`.
    void Start(std::unique_ptr<CEngineRun> run, const char* startingText);

    // Told when a run starts (true) and after it ended (false), before the summary shows:
    // the dialog applies its enabling rules and its own views.
    std::function<void(bool running)> onRunning;
    // The text the run's log gained, whenever it grows (null: the log is not followed).
    std::function<void(const std::string& added)> onLog;

private:
    void OnFinished();
    void EndRun();

    QDialog& m_dialog;
    QPushButton& m_button;
    BrowserRunContext m_context;
    QString m_idleText;
    std::unique_ptr<CEngineRun> m_run;
    QLabel* m_status;
    QProgressBar* m_progress;
};
