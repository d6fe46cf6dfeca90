// CMapIdentityDlg: which identity of this machine each backed-up identity is restored to,
// a window over COeIdentityMapping.
#pragma once
#include <QDialog>

class COeIdentityMapping;
class QComboBox;
class QLineEdit;
class QTreeWidget;
namespace tavui { class IPrompt; }

class CMapIdentityDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 10005;
    CMapIdentityDlg(COeIdentityMapping& mapping, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_list; }
    QComboBox* Targets() const { return m_to; }
    // OK: warns and stays open while a row has no target.
    void accept() override;

private:
    void ShowRows();
    void ShowSelection();
    COeIdentityMapping& m_mapping;
    tavui::IPrompt& m_prompt;
    QTreeWidget* m_list;
    QLineEdit* m_from;
    QComboBox* m_to;
};

// Shows the dialog for the engine: 1 for OK, 0 for Cancel.
int ShowMapIdentityDialog(COeIdentityMapping* mapping);
