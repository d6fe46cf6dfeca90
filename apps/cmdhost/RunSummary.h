// RunSummary: how one backup run ended and what it did.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "RunCounters.h"

namespace cmdhost {

enum class RunOutcome {
    NotRun,              // no run yet
    JobNotLoaded,        // the job file could not be read
    CannotStart,         // no repository or no transaction
    BaselineUnreadable,  // the repository's latest baseline could not be loaded
    Failed,              // a module failed (or the baseline could not be saved): rolled back
    Cancelled,           // stopped by the user: rolled back
    Committed            // a new baseline was saved and committed
};

// What one run did, for a summary on the terminal.
struct RunSummary {
    RunOutcome outcome = RunOutcome::NotRun;
    std::string jobPath;
    std::string imagePath;          // the job's image location and name (the title's text)
    std::string repositoryPath;     // the repository's first image file
    uint32_t command = 0;           // the run's command word
    uint32_t baseline = 0xFFFFFFFF; // the number of the saved baseline
    RunCounters counters;           // summed over the modules' closing logs
    uint64_t bytesStored = 0;       // bytes the run added to the repository
    uint64_t elapsedMs = 0;
    std::string logPath;            // empty when the log could not be started
    std::string problem;            // why nothing was committed, in words for the user
    std::vector<std::string> passedOver;  // modules of the job that did not run
    std::string retention;          // what the job's keep policy forgot and freed (run log text)
    bool retentionFailed = false;   // the keep policy could not be applied in full

    bool Committed() const { return outcome == RunOutcome::Committed; }
};

const char* RunOutcomeName(RunOutcome outcome);

}  // namespace cmdhost
