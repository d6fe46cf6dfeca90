// Running the module engines of a restore or an extract: one engine per stored root, found
// through the module hub, with a progress bar, the run log's error lines and each engine's
// summary on the terminal.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "CliContext.h"
#include "tavrep/TavTypes.h"

class CTavRepository;

namespace tavctl {

struct RestoreRunOptions {
    bool prepare = true;   // PreRestoreProcess and PostRestoreProcess around (restore, not extract)
    bool verbose = false;  // every log line on the output, not only the summaries
    std::string subject;   // names the repository in error lines
};

struct RestoreRunResult {
    int engines = 0;           // engines that ran
    int failedRoots = 0;       // roots not restored or whose engine failed
    uint64_t errorLines = 0;   // "***** " lines of the run logs
    bool cancelled = false;    // stopped by Ctrl-C
    bool Ok() const { return failedRoots == 0 && errorLines == 0 && !cancelled; }
};

// Restores `roots` (module roots of the baseline the request names) from the attached
// repository. A root whose module is not installed, or gives no engine, is reported and
// left out. Ctrl-C asks the running engine to stop. Never throws.
RestoreRunResult RunRestoreEngines(CTavRepository& repository, const std::vector<TavNodeRec>& roots,
                                   const std::string& request, const RestoreRunOptions& options,
                                   CCliContext& ctx);

}  // namespace tavctl
