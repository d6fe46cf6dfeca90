// The progress line of tavctl backup: the Files and Folders engine knows its work before it
// stores anything (its walk notes the files to store first), so that the percent and the
// time left are right from the start.
#pragma once
#include <cstdint>
#include <string>

#include "ProgressMeter.h"
#include "RunnerView.h"

namespace tavctl {

// A view that draws the progress line itself and passes everything else to `inner`.
class CBackupProgressView : public cmdhost::CRunnerView {
public:
    CBackupProgressView(cmdhost::CRunnerView& inner, std::ostream& stream, unsigned columns);

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
    CProgressMeter m_meter;
};

}  // namespace tavctl
