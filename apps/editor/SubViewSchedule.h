// CSubViewSchedule: the SCHEDULE page. Lists the job's scheduled tasks (systemd user timers
// or crontab lines that start TavCmdHost with the job), creates and deletes them, and edits
// the times of the selected one.
#pragma once
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/TaskScheduler.h"

class CScheduleEditor;
class CTavoraDoc;
class QPushButton;
class QTreeWidget;
class QLabel;
namespace tavui {
class IPrompt;
}

class CSubViewSchedule : public QWidget {
    Q_OBJECT
public:
    CSubViewSchedule(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    ~CSubViewSchedule() override;

    // Lists the job's tasks again (now when the page is shown, else when it is next shown).
    void LoadFromJob();
    // Writes the edited times of every task into the scheduler; false (after telling the
    // user) when one could not be written.
    bool SaveToJob();
    // "New": a schedule of the job (full or incremental, asked).
    void OnNew();
    // "Delete": the selected schedules, after a question.
    void OnDelete();
    // Whether the scheduler could be reached (known once the page has been shown).
    bool IsAvailable() const { return m_scheduler != nullptr; }

    // Seams: making sure the job has a file (the frame's save prompt), the command host's
    // path, the clock, and which scheduler serves the user.
    std::function<bool()> ensureSavedJob;
    std::function<std::string()> hostProgram;
    std::function<uint32_t()> nowSeconds;
    std::function<std::shared_ptr<plat::ITaskScheduler>(std::string& error)> openScheduler;

signals:
    void schedulerUnavailable();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool OpenScheduler();
    void Reload();
    void SelectRow(int row);
    void OnRowChanged();
    void OnEdited();
    void OnApply();
    void UpdateButtons();
    std::string SelectedName() const;

    CTavoraDoc& m_doc;
    tavui::IPrompt& m_prompt;
    std::shared_ptr<plat::ITaskScheduler> m_scheduler;
    bool m_triedScheduler = false;
    bool m_stale = true;
    uint32_t m_jobId = 0;
    QTreeWidget* m_list;
    QPushButton* m_new;
    QPushButton* m_delete;
    QPushButton* m_apply;
    QLabel* m_unavailable;
    CScheduleEditor* m_editor;
    // The listed tasks by name, with the user's edits not yet written.
    std::map<std::string, plat::ScheduledTask> m_tasks;
    std::map<std::string, bool> m_edited;
};
