// The working records of one backup walk: the job's sources, a folder's previous items and
// what the count kept of a folder.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

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

// What the count found in one folder, kept for the walk so that the folder is neither
// listed nor its previous items loaded a second time. The items are kept without their name
// field, which is mostly padding: a tree of 50,000 files costs some 15 MB, not 45 MB, and
// memory first touched is what the count costs most.
struct CTavEngineFiles::CCountedFolder {
    static constexpr size_t NAME_AT = offsetof(TavNodeRec, name);
    static constexpr size_t NAME_BYTES = sizeof(TavNodeRec::name);
    static constexpr size_t REST_BYTES = sizeof(TavNodeRec) - NAME_BYTES;

    uint32_t nodeId = TAV_NONE;  // the folder's previous node as the count found it
    std::vector<TavFindData> entries;
    // Its previous items that are not marked deleted: each record without its name field,
    // and the names up to their last non-zero unit, one after the other.
    std::vector<std::array<uint8_t, REST_BYTES>> nodes;
    std::u16string names;
    std::vector<uint32_t> nameEnds;

    void Keep(const TavNodeRec& node);
    // The record `i` exactly as it was kept.
    void Restore(size_t i, TavNodeRec& node) const;
};
