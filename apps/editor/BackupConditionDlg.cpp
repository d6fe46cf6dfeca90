#include "BackupConditionDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "tavui/TavColors.h"

namespace {
template <typename T>
T* Make(const char* text, int id, QWidget* parent) {
    auto* box = new T(text, parent);
    box->setObjectName(QString::number(id));
    return box;
}
}  // namespace

CBackupConditionDlg::CBackupConditionDlg(const editor::BackupConditions& boxes, QWidget* parent)
    : QDialog(parent) {
    setObjectName("140");
    setWindowTitle("Backup Settings");
    auto* layout = new QVBoxLayout(this);
    auto* newFiles = new QGroupBox("New files", this);
    auto* newLayout = new QVBoxLayout(newFiles);
    m_ignoreNew = Make<QCheckBox>("Ignore new files", 1015, newFiles);
    m_alwaysAdd = Make<QRadioButton>("Always add new files", 1103, newFiles);
    m_addIfAll = Make<QRadioButton>(
        "Add new files only if all files in the same folder were selected", 1104, newFiles);
    for (QWidget* w : {static_cast<QWidget*>(m_ignoreNew), static_cast<QWidget*>(m_alwaysAdd),
                       static_cast<QWidget*>(m_addIfAll)})
        newLayout->addWidget(w);
    layout->addWidget(newFiles);
    auto* changed = new QGroupBox("Changed files", this);
    auto* changedLayout = new QVBoxLayout(changed);
    m_date = Make<QCheckBox>("Update file if the modified date has been changed", 1012, changed);
    m_size = Make<QCheckBox>("Update file if file size has been changed", 1014, changed);
    m_noArchive = Make<QCheckBox>("Do not check for the Archive attribute", 1010, changed);
    for (QCheckBox* w : {m_date, m_size, m_noArchive}) changedLayout->addWidget(w);
    layout->addWidget(changed);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    TavoraColorDef::InitButtonBox(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_ignoreNew->setChecked(boxes.ignoreNewFiles);
    (boxes.alwaysAddNewFiles ? m_alwaysAdd : m_addIfAll)->setChecked(true);
    m_date->setChecked(boxes.updateOnDate);
    m_size->setChecked(boxes.updateOnSize);
    m_noArchive->setChecked(boxes.noArchiveCheck);
    connect(m_ignoreNew, &QCheckBox::toggled, this, &CBackupConditionDlg::UpdateRadios);
    UpdateRadios();
}

void CBackupConditionDlg::UpdateRadios() {
    const bool enabled = !m_ignoreNew->isChecked();
    m_alwaysAdd->setEnabled(enabled);
    m_addIfAll->setEnabled(enabled);
}

editor::BackupConditions CBackupConditionDlg::Boxes() const {
    editor::BackupConditions boxes;
    boxes.ignoreNewFiles = m_ignoreNew->isChecked();
    boxes.alwaysAddNewFiles = m_alwaysAdd->isChecked();
    boxes.updateOnDate = m_date->isChecked();
    boxes.updateOnSize = m_size->isChecked();
    boxes.noArchiveCheck = m_noArchive->isChecked();
    return boxes;
}
