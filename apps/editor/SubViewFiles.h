// CSubViewFiles: the FILES page. One tree root per installed module, made by the module's
// job-root procedure over the module's backup node; the module's job-control commands as
// buttons above the tree and as the context menu; dropped paths go to each module's drop
// procedure. The page knows the modules only through their descriptors.
#pragma once
#include <QWidget>
#include <string>
#include <vector>

#include "tavengine/XMLNode.h"

class CTavModFactory;
class CTavoraDoc;
class CTlcDataProvider;
class CTreeListCtrl;
class QHBoxLayout;
class QMenu;
class QPushButton;
struct TavModDesc;
namespace tavui {
class IPrompt;
}

class CSubViewFiles : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 103;
    static constexpr int TREE_ID = 1054;
    static constexpr int LIST_ID = 1017;
    static constexpr int SPLITTER_ID = 1059;

    CSubViewFiles(CTavoraDoc& doc, CTavModFactory* hub, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    ~CSubViewFiles() override;

    // Builds the roots from the job (adding a backup node for a module the job has none
    // for) and lets each module load its part. The job is not marked modified.
    void LoadFromJob();
    // Lets each module store its tree into the job.
    void SaveToJob();
    // Reloads and goes back to the selected item.
    void Refresh();

    CTreeListCtrl* TreeList() const { return m_treeList; }
    // The command buttons of the selected root's module, in order.
    const std::vector<QPushButton*>& CommandButtons() const { return m_buttons; }
    // The context menu for an item (null when its root has no module); the caller owns it.
    QMenu* BuildContextMenu(CTlcDataProvider* provider);
    // Runs a module command (61000 to 62000) on the context menu's item, else the selection.
    void RunCommand(uint32_t commandId);
    // Hands dropped paths to every module's drop procedure; `target` is the item under the
    // drop point, or null. Paths go whole, whatever their length.
    void DropPaths(const std::vector<std::string>& paths, CTlcDataProvider* target);
    // Enter in the list: opens the focused row's folder.
    void OpenFocusedRow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Root {
        CTlcDataProvider* provider;
        const TavModDesc* module;
        XMLNode node;
    };
    const Root* RootOf(CTlcDataProvider* provider) const;
    void ClearRoots();
    void RebuildButtons();
    void UpdateButtonStates();
    bool CommandEnabled(const TavModDesc& module, const std::string& procName, CTlcDataProvider* root,
                        CTlcDataProvider* item) const;
    std::vector<std::string> SelectedNamePath() const;
    void SelectNamePath(const std::vector<std::string>& names);

    CTavoraDoc& m_doc;
    CTavModFactory* m_hub;
    tavui::IPrompt& m_prompt;
    CTreeListCtrl* m_treeList;
    QHBoxLayout* m_buttonRow;
    std::vector<Root> m_roots;
    const Root* m_buttonRoot = nullptr;
    std::vector<QPushButton*> m_buttons;
    std::vector<std::string> m_buttonProcs;
    std::vector<QWidget*> m_gaps;
    CTlcDataProvider* m_contextProvider = nullptr;
};
