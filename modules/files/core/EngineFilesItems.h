// The working records of one backup walk: the job's sources and a folder's previous items.
#pragma once
#include <string>

#include "core/TavEngineFiles.h"
#include "tavrep/TavTypes.h"

// One source of the job as the walk takes it.
struct CTavEngineFiles::CSource {
    std::string jobPath;   // as the job spells it
    std::string path;      // normalized: absolute, no duplicate or trailing '/'; the node's name
    bool matched = false;  // a previous top-level item was found for it
};

// One previous item of the folder being walked.
struct CTavEngineFiles::CChild {
    TavNodeRec node;
    bool taken = false;  // found again on disk (or otherwise dealt with)
};
