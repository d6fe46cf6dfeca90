// CExtractItemDlg: puts one stored item (a file, or a folder with what lies under it)
// into a folder the user names.
#pragma once
#include <QDialog>

#include "BrowserSettings.h"
#include "DialogErrorCallback.h"
#include "RunContext.h"
#include "tavrep/TavTypes.h"

class CEngineRun;
class CRunPanel;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

class CExtractItemDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 145;
    // `source`: the item to extract; `root`: its top-most root (names the module).
    CExtractItemDlg(const BrowserRunContext& context, const TavNodeRec& source, const TavNodeRec& root,
                    uint32_t baseline, bool selectedScope, QWidget* parent = nullptr);
    ~CExtractItemDlg() override;

    void SaveData();
    std::string BuildRequest();
    const ExtractOptions& Options() const { return m_options; }
    void OnExtract();
    bool IsRunning() const;

    QTreeWidget* InfoList() const { return m_info; }
    QLineEdit* DestinationEdit() const { return m_destination; }
    QPushButton* ExtractButton() const { return m_extract; }
    QRadioButton* AllRadio() const { return m_all; }
    QRadioButton* SelectedRadio() const { return m_selected; }
    QCheckBox* Check(int id) const;
    CEngineRun* Run() const;
    // The texts of the information list (Field, Value).
    static std::vector<std::pair<std::string, std::string>> InfoRows(const TavNodeRec& node);

protected:
    void reject() override;

private:
    void ShowData();

    BrowserRunContext m_context;
    CDialogErrorCallback m_callback;
    ExtractOptions m_options;
    TavNodeRec m_source;
    TavNodeRec m_root;
    uint32_t m_baseline;
    CRunPanel* m_panel = nullptr;
    QTreeWidget* m_info;
    QLineEdit* m_destination;
    QPushButton* m_browse;
    QCheckBox* m_overwrite;
    QCheckBox* m_recursive;
    QCheckBox* m_verify;
    QRadioButton* m_all;
    QRadioButton* m_selected;
    QPushButton* m_extract;
    QPushButton* m_close;
};
