// The password question.
#include "tavui/PasswordDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "tavui/TavColors.h"

CPasswordDlg::CPasswordDlg(QWidget* parent) : QDialog(parent), m_field(new QLineEdit(this)) {
    setObjectName(QString::number(IDD));
    setWindowTitle("Password Protection");
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setObjectName("1000");
    auto* form = new QFormLayout(this);
    form->addRow("Password", m_field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    TavoraColorDef::InitButtonBox(buttons);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(320);
}

std::string CPasswordDlg::Password() const { return m_field->text().toStdString(); }
