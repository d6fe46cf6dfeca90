// CBackupRun: one backup of the editor's open job ("Backup Now"): the repository, the
// latest baseline and the transaction are taken on the window's thread (Prepare), the
// modules' engines run on a worker thread (Run), and the repository is released on the
// window's thread again (Release). Whatever way a run ends, everything it took is released,
// so the next run can start.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CTavEngine;
class CTavEngineObserver;
class CTavJobHelper;
class CTavModFactory;
class CTavRepBaselineDetails;
class CTavRepErrorCallback;
class CTavRepository;

namespace editor {

enum class BackupOutcome {
    NotRun,
    CannotStart,         // no repository or no transaction: "Access denied. ..."
    BaselineUnreadable,  // "Cannot load image file. ..."
    Committed,           // a new baseline ("Manual Backup") is in
    Failed,              // a module failed or the baseline could not be saved: rolled back
    Cancelled            // stopped by the user: rolled back
};

class CBackupRun {
public:
    explicit CBackupRun(const CTavModFactory& hub);
    ~CBackupRun();
    CBackupRun(const CBackupRun&) = delete;
    CBackupRun& operator=(const CBackupRun&) = delete;

    // Steps before the engines: the run's command word (the job's with the backup marker and
    // the type), the job's text for the engines, the repository, its latest baseline and the
    // transaction. The job itself is left as it was. False when the run cannot start
    // (Outcome() and Problem() say why); nothing is then held.
    bool Prepare(CTavJobHelper& job, bool full, CTavRepErrorCallback* errorCallback);
    // Runs each module's engine in the job's order with `observer` subscribed, then saves and
    // commits the baseline, or rolls back. `onEngine` is told of each engine before it runs.
    // Any thread; one call per run.
    void Run(CTavEngineObserver& observer, const std::function<void(CTavEngine*)>& onEngine = {});
    // Releases the baseline and the repository (also done by the destructor).
    void Release();
    // Asks the running engine to stop and keeps further engines from starting. Any thread.
    void RequestStop();
    bool StopRequested() const { return m_stop.load(); }

    BackupOutcome Outcome() const { return m_outcome; }
    // Why the run did not commit, in words for the user; empty after a commit.
    const std::string& Problem() const { return m_problem; }
    uint32_t Command() const { return m_command; }
    uint32_t Baseline() const { return m_baseline; }
    CTavRepository* Repository() const { return m_repository; }

private:
    bool RunModules(CTavEngineObserver& observer, const std::function<void(CTavEngine*)>& onEngine);
    void Finish(bool allSucceeded);

    const CTavModFactory& m_hub;
    std::string m_jobText;
    std::string m_title;
    std::vector<std::string> m_modules;
    uint32_t m_command = 0;
    CTavRepository* m_repository = nullptr;
    CTavRepBaselineDetails* m_details = nullptr;
    BackupOutcome m_outcome = BackupOutcome::NotRun;
    std::string m_problem;
    uint32_t m_baseline = 0xFFFFFFFF;
    std::atomic<bool> m_stop{false};
    std::mutex m_engineLock;
    CTavEngine* m_engine = nullptr;
};

}  // namespace editor

namespace editor {

// The repository's image files of a job (the first image and the numbered ones): how many
// and their bytes together.
void CountImageFiles(const CTavJobHelper& job, int& count, uint64_t& bytes);
// "%0.2lf %s" in Bytes, KB, MB or GB (divided by 1024 while above 1024, at most three times).
std::string ImageSizeText(uint64_t bytes);

}  // namespace editor
