// Password change, run summary and About box.
#include "SmallDialogs.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "BrowserTexts.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"
#include "platform/TextFormat.h"

using namespace browsertext;

namespace {
QLineEdit* PasswordField(QWidget* parent, int id) {
    auto* field = new QLineEdit(parent);
    field->setEchoMode(QLineEdit::Password);
    field->setObjectName(QString::number(id));
    return field;
}
}  // namespace

CChangePwdDlg::CChangePwdDlg(CTavRepository& repository, tavui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_repository(repository), m_prompt(prompt), m_old(PasswordField(this, 1016)),
      m_new(PasswordField(this, 1013)), m_confirm(PasswordField(this, 1014)) {
    setObjectName(QString::number(IDD));
    setWindowTitle("Change Password");
    auto* form = new QFormLayout(this);
    form->addRow("Old Password", m_old);
    form->addRow("New Password", m_new);
    form->addRow("Confirm Password", m_confirm);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    TavoraColorDef::InitButtonBox(buttons);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CChangePwdDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(360);
}

std::string CChangePwdDlg::OldPassword() const { return m_old->text().toStdString(); }
std::string CChangePwdDlg::NewPassword() const { return m_new->text().toStdString(); }

void CChangePwdDlg::accept() {
    int verified = 0;
    try {
        verified = m_repository.VerifyPassword(OldPassword().c_str());
    } catch (CTavException* e) {
        e->Delete();
    }
    if (!verified) {
        m_prompt.Message(this, INVALID_PASSWORD, tavui::PromptIcon::Warning);
        m_old->setFocus();
        m_old->selectAll();
        return;
    }
    if (m_new->text() != m_confirm->text()) {
        m_prompt.Message(this, PASSWORD_MISMATCH, tavui::PromptIcon::Warning);
        m_new->setFocus();
        m_new->selectAll();
        return;
    }
    QDialog::accept();
}

void ChangePasswordAndReport(CTavRepository& repository, tavui::IPrompt& prompt, QWidget* parent,
                             const std::string& oldPassword, const std::string& newPassword) {
    int changed = 0;
    try {
        changed = repository.ChangePassword(oldPassword.c_str(), newPassword.c_str());
    } catch (CTavException* e) {
        e->Delete();
    }
    if (changed)
        prompt.Message(parent, PASSWORD_CHANGED, tavui::PromptIcon::Information);
    else
        prompt.Message(parent, PASSWORD_NOT_CHANGED, tavui::PromptIcon::Warning);
}

CResultSummaryDlg::CResultSummaryDlg(const std::string& caption, const std::string& log,
                                     tavui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_log(log), m_prompt(prompt), m_edit(new QPlainTextEdit(this)) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromStdString(caption));
    m_edit->setObjectName("1005");
    m_edit->setReadOnly(true);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setFont(QFont("Monospace"));
    m_edit->setPlainText(QString::fromStdString(log));
    auto* save = new QPushButton("Save Log...", this);
    save->setObjectName("1006");
    auto* close = new QPushButton("Close", this);
    close->setObjectName("1");
    close->setDefault(true);
    TavoraColorDef::InitButtonST(save);
    TavoraColorDef::InitButtonST(close);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit, 1);
    layout->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, &CResultSummaryDlg::OnSaveLog);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(640, 420);
}

void CResultSummaryDlg::OnSaveLog() {
    tavui::FileDialogSpec spec;
    spec.save = true;
    spec.defaultExtension = "log";
    spec.filter = LOG_FILTER;
    spec.overwritePrompt = true;
    if (auto path = m_prompt.FileDialog(this, spec)) SaveLogTo(*path);
}

bool CResultSummaryDlg::SaveLogTo(const std::string& path) {
    // The log already ends its lines with CR LF; it is written as it is, never translated.
    QFile file(QString::fromStdString(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(m_log.data(), qint64(m_log.size())) == qint64(m_log.size()) && file.flush()) {
        file.close();
        return true;
    }
    const std::string problem = file.errorString().toStdString();
    m_prompt.Message(this, plat::Format(LOG_NOT_WRITTEN, path.c_str(), problem.c_str()), tavui::PromptIcon::Warning);
    return false;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle("About TvrBrowser");
    auto* name = new QLabel("<b>TvrBrowser</b> version 1.0<br>The Tavora repository browser.", this);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("1");
    TavoraColorDef::InitButtonST(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(ok, 0, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
