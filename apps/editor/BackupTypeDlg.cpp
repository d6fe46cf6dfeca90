#include "BackupTypeDlg.h"

#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

CBackupTypeDlg::CBackupTypeDlg(bool incrementalEnabled, QWidget* parent) : QDialog(parent) {
    setObjectName("135");
    setWindowTitle("Backup Type");
    auto* layout = new QVBoxLayout(this);
    m_full = new QRadioButton("Full Backup", this);
    m_full->setObjectName("FullBackup");
    m_incremental = new QRadioButton("Incremental Backup", this);
    m_incremental->setObjectName("IncrementalBackup");
    m_incremental->setEnabled(incrementalEnabled);
    (incrementalEnabled ? m_incremental : m_full)->setChecked(true);
    layout->addWidget(m_full);
    layout->addWidget(m_incremental);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    TavoraColorDef::InitButtonBox(buttons);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(260);
}

bool CBackupTypeDlg::IsFull() const { return m_full->isChecked(); }

void CBackupTypeDlg::SetFull(bool full) {
    if (full || !m_incremental->isEnabled()) m_full->setChecked(true);
    else m_incremental->setChecked(true);
}

bool CBackupTypeDlg::Ask(QWidget* parent, bool incrementalEnabled, bool& full) {
    CBackupTypeDlg dialog(incrementalEnabled, parent);
    if (tavui::ExecDialog(dialog) != QDialog::Accepted) return false;
    full = dialog.IsFull();
    return true;
}
