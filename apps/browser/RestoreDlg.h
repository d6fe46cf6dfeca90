// CRestoreDlg: restores a baseline, whole or as selected in the main tree.
#pragma once
#include <QDialog>

#include "BrowserSettings.h"
#include "DialogErrorCallback.h"
#include "RunContext.h"

class CEngineRun;
class CRunPanel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;

class CRestoreDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 140;
    // `baseline`: the main window's selected baseline; `selectedScope`: preset "Restore
    // selected items".
    CRestoreDlg(const BrowserRunContext& context, uint32_t baseline, bool selectedScope,
                QWidget* parent = nullptr);
    ~CRestoreDlg() override;

    // The options as the controls show them (saved to the settings).
    void SaveData();
    std::string BuildRequest();
    const RestoreOptions& Options() const { return m_options; }
    uint32_t ChosenBaseline() const { return m_baseline; }
    bool IsRunning() const;
    // The "Restore" button: starts, or asks whether to stop.
    void OnRestore();
    void ApplyRules();

    QTreeWidget* BaselineList() const { return m_list; }
    QPlainTextEdit* LogEdit() const { return m_log; }
    QPushButton* RestoreButton() const { return m_restore; }
    QRadioButton* EntireRadio() const { return m_entire; }
    QRadioButton* SelectedRadio() const { return m_selected; }
    QLineEdit* DestinationEdit() const { return m_destination; }
    QCheckBox* Check(int id) const;
    CEngineRun* Run() const;

protected:
    void reject() override;

private:
    void FillBaselines();
    void ShowData();
    void OnBrowse();
    void RunningView();
    void IdleView();

    BrowserRunContext m_context;
    CDialogErrorCallback m_callback;
    RestoreOptions m_options;
    uint32_t m_baseline;
    CRunPanel* m_panel = nullptr;
    QLabel* m_heading;
    QStackedWidget* m_stack;
    QTreeWidget* m_list;
    QPlainTextEdit* m_log;
    QRadioButton* m_entire;
    QRadioButton* m_selected;
    QCheckBox* m_always;
    QCheckBox* m_older;
    QCheckBox* m_sizes;
    QCheckBox* m_dates;
    QCheckBox* m_verbose;
    QCheckBox* m_verify;
    QCheckBox* m_original;
    QLineEdit* m_destination;
    QPushButton* m_browse;
    QPushButton* m_restore;
    QPushButton* m_close;
};
