// Putting an item's stored metadata back: mode, owner and group (from the node's POSIX record)
// and its times.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/PosixMeta.h"
#include "tavrep/TavTypes.h"

class CTavRepository;

// Reads the POSIX records of one restore run; many items share one record, so each is read
// once. A record that cannot be read counts as absent (the item gets the defaults). Not
// thread-safe; lives for one run.
class CRestoreMetaReader {
public:
    explicit CRestoreMetaReader(CTavRepository* repository) : m_repository(repository) {}
    std::optional<TavPosixMeta> Of(const TavNodeRec& node);

private:
    CTavRepository* m_repository;
    std::unordered_map<uint64_t, std::optional<TavPosixMeta>> m_records;
};

// What to put back on one restored item.
struct RestoreMetaPlan {
    std::optional<TavPosixMeta> meta;  // none: defaults (the read-only attribute is kept)
    bool link = false;                 // a link's own mode is never set (chmod follows links)
    bool setOwner = false;             // owner and group (only a root process may)
    bool setTimes = false;             // access and written times
};

// Applies the plan to `path`: owner first (a change of owner clears set-id bits), then the
// mode, then the times (last, as the other changes touch the item). False with the
// platform's last error when the mode or the times cannot be set; a refused owner only sets
// `ownerProblem` (an NFS export may forbid it while the file itself is fine).
bool ApplyRestoreMeta(const std::string& path, const TavNodeRec& node, const RestoreMetaPlan& plan,
                      std::string& ownerProblem);
