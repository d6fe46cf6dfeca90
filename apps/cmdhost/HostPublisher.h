// CHostPublisher: makes a run visible to other programs. It listens under the host's
// window title, keeps the job, status and log records in their byte layouts guarded by
// their named locks, answers requests for the job and status records, takes stop
// requests and fires the event named by the title when the run's transaction is open.
// It sits between the runner and the view that shows the run (the window or the
// terminal) and passes everything on to that view.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "RunnerView.h"
#include "platform/NamedLock.h"
#include "platform/WindowChannel.h"

namespace cmdhost {

class CHostPublisher : public CRunnerView {
public:
    // `id` tells this host's locks apart from other hosts' (the process id).
    CHostPublisher(CRunnerView& view, uint32_t id);
    ~CHostPublisher() override;

    // Starts listening under the idle title "Tavora Command Host". False (with a warning
    // through the view) when the socket cannot be made; the run goes on unseen.
    bool Open();
    // Handles the requests that are waiting, waiting up to `waitMs` for the first.
    void Serve(uint32_t waitMs = 0);
    bool StopRequested() const { return m_stop; }
    // Called when a stop request comes (the window reacts at once).
    std::function<void()> onStopRequest;
    // The records as other programs receive them.
    std::vector<uint8_t> JobBytes();
    std::vector<uint8_t> StatusBytes();
    std::vector<uint8_t> LogBytes();
    const plat::CChannelServer& Channel() const { return m_channel; }

    bool IsVisible() const override { return m_view.IsVisible(); }
    void Hide() override { m_view.Hide(); }
    void SetTitle(const std::string& title) override;
    void ShowMessage(const std::string& text, MessageIcon icon) override { m_view.ShowMessage(text, icon); }
    void ReportProblem(const std::string& text) override { m_view.ReportProblem(text); }
    void ShowUsage(const std::string& text) override { m_view.ShowUsage(text); }
    bool AskYesNo(const std::string& question) override { return m_view.AskYesNo(question); }
    bool ChooseImagePath(std::string& path, bool forSaving) override {
        return m_view.ChooseImagePath(path, forSaving);
    }
    void OnEngineEvent(EngineEvent event, const HostStatusRecord& status) override;
    void OnLogText(const std::string& text) override;
    void OnJobRecord(const HostJobRecord& record) override;
    void FireEvent(const std::string& name) override;
    // Serves waiting requests, then lets the view pump; true when either asked to stop.
    bool Pump() override;
    void OnRunEnded(const RunSummary& summary) override;

private:
    // Stores `bytes` into `record` under `lock`, waiting up to `waitMs`; false when busy.
    bool Store(plat::CNamedLock& lock, std::vector<uint8_t>& record, std::vector<uint8_t> bytes,
               uint32_t waitMs);
    std::vector<uint8_t> Read(plat::CNamedLock& lock, const std::vector<uint8_t>& record);
    std::optional<plat::ChannelMessage> Answer(const plat::ChannelMessage& request);

    CRunnerView& m_view;
    plat::CChannelServer m_channel;
    plat::CNamedLock m_jobLock;
    plat::CNamedLock m_statusLock;
    plat::CNamedLock m_logLock;
    HostJobRecord m_jobRecord;
    std::vector<uint8_t> m_job;
    std::vector<uint8_t> m_status;
    std::vector<uint8_t> m_log;
    std::atomic<bool> m_stop{false};
    bool m_channelProblemReported = false;
    uint64_t m_lastServe = 0;
};

}  // namespace cmdhost
