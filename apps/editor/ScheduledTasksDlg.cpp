#include "ScheduledTasksDlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "tavui/TavColors.h"

CScheduledTasksDlg::CScheduledTasksDlg(const std::string& report, QWidget* parent) : QDialog(parent) {
    setObjectName("ScheduledTasks");
    setWindowTitle("Scheduled Tasks");
    auto* layout = new QVBoxLayout(this);
    auto* text = new QPlainTextEdit(QString::fromStdString(report), this);
    text->setObjectName("ScheduledTasksText");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    TavoraColorDef::InitButtonBox(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 400);
}
