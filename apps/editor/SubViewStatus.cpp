#include "SubViewStatus.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <ctime>

#include "RunPageTexts.h"
#include "core/BackupRun.h"
#include "core/TavoraDoc.h"
#include "platform/Clock.h"
#include "tavengine/TavEngine.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

using namespace runtext;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

enum InfoRow { ROW_JOB_PATH, ROW_EMPTY, ROW_IMAGE_PATH, ROW_IMAGE_COUNT, ROW_TOTAL_SIZE, ROW_STATUS };
constexpr const char* ROW_NAMES[] = {"Job Path", "", "Image Path", "Image Count", "Total Image Size", "Status"};
// The information list is refreshed after this many progress reports.
constexpr int REPORTS_PER_REFRESH = 20;
// A progress report reaches the window at most this often unless its percent changed.
constexpr uint64_t REPORT_INTERVAL_MS = 40;
constexpr uint32_t HOST_PREPARED = 1, HOST_STARTED = 2, HOST_FINISHED = 3, HOST_CANCELLED = 4;
}  // namespace

CSubViewStatus::CSubViewStatus(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_prompt(prompt) {
    setObjectName("104");
    m_info = new QTreeWidget(this);
    m_info->setObjectName("1029");
    m_info->setRootIsDecorated(false);
    m_info->setAllColumnsShowFocus(true);
    m_info->setHeaderLabels({"Field", "Value"});
    m_info->headerItem()->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    m_info->header()->resizeSection(0, m_info->fontMetrics().horizontalAdvance("Total Image Size") + 24);
    m_info->header()->setStretchLastSection(true);
    TavoraColorDef::InitFlatHeader(m_info->header());
    for (const char* name : ROW_NAMES) {
        auto* row = new QTreeWidgetItem(m_info, {name, ""});
        row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    }
    // Six rows and the header, no more.
    m_info->setFixedHeight(m_info->sizeHintForRow(0) * 6 + m_info->header()->sizeHint().height() + 6);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName("1030");
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_status = new QLabel(this);
    m_status->setObjectName("1032");
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMinimumWidth(1);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("1031");
    m_progress->setRange(0, 100);
    m_stopButton = new QPushButton("Stop", this);
    m_stopButton->setObjectName("1033");
    TavoraColorDef::InitButtonST(m_stopButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_info);
    layout->addWidget(m_log, 1);
    layout->addWidget(m_status);
    auto* progressRow = new QHBoxLayout();
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_stopButton);
    layout->addLayout(progressRow);
    connect(m_stopButton, &QPushButton::clicked, this, &CSubViewStatus::OnStop);
    ShowRunning(false);
}

CSubViewStatus::~CSubViewStatus() {
    if (m_hostRuns) m_hostRuns->Unfollow();
}

void CSubViewStatus::Post(std::function<void()> work) {
    if (QThread::currentThread() == thread()) work();
    else QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void CSubViewStatus::ShowRunning(bool running) {
    m_status->setVisible(running);
    m_progress->setVisible(running);
    m_stopButton->setVisible(running);
}

void CSubViewStatus::RefreshInfo(const std::string& status) {
    std::string image;
    m_doc.Job().FindLastImagePath(image);
    int count = 0;
    uint64_t bytes = 0;
    editor::CountImageFiles(m_doc.Job(), count, bytes);
    const QString values[] = {Q(m_doc.Path()), "", Q(image), QString("%1 part(s)").arg(count),
                              Q(editor::ImageSizeText(bytes)), Q(status.empty() ? STATUS_OK : status)};
    for (int row = 0; row < m_info->topLevelItemCount(); ++row) m_info->topLevelItem(row)->setText(1, values[row]);
    m_reports = 0;
    m_showsBusy = status == STATUS_BUSY;
}

void CSubViewStatus::LoadFromJob() {
    if (m_run != nullptr) return;  // the running job's page stays as it is
    RefreshInfo();
    if (!m_hostRuns) return;
    m_hostRuns->Unfollow();
    if (m_doc.Path().empty()) return;
    m_log->clear();
    m_hostRuns->Follow(m_doc.Job().GetImagePathText(), *this);
}

void CSubViewStatus::OnRunStarts(editor::CBackupRun& run) {
    if (m_hostRuns) m_hostRuns->Unfollow();
    m_run = &run;
    m_stop.store(false);
    m_lastPercent = -1;
    RefreshInfo(STATUS_BUSY);
    m_log->clear();
    if (!TavInitLog(m_doc.Job(), run.Command(), plat::NowSeconds()))
        AppendLog("***** The run log cannot be written in \"" + GetLogFolder(m_doc.Job()) +
                  "\"; it is shown here only.\r\n");
    m_status->clear();
    m_progress->setValue(0);
    ShowRunning(true);
}

void CSubViewStatus::OnRunEnded() {
    FlushLog();
    m_run = nullptr;
    m_status->clear();
    m_progress->setValue(0);
    ShowRunning(false);
    RefreshInfo();
}

void CSubViewStatus::OnStop() {
    if (m_prompt.Message(this, ASK_STOP, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo, tavui::ID_NO) !=
        tavui::ID_YES)
        return;
    m_stop.store(true);
    if (m_run != nullptr) m_run->RequestStop();
}

void CSubViewStatus::SetProgress(const QString& text, int percent) {
    m_status->setText(text);
    m_progress->setValue(percent);
}

void CSubViewStatus::CountReport() {
    if (++m_reports > REPORTS_PER_REFRESH) RefreshInfo(STATUS_BUSY);
}

void CSubViewStatus::OnTavEngineProgress(CTavEngine* engine, const std::string& title, const std::string& item,
                                         uint32_t percent) {
    if (m_stop.load()) engine->CancelOperation();
    const uint64_t now = plat::NowMillis();
    if (!m_inline && int(percent) == m_lastPercent && now - m_lastReportMs < REPORT_INTERVAL_MS) return;
    m_lastPercent = int(percent);
    m_lastReportMs = now;
    const QString text = Q(title + ": " + item);
    Post([this, text, percent] {
        SetProgress(text, int(percent));
        CountReport();
    });
    // A run on the window's thread keeps the window (and "Stop") answering.
    if (m_inline) QCoreApplication::processEvents();
}

void CSubViewStatus::OnTavEngineFinish(CTavEngine*) {
    const std::string separator = LogSeparator();
    TavWriteLog(separator);
    AppendLog(separator);
}

void CSubViewStatus::OnTavEngineCancelled(CTavEngine* engine) { OnTavEngineFinish(engine); }

void CSubViewStatus::OnTavEngineLogNotify(CTavEngine*, const std::string& text) {
    TavWriteLog(text);
    AppendLog(text + "\r\n");
}

void CSubViewStatus::AppendLog(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(m_pendingLock);
        m_pendingLog += text;
        if (m_logPosted) return;
        m_logPosted = true;
    }
    Post([this] { FlushLog(); });
}

void CSubViewStatus::FlushLog() {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_pendingLock);
        text.swap(m_pendingLog);
        m_logPosted = false;
    }
    if (text.empty()) return;
    QString shown = QString::fromUtf8(text.data(), int(text.size())).replace("\r\n", "\n");
    if (shown.endsWith('\n')) shown.chop(1);
    m_log->appendPlainText(shown);
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

int32_t CSubViewStatus::AskForPath(const char* question, std::string& path, bool forSaving) {
    int32_t answer = 0;
    auto ask = [&] {
        const std::string text = QString(question).replace("%s", Q(path)).toStdString();
        if (m_prompt.Message(this, text, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo) != tavui::ID_YES)
            return;
        tavui::FileDialogSpec spec;
        spec.save = forSaving;
        spec.defaultExtension = "tvr";
        spec.filter = IMAGE_FILTER;
        spec.initialPath = path;
        spec.overwritePrompt = forSaving;
        const auto chosen = m_prompt.FileDialog(this, spec);
        if (!chosen || chosen->empty()) return;  // the same path again would only ask again
        path = *chosen;
        answer = 2;
    };
    if (QThread::currentThread() == thread()) ask();
    else QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
    return answer;
}

int32_t CSubViewStatus::OnChangePath(CTavRepository*, std::string& path) {
    return AskForPath(ASK_CHANGE_PATH, path, false);
}

int32_t CSubViewStatus::OnChangeDisk(CTavRepository*, std::string& path) {
    return AskForPath(ASK_CHANGE_DISK, path, true);
}

void CSubViewStatus::OnHostRunState(uint32_t state) {
    switch (state) {
        case HOST_PREPARED:
            RefreshInfo(STATUS_BUSY);
            m_log->clear();
            ShowRunning(true);
            break;
        case HOST_STARTED:
            // Following a run that was already under way: it never showed "prepared" here.
            if (!m_showsBusy) RefreshInfo(STATUS_BUSY);
            ShowRunning(true);
            break;
        case HOST_FINISHED:
        case HOST_CANCELLED:
            m_status->clear();
            m_progress->setValue(0);
            ShowRunning(false);
            RefreshInfo();
            break;
        default:
            break;
    }
}

void CSubViewStatus::OnHostProgress(const std::string& title, const std::string& item, uint32_t percent) {
    if (m_progress->isHidden()) ShowRunning(true);
    SetProgress(Q(title + ": " + item), int(percent));
    CountReport();
}
