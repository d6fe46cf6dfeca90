// The about box.
#include "HostAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "CmdHostText.h"
#include "HostIcon.h"

namespace cmdhost {

CHostAboutDlg::CHostAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(text::ABOUT_TITLE));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(HostIcon().pixmap(32, 32));
    row->addWidget(icon);
    auto* version = new QLabel(QString::fromUtf8(text::ABOUT_TEXT));
    version->setObjectName("version");
    row->addWidget(version, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace cmdhost
