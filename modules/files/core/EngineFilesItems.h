// The working records of one backup walk: the job's sources, a folder's previous items and
// what the count kept of a folder.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/TavEngineFiles.h"
#include "tavrep/TavTypes.h"

// One source of the job as the walk takes it.
struct CTavEngineFiles::CSource {
    std::string jobPath;   // as the job spells it
    std::string path;      // normalized: absolute, no duplicate or trailing '/'; the node's name
    bool matched = false;  // a previous top-level item was found for it
};

// The previous items of one folder that are not marked deleted, found again by name. Each
// record is kept without its name field, which is mostly padding, and the names one after
// the other. What the count keeps for the walk is slimmer still (Slim): the node ids and
// names only, the records being read again from the working table when the walk gets
// there. Memory first touched is what keeping a tree's items costs most, and a tree of
// 50,000 files would need some 15 MB of records; their ids and names take under 2 MB.
struct CTavEngineFiles::CPreviousItems {
    static constexpr size_t NAME_AT = offsetof(TavNodeRec, name);
    static constexpr size_t NAME_BYTES = sizeof(TavNodeRec::name);
    static constexpr size_t REST_BYTES = sizeof(TavNodeRec) - NAME_BYTES;
    static constexpr size_t NONE = size_t(-1);
    // Heap bytes of one item once slim (id, name index, taken mark), its name aside.
    static constexpr size_t SLIM_ITEM_BYTES = 4 + 4 + 1 + 2 * 4;

    void Reserve(size_t n);
    // Adds `node`, found under `name` (its name in UTF-8) unless an earlier item has it.
    void Add(const TavNodeRec& node, std::string_view name);
    size_t Size() const { return ids.size(); }
    bool Empty() const { return ids.empty(); }
    // The item called `name` that was not taken yet, or NONE.
    size_t Find(std::string_view name) const;
    // The record `i` exactly as it was added (read again from the table once slim); false
    // when the table cannot give it back.
    bool Get(size_t i, TavNodeRec& node) const;
    // The same without its name (`node.name` is left as it was), for comparisons; only
    // before Slim.
    void GetFields(size_t i, TavNodeRec& node) const;
    uint32_t NodeIdOf(size_t i) const { return ids[i]; }
    bool Taken(size_t i) const { return taken[i] != 0; }
    void Take(size_t i) { taken[i] = 1; }
    // Drops the records and their names; Get reads them from `table` from now on.
    void Slim(CTavRepBaselineDetails& table);
    size_t NameBytes() const { return keys.size(); }

  private:
    void Index(uint32_t i);
    std::string_view KeyOf(size_t i) const;

    std::vector<std::array<uint8_t, REST_BYTES>> records;  // none once slim
    std::u16string names;
    std::vector<uint32_t> nameEnds;
    std::vector<uint32_t> ids;
    std::string keys;  // the UTF-8 names, one after the other
    std::vector<uint32_t> keyEnds;
    std::vector<uint8_t> taken;
    std::vector<uint32_t> slots;  // open addressing by name: item index + 1, 0 when free
    CTavRepBaselineDetails* table = nullptr;
};

// What the count decided about one entry of a folder, so that the walk does not decide it
// again: whether the entry is taken at all, and its previous item.
struct CTavEngineFiles::CEntryVerdict {
    static constexpr uint8_t CHECK_TAKEN = 0, CHECK_SKIPPED = 1, CHECK_EXCLUDED = 2,
                             CHECK_UNSTORABLE = 3;
    static constexpr uint32_t NO_ITEM = 0xFFFFFFFF;
    uint8_t check = CHECK_TAKEN;
    uint32_t previous = NO_ITEM;  // the index of its previous item, if it has one
};

// What the count found in one folder, kept for the walk so that the folder is neither
// listed nor its previous items loaded a second time, nor its entries judged again. The
// listing is kept packed (fixed fields in a row, names and link targets in one text): half
// the memory of the listing as the walk uses it.
struct CTavEngineFiles::CCountedFolder {
    uint32_t nodeId = TAV_NONE;  // the folder's previous node as the count found it
    CPreviousItems items;

    void Keep(const std::vector<TavFindData>& entries, const std::vector<CEntryVerdict>& verdicts);
    // The listing and one verdict per entry, as they were kept.
    void Unpack(std::vector<TavFindData>& entries, std::vector<CEntryVerdict>& verdicts) const;
    // The bytes Keep takes for `entries`.
    static size_t Cost(const std::vector<TavFindData>& entries) {
        return entries.size() * sizeof(Row) + TextBytes(entries);
    }

  private:
    static size_t TextBytes(const std::vector<TavFindData>& entries);
    struct Row {
        TavFileTime created, accessed, written;
        uint32_t attributes, sizeHigh, sizeLow, mode, uid, gid;
        uint32_t nameEnd, linkEnd;  // in `text`
        uint32_t previous;
        TavFileKind kind;
        uint8_t check;
    };
    std::vector<Row> rows;
    std::string text;
};
