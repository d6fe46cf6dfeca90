// The POSIX metadata record (mode, owner, group) kept as extra data of Files and Folders nodes.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/FindData.h"
#include "tavrep/TavTypes.h"

class CTavRepository;

// Record layout (little-endian, 16 bytes in version 1):
//
// | Offset | Size | Field                                                    |
// |--------|------|----------------------------------------------------------|
// | 0      | 4    | version: 1                                               |
// | 4      | 4    | mode: the st_mode bits (file type and permissions)      |
// | 8      | 4    | uid: the owner's user id                                 |
// | 12     | 4    | gid: the owner's group id                                |
//
// A later version keeps these fields and appends its own; a reader takes the first 16 bytes
// of any version >= 1 and ignores the rest.
struct TavPosixMeta {
    uint32_t mode = 0;
    uint32_t uid = 0;
    uint32_t gid = 0;
    friend auto operator<=>(const TavPosixMeta&, const TavPosixMeta&) = default;
};

constexpr uint32_t POSIX_META_VERSION = 1;
constexpr uint32_t POSIX_META_SIZE = 16;

TavPosixMeta PosixMetaOf(const TavFindData& found);
std::vector<uint8_t> EncodePosixMeta(const TavPosixMeta& meta);
// Nothing when the bytes are not a record (too short, version 0).
std::optional<TavPosixMeta> DecodePosixMeta(const uint8_t* bytes, size_t length);

// Hands out extra positions for the nodes of one backup run. Many items share one record
// (same mode, owner and group), so each distinct record is written once per run, or not at
// all when a committed record with the same values was already read from the baseline.
// Not thread-safe; lives for one run.
class CPosixMetaStore {
public:
    // `reuseCommitted`: records read from earlier baselines may serve this run's items. A
    // full run passes false, so that it names no block of an older image and lets them go.
    explicit CPosixMetaStore(CTavRepository* repository, bool reuseCommitted = true)
        : m_repository(repository), m_reuseCommitted(reuseCommitted) {}

    // The position of a record holding `found`'s mode, owner and group; {0, 0} when it
    // cannot be written. A write failure of the repository may throw (CTavException*).
    TavPosition PositionFor(const TavFindData& found);
    // True when the node's stored record is known and differs from `found`. A node without
    // a record, or whose record cannot be read, is taken as unchanged.
    bool Differs(const TavNodeRec& node, const TavFindData& found);

private:
    static uint64_t Key(TavPosition position) {
        return (uint64_t(position.image) << 32) | position.offset;
    }
    std::optional<TavPosixMeta> Read(TavPosition position);

    // Reading stops after this many distinct records (a repository in which every item has a
    // record of its own would otherwise cost one block read per item).
    static constexpr size_t MAX_READS = 4096;

    CTavRepository* m_repository;
    bool m_reuseCommitted;
    std::map<TavPosixMeta, TavPosition> m_positions;
    std::unordered_map<uint64_t, std::optional<TavPosixMeta>> m_records;
    size_t m_reads = 0;
};
