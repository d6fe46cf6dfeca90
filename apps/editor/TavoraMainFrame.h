// CTavoraMainFrame: the editor's window (menus, toolbar, status bar, page buttons and the
// pages) and the handling of its one job document.
#pragma once
#include <QMainWindow>
#include <functional>
#include <map>

#include "core/EditorSettings.h"
#include "core/TavoraDoc.h"

class CBackupNow;
class IHostRunSource;
class CSubViewHistory;
class CSubViewStatus;
class CSubViewSchedule;
class CSubViewFiles;
class CSubViewSettings;
class CTavModFactory;
class CViewSelectorBar;
class QStackedWidget;
namespace tavui {
class IPrompt;
}

class CTavoraMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CTavoraMainFrame(CTavModFactory* hub, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    ~CTavoraMainFrame() override;

    CTavoraDoc& Doc() { return m_doc; }
    CBackupNow& BackupNow() { return *m_backupNow; }
    // Where Backup Now and the STATUS page learn of the command host's runs (null: none).
    void SetHostRunSource(IHostRunSource* source);
    QAction* Action(int id) const;
    // Shows a page by name (letter case ignored); false when there is none.
    bool SelectPage(const QString& name);
    QWidget* CurrentPage() const;

    // Document handling; each returns false when the user cancelled or it failed.
    bool NewJob();
    bool OpenJob(const std::string& path);
    bool SaveJob();
    bool SaveJobAs();
    // Asks to save a modified job: Yes saves, No goes on, Cancel gives up.
    bool SaveModified();
    // Makes sure the job has a file: asks to save it when it has none. False when it still
    // has none; the job then stays marked modified, so that its edits are not lost.
    bool EnsureSavedJob();
    // Files dropped on the window: the first opens as the job. False when none opened.
    bool OpenDroppedFiles(const QStringList& files);
    // Opens the job files of the command line (the first one).
    void HandleCommandLine(const QStringList& arguments);
    // Every page reloads its data from the job.
    void Refresh();

    // Seams for tests: the documents folder, how programs and folders are opened.
    std::function<std::string()> documentsFolder;
    std::function<bool(const QString& program, const QStringList& args)> startProgram;
    std::function<bool(const QString& path)> openFolder;
    // Brings another program's window of this title to the front; false when there is none.
    std::function<bool(const std::string& title)> bringToFront;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* CreatePage(size_t index);
    void OnScheduledTasks();
    void BuildMenus();
    void BuildToolbar();
    void UpdateRecentMenu();
    void UpdateTitle();
    void OnOpen();
    void OnStartBrowser(bool restore);
    // Tools > Backup Now: the command host runs the saved job.
    // Starts one of the suite's programs beside the editor; says so when it cannot.
    bool StartSuiteProgram(const char* name, const std::vector<std::string>& arguments);
    void OnExplorer();
    void OnOptions();
    void OnHelp();
    void OnAbout();
    bool WriteJob(const std::string& path);

    CTavModFactory* m_hub;
    tavui::IPrompt& m_prompt;
    CTavoraDoc m_doc;
    editor::CRecentFiles m_recent;
    CViewSelectorBar* m_selector;
    QStackedWidget* m_view;
    CSubViewSettings* m_settings;
    CSubViewSchedule* m_schedule = nullptr;
    CSubViewHistory* m_history = nullptr;
    CSubViewStatus* m_status = nullptr;
    CBackupNow* m_backupNow = nullptr;
    bool m_closeWhenDone = false;
    CSubViewFiles* m_files = nullptr;
    QMenu* m_recentMenu = nullptr;
    std::map<int, QAction*> m_actions;
};
