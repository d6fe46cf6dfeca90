// A browser run of the module engines.
#include "EngineRun.h"

#include <cstdio>

#include "BrowserTexts.h"
#include "tavengine/TavEngine.h"
#include "platform/TextFormat.h"

using namespace browsertext;

CEngineRun::CEngineRun(CTavModFactory& hub, CTavRepository& repository, std::string request,
                       bool prepare, QObject* parent)
    : QObject(parent) {
    m_sequence = std::make_unique<tavctl::CRestoreSequence>(
        hub, repository, std::move(request), this, prepare,
        [this](tavctl::CRestoreSequence::Problem p, const std::string& root, const std::string& module,
               const std::string& detail) { Report(p, root, module, detail); });
    connect(this, &CEngineRun::progressPending, this, &CEngineRun::DeliverProgress);
}

CEngineRun::~CEngineRun() { Finish(); }

std::string CEngineRun::Separator() { return "\r\n" + std::string(71, '-') + "\r\n"; }

void CEngineRun::Report(tavctl::CRestoreSequence::Problem problem, const std::string& root,
                        const std::string& module, const std::string& detail) {
    std::string line;
    switch (problem) {
        case tavctl::CRestoreSequence::Problem::NoModule:
            line = plat::Format(NO_MODULE_LINE, root.c_str(), module.c_str());
            break;
        case tavctl::CRestoreSequence::Problem::NoEngine:
            line = plat::Format(NO_ENGINE_LINE, root.c_str(), module.c_str());
            break;
        case tavctl::CRestoreSequence::Problem::Threw:
            line = plat::Format(ENGINE_THREW_LINE, root.c_str(), detail.c_str());
            break;
        default:
            return;  // a refusal is silent; a failed engine has said why in its log
    }
    Append(line);
}

bool CEngineRun::Prepare(const std::vector<TavNodeRec>& roots) { return m_sequence->Prepare(roots); }

void CEngineRun::Start() {
    m_running.store(true);
    m_worker = std::thread([this] {
        m_sequence->Run([this] { return m_stop.load(); });
        m_running.store(false);
        emit finished();
    });
}

void CEngineRun::RunHere() {
    m_running.store(true);
    m_sequence->Run([this] { return m_stop.load(); });
    m_running.store(false);
    emit finished();
}

void CEngineRun::RequestStop() {
    m_stop.store(true);
    m_sequence->CancelRunning();
}

void CEngineRun::Finish() {
    if (m_worker.joinable()) m_worker.join();
    m_sequence->Finish();
}

std::string CEngineRun::Log() const {
    std::lock_guard<std::mutex> lock(m_logLock);
    return m_log;
}

std::string CEngineRun::TakeNewLog() {
    std::lock_guard<std::mutex> lock(m_logLock);
    std::string added = m_log.substr(m_logTaken);
    m_logTaken = m_log.size();
    m_logPending = false;
    return added;
}

void CEngineRun::Append(const std::string& text) {
    bool notify = false;
    {
        std::lock_guard<std::mutex> lock(m_logLock);
        m_log += text;
        notify = !m_logPending;
        m_logPending = true;
    }
    // A restore logs a line per item: the window hears of new lines once per turn of its
    // event loop, never once per line.
    if (notify) emit logChanged();
}

void CEngineRun::OnTavEngineProgress(CTavEngine* engine, const std::string& title,
                                     const std::string& item, uint32_t percent) {
    if (m_stop.load()) engine->CancelOperation();
    // At most one report per percent or per 40 ms reaches the window.
    const auto now = std::chrono::steady_clock::now();
    if (int(percent) == m_lastPercent && now - m_lastReport < std::chrono::milliseconds(40)) return;
    m_lastPercent = int(percent);
    m_lastReport = now;
    // Reports wait in one slot, and the window hears of them once per turn of its event
    // loop: a slow repaint never makes a queue of reports that a click must wait behind.
    bool notify = false;
    {
        std::lock_guard<std::mutex> lock(m_logLock);
        m_pendingStatus = title + ": " + item;
        m_pendingPercent = int(percent);
        notify = !m_progressPending;
        m_progressPending = true;
    }
    if (notify) emit progressPending();
}

void CEngineRun::DeliverProgress() {
    std::string status;
    int percent = 0;
    {
        std::lock_guard<std::mutex> lock(m_logLock);
        if (!m_progressPending) return;
        status.swap(m_pendingStatus);
        percent = m_pendingPercent;
        m_progressPending = false;
    }
    emit progress(QString::fromStdString(status), percent);
}

void CEngineRun::OnTavEngineFinish(CTavEngine*) { Append(Separator()); }

void CEngineRun::OnTavEngineCancelled(CTavEngine*) {
    emit cancelledByEngine();
    Append(Separator());
}

void CEngineRun::OnTavEngineLogNotify(CTavEngine*, const std::string& text) { Append(text); }
