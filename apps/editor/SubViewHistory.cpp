#include "SubViewHistory.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "RunPageTexts.h"
#include "core/TavoraDoc.h"
#include "platform/FileSystem.h"
#include "tavengine/TavEngineObserver.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"
#include "tavui/TavFormat.h"

using namespace runtext;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
constexpr const char* TIME_FORMAT = "%Y/%m/%d %H:%M:%S";
}  // namespace

CSubViewHistory::CSubViewHistory(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_prompt(prompt) {
    setObjectName("106");
    now = [] { return std::time(nullptr); };
    m_list = new QTreeWidget(this);
    m_list->setObjectName("1034");
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({"Date/Time", "Operation", "Log File Name"});
    m_list->header()->resizeSection(0, m_list->fontMetrics().horizontalAdvance("2026/12/31 23:59:59") + 24);
    m_list->header()->resizeSection(1, m_list->fontMetrics().horizontalAdvance("Unknown Backup Type") + 24);
    m_list->header()->setStretchLastSection(true);
    TavoraColorDef::InitFlatHeader(m_list->header());
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName("1035");
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName("1056");
    splitter->addWidget(m_list);
    splitter->addWidget(m_log);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    m_purge = new QPushButton(PURGE_BUTTON, this);
    m_purge->setObjectName("1104");
    TavoraColorDef::InitButtonST(m_purge);
    m_menu = new QMenu(this);
    for (const editor::PurgeChoiceInfo& info : editor::PURGE_CHOICES) {
        QAction* action = m_menu->addAction(info.menuText);
        action->setObjectName(QString::number(info.command));
        connect(action, &QAction::triggered, this, [this, choice = info.choice] { Purge(choice); });
    }
    connect(m_purge, &QPushButton::clicked, this,
            [this] { m_menu->popup(m_purge->mapToGlobal(QPoint(0, m_purge->height()))); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_purge, 0, Qt::AlignLeft);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CSubViewHistory::ShowLog);
}

void CSubViewHistory::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale) Reload();
}

void CSubViewHistory::LoadFromJob() {
    m_stale = true;
    if (isVisible()) Reload();
}

void CSubViewHistory::Reload() {
    m_stale = false;
    m_list->clear();
    const std::string folder = CTavEngineObserver::GetLogFolder(m_doc.Job());
    for (const editor::LogEntry& entry : editor::ListLogFiles(folder)) {
        auto* row = new QTreeWidgetItem(m_list, {Q(tavui::LocalTimeText(entry.startSeconds, TIME_FORMAT)),
                                                 Q(editor::LogOperationText(entry.command)), Q(entry.name)});
        row->setData(0, Qt::UserRole, Q(plat::JoinPath(folder, entry.name)));
    }
    if (m_list->topLevelItemCount() == 0) {
        m_log->clear();
        return;
    }
    m_list->setCurrentItem(m_list->topLevelItem(0));
    ShowLog();
}

void CSubViewHistory::ShowLog() {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr) return;
    std::string text;
    // A log that cannot be read leaves the box as it was.
    if (!editor::ReadLogText(item->data(0, Qt::UserRole).toString().toStdString(), text)) return;
    m_log->setPlainText(QString::fromUtf8(text.data(), int(text.size())).replace("\r\n", "\n"));
}

void CSubViewHistory::Purge(editor::PurgeChoice choice) {
    const editor::PurgeChoiceInfo* info = nullptr;
    for (const editor::PurgeChoiceInfo& candidate : editor::PURGE_CHOICES)
        if (candidate.choice == choice) info = &candidate;
    const std::time_t cutoff = editor::PurgeCutoff(choice, now());
    if (m_prompt.Message(this, QString(ASK_PURGE).replace("%s", info->questionText).toStdString(),
                         tavui::PromptIcon::Question, tavui::PromptButtons::YesNo) != tavui::ID_YES)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const editor::PurgeResult result =
        editor::PurgeLogFiles(CTavEngineObserver::GetLogFolder(m_doc.Job()), cutoff, removeLog);
    QApplication::restoreOverrideCursor();
    std::string text = QString(PURGE_FINISHED).replace("%d", QString::number(result.deleted)).toStdString();
    if (!result.failed.empty()) {
        text += std::string("\n") + PURGE_FAILURES;
        for (const std::string& failure : result.failed) text += "\n" + failure;
    }
    m_prompt.Message(this, text, result.failed.empty() ? tavui::PromptIcon::Information : tavui::PromptIcon::Warning);
    Reload();
}
