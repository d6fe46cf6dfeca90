// The progress line of tavctl backup: the work is counted before the run (a walk of the
// job's sources, compared with the newest baseline for an incremental run), so that the
// percent and the time left are right from the start.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

#include "ProgressMeter.h"
#include "RunnerView.h"

namespace tavctl {

// The files a run will store and their bytes, by path.
struct BackupWork {
    uint64_t files = 0;
    uint64_t bytes = 0;
    std::unordered_map<std::string, uint64_t> sizes;
};

// Walks the Files and Folders sources of the job at `jobPath` (without its excluded paths)
// and counts every file a full run stores, or an incremental run: the files that are new or
// whose size or written time differ from the newest baseline.
BackupWork CountBackupWork(const std::string& jobPath, bool full);

// A view that draws the progress line itself and passes everything else to `inner`.
class CBackupProgressView : public cmdhost::CRunnerView {
public:
    CBackupProgressView(cmdhost::CRunnerView& inner, std::ostream& stream, const BackupWork& work,
                        unsigned columns);

    bool IsVisible() const override { return m_inner.IsVisible(); }
    void Hide() override { m_inner.Hide(); }
    void SetTitle(const std::string& title) override { m_inner.SetTitle(title); }
    void ShowMessage(const std::string& text, cmdhost::MessageIcon icon) override {
        m_meter.Clear();
        m_inner.ShowMessage(text, icon);
    }
    void ReportProblem(const std::string& text) override {
        m_meter.Clear();
        m_inner.ReportProblem(text);
    }
    bool AskYesNo(const std::string& question) override { return m_inner.AskYesNo(question); }
    bool ChooseImagePath(std::string& path, bool forSaving) override {
        return m_inner.ChooseImagePath(path, forSaving);
    }
    void OnEngineEvent(cmdhost::EngineEvent event, const cmdhost::HostStatusRecord& status) override;
    void OnLogText(const std::string& text) override { m_inner.OnLogText(text); }
    void OnJobRecord(const cmdhost::HostJobRecord& record) override { m_inner.OnJobRecord(record); }
    void FireEvent(const std::string& name) override { m_inner.FireEvent(name); }
    bool Pump() override { return m_inner.Pump(); }
    void OnRunEnded(const cmdhost::RunSummary& summary) override {
        m_meter.Clear();
        m_inner.OnRunEnded(summary);
    }
    void Clear() { m_meter.Clear(); }

private:
    cmdhost::CRunnerView& m_inner;
    const BackupWork& m_work;
    CProgressMeter m_meter;
    std::string m_item;
    uint64_t m_itemSize = 0, m_filesDone = 0, m_bytesDone = 0;
};

}  // namespace tavctl
