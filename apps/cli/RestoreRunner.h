// Running the module engines of a restore or an extract: one engine per stored root, found
// through the module hub, with a progress bar, the run log's error lines and each engine's
// summary on the terminal.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "CliContext.h"
#include "tavrep/TavTypes.h"

class CTavRepository;

namespace tavctl {

struct RestoreRunOptions {
    bool prepare = true;   // PreRestoreProcess and PostRestoreProcess around (restore, not extract)
    bool verbose = false;  // every log line on the output, not only the summaries
    bool dryRun = false;   // the request asks for a dry run: lines say what would be done
    bool json = false;     // summaries and listed files are collected, not printed
    std::string subject;   // names the repository in error lines
    // For the progress line: the files and bytes the restore goes through, and the size of
    // the file each target path receives.
    uint64_t totalFiles = 0;
    uint64_t totalBytes = 0;
    std::unordered_map<std::string, uint64_t> targetSizes;
};

// The counts of one module's finish text.
struct RestoreModuleSummary {
    std::string module;  // "Files and Folders"
    uint64_t succeeded = 0, overwritten = 0, upToDate = 0, kept = 0, errors = 0;
};

// A file a dry run would write ("write", "replace", "skip") or a restore kept although it
// differs ("keep").
struct RestoreListedFile {
    std::string action;
    std::string path;
};

struct RestoreRunResult {
    int engines = 0;           // engines that ran
    int failedRoots = 0;       // roots not restored or whose engine failed
    uint64_t errorLines = 0;   // "***** " lines of the run logs
    bool cancelled = false;    // stopped by Ctrl-C
    std::vector<RestoreModuleSummary> summaries;
    std::vector<RestoreListedFile> listed;  // with options.json only
    bool Ok() const { return failedRoots == 0 && errorLines == 0 && !cancelled; }
};

// Restores `roots` (module roots of the baseline the request names) from the attached
// repository. A root whose module is not installed, or gives no engine, is reported and
// left out. Ctrl-C asks the running engine to stop. Never throws.
RestoreRunResult RunRestoreEngines(CTavRepository& repository, const std::vector<TavNodeRec>& roots,
                                   const std::string& request, const RestoreRunOptions& options,
                                   CCliContext& ctx);

}  // namespace tavctl
