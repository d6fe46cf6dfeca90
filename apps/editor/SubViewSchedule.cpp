#include "SubViewSchedule.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "BackupTypeDlg.h"
#include "RunPageTexts.h"
#include "ScheduleEditor.h"
#include "core/ScheduleModel.h"
#include "core/TavoraDoc.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

using namespace runtext;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Fill(const char* pattern, const std::string& value) {
    return QString(pattern).replace("%s", Q(value)).toStdString();
}

constexpr int NAME_ROLE = Qt::UserRole;
}  // namespace

CSubViewSchedule::CSubViewSchedule(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_prompt(prompt) {
    setObjectName("105");
    hostProgram = [] { return (QCoreApplication::applicationDirPath() + "/TavCmdHost").toStdString(); };
    nowSeconds = [] { return plat::NowSeconds(); };
    openScheduler = [](std::string& error) { return plat::OpenTaskScheduler(error); };

    m_list = new QTreeWidget(this);
    m_list->setObjectName("1043");
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({"Backup Type", "Schedule"});
    m_list->header()->resizeSection(0, m_list->fontMetrics().horizontalAdvance("Incremental Backup") + 24);
    m_list->header()->setStretchLastSection(true);
    TavoraColorDef::InitFlatHeader(m_list->header());
    m_new = new QPushButton("New", this);
    m_new->setObjectName("1045");
    m_delete = new QPushButton("Delete", this);
    m_delete->setObjectName("1047");
    m_apply = new QPushButton("Apply", this);
    m_apply->setObjectName("ApplySchedule");
    m_apply->setToolTip("Write the changed times into the schedule now (saving the job does too)");
    for (QPushButton* b : {m_new, m_delete, m_apply}) TavoraColorDef::InitButtonST(b);
    m_unavailable = new QLabel(this);
    m_unavailable->setWordWrap(true);
    m_unavailable->hide();
    m_editor = new CScheduleEditor(this);
    m_editor->setObjectName("1060");
    m_editor->hide();

    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_new);
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_apply);
    auto* left = new QVBoxLayout();
    left->addLayout(buttons);
    left->addWidget(m_list, 1);
    left->addWidget(m_unavailable);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    m_editor->setFixedWidth(260);
    layout->addWidget(m_editor);

    connect(m_new, &QPushButton::clicked, this, &CSubViewSchedule::OnNew);
    connect(m_delete, &QPushButton::clicked, this, &CSubViewSchedule::OnDelete);
    connect(m_apply, &QPushButton::clicked, this, &CSubViewSchedule::OnApply);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CSubViewSchedule::OnRowChanged);
    connect(m_editor, &CScheduleEditor::edited, this, &CSubViewSchedule::OnEdited);
    m_doc.AddSaver([this] { SaveToJob(); });
    UpdateButtons();
}

CSubViewSchedule::~CSubViewSchedule() = default;

void CSubViewSchedule::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale) Reload();
}

void CSubViewSchedule::LoadFromJob() {
    m_stale = true;
    // Edits not yet written survive a refresh of the same job.
    if (m_jobId != m_doc.Job().GetJobID()) {
        m_tasks.clear();
        m_edited.clear();
        m_jobId = m_doc.Job().GetJobID();
    }
    if (isVisible()) Reload();
}

bool CSubViewSchedule::OpenScheduler() {
    if (m_scheduler || m_triedScheduler) return m_scheduler != nullptr;
    m_triedScheduler = true;
    std::string error;
    m_scheduler = openScheduler(error);
    if (m_scheduler) return true;
    const std::string text = std::string(SCHEDULER_UNAVAILABLE) + (error.empty() ? "" : "\n(" + error + ")");
    m_unavailable->setText(Q(text));
    m_unavailable->show();
    m_prompt.Message(this, text, tavui::PromptIcon::Warning);
    emit schedulerUnavailable();
    return false;
}

void CSubViewSchedule::Reload() {
    m_stale = false;
    const std::string keep = SelectedName();
    m_list->clear();
    if (!OpenScheduler()) {
        UpdateButtons();
        return;
    }
    std::vector<plat::ScheduledTask> tasks;
    editor::CScheduleModel model(*m_scheduler);
    if (!model.List(m_doc.Job().GetJobID(), tasks))
        m_prompt.Message(this, Fill(CANNOT_LIST_TASKS, model.ErrorText()), tavui::PromptIcon::Warning);
    int selected = 0;
    for (plat::ScheduledTask& task : tasks) {
        // Edits not yet written stay shown.
        if (m_edited.count(task.name)) task = m_tasks[task.name];
        m_tasks[task.name] = task;
        auto* row = new QTreeWidgetItem(m_list, {Q(editor::ScheduleBackupType(task.name)),
                                                 Q(editor::ScheduleText(task))});
        row->setData(0, NAME_ROLE, Q(task.name));
        if (task.name == keep) selected = m_list->topLevelItemCount() - 1;
    }
    SelectRow(selected);
}

void CSubViewSchedule::SelectRow(int row) {
    const int count = m_list->topLevelItemCount();
    if (count == 0) {
        m_editor->hide();
        UpdateButtons();
        return;
    }
    if (row >= count) row = count - 1;
    m_list->clearSelection();
    m_list->setCurrentItem(m_list->topLevelItem(row < 0 ? 0 : row));
    OnRowChanged();
}

std::string CSubViewSchedule::SelectedName() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, NAME_ROLE).toString().toStdString() : std::string();
}

void CSubViewSchedule::OnRowChanged() {
    const std::string name = SelectedName();
    const auto it = m_tasks.find(name);
    if (it == m_tasks.end()) {
        m_editor->hide();
    } else {
        m_editor->SetTask(it->second);
        m_editor->show();
    }
    UpdateButtons();
}

void CSubViewSchedule::OnEdited() {
    plat::ScheduledTask task = m_editor->Task();
    m_tasks[task.name] = task;
    m_edited[task.name] = true;
    if (QTreeWidgetItem* item = m_list->currentItem()) item->setText(1, Q(editor::ScheduleText(task)));
    m_doc.SetModified(true);
    UpdateButtons();
}

void CSubViewSchedule::OnApply() {
    if (SaveToJob()) UpdateButtons();
}

bool CSubViewSchedule::SaveToJob() {
    if (m_edited.empty() || !m_scheduler) return true;
    editor::CScheduleModel model(*m_scheduler);
    std::string problems;
    for (auto it = m_edited.begin(); it != m_edited.end();) {
        if (model.Update(m_tasks[it->first])) {
            it = m_edited.erase(it);
            continue;
        }
        problems += "\n" + it->first + ": " + model.ErrorText();
        ++it;
    }
    UpdateButtons();
    if (problems.empty()) return true;
    m_prompt.Message(this, SCHEDULE_NOT_SAVED + problems, tavui::PromptIcon::Warning);
    return false;
}

void CSubViewSchedule::OnNew() {
    if (!OpenScheduler()) return;
    if (ensureSavedJob && !ensureSavedJob()) return;
    if (m_doc.Path().empty()) return;
    bool full = false;
    if (!CBackupTypeDlg::Ask(this, true, full)) return;
    editor::NewSchedule schedule;
    schedule.jobId = m_doc.Job().GetJobID();
    schedule.jobPath = m_doc.Path();
    schedule.full = full;
    schedule.hostProgram = hostProgram();
    schedule.environment = editor::ScheduleEnvironment(
        [](const char* name) { return plat::GetEnv(name).value_or(""); });
    schedule.nowSeconds = nowSeconds();
    if (!plat::PathExists(schedule.hostProgram)) {
        m_prompt.Message(this, Fill(NO_HOST_PROGRAM, schedule.hostProgram), tavui::PromptIcon::Warning);
        return;
    }
    editor::CScheduleModel model(*m_scheduler);
    plat::ScheduledTask created;
    if (!model.Create(schedule, created)) {
        m_prompt.Message(this, Fill(CANNOT_CREATE_TASK, model.ErrorText()), tavui::PromptIcon::Warning);
        return;
    }
    m_tasks[created.name] = created;
    m_stale = false;
    Reload();
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->data(0, NAME_ROLE).toString().toStdString() == created.name) SelectRow(i);
}

void CSubViewSchedule::OnDelete() {
    if (!m_scheduler) return;
    std::vector<std::string> names;
    int first = -1;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (!item->isSelected() && item != m_list->currentItem()) continue;
        names.push_back(item->data(0, NAME_ROLE).toString().toStdString());
        if (first < 0) first = i;
    }
    if (names.empty()) return;
    if (m_prompt.Message(this, ASK_DELETE_SCHEDULE, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo,
                         tavui::ID_NO) != tavui::ID_YES)
        return;
    editor::CScheduleModel model(*m_scheduler);
    std::vector<std::pair<std::string, std::string>> failures;
    for (const std::string& name : model.Delete(names, failures)) {
        m_tasks.erase(name);
        m_edited.erase(name);
    }
    std::string text;
    for (const auto& [name, reason] : failures)
        text += (text.empty() ? "" : "\n") + Fill(CANNOT_DELETE_TASK, name) + (reason.empty() ? "" : ": " + reason);
    if (!text.empty()) m_prompt.Message(this, text, tavui::PromptIcon::Warning);
    m_list->setCurrentItem(nullptr);
    Reload();
    SelectRow(first);
}

void CSubViewSchedule::UpdateButtons() {
    const bool usable = m_scheduler != nullptr;
    m_new->setEnabled(usable || !m_triedScheduler);
    m_delete->setEnabled(usable && m_list->topLevelItemCount() > 0);
    m_apply->setEnabled(usable && !m_edited.empty());
    m_list->setEnabled(usable || !m_triedScheduler);
}
