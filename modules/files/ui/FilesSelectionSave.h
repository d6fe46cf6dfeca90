// Storing the check states of the Files and Folders tree into the job's selection.
#pragma once
#include <string>
#include <vector>

class CTavFilesRoot;

// What storing did beyond the check states themselves.
struct TavStoreStatesResult {
    // Entries whose path no longer exists, removed by the clean-up.
    std::vector<std::string> removedMissing;
    // Entries kept although their path cannot be found, because the source they lie under
    // cannot be found either (a disk that is not mounted).
    std::vector<std::string> keptUnderMissingSource;
};

// The root cleared: the one exclusion ":root:". Otherwise each item of the tree: a cleared
// one is excluded with nothing excluded or kept below it; a checked one is neither; a mixed
// one passes the rule to its listed items, and its listed files are excluded one by one when
// cleared, and kept with "partial" when checked beside a cleared one. Items never listed
// keep the entries below them. Last, "excluded" and "partial" entries (and filters of those
// paths) whose path no longer exists are removed, unless it lies under a source that cannot
// be found itself.
TavStoreStatesResult StoreCheckStates(CTavFilesRoot& root);
