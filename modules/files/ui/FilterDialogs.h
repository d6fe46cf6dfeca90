// The Files and Folders module's dialogs: "File Filtering" for one folder, "All Filtering
// Rules" of the job, and "Select File Type" for the files of a folder.
#pragma once
#include <QDialog>
#include <string>

#include "tavui/SelectionDlg.h"

class CTavJobFilesHelper;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
namespace tavui {
class IPrompt;
}

class CFileFilteringDlg : public QDialog {
    Q_OBJECT
public:
    CFileFilteringDlg(CTavJobFilesHelper& selection, const std::string& path, tavui::IPrompt& prompt,
                      QWidget* parent = nullptr);
    QLineEdit* Included() const { return m_included; }
    QLineEdit* Excluded() const { return m_excluded; }
    QCheckBox* Recursive() const { return m_recursive; }
    QPushButton* ShowAll() const { return m_showAll; }
    // Whether OK changed the folder's filter, or "All Filtering Rules" removed filters.
    bool Changed() const { return m_changed; }
    void accept() override;

private:
    void Load();
    void OnShowAll();
    CTavJobFilesHelper& m_selection;
    std::string m_path;
    tavui::IPrompt& m_prompt;
    QLineEdit* m_included;
    QLineEdit* m_excluded;
    QCheckBox* m_recursive;
    QPushButton* m_showAll;
    bool m_changed = false;
};

class CAllFiltersDlg : public QDialog {
    Q_OBJECT
public:
    CAllFiltersDlg(CTavJobFilesHelper& selection, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_list; }
    QPushButton* RemoveButton() const { return m_remove; }
    QPushButton* ClearAllButton() const { return m_clearAll; }
    // Whether a filter was removed.
    bool Removed() const { return m_removed; }
    void OnRemove();
    void OnClearAll();

private:
    void Fill();
    void UpdateButtons();
    CTavJobFilesHelper& m_selection;
    tavui::IPrompt& m_prompt;
    QTreeWidget* m_list;
    QPushButton* m_remove;
    QPushButton* m_clearAll;
    bool m_removed = false;
};

// "Select File Type": the rows of a folder's list by type.
class CSelectFilterDlg : public CSelectionDlg {
    Q_OBJECT
public:
    CSelectFilterDlg(tavui::CTypeGroupModel& model, const std::string& folderName, QWidget* parent = nullptr);
};
