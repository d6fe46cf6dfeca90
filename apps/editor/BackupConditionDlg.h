// CBackupConditionDlg: when a backup stores a file again and what it does with new files.
#pragma once
#include <QDialog>

#include "core/EditorSettings.h"

class QCheckBox;
class QRadioButton;

class CBackupConditionDlg : public QDialog {
    Q_OBJECT
public:
    explicit CBackupConditionDlg(const editor::BackupConditions& boxes, QWidget* parent = nullptr);
    editor::BackupConditions Boxes() const;

private:
    void UpdateRadios();
    QCheckBox* m_ignoreNew;
    QRadioButton* m_alwaysAdd;
    QRadioButton* m_addIfAll;
    QCheckBox* m_date;
    QCheckBox* m_size;
    QCheckBox* m_noArchive;
};
