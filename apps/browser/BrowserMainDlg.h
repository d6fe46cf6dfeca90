// CBrowserMainDlg: the browser's main window: the baseline drop-down, the tree and list of
// the loaded baseline, Restore and Extract, the modules' command buttons, menus and the
// context menu. The repository work is CBrowserDocument's; this class wires the widgets.
#pragma once
#include <QDialog>
#include <QPoint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "BrowserDocument.h"
#include "RunContext.h"

class CTavModFactory;
class CTlcDataProvider;
class CTreeListCtrl;
class QAction;
class QComboBox;
class QHBoxLayout;
class QVBoxLayout;
class QMenu;
class QPushButton;
namespace tavui { class IPrompt; }

class CBrowserMainDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 102;
    CBrowserMainDlg(CTavModFactory* hub, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    ~CBrowserMainDlg() override;

    // Opens a repository and shows its newest baseline; false leaves the window as it was
    // (apart from the previous repository, which is closed).
    bool OpenRepository(const std::string& path);
    // File > Open: the file dialog until a file opens or the user cancels.
    void OpenDialogLoop();
    // The program's arguments (without the program name).
    void HandleCommandLine(const QStringList& arguments);
    void FillBaselineList();
    void LoadSelectedBaseline();
    void RefreshCommandStates();
    // The item a command acts on (see the focus rules); null when none.
    CTlcDataProvider* CurrentItem(bool forRefresh) const;

    void OnRestore();
    void OnExtract();
    void OnChangePassword();
    void OnSelection();
    void OnHelp();
    void OnAbout();
    void OnModuleCommand(uint32_t id);
    // The context menu for `provider` (null when there is none for it); the caller owns it.
    QMenu* BuildContextMenu(CTlcDataProvider* provider);

    CBrowserDocument& Document() { return m_document; }
    CTreeListCtrl* TreeList() const { return m_treeList; }
    QComboBox* BaselineCombo() const { return m_baselines; }
    QPushButton* RestoreButton() const { return m_restore; }
    QPushButton* ExtractButton() const { return m_extract; }
    const std::vector<QPushButton*>& ModuleButtons() const { return m_moduleButtons; }
    QAction* Action(int id) const;
    BrowserRunContext RunContext();

    // Hooks (tests replace them): how a modal dialog runs, how the run summary is shown,
    // and how a document is opened on the desktop.
    std::function<int(QDialog&)> execDialog;
    std::function<void(const std::string&, const std::string&)> showSummary;
    std::function<bool(const QString&)> openDocument;
    // Where the help is looked for (the installed documentation's index page).
    static QString HelpFile();

private:
    void BuildMenus(QVBoxLayout* layout);
    void ShowDamageNotes();
    void RebuildModuleButtons();
    void ShowContextMenu(CTlcDataProvider* provider, const QPoint& globalPos);
    const struct TavModDesc* ModuleOf(CTlcDataProvider* provider) const;
    bool CommandEnabled(const std::string& procName, CTlcDataProvider* root, CTlcDataProvider* item) const;

    CTavModFactory* m_hub;
    tavui::IPrompt& m_prompt;
    CBrowserDocument m_document;
    CBrowserErrorCallback m_callback;
    CTreeListCtrl* m_treeList;
    QComboBox* m_baselines;
    QPushButton* m_restore;
    QPushButton* m_extract;
    QHBoxLayout* m_buttonRow;
    std::vector<QPushButton*> m_moduleButtons;
    std::vector<std::string> m_moduleCommandNames;
    std::vector<QWidget*> m_moduleSpacers;
    CTlcDataProvider* m_activeRoot = nullptr;
    CTlcDataProvider* m_contextProvider = nullptr;
    std::map<int, QAction*> m_actions;
};
