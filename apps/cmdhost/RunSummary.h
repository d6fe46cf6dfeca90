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
    Refused,             // the job cannot run (nothing to back up, a module not installed)
    CannotStart,         // no repository or no transaction
    BaselineUnreadable,  // the repository's latest baseline could not be loaded
    Failed,              // a module failed (or the baseline could not be saved): rolled back
    Cancelled,           // stopped by the user: rolled back
    Committed            // a new baseline was saved and committed
};

// An item the run could not store, and why.
struct ItemError {
    std::string item;
    std::string reason;
};

// Exit statuses of a run (TavCmdHost and tavctl backup), as cron and systemd read them.
constexpr int EXIT_COMMITTED = 0;      // committed, every item stored
constexpr int EXIT_NOT_COMMITTED = 1;  // nothing committed (failure, stop, bad job)
constexpr int EXIT_USAGE = 2;          // the command line is wrong
constexpr int EXIT_ITEMS_MISSING = 3;  // committed, but some items could not be stored

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
    std::vector<ItemError> itemErrors;  // the items in error the engines named, in order
    std::vector<std::string> cleanedUp;  // leftovers of unfinished runs removed first (run log lines)

    bool Committed() const { return outcome == RunOutcome::Committed; }
    // Items in error: those named, or more when an engine counted some it did not name.
    uint64_t ErrorCount() const {
        return counters.errors > itemErrors.size() ? counters.errors : itemErrors.size();
    }
    // 0, 3 or 1 (see the constants above).
    int ExitStatus() const {
        if (!Committed()) return EXIT_NOT_COMMITTED;
        return ErrorCount() > 0 || retentionFailed ? EXIT_ITEMS_MISSING : EXIT_COMMITTED;
    }
};

const char* RunOutcomeName(RunOutcome outcome);

}  // namespace cmdhost
