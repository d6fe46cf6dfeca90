// The working records of one backup walk: the job's sources, a folder's previous items and
// the contents found to store.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/TavEngineFiles.h"
#include "platform/FindData.h"
#include "tavrep/TavTypes.h"

// One source of the job as the walk takes it.
struct CTavEngineFiles::CSource {
    std::string jobPath;   // as the job spells it
    std::string path;      // normalized: absolute, no duplicate or trailing '/'; the node's name
    bool matched = false;  // a previous top-level item was found for it
};

// The previous items of one folder that are not marked deleted, found again by name. Each
// record is kept without its name field, which is mostly padding, and the names one after
// the other.
struct CTavEngineFiles::CPreviousItems {
    static constexpr size_t NAME_AT = offsetof(TavNodeRec, name);
    static constexpr size_t NAME_BYTES = sizeof(TavNodeRec::name);
    static constexpr size_t REST_BYTES = sizeof(TavNodeRec) - NAME_BYTES;
    static constexpr size_t NONE = size_t(-1);

    void Reserve(size_t n);
    // Adds `node`, found under `name` (its name in UTF-8) unless an earlier item has it.
    void Add(const TavNodeRec& node, std::string_view name);
    size_t Size() const { return ids.size(); }
    bool Empty() const { return ids.empty(); }
    // The item called `name` that was not taken yet, or NONE.
    size_t Find(std::string_view name) const;
    // The record `i` exactly as it was added.
    void Get(size_t i, TavNodeRec& node) const;
    uint32_t NodeIdOf(size_t i) const { return ids[i]; }
    bool Taken(size_t i) const { return taken[i] != 0; }
    void Take(size_t i) { taken[i] = 1; }

  private:
    void Index(uint32_t i);
    std::string_view KeyOf(size_t i) const;

    std::vector<std::array<uint8_t, REST_BYTES>> records;
    std::u16string names;
    std::vector<uint32_t> nameEnds;
    std::vector<uint32_t> ids;
    std::string keys;  // the UTF-8 names, one after the other
    std::vector<uint32_t> keyEnds;
    std::vector<uint8_t> taken;
    std::vector<uint32_t> slots;  // open addressing by name: item index + 1, 0 when free
};

// A file or link whose content the run stores: a new item under `parentId`, or the changed
// file of the previous node `nodeId`.
struct CTavEngineFiles::CPendingStore {
    uint32_t parentId = TAV_NONE;
    uint32_t nodeId = TAV_NONE;  // TAV_NONE for a new item
    uint32_t chunkSize = 0;      // the previous node's chunk size, 0 for a new item
    TavFindData found;
    std::string path;
};
