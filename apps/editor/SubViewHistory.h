// CSubViewHistory: the HISTORY page. Lists the job's run logs (newest first) with the time
// and kind of each run, shows the selected log, and purges old logs on request.
#pragma once
#include <QWidget>
#include <ctime>
#include <functional>

#include "core/LogHistory.h"

class CTavoraDoc;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
namespace tavui {
class IPrompt;
}

class CSubViewHistory : public QWidget {
    Q_OBJECT
public:
    CSubViewHistory(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent = nullptr);

    // Lists the logs again (now when the page is shown, else when it is next shown).
    void LoadFromJob();
    // One choice of the purge menu: asks, deletes the logs older than its cut-off, reports.
    void Purge(editor::PurgeChoice choice);
    QMenu* PurgeMenu() const { return m_menu; }

    // Seams: the clock, and how a log file is deleted.
    std::function<std::time_t()> now;
    editor::LogRemover removeLog;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Reload();
    void ShowLog();

    CTavoraDoc& m_doc;
    tavui::IPrompt& m_prompt;
    QTreeWidget* m_list;
    QPlainTextEdit* m_log;
    QPushButton* m_purge;
    QMenu* m_menu;
    bool m_stale = true;
};
