#include "HostRunLink.h"

#include "tavhost/HostMessages.h"
#include "tavhost/TavCmdHostClient.h"

using tavhost::CHostRunFollower;
using tavhost::CTavCmdHostClient;
using tavhost::HostRunSnapshot;

CHostRunLink::CHostRunLink(QObject* parent) : QObject(parent) {
    m_timer.setInterval(POLL_MS);
    connect(&m_timer, &QTimer::timeout, this, &CHostRunLink::Poll);
}

CHostRunLink::~CHostRunLink() = default;

bool CHostRunLink::IsRestoring(const std::string& imagePathText) {
    return !CTavCmdHostClient::Find(tavhost::HostRestoreTitleForImage(imagePathText)).empty();
}

bool CHostRunLink::IsBackingUp(const std::string& imagePathText) {
    return !CTavCmdHostClient::FindForImage(imagePathText).empty();
}

bool CHostRunLink::Follow(const std::string& imagePathText, IHostRunSink& sink) {
    Unfollow();
    auto follower = std::make_unique<CHostRunFollower>(imagePathText);
    if (follower->Poll().state != HostRunSnapshot::State::Running) return false;
    m_follower = std::move(follower);
    m_sink = &sink;
    Poll();
    m_timer.start();
    return true;
}

void CHostRunLink::Unfollow() {
    m_timer.stop();
    m_follower.reset();
    m_sink = nullptr;
}

void CHostRunLink::Poll() {
    if (!m_follower || m_sink == nullptr) return;
    const HostRunSnapshot snapshot = m_follower->Poll();
    IHostRunSink* sink = m_sink;
    if (snapshot.state == HostRunSnapshot::State::Running) {
        sink->OnHostRunState(snapshot.job.runState);
        sink->OnHostProgress(snapshot.status.title, snapshot.status.item, snapshot.status.percent);
        return;
    }
    // The host is gone or says it is done: the page hears the end once.
    const uint32_t end = snapshot.job.runState == tavhost::RUN_STATE_CANCELLED ? tavhost::RUN_STATE_CANCELLED
                                                                               : tavhost::RUN_STATE_FINISHED;
    Unfollow();
    sink->OnHostRunState(end);
}
