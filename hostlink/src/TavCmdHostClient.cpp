// Finding running command hosts and asking them for their records.
#include "tavhost/TavCmdHostClient.h"

#include "platform/Process.h"
#include "tavhost/HostMessages.h"

namespace tavhost {

namespace {

std::vector<uint8_t> RequestBytes(uint32_t type) {
    // The record type, then the requester (our process id as a 64-bit value).
    const uint64_t requester = plat::ProcessId();
    std::vector<uint8_t> bytes(12, 0);
    for (int i = 0; i < 4; ++i) bytes[size_t(i)] = uint8_t(type >> (8 * i));
    for (int i = 0; i < 8; ++i) bytes[size_t(4 + i)] = uint8_t(requester >> (8 * i));
    return bytes;
}

}  // namespace

std::vector<CTavCmdHostClient> CTavCmdHostClient::Find(const std::string& title) {
    std::vector<CTavCmdHostClient> hosts;
    for (plat::ChannelAddress& address : plat::FindChannels(title)) hosts.emplace_back(std::move(address));
    return hosts;
}

std::vector<CTavCmdHostClient> CTavCmdHostClient::FindForImage(const std::string& imagePath) {
    return Find(HostTitleForImage(imagePath));
}

HostAnswer CTavCmdHostClient::RequestRecord(uint32_t type, std::vector<uint8_t>& record,
                                            std::string& error) const {
    plat::ChannelMessage request{MSG_REQUEST_RECORD, RequestBytes(type)};
    plat::ChannelMessage answer;
    switch (plat::ChannelRequest(m_address, request, answer, m_timeoutMs)) {
        case plat::ChannelResult::Answered: break;
        case plat::ChannelResult::NoAnswer: return HostAnswer::NoAnswer;
        case plat::ChannelResult::NotReached: return HostAnswer::NotRunning;
        case plat::ChannelResult::BadAnswer:
            error = "the command host's answer was cut short or came too late";
            return HostAnswer::BadAnswer;
    }
    if (answer.type != type) {
        error = "the command host answered with another record (type " + std::to_string(answer.type) + ")";
        return HostAnswer::BadAnswer;
    }
    record = std::move(answer.bytes);
    return HostAnswer::Ok;
}

HostAnswer CTavCmdHostClient::GetJobRecord(HostJobRecord& record, std::string& error) const {
    std::vector<uint8_t> bytes;
    const HostAnswer answer = RequestRecord(RECORD_JOB, bytes, error);
    if (answer != HostAnswer::Ok) return answer;
    return DecodeJobRecord(bytes, record, error) ? HostAnswer::Ok : HostAnswer::BadAnswer;
}

HostAnswer CTavCmdHostClient::GetStatusRecord(HostStatusRecord& record, std::string& error) const {
    std::vector<uint8_t> bytes;
    const HostAnswer answer = RequestRecord(RECORD_STATUS, bytes, error);
    if (answer != HostAnswer::Ok) return answer;
    return DecodeStatusRecord(bytes, record, error) ? HostAnswer::Ok : HostAnswer::BadAnswer;
}

bool CTavCmdHostClient::RequestStop() const {
    std::vector<uint8_t> bytes(4, 0);
    bytes[0] = uint8_t(STOP_WPARAM);
    plat::ChannelMessage answer;
    const plat::ChannelResult result =
        plat::ChannelRequest(m_address, plat::ChannelMessage{MSG_STOP, bytes}, answer, m_timeoutMs);
    return result != plat::ChannelResult::NotReached;
}

namespace {

// Asks `host` for both records; `last` keeps what an answer does not replace.
HostRunSnapshot PollHost(const CTavCmdHostClient& host, HostRunSnapshot last) {
    HostRunSnapshot now = std::move(last);
    now.pid = host.ProcessId();
    now.problem.clear();
    HostJobRecord job;
    HostStatusRecord status;
    std::string error;
    const HostAnswer a = host.GetJobRecord(job, error);
    const HostAnswer s = a == HostAnswer::NotRunning ? a : host.GetStatusRecord(status, error);
    if (a == HostAnswer::NotRunning || s == HostAnswer::NotRunning) {
        now.state = HostRunSnapshot::State::Ended;
        return now;
    }
    if (a == HostAnswer::Ok) now.job = job;
    if (s == HostAnswer::Ok) now.status = status;
    if (a == HostAnswer::BadAnswer || s == HostAnswer::BadAnswer) now.problem = error;
    const bool over = now.job.runState == RUN_STATE_FINISHED || now.job.runState == RUN_STATE_CANCELLED;
    now.state = over ? HostRunSnapshot::State::Ended : HostRunSnapshot::State::Running;
    return now;
}

}  // namespace

HostRunSnapshot CHostRunFollower::Poll() {
    const std::vector<CTavCmdHostClient> hosts = CTavCmdHostClient::FindForImage(m_imagePath);
    if (m_last.state == HostRunSnapshot::State::Running) {
        // Stay with the host we follow; once it is gone its run is over.
        for (const CTavCmdHostClient& host : hosts)
            if (host.ProcessId() == m_last.pid) return m_last = PollHost(host, m_last);
        m_last.state = HostRunSnapshot::State::Ended;
        m_last.status = HostStatusRecord{};
        return m_last;
    }
    if (hosts.empty()) return m_last;
    // A run (a new one after an ended one).
    if (m_last.pid != hosts.front().ProcessId() || m_last.state == HostRunSnapshot::State::NoHost)
        m_last = HostRunSnapshot{};
    m_last = PollHost(hosts.front(), m_last);
    return m_last;
}

}  // namespace tavhost
