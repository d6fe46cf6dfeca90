// CScheduleEditor: the times of one scheduled task (daily, weekly on chosen days, monthly on
// a day, or once on a date; the start time; whether it runs at all), shown beside the
// SCHEDULE page's list.
#pragma once
#include <QGroupBox>

#include "platform/TaskScheduler.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QSpinBox;
class QTimeEdit;

class CScheduleEditor : public QGroupBox {
    Q_OBJECT
public:
    explicit CScheduleEditor(QWidget* parent = nullptr);

    // Shows the task's first trigger and its enabled state (the caption names the task).
    void SetTask(const plat::ScheduledTask& task);
    // The shown task with the edited trigger and state.
    plat::ScheduledTask Task() const;

signals:
    // The user changed something.
    void edited();

private:
    void UpdateControls();
    void OnEdited();

    plat::ScheduledTask m_task;
    QComboBox* m_kind;
    QTimeEdit* m_time;
    QDateEdit* m_date;
    QLabel* m_dateLabel;
    QWidget* m_days;
    QCheckBox* m_dayBoxes[7];
    QLabel* m_dayOfMonthLabel;
    QSpinBox* m_dayOfMonth;
    QCheckBox* m_enabled;
    bool m_loading = false;
};
