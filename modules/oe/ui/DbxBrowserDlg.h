// CDbxBrowserDlg: the message viewer over one message store (live or stored), a thin
// window over CDbxViewerModel. Prompts go through the suite's prompt interface.
#pragma once
#include <QDialog>
#include <memory>

#include "core/DbxViewerModel.h"

class DbxInput;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
namespace tavui { class IPrompt; }

class CDbxBrowserDlg : public QDialog, public IDbxViewerPrompt {
    Q_OBJECT
public:
    static constexpr int IDD = 10007;
    CDbxBrowserDlg(DbxInput& input, const QString& title, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    ~CDbxBrowserDlg() override;

    // Runs the first search (the dialog opening); called by showEvent once.
    void Start();
    CDbxViewerModel& Model() { return *m_model; }
    QTreeWidget* List() const { return m_list; }
    QPlainTextEdit* MessageEdit() const { return m_text; }
    void ClickColumn(int column);
    void SelectRow(int row);
    void OnExport() { m_model->ExportSelected(); }

    bool AskYesNo(const std::string& text) override;
    void Warn(const std::string& text) override;
    std::optional<std::string> AskSavePath() override;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void FillList();
    void UpdateControls();
    void Search();

    tavui::IPrompt& m_prompt;
    std::unique_ptr<CDbxViewerModel> m_model;
    bool m_started = false;
    QTreeWidget* m_list;
    QPlainTextEdit* m_text;
    QCheckBox* m_filter;
    QLineEdit* m_filterText;
    QCheckBox* m_fields[4];
    QPushButton* m_apply;
    QLabel* m_progress;
    QPushButton* m_export;
    QPushButton* m_close;
};
