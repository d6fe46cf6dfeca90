// Publishing a run: records under their locks, requests, stop and the event.
#include "HostPublisher.h"

#include "CmdHostText.h"
#include "platform/TextFormat.h"
#include "platform/Clock.h"
#include "platform/Priority.h"
#include "platform/SysError.h"
#include "tavhost/HostMessages.h"

namespace cmdhost {

namespace {

constexpr uint64_t SERVE_INTERVAL_MS = 10;  // progress reports come far more often

uint32_t GetU32(const std::vector<uint8_t>& bytes) {
    return bytes.size() < 4 ? 0xFFFFFFFF
                            : uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                                  uint32_t(bytes[3]) << 24;
}

}  // namespace

CHostPublisher::CHostPublisher(CRunnerView& view, uint32_t id)
    : m_view(view),
      m_jobLock(tavhost::HostLockName(tavhost::LOCK_JOB_INFO, id)),
      m_statusLock(tavhost::HostLockName(tavhost::LOCK_STATUS_INFO, id)),
      m_logLock(tavhost::HostLockName(tavhost::LOCK_LOG_INFO, id)),
      m_job(tavhost::JOB_RECORD_BYTES, 0),
      m_status(tavhost::STATUS_RECORD_BYTES, 0),
      m_log(tavhost::LOG_RECORD_BYTES, 0) {}

CHostPublisher::~CHostPublisher() = default;

bool CHostPublisher::Open() {
    SetTitle(tavhost::HOST_TITLE_IDLE);
    return m_channel.IsOpen();
}

void CHostPublisher::SetTitle(const std::string& title) {
    if (!m_channel.Open(title) && !m_channelProblemReported) {
        m_channelProblemReported = true;
        m_view.ReportProblem(plat::Format(text::WARN_NOT_PUBLISHED, plat::ErrorText(plat::GetLastError()).c_str()));
    }
    m_view.SetTitle(title);
}

bool CHostPublisher::Store(plat::CNamedLock& lock, std::vector<uint8_t>& record, std::vector<uint8_t> bytes,
                           uint32_t waitMs) {
    plat::CNamedLockGuard guard(lock, waitMs);
    if (!guard.Held()) return false;
    record = std::move(bytes);
    return true;
}

std::vector<uint8_t> CHostPublisher::Read(plat::CNamedLock& lock, const std::vector<uint8_t>& record) {
    plat::CNamedLockGuard guard(lock, tavhost::ANSWER_WAIT_MS);
    if (!guard.Held()) return {};
    return record;
}

std::vector<uint8_t> CHostPublisher::JobBytes() { return Read(m_jobLock, m_job); }
std::vector<uint8_t> CHostPublisher::StatusBytes() { return Read(m_statusLock, m_status); }
std::vector<uint8_t> CHostPublisher::LogBytes() { return Read(m_logLock, m_log); }

void CHostPublisher::OnEngineEvent(EngineEvent event, const HostStatusRecord& status) {
    if (event == EngineEvent::Progress) {
        Store(m_statusLock, m_status, tavhost::EncodeStatusRecord(status), 0);
    } else {
        // One engine's work starts and ends with an empty status record; a reader that
        // holds the lock just now is waited for, so that no stale report outlives the run.
        Store(m_statusLock, m_status, std::vector<uint8_t>(tavhost::STATUS_RECORD_BYTES, 0),
              tavhost::FILL_JOB_WAIT_MS);
    }
    m_view.OnEngineEvent(event, status);
}

void CHostPublisher::OnLogText(const std::string& text) {
    Store(m_logLock, m_log, tavhost::EncodeLogRecord({CutChars(text, LOG_TEXT_CHARS)}), 0);
    m_view.OnLogText(text);
}

void CHostPublisher::OnJobRecord(const HostJobRecord& record) {
    // Filling the record when the run is prepared may wait a little; state changes do not.
    const uint32_t wait = record.runState == RUN_STATE_PREPARED ? tavhost::FILL_JOB_WAIT_MS : 0;
    m_jobRecord = record;
    Store(m_jobLock, m_job, tavhost::EncodeJobRecord(record), wait);
    m_view.OnJobRecord(record);
}

void CHostPublisher::FireEvent(const std::string& name) {
    plat::FireEvent(name);
    m_view.FireEvent(name);
}

std::optional<plat::ChannelMessage> CHostPublisher::Answer(const plat::ChannelMessage& request) {
    const uint32_t wParam = GetU32(request.bytes);
    if (request.type == tavhost::MSG_REQUEST_RECORD) {
        std::vector<uint8_t> record;
        if (wParam == tavhost::RECORD_JOB) record = JobBytes();
        else if (wParam == tavhost::RECORD_STATUS) record = StatusBytes();
        if (record.empty()) return std::nullopt;  // another type, or the lock stayed busy
        return plat::ChannelMessage{wParam, std::move(record)};
    }
    if (request.type == tavhost::MSG_STOP && wParam == tavhost::STOP_WPARAM) {
        m_stop = true;
        if (onStopRequest) onStopRequest();
    }
    return std::nullopt;
}

void CHostPublisher::Serve(uint32_t waitMs) {
    m_lastServe = plat::NowMillis();
    m_channel.Serve(waitMs, [this](const plat::ChannelMessage& request) { return Answer(request); });
}

bool CHostPublisher::Pump() {
    plat::ThrottlePoint();
    if (plat::NowMillis() - m_lastServe >= SERVE_INTERVAL_MS) Serve(0);
    const bool stop = m_view.Pump();
    return stop || m_stop;
}

void CHostPublisher::OnRunEnded(const RunSummary& summary) {
    // What is left of the run's reports goes; the job record keeps how the run ended. A
    // run that failed before its engines said so is over too: followers must see its end.
    if (m_jobRecord.runState == RUN_STATE_PREPARED || m_jobRecord.runState == RUN_STATE_STARTED) {
        m_jobRecord.runState = summary.outcome == RunOutcome::Cancelled ? RUN_STATE_CANCELLED : RUN_STATE_FINISHED;
        Store(m_jobLock, m_job, tavhost::EncodeJobRecord(m_jobRecord), tavhost::ANSWER_WAIT_MS);
    }
    Store(m_statusLock, m_status, std::vector<uint8_t>(tavhost::STATUS_RECORD_BYTES, 0), tavhost::ANSWER_WAIT_MS);
    Store(m_logLock, m_log, std::vector<uint8_t>(tavhost::LOG_RECORD_BYTES, 0), tavhost::ANSWER_WAIT_MS);
    m_view.OnRunEnded(summary);
}

}  // namespace cmdhost
