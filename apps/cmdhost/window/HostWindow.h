// CHostWindow: the command host's window: what runs ("Working TavJob", the image path, the
// start text), the engine's progress title, item and bar, "Hide" and "Stop"; with the tray
// icon ("Open", "Stop") and the about box. It is the run's view: the runner shows its
// messages and asks its questions through it, and it pumps its events between items.
#pragma once
#include <QDialog>
#include <memory>

#include "CmdHostApp.h"
#include "HostPublisher.h"
#include "RunnerView.h"

class CTavModFactory;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tavui {
class IPrompt;
}

namespace cmdhost {

class CHostTray;

// Ids of the controls (their objectName).
constexpr int ID_HIDE = 1;
constexpr int ID_STOP = 1005;
constexpr int ID_WORKING = 1006;
constexpr int ID_IMAGE_PATH = 1002;
constexpr int ID_START_TEXT = 1003;
constexpr int ID_PROGRESS_TITLE = 1000;
constexpr int ID_PROGRESS_ITEM = 1001;
constexpr int ID_PROGRESS_BAR = 1004;

class CHostWindow : public QDialog, public CRunnerView {
    Q_OBJECT
public:
    // `withTray`: show a tray icon (where the desktop has one). The hub and the prompt
    // must outlive the window.
    CHostWindow(const CTavModFactory& hub, tavui::IPrompt& prompt, bool withTray);
    ~CHostWindow() override;

    // Handles the command line (token 0 the program) and runs the job; the exit status.
    int HandleTokens(const std::vector<std::string>& tokens);
    CCmdHostApp& App() { return m_app; }
    CHostPublisher& Publisher() { return m_publisher; }
    CHostTray* Tray() { return m_tray.get(); }

    // The user's ways to stop: the Stop button, the tray's Stop, Escape and closing. Asks
    // "Do you want to stop operation?" when the window is shown; stops at once when hidden.
    void AskToStop();
    // The tray's "Open" and a double click on the icon.
    void OpenFromTray();
    void ShowAbout();
    bool Running() const { return m_running; }

    // CRunnerView
    bool IsVisible() const override { return isVisible(); }
    void Hide() override { hide(); }
    void SetTitle(const std::string& title) override;
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    void ReportProblem(const std::string& text) override;
    void ShowUsage(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    bool ChooseImagePath(std::string& path, bool forSaving) override;
    void OnEngineEvent(EngineEvent event, const HostStatusRecord& status) override;
    void OnJobRecord(const HostJobRecord& record) override;
    bool Pump() override;
    void OnRunEnded(const RunSummary& summary) override;

    void reject() override;  // Escape: as Stop

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowStatus(const HostStatusRecord& status, bool force);
    void SetElided(QLabel* label, const std::string& text);

    tavui::IPrompt& m_prompt;
    CHostPublisher m_publisher;
    CCmdHostApp m_app;
    std::unique_ptr<CHostTray> m_tray;
    QLabel* m_working = nullptr;
    QLabel* m_imagePath = nullptr;
    QLabel* m_startText = nullptr;
    QLabel* m_progressTitle = nullptr;
    QLabel* m_progressItem = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_hide = nullptr;
    QPushButton* m_stop = nullptr;
    HostJobRecord m_job;
    bool m_running = false;
    bool m_failureShown = false;
    bool m_stopAsked = false;  // a question is open: a second Stop does not ask again
    uint64_t m_lastDraw = 0;
    uint64_t m_lastPump = 0;
    QTimer* m_serveTimer = nullptr;
};

}  // namespace cmdhost
