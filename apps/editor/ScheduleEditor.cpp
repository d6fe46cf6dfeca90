#include "ScheduleEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimeEdit>

namespace {
// In the order of plat::TaskTriggerKind.
constexpr const char* KIND_TEXTS[] = {"Once", "Daily", "Weekly", "Monthly"};
constexpr const char* DAY_TEXTS[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
// Monday first, as the week is shown.
constexpr int DAY_ORDER[7] = {1, 2, 3, 4, 5, 6, 0};

int LowestBit(uint32_t bits) {
    for (int i = 0; i < 32; ++i)
        if (bits & (1u << i)) return i;
    return 0;
}
}  // namespace

CScheduleEditor::CScheduleEditor(QWidget* parent) : QGroupBox(parent) {
    setObjectName("ScheduleEditor");
    auto* grid = new QGridLayout(this);
    m_kind = new QComboBox(this);
    m_kind->setObjectName("ScheduleKind");
    for (const char* text : KIND_TEXTS) m_kind->addItem(text);
    m_time = new QTimeEdit(this);
    m_time->setObjectName("ScheduleTime");
    m_time->setDisplayFormat("HH:mm");
    m_date = new QDateEdit(this);
    m_date->setObjectName("ScheduleDate");
    m_date->setDisplayFormat("yyyy-MM-dd");
    m_date->setCalendarPopup(true);
    m_dateLabel = new QLabel("Date:", this);
    m_days = new QWidget(this);
    auto* dayGrid = new QGridLayout(m_days);
    dayGrid->setContentsMargins(0, 0, 0, 0);
    int position = 0;
    for (int day : DAY_ORDER) {
        m_dayBoxes[day] = new QCheckBox(DAY_TEXTS[day], m_days);
        m_dayBoxes[day]->setObjectName(QString("ScheduleDay%1").arg(day));
        dayGrid->addWidget(m_dayBoxes[day], position / 4, position % 4);
        ++position;
        connect(m_dayBoxes[day], &QCheckBox::toggled, this, &CScheduleEditor::OnEdited);
    }
    m_dayOfMonthLabel = new QLabel("Day of the month:", this);
    m_dayOfMonth = new QSpinBox(this);
    m_dayOfMonth->setObjectName("ScheduleDayOfMonth");
    m_dayOfMonth->setRange(1, 31);
    m_enabled = new QCheckBox("Enabled", this);
    m_enabled->setToolTip("The schedule runs at these times; cleared, it is kept but does not run");
    m_enabled->setObjectName("ScheduleEnabled");

    int row = 0;
    grid->addWidget(new QLabel("Runs:", this), row, 0);
    grid->addWidget(m_kind, row++, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel("Start time:", this), row, 0);
    grid->addWidget(m_time, row++, 1, Qt::AlignLeft);
    grid->addWidget(m_dateLabel, row, 0);
    grid->addWidget(m_date, row++, 1, Qt::AlignLeft);
    grid->addWidget(m_days, row++, 0, 1, 2);
    grid->addWidget(m_dayOfMonthLabel, row, 0);
    grid->addWidget(m_dayOfMonth, row++, 1, Qt::AlignLeft);
    grid->addWidget(m_enabled, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);

    connect(m_kind, &QComboBox::currentIndexChanged, this, &CScheduleEditor::OnEdited);
    connect(m_time, &QTimeEdit::timeChanged, this, &CScheduleEditor::OnEdited);
    connect(m_date, &QDateEdit::dateChanged, this, &CScheduleEditor::OnEdited);
    connect(m_dayOfMonth, &QSpinBox::valueChanged, this, &CScheduleEditor::OnEdited);
    connect(m_enabled, &QCheckBox::toggled, this, &CScheduleEditor::OnEdited);
    UpdateControls();
}

void CScheduleEditor::SetTask(const plat::ScheduledTask& task) {
    m_loading = true;
    m_task = task;
    setTitle(QString::fromStdString(task.name));
    const plat::TaskTrigger trigger = task.triggers.empty() ? plat::TaskTrigger{} : task.triggers.front();
    m_kind->setCurrentIndex(int(trigger.kind));
    m_time->setTime(QTime(trigger.hour, trigger.minute));
    const QDate date(trigger.year, trigger.month, trigger.day);
    m_date->setDate(date.isValid() ? date : QDate::currentDate());
    for (int day = 0; day < 7; ++day) m_dayBoxes[day]->setChecked(trigger.weekDays & (1u << day));
    m_dayOfMonth->setValue(LowestBit(trigger.monthDays) + 1);
    m_enabled->setChecked(task.enabled);
    m_loading = false;
    UpdateControls();
}

plat::ScheduledTask CScheduleEditor::Task() const {
    plat::ScheduledTask task = m_task;
    plat::TaskTrigger trigger = task.triggers.empty() ? plat::TaskTrigger{} : task.triggers.front();
    trigger.kind = plat::TaskTriggerKind(m_kind->currentIndex());
    trigger.hour = m_time->time().hour();
    trigger.minute = m_time->time().minute();
    trigger.year = trigger.month = trigger.day = 0;
    if (trigger.kind == plat::TaskTriggerKind::Once) {
        trigger.year = m_date->date().year();
        trigger.month = m_date->date().month();
        trigger.day = m_date->date().day();
    }
    trigger.weekDays = 0;
    for (int day = 0; day < 7; ++day)
        if (m_dayBoxes[day]->isChecked()) trigger.weekDays |= uint8_t(1u << day);
    if (trigger.kind != plat::TaskTriggerKind::Weekly) trigger.weekDays = 0;
    // A week without a day would never run: the day of the start date stands in.
    else if (trigger.weekDays == 0) trigger.weekDays = uint8_t(1u << (QDate::currentDate().dayOfWeek() % 7));
    trigger.monthDays = trigger.kind == plat::TaskTriggerKind::Monthly ? 1u << (m_dayOfMonth->value() - 1) : 0;
    if (trigger.kind == plat::TaskTriggerKind::Monthly && trigger.months == 0) trigger.months = 0xFFF;
    if (task.triggers.empty()) task.triggers.push_back(trigger);
    else task.triggers.front() = trigger;
    task.enabled = m_enabled->isChecked();
    return task;
}

void CScheduleEditor::UpdateControls() {
    const auto kind = plat::TaskTriggerKind(m_kind->currentIndex());
    m_date->setVisible(kind == plat::TaskTriggerKind::Once);
    m_dateLabel->setVisible(kind == plat::TaskTriggerKind::Once);
    m_days->setVisible(kind == plat::TaskTriggerKind::Weekly);
    m_dayOfMonth->setVisible(kind == plat::TaskTriggerKind::Monthly);
    m_dayOfMonthLabel->setVisible(kind == plat::TaskTriggerKind::Monthly);
}

void CScheduleEditor::OnEdited() {
    UpdateControls();
    if (!m_loading) emit edited();
}
