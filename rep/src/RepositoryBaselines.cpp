// CTavRepository: baseline list, loading a baseline into a working table, saving one.
#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavrep/TavRepository.h"

namespace {
constexpr const char* SRC_LOAD_BASELINE = "CTavRepository::LoadBaseline";
constexpr const char* SRC_SAVE_BASELINE = "CTavRepository::SaveBaseline";
constexpr const char* UNNAMED = "Unnamed";
constexpr size_t NAME_CHARS = 64;
constexpr size_t DESCRIPTION_CHARS = 512;
constexpr uint32_t WRITE_BATCH = 1024;  // records per write of the working file
}  // namespace

int CTavRepository::GetBaselineHeader(uint32_t number, TavBaselineHeaderRec& header) const {
    if (m_currentImage < 0 || !m_baselines) return 0;
    for (const TavBaselineHeaderRec& h : m_baselines->items)
        if (h.number == number) {
            header = h;
            return 1;
        }
    return 0;
}

uint32_t CTavRepository::GetLatestBaselineNumber() const {
    if (!m_baselines || m_baselines->items.empty()) return TAV_NONE;
    return m_baselines->items.back().number;
}

TavPosition CTavRepository::GetLatestBaselinePos() const {
    return m_baselines ? m_baselines->entryPoint : TavPosition{0, 0};
}

std::string CTavRepository::BuildTempPath() { return plat::MakeTempFile("tav~"); }

CTavRepBaselineDetails* CTavRepository::LoadBaseline(uint32_t number) {
    TavBaselineHeaderRec header;
    if (!GetBaselineHeader(number, header)) return nullptr;
    CTavImage* image = GetImageFromID(header.image);
    if (image == nullptr) throw new CTavRepException(TAVEX_NOT_FOUND, 0, SRC_LOAD_BASELINE);
    // An image that is being written by this object cannot be read as a baseline.
    if (image->InTrans()) throw new CTavRepException(TAVEX_BUSY, 0, SRC_LOAD_BASELINE);
    CTavFormatAdaptor* adaptor = m_adaptors[header.image].get();

    // The working file has no name, so a killed process leaves nothing in the temporary folder.
    std::unique_ptr<plat::CFile> file = plat::CFile::CreateTemporary("tav~");
    if (!file) return nullptr;
    {
        TavBlockData block = image->ReadBlock(header.nodeTable);
        image->ReleaseReadHandle();
        const uint32_t diskSize = adaptor->NodeDiskSize();
        const size_t records = block.data.size() / diskSize;
        std::vector<uint8_t> out(std::min<size_t>(WRITE_BATCH, records) * NODE_REC_SIZE);
        TavNodeRec node;
        for (size_t first = 0; first < records; first += WRITE_BATCH) {
            size_t n = std::min<size_t>(WRITE_BATCH, records - first);
            for (size_t k = 0; k < n; ++k) {
                adaptor->NodeFromDisk(&node, block.data.data() + (first + k) * diskSize);
                EncodeNodeRec(node, out.data() + k * NODE_REC_SIZE);
            }
            if (!file->WriteAt(out.data(), n * NODE_REC_SIZE, first * NODE_REC_SIZE)) return nullptr;
        }
    }
    auto* table = new CTavRepBaselineDetails;
    table->baselineNumber = number;
    if (!table->AttachFile(std::move(file))) {
        table->Dispose();
        return nullptr;
    }
    return table;
}

namespace {

constexpr uint32_t BOTH_DELETE_FLAGS = NODE_TOUCHED | NODE_DELETED;

// Every record's id is its position times the record size, as in a table loaded whole.
template <typename T>
bool HasRecordIds(const std::vector<T>& w) {
    if (w.size() > TAV_NONE / NODE_REC_SIZE) return false;
    for (size_t j = 0; j < w.size(); ++j)
        if (w[j].nodeId != uint32_t(j) * NODE_REC_SIZE) return false;
    return true;
}

// Removing a node relinks the sibling chains that ran through it and marks its children
// deleted (which keeps them from being removed later in this pass). This plain form sweeps
// the table once per removed node; it serves tables whose ids are not their positions.
template <typename T>
void RemoveDeletedBySweeps(std::vector<T>& w) {
    const size_t count = w.size();
    for (size_t j = 1; j < count; ++j) {
        if ((w[j].flags & BOTH_DELETE_FLAGS) != BOTH_DELETE_FLAGS) continue;
        const uint32_t d = w[j].nodeId;
        const uint32_t next = w[j].nextSiblingId;
        w[j].flags = 0;
        w[j].nodeId = TAV_NONE;
        for (size_t k = 1; k < count; ++k) {
            T& r = w[k];
            if (r.nodeId == TAV_NONE) continue;
            if (r.firstChildId == d) r.firstChildId = next;
            if (r.nextSiblingId == d) r.nextSiblingId = next;
            if (r.parentId == d) r.flags = (r.flags & ~NODE_TOUCHED) | NODE_DELETED;
        }
    }
}

// The same result in one pass for tables whose ids are their positions (every table a
// run saves): a removed node's id forwards to the sibling that took its place, and links
// follow the forwards once at the end; a node whose parent went is marked when the pass
// reaches it, or at the end when the parent came after it.
template <typename T>
void RemoveDeletedLinear(std::vector<T>& w) {
    const size_t count = w.size();
    std::vector<uint8_t> removed(count, 0);
    std::vector<uint32_t> forward(count, TAV_NONE);
    auto slot = [&](uint32_t id) -> size_t {
        if (id % NODE_REC_SIZE != 0) return 0;
        const size_t x = id / NODE_REC_SIZE;
        return x < count ? x : 0;  // 0: not a removable record (record 0 never is)
    };
    // Where a link to `id` ends up: along the forwards of removed nodes, shortening the way
    // for later calls. A node that named itself as its next sibling forwards to itself.
    auto resolve = [&](uint32_t id) {
        uint32_t end = id;
        for (size_t x = slot(end); x != 0 && removed[x] && forward[x] != end; x = slot(end))
            end = forward[x];
        for (size_t x = slot(id); x != 0 && removed[x] && forward[x] != id; x = slot(id)) {
            id = forward[x];
            forward[x] = end;
        }
        return end;
    };
    auto parentRemoved = [&](const T& r) {
        const size_t p = slot(r.parentId);
        return p != 0 && removed[p];
    };
    auto markOrphan = [](T& r) { r.flags = (r.flags & ~NODE_TOUCHED) | NODE_DELETED; };

    for (size_t j = 1; j < count; ++j) {
        if (parentRemoved(w[j])) markOrphan(w[j]);
        if ((w[j].flags & BOTH_DELETE_FLAGS) != BOTH_DELETE_FLAGS) continue;
        forward[j] = resolve(w[j].nextSiblingId);
        removed[j] = 1;
        w[j].flags = 0;
        w[j].nodeId = TAV_NONE;
    }
    for (size_t k = 1; k < count; ++k) {
        T& r = w[k];
        if (removed[k]) continue;
        r.firstChildId = resolve(r.firstChildId);
        r.nextSiblingId = resolve(r.nextSiblingId);
        if (parentRemoved(r)) markOrphan(r);
    }
}

// Compacts a working table for saving, in place (see the flags' life cycle in
// BaselineDetails.h): nodes deleted during this run are removed, their direct children stay
// marked deleted, the ids become dense again, and touched flags turn into unchanged ones.
// The table keeps the records that stay; their number is returned. `origin`, when given,
// gets the old position of each record kept. Only the links, the id and the flags of a
// record are read or changed.
template <typename T>
uint32_t PurgeRecords(std::vector<T>& w, std::vector<uint32_t>* origin) {
    const size_t count = w.size();
    if (origin != nullptr) origin->clear();
    if (count == 0) return 0;
    if (HasRecordIds(w))
        RemoveDeletedLinear(w);
    else
        RemoveDeletedBySweeps(w);
    if (origin != nullptr) origin->push_back(0);
    // Dense renumbering: every link naming a kept node's old id names its new id. A kept
    // record moves only towards the front, onto one already moved or removed.
    std::unordered_map<uint32_t, uint32_t> renamed;
    uint32_t i = 1;
    for (size_t j = 1; j < count; ++j) {
        if (w[j].nodeId == TAV_NONE) continue;
        const uint32_t o = uint32_t(j) * NODE_REC_SIZE;
        const uint32_t n = i * NODE_REC_SIZE;
        if (o != n) renamed[o] = n;
        T& r = w[i];
        if (i != j) r = w[j];
        r.nodeId = n;
        if (r.flags & NODE_TOUCHED)
            r.flags &= ~NODE_TOUCHED;
        else
            r.flags |= NODE_UNCHANGED;
        if (origin != nullptr) origin->push_back(uint32_t(j));
        ++i;
    }
    w.resize(i);
    if (!renamed.empty()) {
        auto map = [&](uint32_t& id) {
            auto it = renamed.find(id);
            if (it != renamed.end()) id = it->second;
        };
        for (T& r : w) {
            map(r.parentId);
            map(r.firstChildId);
            map(r.nextSiblingId);
        }
    }
    return i;
}

// What the purge reads and changes of a record.
struct NodeLinks {
    uint32_t nodeId, parentId, firstChildId, nextSiblingId, flags;
};

}  // namespace

uint32_t CTavRepository::PurgeBaseline(std::vector<TavNodeRec>& w) { return PurgeRecords(w, nullptr); }

uint32_t CTavRepository::SaveBaseline(CTavRepBaselineDetails* table, const char* name,
                                      const char* description, uint32_t type) {
    if (m_currentImage < 0 || table == nullptr || !m_baselines || m_baselines->items.empty())
        return TAV_NONE;
    const uint32_t c = uint32_t(m_currentImage);
    CTavImage* image = m_images[c].get();
    CTavFormatAdaptor* adaptor = m_adaptors[c].get();
    if (image == nullptr || adaptor == nullptr) return TAV_NONE;

    // Two passes over the working table rather than the whole of it in memory (31 MB of
    // records for 47,000 files, faulted in afresh by every run): the purge needs only each
    // record's links, and the disk form is made from the records read again.
    const uint32_t records = table->count > 0 ? uint32_t(table->count) : 0;
    std::vector<NodeLinks> links(records);
    TavNodeRec node;
    for (uint32_t j = 0; j < records; ++j) {
        if (!table->LoadNode(node, j * NODE_REC_SIZE)) return TAV_NONE;
        links[j] = {node.nodeId, node.parentId, node.firstChildId, node.nextSiblingId, node.flags};
    }
    std::vector<uint32_t> origin;
    const uint32_t k = PurgeRecords(links, &origin);
    // NodeToDisk writes every byte of a record, so the buffer is not cleared first.
    const uint32_t nodeSize = adaptor->NodeDiskSize();
    const size_t nodesLength = size_t(k) * nodeSize;
    std::unique_ptr<uint8_t[]> nodes(new uint8_t[nodesLength > 0 ? nodesLength : 1]);
    for (uint32_t i = 0; i < k; ++i) {
        if (!table->LoadNode(node, origin[i] * NODE_REC_SIZE)) return TAV_NONE;
        const NodeLinks& l = links[i];
        node.nodeId = l.nodeId;
        node.parentId = l.parentId;
        node.firstChildId = l.firstChildId;
        node.nextSiblingId = l.nextSiblingId;
        node.flags = l.flags;
        adaptor->NodeToDisk(nodes.get() + size_t(i) * nodeSize, &node, nullptr);
    }
    std::vector<NodeLinks>().swap(links);
    std::vector<uint32_t>().swap(origin);
    const uint32_t nodeTable = image->WriteBlock(nodes.get(), uint32_t(nodesLength), 0, BLOCK_KIND_NODES, 0);
    if (nodeTable == 0)
        throw new CTavRepException(TAVEX_WRITE_NODES, plat::GetLastError(), SRC_SAVE_BASELINE);
    nodes.reset();

    TavBaselineHeaderRec header{};
    header.image = c;
    header.nodeTable = nodeTable;
    header.number = m_baselines->items.back().number + 1;
    Utf8ToUtf16Field(name != nullptr ? name : UNNAMED, header.name, NAME_CHARS);
    if (description != nullptr) Utf8ToUtf16Field(description, header.description, DESCRIPTION_CHARS);
    header.time = plat::NowSeconds();
    header.type = type;

    const uint32_t headerSize = adaptor->HeaderDiskSize();
    const size_t total = m_baselines->items.size() + 1;
    std::vector<uint8_t> headers(total * headerSize);
    for (size_t i = 0; i + 1 < total; ++i)
        adaptor->HeaderToDisk(headers.data() + i * headerSize, &m_baselines->items[i]);
    adaptor->HeaderToDisk(headers.data() + (total - 1) * headerSize, &header);
    const uint32_t tableOffset =
        image->WriteBlock(headers.data(), uint32_t(headers.size()), 0, BLOCK_KIND_BASELINES, 0);
    if (tableOffset == 0) return TAV_NONE;

    // Everything the new baseline references reaches the disk before any entry point
    // names it.
    for (auto& held : m_images)
        if (held && (held->InTrans() || held->appendedCount > 0) && !held->Sync()) return TAV_NONE;
    const TavPosition entry{c, tableOffset};
    std::set<uint32_t> targets;
    for (uint32_t id = 0; id <= c; ++id)
        if (m_images[id] && m_images[id]->appendedCount > 0) targets.insert(id);
    targets.insert(c);
    const bool inTrans = image->InTrans();
    // The newest image first: when a later write fails and cannot be undone, the older
    // images still name the previous baseline table, and the run's own image is cut back or
    // removed by the rollback.
    std::vector<std::pair<uint32_t, TavPosition>> moved;  // entry points rewritten so far
    for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
        const uint32_t id = *it;
        CTavImage* target = m_images[id].get();
        if (target == nullptr) continue;
        const TavPosition before = GetEntryPoint(id, 3);
        // RollbackTrans restores the entry point this overwrites (first value only).
        if (inTrans) {
            bool recorded = false;
            for (const auto& undo : m_entryUndo) recorded = recorded || undo.first == id;
            if (!recorded) m_entryUndo.emplace_back(id, before);
        }
        moved.emplace_back(id, before);
        // The baseline counts as saved only when every entry point naming it is on the disk.
        if (!SetEntryPoint(id, 3, entry) || !target->Sync()) {
            const uint32_t error = plat::GetLastError();
            for (const auto& [movedId, previous] : moved) {
                SetEntryPoint(movedId, 3, previous);
                m_images[movedId]->Sync();
            }
            plat::SetLastError(error != plat::ERR_NONE ? error : plat::ERR_GEN_FAILURE);
            return TAV_NONE;
        }
    }
    m_baselines->items.push_back(header);
    m_baselines->entryPoint = entry;
    return header.number;
}
