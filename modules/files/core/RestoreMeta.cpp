// Stored metadata back onto restored items.
#include "core/RestoreMeta.h"

#include <memory>

#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavDisposed.h"

namespace {

constexpr uint32_t MODE_BITS = 07777;
constexpr uint32_t WRITE_BITS = 0222;


}  // namespace

std::optional<TavPosixMeta> CRestoreMetaReader::Of(const TavNodeRec& node) {
    if (node.extra.offset == 0) return std::nullopt;
    const uint64_t key = (uint64_t(node.extra.image) << 32) | node.extra.offset;
    auto known = m_records.find(key);
    if (known != m_records.end()) return known->second;
    std::optional<TavPosixMeta> meta;
    try {
        TavDisposedPtr<CTavRepContent> content(
            m_repository->GetContent(node.extra));
        if (content) meta = DecodePosixMeta(content->data.data(), content->data.size());
    } catch (CTavException* e) {
        e->Delete();
    }
    m_records.emplace(key, meta);
    return meta;
}

bool ApplyRestoreMeta(const std::string& path, const TavNodeRec& node, const RestoreMetaPlan& plan,
                      std::string& ownerProblem) {
    ownerProblem.clear();
    // Owner and mode are changed only where they differ from what the item has: each change
    // is an inode write the file system journals, and a stopped restore waits for those of
    // every folder it made. Looking costs one read-only call.
    // An item with nothing to compare (no stored owner or mode, not read-only) is not looked at.
    const bool compares = plan.meta || (!plan.link && (node.attributes & TAV_ATTR_READONLY));
    TavFindData now;
    const bool known = compares && plat::GetFindData(path, now);
    bool chowned = false;
    if (plan.setOwner && plan.meta &&
        !(known && now.uid == plan.meta->uid && now.gid == plan.meta->gid)) {
        if (plat::SetFileOwner(path, plan.meta->uid, plan.meta->gid))
            chowned = true;  // which may have cleared the set-id bits: the mode is set again
        else
            ownerProblem = plat::ErrorText(plat::GetLastError());
    }
    if (!plan.link) {
        if (plan.meta) {
            const uint32_t mode = plan.meta->mode & MODE_BITS;
            if ((chowned || !known || (now.mode & MODE_BITS) != mode) && !plat::SetFileMode(path, mode))
                return false;
        } else if (node.attributes & TAV_ATTR_READONLY) {
            if (!known || !plat::SetFileMode(path, now.mode & MODE_BITS & ~WRITE_BITS)) return false;
        }
    }
    if (plan.setTimes && !plat::SetFileTimes(path, node.accessed, node.written)) return false;
    return true;
}
