// The POSIX metadata record: encoding, and its store for one backup run.
#include "core/PosixMeta.h"

#include <memory>

#include "tavrep/TavRepository.h"
#include "tavrep/TavDisposed.h"

namespace {

void PutU32(uint8_t* out, uint32_t value) {
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    out[2] = uint8_t(value >> 16);
    out[3] = uint8_t(value >> 24);
}

uint32_t GetU32(const uint8_t* in) {
    return uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) |
           (uint32_t(in[3]) << 24);
}


}  // namespace

TavPosixMeta PosixMetaOf(const TavFindData& found) { return {found.mode, found.uid, found.gid}; }

std::vector<uint8_t> EncodePosixMeta(const TavPosixMeta& meta) {
    std::vector<uint8_t> out(POSIX_META_SIZE);
    PutU32(out.data(), POSIX_META_VERSION);
    PutU32(out.data() + 4, meta.mode);
    PutU32(out.data() + 8, meta.uid);
    PutU32(out.data() + 12, meta.gid);
    return out;
}

std::optional<TavPosixMeta> DecodePosixMeta(const uint8_t* bytes, size_t length) {
    if (bytes == nullptr || length < POSIX_META_SIZE || GetU32(bytes) == 0) return std::nullopt;
    return TavPosixMeta{GetU32(bytes + 4), GetU32(bytes + 8), GetU32(bytes + 12)};
}

TavPosition CPosixMetaStore::PositionFor(const TavFindData& found) {
    const TavPosixMeta meta = PosixMetaOf(found);
    auto known = m_positions.find(meta);
    if (known != m_positions.end()) return known->second;
    const std::vector<uint8_t> bytes = EncodePosixMeta(meta);
    const TavPosition position =
        m_repository->AddContent(bytes.data(), uint32_t(bytes.size()), {0, 0});
    if (position.offset == 0) return {0, 0};
    m_positions.emplace(meta, position);
    // Written into the image of the open transaction, which is not read back: remembered.
    m_records[Key(position)] = meta;
    return position;
}

std::optional<TavPosixMeta> CPosixMetaStore::Read(TavPosition position) {
    auto cached = m_records.find(Key(position));
    if (cached != m_records.end()) return cached->second;
    if (m_reads >= MAX_READS) return std::nullopt;
    ++m_reads;
    std::optional<TavPosixMeta> meta;
    try {
        TavDisposedPtr<CTavRepContent> content(m_repository->GetContent(position));
        if (content) meta = DecodePosixMeta(content->data.data(), content->data.size());
    } catch (CTavException* e) {
        e->Delete();
    }
    m_records.emplace(Key(position), meta);
    // A committed record can serve the items of this run that have the same values.
    if (meta && m_reuseCommitted) m_positions.emplace(*meta, position);
    return meta;
}

bool CPosixMetaStore::Differs(const TavNodeRec& node, const TavFindData& found) {
    if (node.extra.offset == 0) return false;
    const std::optional<TavPosixMeta> stored = Read(node.extra);
    return stored && *stored != PosixMetaOf(found);
}
