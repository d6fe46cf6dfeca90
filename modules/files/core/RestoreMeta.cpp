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
    if (plan.setOwner && plan.meta && !plat::SetFileOwner(path, plan.meta->uid, plan.meta->gid))
        ownerProblem = "system error " + std::to_string(plat::GetLastError());
    if (!plan.link) {
        if (plan.meta) {
            if (!plat::SetFileMode(path, plan.meta->mode & MODE_BITS)) return false;
        } else if (node.attributes & TAV_ATTR_READONLY) {
            TavFindData found;
            if (!plat::GetFindData(path, found) ||
                !plat::SetFileMode(path, found.mode & MODE_BITS & ~WRITE_BITS))
                return false;
        }
    }
    if (plan.setTimes && !plat::SetFileTimes(path, node.accessed, node.written)) return false;
    return true;
}
