// CScheduledTasksDlg: Tools > "Windows Scheduled Tasks": the schedules of Tavora that the
// user's scheduler keeps (systemd timers or crontab lines), of every job.
#pragma once
#include <QDialog>
#include <string>

class CScheduledTasksDlg : public QDialog {
    Q_OBJECT
public:
    CScheduledTasksDlg(const std::string& report, QWidget* parent = nullptr);
};
