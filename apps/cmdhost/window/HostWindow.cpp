// The command host's window.
#include "HostWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "CmdHostText.h"
#include "EndMessage.h"
#include "HostAboutDlg.h"
#include "HostIcon.h"
#include "HostTray.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "tavui/Prompt.h"

namespace cmdhost {

namespace {

constexpr uint64_t DRAW_INTERVAL_MS = 50;  // progress reports come far more often
constexpr uint64_t PUMP_INTERVAL_MS = 20;
constexpr int SERVE_INTERVAL_MS = 50;      // requests while no engine reports (a box is open)
constexpr int TEXT_WIDTH = 460;

QString Q(const std::string& text) { return QString::fromStdString(text); }

tavui::PromptIcon PromptIconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information: return tavui::PromptIcon::Information;
        case MessageIcon::Exclamation: return tavui::PromptIcon::Warning;
        case MessageIcon::Question: return tavui::PromptIcon::Question;
    }
    return tavui::PromptIcon::None;
}

QLabel* AddLabel(QVBoxLayout* layout, int id, const char* text = "") {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setObjectName(QString::number(id));
    label->setMinimumWidth(TEXT_WIDTH);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    return label;
}

}  // namespace

CHostWindow::CHostWindow(const CTavModFactory& hub, tavui::IPrompt& prompt, bool withTray)
    : m_prompt(prompt), m_publisher(*this, plat::ProcessId()), m_app(hub, m_publisher) {
    setWindowTitle(text::WINDOW_TITLE_IDLE);
    setWindowIcon(HostIcon());
    auto* layout = new QVBoxLayout(this);
    m_working = AddLabel(layout, ID_WORKING, text::WORKING_IDLE);
    QFont bold = m_working->font();
    bold.setBold(true);
    m_working->setFont(bold);
    m_imagePath = AddLabel(layout, ID_IMAGE_PATH);
    m_startText = AddLabel(layout, ID_START_TEXT);
    layout->addSpacing(8);
    m_progressTitle = AddLabel(layout, ID_PROGRESS_TITLE);
    m_progressItem = AddLabel(layout, ID_PROGRESS_ITEM);
    m_bar = new QProgressBar;
    m_bar->setObjectName(QString::number(ID_PROGRESS_BAR));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    layout->addWidget(m_bar);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_hide = new QPushButton(text::BUTTON_HIDE);
    m_hide->setObjectName(QString::number(ID_HIDE));
    m_hide->setDefault(true);
    m_stop = new QPushButton(text::BUTTON_STOP);
    m_stop->setObjectName(QString::number(ID_STOP));
    buttons->addWidget(m_hide);
    buttons->addWidget(m_stop);
    layout->addLayout(buttons);
    connect(m_hide, &QPushButton::clicked, this, [this] { hide(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { AskToStop(); });

    // The desktop has no system menu to extend: the window's own context menu carries
    // the about box.
    auto* about = new QAction(QString::fromUtf8(text::MENU_ABOUT), this);
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    if (withTray) {
        m_tray = std::make_unique<CHostTray>(*this);
        m_tray->Show();
    }
    // A stop request from another program: the same stop flag as the Stop button's.
    m_publisher.onStopRequest = [this] { m_app.Runner().RequestStop(); };
    m_publisher.Open();
    // Requests are answered between items during a run, and by this timer otherwise.
    m_serveTimer = new QTimer(this);
    connect(m_serveTimer, &QTimer::timeout, this, [this] { m_publisher.Serve(0); });
    m_serveTimer->start(SERVE_INTERVAL_MS);
}

CHostWindow::~CHostWindow() {
    if (m_tray) m_tray->Remove();
}

int CHostWindow::HandleTokens(const std::vector<std::string>& tokens) {
    m_running = true;
    m_failureShown = false;
    const int status = m_app.HandleTokens(tokens);
    m_running = false;
    return status;
}

void CHostWindow::AskToStop() {
    if (!m_running || m_stopAsked) return;
    if (isVisible()) {
        m_stopAsked = true;
        const int answer = m_prompt.Message(this, text::ASK_STOP, tavui::PromptIcon::Question,
                                            tavui::PromptButtons::YesNo, tavui::ID_NO);
        m_stopAsked = false;
        if (answer != tavui::ID_YES) return;
    }
    m_app.Runner().RequestStop();
}

void CHostWindow::OpenFromTray() {
    show();
    raise();
    activateWindow();
}

void CHostWindow::ShowAbout() {
    CHostAboutDlg about(this);
    tavui::ExecDialog(about);
}

void CHostWindow::reject() { AskToStop(); }

void CHostWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_running) AskToStop();
    else QApplication::quit();
}

void CHostWindow::SetTitle(const std::string& title) { setWindowTitle(Q(title)); }

void CHostWindow::ShowMessage(const std::string& text, MessageIcon icon) {
    if (icon != MessageIcon::Information) m_failureShown = true;
    m_prompt.Message(this, text, PromptIconOf(icon), tavui::PromptButtons::Ok, 0);
}

void CHostWindow::ReportProblem(const std::string& text) {
    // Warnings during a run (a question that could not be asked while hidden) go where a
    // person may see them later: the tray's balloon, and the standard error of the
    // program.
    if (m_tray && !isVisible()) m_tray->Notify(text);
    std::fprintf(stderr, "%s: %s\n", text::PROGRAM, text.c_str());
}

void CHostWindow::ShowUsage(const std::string& text) { std::fputs(text.c_str(), stdout); }

bool CHostWindow::AskYesNo(const std::string& question) {
    return m_prompt.Message(this, question, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo,
                            tavui::ID_YES) == tavui::ID_YES;
}

bool CHostWindow::ChooseImagePath(std::string& path, bool forSaving) {
    tavui::FileDialogSpec spec;
    spec.save = forSaving;
    spec.defaultExtension = text::IMAGE_FILE_EXTENSION;
    spec.filter = text::IMAGE_FILE_FILTER;
    spec.initialPath = path;
    spec.overwritePrompt = forSaving;
    const std::optional<std::string> chosen = m_prompt.FileDialog(this, spec);
    if (!chosen || chosen->empty()) return false;
    path = *chosen;
    return true;
}

void CHostWindow::SetElided(QLabel* label, const std::string& text) {
    const QString full = Q(text);
    const int width = std::max(label->width(), TEXT_WIDTH);
    label->setText(label->fontMetrics().elidedText(full, Qt::ElideMiddle, width));
    label->setToolTip(full);
}

void CHostWindow::ShowStatus(const HostStatusRecord& status, bool force) {
    const uint64_t now = plat::NowMillis();
    if (!force && now - m_lastDraw < DRAW_INTERVAL_MS) return;
    m_lastDraw = now;
    m_working->setText(Q(text::WORKING_PREFIX + m_job.jobKind));
    SetElided(m_imagePath, m_job.imagePath);
    SetElided(m_progressItem, status.item);
    m_startText->setText(Q(m_job.startText));
    m_progressTitle->setText(Q(status.title));
    m_bar->setValue(int(std::min<uint32_t>(status.percent, 100)));
}

void CHostWindow::OnEngineEvent(EngineEvent event, const HostStatusRecord& status) {
    ShowStatus(status, event != EngineEvent::Progress);
}

void CHostWindow::OnJobRecord(const HostJobRecord& record) {
    const bool first = m_job.jobKind.empty();
    m_job = record;
    if (first) ShowStatus(HostStatusRecord{}, true);
    if (m_tray) m_tray->SetRunning(windowTitle().toStdString());
}

bool CHostWindow::Pump() {
    const uint64_t now = plat::NowMillis();
    if (now - m_lastPump >= PUMP_INTERVAL_MS) {
        m_lastPump = now;
        QApplication::processEvents();
    }
    return false;  // a stop goes straight to the runner
}

void CHostWindow::OnRunEnded(const RunSummary& summary) {
    m_stop->setEnabled(false);
    const bool stopped = m_app.Runner().IsStopRequested();
    const std::optional<EndMessage> message = EndOfRunMessage(summary, stopped, m_failureShown);
    if (!message) return;
    if (isVisible()) {
        ShowMessage(message->text, message->icon);
    } else {
        if (m_tray) m_tray->Notify(message->text);
        if (!summary.Committed()) std::fprintf(stderr, "%s: %s\n", text::PROGRAM, message->text.c_str());
    }
}

}  // namespace cmdhost
