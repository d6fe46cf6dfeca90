#include "core/DbxChunkInput.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>

#include "core/DbxRepBlockSource.h"

namespace {
constexpr size_t NO_CHUNK = ~size_t(0);
// A ".dbx" file is addressed with 32-bit offsets: a table never needs records past 4 GiB.
constexpr uint64_t MAX_FILE_BYTES = uint64_t(1) << 32;
}  // namespace

DbxChunkInput::DbxChunkInput(CTavRepository* repository, const TavNodeRec& node)
    : DbxChunkInput(std::make_unique<CDbxRepBlockSource>(repository), node.content,
                    node.chunkSize) {}

DbxChunkInput::DbxChunkInput(std::unique_ptr<CDbxBlockSource> source, TavPosition table,
                             uint32_t chunkSize)
    : m_source(std::move(source)), m_chunkSize(chunkSize), m_cachedIndex(NO_CHUNK) {
    LoadTable(table);
}

DbxChunkInput::~DbxChunkInput() = default;

void DbxChunkInput::LoadTable(TavPosition first) {
    // Records may straddle the table's blocks, so the chain is joined before decoding.
    const uint64_t maxRecords =
        m_chunkSize ? MAX_FILE_BYTES / m_chunkSize + 1 : MAX_FILE_BYTES / 32768 + 1;
    const uint64_t maxBytes = maxRecords * DBX_CHUNK_RECORD_SIZE;
    std::vector<uint8_t> bytes;
    std::set<std::pair<uint32_t, uint32_t>> seen;
    DbxStoredBlock block;
    TavPosition at = first;
    m_tableComplete = true;
    while (at.offset != 0) {
        if (!seen.emplace(at.image, at.offset).second || !m_source->Fetch(at, block) ||
            bytes.size() + block.data.size() > maxBytes) {
            m_tableComplete = false;  // a loop, a missing block, or a table far too long
            break;
        }
        bytes.insert(bytes.end(), block.data.begin(), block.data.end());
        at = block.next;
    }
    m_table = DecodeChunkTable(bytes.data(), bytes.size());
}

bool DbxChunkInput::Seek(uint64_t offset) {
    m_position = offset;
    return true;
}

bool DbxChunkInput::FetchChunk(size_t index) {
    if (index == m_cachedIndex) return true;
    m_cachedIndex = NO_CHUNK;
    DbxStoredBlock block;
    if (!m_source->Fetch(m_table[index].position, block)) return false;
    m_cached = std::move(block.data);
    m_cachedIndex = index;
    return true;
}

size_t DbxChunkInput::Read(void* buffer, size_t count) {
    if (m_chunkSize == 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const uint64_t index = m_position / m_chunkSize;
        const uint64_t within = m_position % m_chunkSize;
        if (index >= m_table.size() || !FetchChunk(size_t(index))) break;
        // A block never contributes more than its chunk's share of the file.
        const uint64_t held = std::min<uint64_t>(m_cached.size(), m_chunkSize);
        if (within >= held) break;
        const size_t n = size_t(std::min<uint64_t>(held - within, count - done));
        std::memcpy(out + done, m_cached.data() + within, n);
        done += n;
        m_position += n;
    }
    return done;
}
