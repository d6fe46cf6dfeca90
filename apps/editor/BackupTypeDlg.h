// CBackupTypeDlg: asks whether a backup is full or incremental ("Backup Type").
#pragma once
#include <QDialog>

class QRadioButton;

class CBackupTypeDlg : public QDialog {
    Q_OBJECT
public:
    // `incrementalEnabled`: an incremental backup can be chosen (it is then preselected);
    // otherwise only "Full Backup" can.
    explicit CBackupTypeDlg(bool incrementalEnabled, QWidget* parent = nullptr);
    bool IsFull() const;
    void SetFull(bool full);

    // Asks; true with `full` set when confirmed, false for Cancel (through tavui::ExecDialog,
    // which tests answer).
    static bool Ask(QWidget* parent, bool incrementalEnabled, bool& full);

private:
    QRadioButton* m_full;
    QRadioButton* m_incremental;
};
