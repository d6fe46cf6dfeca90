// CRestoreSequence: the engines of one restore or extract, in the order every program runs
// them: for each stored root, its module's engine (subscribed to the caller's observer),
// PreRestoreProcess (restores only), then Restore for each prepared engine until a stop is
// asked, then PostRestoreProcess and Dispose for every engine made, whatever happened
// before. A root whose module is missing or gives no engine is reported, never passed over
// silently. Module code that throws ends that engine's part with a report.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tavrep/TavTypes.h"

class CTavEngine;
class CTavEngineObserver;
class CTavModFactory;
class CTavRepository;

namespace tavctl {

class CRestoreSequence {
public:
    enum class Problem { NoModule, NoEngine, Refused, Threw, Failed };
    // (problem, the root's name, the module id as four letters, detail)
    using Reporter = std::function<void(Problem, const std::string&, const std::string&, const std::string&)>;

    CRestoreSequence(CTavModFactory& hub, CTavRepository& repository, std::string request,
                     CTavEngineObserver* observer, bool prepare, Reporter reporter);
    ~CRestoreSequence();  // as Finish
    CRestoreSequence(const CRestoreSequence&) = delete;
    CRestoreSequence& operator=(const CRestoreSequence&) = delete;

    // Makes the engines of `roots` and prepares them; false when a module refused (the
    // restore must not run; Finish still releases the engines made).
    bool Prepare(const std::vector<TavNodeRec>& roots);
    // Restores with each engine while `stopped` answers false; `after` (when given) is
    // called after each engine's Restore. May run on another thread than Prepare and
    // Finish (never at the same time).
    void Run(const std::function<bool()>& stopped, const std::function<void()>& after = {});
    // PostRestoreProcess (restores) and Dispose of every engine made.
    void Finish();
    // The engine running Restore now (for CancelOperation from another thread), or null.
    void CancelRunning();

    int Engines() const { return int(m_engines.size()); }
    int EnginesRun() const { return m_run; }
    int FailedRoots() const { return m_failed; }
    bool Cancelled() const { return m_cancelled; }

private:
    struct Prepared {
        CTavEngine* engine;
        std::string rootName;
    };
    template <typename Call>
    bool Guarded(const std::string& rootName, const std::string& module, Call call);

    CTavModFactory& m_hub;
    CTavRepository& m_repository;
    std::string m_request;
    CTavEngineObserver* m_observer;
    bool m_prepare;
    Reporter m_report;
    std::vector<Prepared> m_engines;
    std::atomic<CTavEngine*> m_running{nullptr};
    int m_run = 0;
    int m_failed = 0;
    bool m_cancelled = false;
    bool m_finished = false;
};

// "oert" for 0x6F657274; '?' for bytes that are not printable.
std::string FourCCText(uint32_t id);

}  // namespace tavctl
