// The browser's small windows: the password change, the run summary with its log, and the
// About box.
#pragma once
#include <QDialog>
#include <string>

class CTavRepository;
class QLineEdit;
class QPlainTextEdit;
namespace tavui { class IPrompt; }

class CChangePwdDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 143;
    CChangePwdDlg(CTavRepository& repository, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    QLineEdit* OldField() const { return m_old; }
    QLineEdit* NewField() const { return m_new; }
    QLineEdit* ConfirmField() const { return m_confirm; }
    std::string OldPassword() const;
    std::string NewPassword() const;
    // OK: closes only when the old password is right and the two new ones match.
    void accept() override;

private:
    CTavRepository& m_repository;
    tavui::IPrompt& m_prompt;
    QLineEdit* m_old;
    QLineEdit* m_new;
    QLineEdit* m_confirm;
};

// After an accepted CChangePwdDlg: changes the password and says how it went.
void ChangePasswordAndReport(CTavRepository& repository, tavui::IPrompt& prompt, QWidget* parent,
                             const std::string& oldPassword, const std::string& newPassword);

class CResultSummaryDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 131;
    CResultSummaryDlg(const std::string& caption, const std::string& log, tavui::IPrompt& prompt,
                      QWidget* parent = nullptr);
    // "Save Log...": asks for a file and writes the log into it.
    void OnSaveLog();
    // Writes the log byte for byte; false (and a message naming the file) when it cannot.
    bool SaveLogTo(const std::string& path);
    QPlainTextEdit* LogEdit() const { return m_edit; }

private:
    std::string m_log;
    tavui::IPrompt& m_prompt;
    QPlainTextEdit* m_edit;
};

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 100;
    explicit CAboutDlg(QWidget* parent = nullptr);
};
