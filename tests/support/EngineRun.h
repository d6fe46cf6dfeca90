// Engine runs for tests: an observer that records what an engine reports (and can cancel
// the run), and a backup run made the way the programs make it.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tavengine/TavEngine.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavJobHelper.h"
#include "tavrep/TavRepository.h"

namespace tavtest {

struct Progress {
    std::string title;
    std::string item;
    uint32_t percent = 0;
};

// Records what an engine tells its observer. Cancels the run after `cancelAfter` progress
// reports, or when `cancelWhen` says so.
class CEngineRecorder : public CTavEngineObserver {
public:
    void OnTavEngineProgress(CTavEngine* engine, const std::string& title, const std::string& item,
                             uint32_t percent) override {
        progress.push_back({title, item, percent});
        titles[title] += 1;
        if ((cancelAfter > 0 && int(progress.size()) >= cancelAfter) ||
            (cancelWhen && cancelWhen(item, percent)))
            engine->CancelOperation();
    }
    void OnTavEngineStart(CTavEngine*) override { ++starts; }
    void OnTavEngineFinish(CTavEngine* engine) override {
        ++finishes;
        counted = engine->HasWorkTotal();
        workTotal = engine->GetWorkTotal();
        workDone = engine->GetWorkDone();
    }
    void OnTavEngineCancelled(CTavEngine*) override { ++cancels; }
    void OnTavEngineLogNotify(CTavEngine*, const std::string& text) override { log += text; }

    std::string FirstItem() const { return progress.empty() ? std::string() : progress[0].item; }

    int cancelAfter = 0;
    std::function<bool(const std::string& item, uint32_t percent)> cancelWhen;
    std::vector<Progress> progress;
    std::map<std::string, int> titles;
    std::string log;
    int starts = 0, finishes = 0, cancels = 0;
    bool counted = false;  // the engine knew its work (then workTotal holds the totals)
    TavRunWork workTotal, workDone;
};

// What a recorder heard of one engine run, kept in a run's result.
struct RecordedEvents {
    std::string log;
    std::vector<Progress> progress;
    int starts = 0, finishes = 0, cancels = 0;

    void TakeEvents(const CEngineRecorder& recorder) {
        log = recorder.log;
        progress = recorder.progress;
        starts = recorder.starts;
        finishes = recorder.finishes;
        cancels = recorder.cancels;
    }
};

struct BackupRun {
    int32_t result = -1;
    uint32_t state = 99;
    bool committed = false;
    uint32_t imageId = TAV_NONE;  // the image the run wrote into
};

// One backup run as the runners make it: the job's repository (created or attached), the
// newest baseline as the working table, a transaction and the engine's Backup; then save and
// commit when the engine finished, else roll back. `engine` is not disposed; `command` is
// the command word saved with the baseline.
inline BackupRun RunBackup(CTavJobHelper& job, const std::string& jobXml, CTavEngine& engine,
                           CEngineRecorder& recorder, uint32_t command, const char* jobName) {
    BackupRun out;
    CTavRepository* rep = CTavEngine::CreateRepForBackup(&job);
    EXPECT_NE(rep, nullptr) << CTavEngine::GetRepError();
    if (rep == nullptr) return out;
    CTavRepBaselineDetails* table = rep->LoadBaseline(rep->GetLatestBaselineNumber());
    EXPECT_NE(table, nullptr);
    EXPECT_EQ(rep->BeginTrans(5000), 1);
    out.imageId = rep->GetCurrentImageID();
    engine.SubscribeNotify(&recorder);
    out.result = engine.Backup(jobXml, rep, table);
    out.state = engine.GetEngineState();
    if (out.result != 0 && out.state == TAV_ENGINE_FINISHED) {
        out.committed = rep->SaveBaseline(table, jobName, "Manual Backup", command) != TAV_NONE &&
                        rep->CommitTrans() != 0;
    } else {
        rep->RollbackTrans();
    }
    table->Dispose();
    CTavEngine::DisposeRep(rep);
    return out;
}

}  // namespace tavtest
