// CTavRepBaselineDetails: the working node table in its temporary file.
#include "tavrep/BaselineDetails.h"

#include <algorithm>
#include <cstring>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/NamedLock.h"

namespace {
constexpr const char* SORT_LOCK_NAME = "CTavRepBaselineDetails::Sort";
constexpr uint32_t READ_BATCH = 1024;  // records per read while indexing
// Records read at once when records are asked for one after the other (a folder's items
// lie mostly side by side): one read instead of one per record.
constexpr uint32_t READ_AHEAD = 32;
constexpr uint32_t TAIL_RECORDS = 64;  // records added before they are written together
}  // namespace

CTavRepBaselineDetails::CTavRepBaselineDetails() = default;

void CTavRepBaselineDetails::Dispose() { delete this; }

CTavRepBaselineDetails::~CTavRepBaselineDetails() {
    m_file.reset();
    if (!workPath.empty()) plat::RemoveFile(workPath);
}

bool CTavRepBaselineDetails::FlushCached() {
    if (!m_hasCached || !m_cachedDirty) return true;
    if (uint8_t* tail = TailRecord(m_cached.nodeId)) {
        EncodeNodeRec(m_cached, tail);
        m_cachedDirty = false;
        return true;
    }
    uint8_t raw[NODE_REC_SIZE];
    EncodeNodeRec(m_cached, raw);
    if (!m_file->WriteAt(raw, NODE_REC_SIZE, m_cached.nodeId)) return false;
    NoteWritten(raw, m_cached.nodeId);
    m_cachedDirty = false;
    return true;
}

uint8_t* CTavRepBaselineDetails::TailRecord(uint32_t id) {
    if (id % NODE_REC_SIZE != 0) return nullptr;
    const uint32_t index = id / NODE_REC_SIZE;
    if (index < m_fileCount || index - m_fileCount >= m_tail.size() / NODE_REC_SIZE) return nullptr;
    return m_tail.data() + size_t(index - m_fileCount) * NODE_REC_SIZE;
}

// On failure the records stay in memory, where the table reads them, and the next flush
// tries again.
bool CTavRepBaselineDetails::FlushTail() {
    if (m_tail.empty()) return true;
    if (!m_file->WriteAt(m_tail.data(), m_tail.size(), uint64_t(m_fileCount) * NODE_REC_SIZE))
        return false;
    m_fileCount += uint32_t(m_tail.size() / NODE_REC_SIZE);
    m_tail.clear();
    return true;
}

void CTavRepBaselineDetails::Cache(const TavNodeRec& node, bool dirty) {
    m_cached = node;
    m_hasCached = true;
    m_cachedDirty = dirty;
}

int CTavRepBaselineDetails::Attach(const std::string& path) {
    auto file = plat::CFile::Open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    if (!file) return 0;
    workPath = path;
    return AttachFile(std::move(file));
}

int CTavRepBaselineDetails::AttachFile(std::unique_ptr<plat::CFile> file) {
    m_hasCached = false;
    m_cachedDirty = false;
    m_windowCount = 0;
    m_lastRead = TAV_NONE;
    m_tail.clear();
    m_fileCount = 0;
    m_file = std::move(file);
    if (!m_file) return 0;
    int64_t size = m_file->Size();
    if (size < 0 || uint64_t(size) / NODE_REC_SIZE > 0x7FFFFFFFull / NODE_REC_SIZE) {
        m_file.reset();
        return 0;
    }
    count = int32_t(size / NODE_REC_SIZE);
    m_fileCount = uint32_t(count);
    ReIndex();
    return 1;
}

int CTavRepBaselineDetails::LoadNode(TavNodeRec& node, uint32_t id) {
    if (id == TAV_NONE || !m_file) return 0;
    if (m_hasCached && m_cached.nodeId == id) {
        node = m_cached;
        return 1;
    }
    if (!FlushCached()) return 0;
    const uint8_t* raw = ReadRecord(id);
    if (raw == nullptr) return 0;
    DecodeNodeRec(raw, node);
    if (node.nodeId != id) return 0;
    Cache(node, false);
    return 1;
}

const uint8_t* CTavRepBaselineDetails::ReadRecord(uint32_t id) {
    // A run of records asked for one after the other, forwards or backwards (a folder's
    // items are chained newest first), is read a window at a time.
    const bool forwards = m_lastRead != TAV_NONE && id == m_lastRead + NODE_REC_SIZE;
    const bool backwards = m_lastRead != TAV_NONE && id + NODE_REC_SIZE == m_lastRead;
    m_lastRead = id;
    if (const uint8_t* tail = TailRecord(id)) return tail;
    if (id % NODE_REC_SIZE == 0) {
        const uint32_t index = id / NODE_REC_SIZE;
        if (index >= m_windowFirst && index - m_windowFirst < m_windowCount)
            return m_window.data() + size_t(index - m_windowFirst) * NODE_REC_SIZE;
        if ((forwards || backwards) && index < uint32_t(count)) {
            const uint32_t first = forwards ? index : index - std::min(index, READ_AHEAD - 1);
            const uint32_t n = std::min<uint32_t>(READ_AHEAD, uint32_t(count) - first);
            m_window.resize(size_t(READ_AHEAD) * NODE_REC_SIZE);
            m_windowCount = 0;
            const int64_t got = m_file->ReadAt(m_window.data(), size_t(n) * NODE_REC_SIZE,
                                               uint64_t(first) * NODE_REC_SIZE);
            if (got < 0) return nullptr;
            m_windowFirst = first;
            m_windowCount = uint32_t(got / NODE_REC_SIZE);
            if (index - first >= m_windowCount) return nullptr;
            return m_window.data() + size_t(index - first) * NODE_REC_SIZE;
        }
    }
    if (m_file->ReadAt(m_single, NODE_REC_SIZE, id) != NODE_REC_SIZE) return nullptr;
    return m_single;
}

void CTavRepBaselineDetails::NoteWritten(const uint8_t* raw, uint32_t id) {
    const uint32_t index = id / NODE_REC_SIZE;
    if (id % NODE_REC_SIZE == 0 && index >= m_windowFirst && index - m_windowFirst < m_windowCount)
        std::memcpy(m_window.data() + size_t(index - m_windowFirst) * NODE_REC_SIZE, raw,
                    NODE_REC_SIZE);
}

int CTavRepBaselineDetails::LoadAllNodes(std::vector<TavNodeRec>& out) {
    if (!m_file || !FlushTail()) return 0;
    out.resize(size_t(count));
    std::vector<uint8_t> raw(size_t(std::min<uint32_t>(READ_BATCH, uint32_t(count))) * NODE_REC_SIZE);
    for (uint32_t first = 0; first < uint32_t(count); first += READ_BATCH) {
        uint32_t n = std::min<uint32_t>(READ_BATCH, uint32_t(count) - first);
        int64_t want = int64_t(n) * NODE_REC_SIZE;
        if (m_file->ReadAt(raw.data(), size_t(want), uint64_t(first) * NODE_REC_SIZE) != want)
            return 0;
        for (uint32_t k = 0; k < n; ++k) {
            TavNodeRec& node = out[first + k];
            const uint32_t id = (first + k) * NODE_REC_SIZE;
            if (m_hasCached && m_cached.nodeId == id)
                node = m_cached;
            else
                DecodeNodeRec(raw.data() + size_t(k) * NODE_REC_SIZE, node);
            if (node.nodeId != id) return 0;
        }
    }
    return 1;
}

uint32_t CTavRepBaselineDetails::UpdateNode(const TavNodeRec& node) {
    // Only existing records are rewritten: a forged id never grows the file.
    if (!m_file || node.nodeId % NODE_REC_SIZE != 0 ||
        node.nodeId / NODE_REC_SIZE >= uint32_t(count))
        return TAV_NONE;
    if (m_hasCached && m_cached.nodeId != node.nodeId && !FlushCached()) return TAV_NONE;
    Cache(node, true);
    return node.nodeId;
}

uint32_t CTavRepBaselineDetails::AddNode(TavNodeRec& node, int reindex) {
    if (!m_file || uint64_t(count + 1) * NODE_REC_SIZE >= TAV_NONE) return TAV_NONE;
    node.nodeId = uint32_t(count) * NODE_REC_SIZE;
    if (m_tail.size() >= size_t(TAIL_RECORDS) * NODE_REC_SIZE && !FlushTail()) return TAV_NONE;
    m_tail.resize(m_tail.size() + NODE_REC_SIZE);
    EncodeNodeRec(node, m_tail.data() + m_tail.size() - NODE_REC_SIZE);
    ++count;
    if (reindex) ReIndex();
    return node.nodeId;
}

int CTavRepBaselineDetails::ModifyNodeFlags(uint32_t id, uint32_t set, uint32_t clear) {
    TavNodeRec node;
    if (!LoadNode(node, id)) return 0;
    return ModifyNodeFlags(id, node, set, clear);
}

int CTavRepBaselineDetails::ModifyNodeFlags(uint32_t id, TavNodeRec& node, uint32_t set,
                                            uint32_t clear) {
    (void)id;
    node.flags = set | (node.flags & ~clear);
    return UpdateNode(node) != TAV_NONE ? 1 : 0;
}

int CTavRepBaselineDetails::LoadRoot(TavNodeRec& node, uint32_t moduleId) {
    for (const TavRootEntry& root : roots)
        if (root.moduleId == moduleId) return LoadNode(node, root.nodeId);
    return 0;
}

int CTavRepBaselineDetails::LoadRootAt(TavNodeRec& node, int32_t index) {
    if (index < 0 || index >= rootCount) return 0;
    return LoadNode(node, roots[size_t(index)].nodeId);
}

void CTavRepBaselineDetails::BuildContentIndex() { BuildIndexes(false); }

void CTavRepBaselineDetails::ReIndex() { BuildIndexes(true); }

void CTavRepBaselineDetails::BuildIndexes(bool withRoots) {
    contentIndex.clear();
    if (withRoots) {
        roots.clear();
        rootCount = 0;
    }
    if (!m_file || count <= 0) return;
    FlushTail();  // records it cannot write count as unread below
    // The positions are read once and sorted in memory; the named lock keeps the order of
    // operations that other processes expect around a sort. The roots are found on the same
    // reading, in the order of the index.
    struct Entry {
        uint64_t key;
        uint32_t id;
        uint32_t rootModule;  // TAV_NONE for a record that is not a root
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(count));
    std::vector<uint8_t> raw(size_t(std::min<uint32_t>(READ_BATCH, uint32_t(count))) * NODE_REC_SIZE);
    for (uint32_t first = 0; first < uint32_t(count); first += READ_BATCH) {
        uint32_t n = std::min<uint32_t>(READ_BATCH, uint32_t(count) - first);
        int64_t got = m_file->ReadAt(raw.data(), size_t(n) * NODE_REC_SIZE, uint64_t(first) * NODE_REC_SIZE);
        for (uint32_t k = 0; k < n; ++k) {
            TavNodeRec node{};
            const uint32_t id = (first + k) * NODE_REC_SIZE;
            bool read = true;
            if (m_hasCached && m_cached.nodeId == id)
                node = m_cached;
            else if (got >= int64_t(k + 1) * NODE_REC_SIZE)
                DecodeNodeRec(raw.data() + size_t(k) * NODE_REC_SIZE, node);
            else
                read = false;
            const bool root = read && node.nodeId == id && node.parentId == TAV_NONE;
            uint64_t key = (uint64_t(node.content.image) << 32) | node.content.offset;
            entries.push_back({key, id, root ? node.moduleId : TAV_NONE});
        }
    }
    plat::CNamedLock lock(SORT_LOCK_NAME);
    plat::CNamedLockGuard guard(lock);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.id < b.id;
    });
    contentIndex.reserve(entries.size());
    for (const Entry& e : entries) {
        contentIndex.push_back(e.id);
        if (withRoots && e.rootModule != TAV_NONE) roots.push_back({e.rootModule, e.id});
    }
    if (withRoots) rootCount = int32_t(roots.size());
}
