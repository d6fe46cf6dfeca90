// Retention: forgetting baselines by a keep policy and giving back the space they used.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tavengine/TavEngineExport.h"
#include "tavengine/TavKeepPolicy.h"
#include "tavrep/LiveSet.h"

class CTavModFactory;
class CTavRepository;

// Marks in `live` every block the baselines `numbers` use: their node tables, and for each
// node its content and extra chains and the positions its module lists through its
// data-positions procedure. A node of a module without that procedure (or not installed)
// keeps every image up to its baseline's image. False with `error` when a table or chain
// cannot be read (nothing may be deleted then).
TAVENGINE_API bool MarkLiveData(CTavRepository& repository, const std::vector<uint32_t>& numbers,
                                const CTavModFactory* hub, CTavLiveSet& live, std::string& error);

struct TAVENGINE_API TavForgetReport {
    std::vector<TavKeepDecision> decisions;  // one per baseline, oldest first
    std::vector<uint32_t> forgotten;
    TavReclaimResult reclaim;  // after a dry run: what would be deleted and cut
    uint64_t headersRead = 0;
    uint64_t liveBytes = 0;  // the blocks the kept baselines use (with the new baseline table)
    std::string error;  // why nothing (or not everything) was done
};

// Applies the policy to the attached repository: chooses the baselines to keep, forgets
// the others (unless `dryRun`), deletes the images no kept baseline uses and cuts image 0
// back. The caller holds the repository's lock (CTavRepositoryLock) since before it
// attached. An empty policy forgets nothing but still gives back unused images. False with
// report.error when it could not be done; the repository is then as it was, or at its new
// baseline table with some unused images left for the next run.
TAVENGINE_API bool ApplyKeepPolicy(CTavRepository& repository, const TavKeepPolicy& policy,
                                   bool dryRun, const CTavModFactory* hub, TavForgetReport& report);

// The images of the attached repository that no baseline uses (and the unused end of
// image 0), for check and info; false with `error` when the walk failed.
TAVENGINE_API bool FindUnusedSpace(CTavRepository& repository, const CTavModFactory* hub,
                                   TavReclaimResult& unused, std::string& error);

// One line for a run log: "Forgot baselines 3, 4. Freed 1.5 MB: deleted images 2, 3." etc.
TAVENGINE_API std::string DescribeForget(const TavForgetReport& report);

class CTavJobHelper;

// After a committed run: applies the job's keep policy (ReadKeepPolicy) to the job's
// repository, taking the repository's lock first. Nothing happens (true, empty `log`) for a
// job without one. `log` gets the run log's text: what was forgotten and freed, or why not.
TAVENGINE_API bool ApplyJobKeepPolicy(const CTavJobHelper& job, const CTavModFactory* hub,
                                      std::string& log);
