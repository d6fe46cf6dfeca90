// Helpers of the runner tests: a view that records what a run shows, jobs over the test
// modules, and a look at the repository afterwards.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "RunnerView.h"
#include "apps/AppTestUtil.h"
#include "platform/FileSystem.h"
#include "support/RepBuilder.h"
#include "support/TempDir.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavModFactory.h"
#include "tavrep/TavRepository.h"

namespace hosttest {

using tavtest::CTempDir;

class CRecordingView : public cmdhost::CRunnerView {
public:
    bool visible = true;
    std::vector<std::string> messages;  // shown in message boxes
    std::vector<std::string> problems;
    std::vector<std::string> titles;
    std::vector<std::string> events;  // fired event messages
    std::vector<cmdhost::HostStatusRecord> progress;
    std::vector<uint32_t> runStates;
    // Answers for the repository's questions.
    bool answerYes = false;
    std::string chosenPath;
    std::vector<std::string> questions;
    // Pump answers "stop" from this progress report on (0: never).
    int stopAtReport = 0;
    std::function<void()> onEvent;  // called when the event message is fired

    bool IsVisible() const override { return visible; }
    void Hide() override { visible = false; }
    void SetTitle(const std::string& title) override { titles.push_back(title); }
    void ShowMessage(const std::string& text, cmdhost::MessageIcon) override {
        messages.push_back(text);
    }
    void ReportProblem(const std::string& text) override { problems.push_back(text); }
    bool AskYesNo(const std::string& question) override {
        questions.push_back(question);
        return answerYes;
    }
    bool ChooseImagePath(std::string& path, bool) override {
        if (chosenPath.empty()) return false;
        path = chosenPath;
        return true;
    }
    void OnEngineEvent(cmdhost::EngineEvent event, const cmdhost::HostStatusRecord& status) override {
        if (event == cmdhost::EngineEvent::Progress) progress.push_back(status);
    }
    void OnJobRecord(const cmdhost::HostJobRecord& record) override { runStates.push_back(record.runState); }
    void FireEvent(const std::string& name) override {
        events.push_back(name);
        if (onEvent) onEvent();
    }
    bool Pump() override { return stopAtReport != 0 && int(progress.size()) >= stopAtReport; }

    bool Shown(const std::string& text) const {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }
};

// A job file in a temporary folder whose repository lies in the same folder.
class CTestJob {
public:
    explicit CTestJob(const CTempDir& dir, const std::string& title = "Nightly")
        : path(dir / "nightly.tvj"), location(dir.Path()) {
        job.SetImageDesc("store", "1 MB", 0x0F, location);
        job.SetJobDesc("title", title);
    }
    // Adds a backup node of one of the test modules with the given attributes.
    XMLNode AddModule(const std::string& module,
                      const std::vector<std::pair<std::string, std::string>>& attributes = {}) {
        XMLNode node = job.AddBackupNode("Run Test " + module, module);
        for (const auto& [name, value] : attributes) node.SetAttribute(name, value);
        node.AddChild("item");  // something to back up: a job without it is refused
        return node;
    }
    void Save() { ASSERT_EQ(job.Save(path), 1) << job.GetErrorText(); }
    std::string ImagePath(uint32_t id = 0) const {
        return tavtest::ImagePath(location + "/store.tvr", id);
    }
    std::string LogFolder() const { return CTavEngineObserver::GetLogFolder(job); }

    std::string path;
    std::string location;
    CTavJobHelper job;
};

using apptest::Baselines;
using apptest::Utf16Text;

// The files of a folder (a job's log folder), by full path.
inline std::vector<std::string> LogFiles(const std::string& folder) {
    std::vector<TavFindData> entries;
    std::vector<std::string> out;
    if (!plat::ListDirectory(folder, entries)) return out;
    for (const TavFindData& e : entries) out.push_back(plat::JoinPath(folder, e.name));
    return out;
}

using tavtest::Contains;

}  // namespace hosttest
