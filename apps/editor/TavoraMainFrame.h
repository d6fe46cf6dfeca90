// CTavoraMainFrame: the editor's window (menus, toolbar, status bar, page buttons and the
// pages) and the handling of its one job document.
#pragma once
#include <QMainWindow>
#include <functional>
#include <map>

#include "core/EditorSettings.h"
#include "core/TavoraDoc.h"

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

    CTavoraDoc& Doc() { return m_doc; }
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
    // Opens the job files of the command line (the first one).
    void HandleCommandLine(const QStringList& arguments);
    // Every page reloads its data from the job.
    void Refresh();

    // Seams for tests: the documents folder, how programs and folders are opened.
    std::function<std::string()> documentsFolder;
    std::function<bool(const QString& program, const QStringList& args)> startProgram;
    std::function<bool(const QString& path)> openFolder;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildToolbar();
    void UpdateRecentMenu();
    void UpdateTitle();
    void OnOpen();
    void OnStartBrowser(bool restore);
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
    CSubViewFiles* m_files;
    QMenu* m_recentMenu = nullptr;
    std::map<int, QAction*> m_actions;
};
