// The command host's reactions to its engines.
#include "HostObserver.h"

#include "tavengine/TavEngine.h"

namespace cmdhost {

void CHostObserver::Reset() {
    m_job = HostJobRecord{};
    m_status = HostStatusRecord{};
    m_log = HostLogRecord{};
    m_counters = RunCounters{};
    m_itemErrors.clear();
    m_logPath.clear();  // each run starts its own log
}

void CHostObserver::SetRunState(uint32_t state) {
    m_job.runState = state;
    m_view.OnJobRecord(m_job);
}

void CHostObserver::EngineEvent(cmdhost::EngineEvent event, uint32_t runState) {
    SetRunState(runState);
    // The status record shows one engine's work; it starts and ends empty.
    m_status = HostStatusRecord{};
    m_view.OnEngineEvent(event, m_status);
}

void CHostObserver::OnTavEngineProgress(CTavEngine* engine, const std::string& title,
                                        const std::string& item, uint32_t percent) {
    m_status.title = CutChars(title, PROGRESS_TITLE_CHARS);
    m_status.item = CutChars(item, PROGRESS_ITEM_CHARS);
    m_status.percent = percent;
    if (engine != nullptr) {
        m_status.counting = engine->IsCountingWork();
        m_status.counted = engine->HasWorkTotal();
        m_status.filesTotal = engine->GetWorkTotal().files;
        m_status.bytesTotal = engine->GetWorkTotal().bytes;
        m_status.filesDone = engine->GetWorkDone().files;
        m_status.bytesDone = engine->GetWorkDone().bytes;
    }
    m_view.OnEngineEvent(cmdhost::EngineEvent::Progress, m_status);
    // The window's messages (Stop, Hide, record requests) are handled here, between items.
    if (m_view.Pump()) m_stop = true;
    if (m_stop && engine != nullptr) engine->CancelOperation();
}

void CHostObserver::OnTavEngineStart(CTavEngine*) {
    EngineEvent(cmdhost::EngineEvent::Start, RUN_STATE_STARTED);
}

void CHostObserver::OnTavEngineFinish(CTavEngine*) {
    TavWriteLog(LogSeparator());
    EngineEvent(cmdhost::EngineEvent::Finish, RUN_STATE_FINISHED);
}

void CHostObserver::OnTavEngineCancelled(CTavEngine*) {
    EngineEvent(cmdhost::EngineEvent::Cancel, RUN_STATE_CANCELLED);
}

void CHostObserver::OnTavEngineLogNotify(CTavEngine*, const std::string& text) {
    TavWriteLog(text);
    m_log.text = CutChars(text, LOG_TEXT_CHARS);
    m_counters.AddFromLog(text);
    m_view.OnLogText(text);
}

}  // namespace cmdhost

namespace cmdhost {

void CHostObserver::OnTavEngineItemError(CTavEngine*, const std::string& item,
                                         const std::string& reason) {
    // A run with millions of failing items keeps a bounded list; the log names them all.
    constexpr size_t MAX_KEPT = 10000;
    if (m_itemErrors.size() < MAX_KEPT) m_itemErrors.push_back({item, reason});
}

}  // namespace cmdhost
