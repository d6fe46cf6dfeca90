#include "BackupNow.h"

#include <QWidget>

#include "BackupTypeDlg.h"
#include "HostRunSource.h"
#include "RunPageTexts.h"
#include "SubViewStatus.h"
#include "core/BackupRun.h"
#include "core/TavoraDoc.h"
#include "platform/ThreadPriority.h"
#include "tavui/Prompt.h"

using namespace runtext;

namespace {
std::string Fill(const char* pattern, const std::string& value) {
    return QString(pattern).replace("%s", QString::fromStdString(value)).toStdString();
}
std::string WithReason(const char* text, const std::string& reason) {
    return reason.empty() ? std::string(text) : std::string(text) + "\n(" + reason + ")";
}
}  // namespace

CBackupNow::CBackupNow(CTavoraDoc& doc, tavui::IPrompt& prompt, const CTavModFactory& hub,
                       CSubViewStatus& status, QWidget* window)
    : QObject(window), m_doc(doc), m_prompt(prompt), m_hub(hub), m_status(status), m_window(window) {}

CBackupNow::~CBackupNow() { Abandon(); }

void CBackupNow::Abandon() {
    if (m_run) m_run->RequestStop();
    if (m_worker.joinable()) m_worker.join();
    // The run's transaction is rolled back with the repository.
    m_run.reset();
}

bool CBackupNow::Start() {
    if (m_run) return false;
    // 1. A run of the command host on the same repository comes first.
    if (!m_doc.Path().empty()) {
        const std::string image = m_doc.Job().GetImagePathText();
        if (hostRuns && hostRuns->IsRestoring(image)) {
            m_prompt.Message(m_window, Fill(RESTORING, image), tavui::PromptIcon::Information);
            return false;
        }
        if (hostRuns && hostRuns->IsBackingUp(image)) {
            if (showStatusPage) showStatusPage();
            return false;
        }
    } else {
        m_doc.SetModified(true);
    }
    // 2. The type: incremental only when there is an image to add to.
    std::string last;
    const bool haveImage = m_doc.Job().FindLastImagePath(last) != 0xFFFFFFFF;
    bool full = !haveImage;
    if (!CBackupTypeDlg::Ask(m_window, haveImage, full)) return false;
    // 3. The job is run as saved.
    if (saveModified && !saveModified()) return false;
    if (m_doc.Path().empty()) {
        m_prompt.Message(m_window, JOB_NOT_SAVED, tavui::PromptIcon::Warning);
        return false;
    }
    // 4-7. Command word, repository, latest baseline, transaction.
    auto run = std::make_unique<editor::CBackupRun>(m_hub);
    if (!run->Prepare(m_doc.Job(), full, &m_status)) {
        const bool unreadable = run->Outcome() == editor::BackupOutcome::BaselineUnreadable;
        m_prompt.Message(m_window, WithReason(unreadable ? CANNOT_LOAD_IMAGE : ACCESS_DENIED, run->Problem()),
                         tavui::PromptIcon::Warning);
        return false;
    }
    // 8-9. The engines, while the STATUS page shows them.
    m_run = std::move(run);
    m_status.OnRunStarts(*m_run);
    if (showStatusPage) showStatusPage();
    if (runningChanged) runningChanged(true);
    if (!runOnWorker) {
        m_run->Run(m_status);
        OnWorkerDone();
        return true;
    }
    m_worker = std::thread([this] {
        // The run works at idle priority; the window's thread keeps its own.
        plat::LowerCurrentThreadPriority();
        m_run->Run(m_status);
        QMetaObject::invokeMethod(this, [this] { OnWorkerDone(); }, Qt::QueuedConnection);
    });
    return true;
}

void CBackupNow::OnWorkerDone() {
    if (m_worker.joinable()) m_worker.join();
    if (!m_run) return;
    // 10-11. The page's run ends, the repository is released, the user is told.
    m_status.OnRunEnded();
    m_run->Release();
    const editor::BackupOutcome outcome = m_run->Outcome();
    const std::string problem = m_run->Problem();
    m_run.reset();
    if (runningChanged) runningChanged(false);
    if (outcome == editor::BackupOutcome::Committed)
        m_prompt.Message(m_window, BACKUP_FINISHED, tavui::PromptIcon::Information);
    else
        m_prompt.Message(m_window, Fill(BACKUP_NOT_FINISHED, problem), tavui::PromptIcon::Warning);
    emit finished();
}

void CBackupNow::RequestStop() {
    if (m_run) m_run->RequestStop();
}

void CBackupNow::WaitForEnd() {
    if (m_worker.joinable()) m_worker.join();
    OnWorkerDone();
}
