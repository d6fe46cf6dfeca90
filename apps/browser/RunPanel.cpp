// The run part of the Restore and Extract dialogs.
#include "RunPanel.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "BrowserTexts.h"
#include "EngineRun.h"
#include "tavui/Prompt.h"

using namespace browsertext;

CRunPanel::CRunPanel(QDialog& dialog, QPushButton& button, const BrowserRunContext& context)
    : QObject(&dialog), m_dialog(dialog), m_button(button), m_context(context), m_idleText(button.text()) {
    m_status = new QLabel(&dialog);
    m_status->setObjectName("1004");
    m_progress = new QProgressBar(&dialog);
    m_progress->setObjectName("1003");
    m_progress->setRange(0, 100);
    m_progress->setVisible(false);
}

void CRunPanel::Abort() {
    if (!m_run) return;
    m_run->RequestStop();
    EndRun();
    m_run.reset();
}

bool CRunPanel::AskStop() {
    if (!m_run) return false;
    if (m_context.prompt->Message(&m_dialog, STOP_QUESTION, tavui::PromptIcon::Question,
                                  tavui::PromptButtons::YesNo, tavui::ID_NO) == tavui::ID_YES)
        m_run->RequestStop();
    return true;
}

void CRunPanel::Start(std::unique_ptr<CEngineRun> run, const char* startingText) {
    m_run = std::move(run);
    connect(m_run.get(), &CEngineRun::progress, this, [this](const QString& status, int percent) {
        m_status->setText(status);
        m_progress->setValue(percent);
    });
    if (onLog)
        connect(m_run.get(), &CEngineRun::logChanged, this, [this] {
            if (m_run && onLog) onLog(m_run->TakeNewLog());
        });
    connect(m_run.get(), &CEngineRun::cancelledByEngine, this, [this] {
        m_context.prompt->Message(&m_dialog, CANCELLED_BY_USER, tavui::PromptIcon::Warning);
    });
    connect(m_run.get(), &CEngineRun::finished, this, &CRunPanel::OnFinished, Qt::QueuedConnection);
    m_status->setText(startingText);
    m_progress->setValue(0);
    m_progress->setVisible(true);
    m_button.setText("Stop");
    if (onRunning) onRunning(true);
    m_run->Start();
}

void CRunPanel::EndRun() {
    m_run->disconnect(this);
    m_run->Finish();
}

void CRunPanel::OnFinished() {
    if (!m_run) return;
    EndRun();
    const bool stopped = m_run->StopRequested();
    const std::string log = m_run->Log();
    m_run.reset();
    m_status->clear();
    m_progress->setValue(0);
    m_progress->setVisible(false);
    m_button.setText(m_idleText);
    if (onRunning) onRunning(false);
    if (!stopped && m_context.showSummary) m_context.showSummary(SUMMARY_TITLE, log);
}
