// libFuzzer target for the DBX reader: header, both index trees, every folder and message
// record, and every message text, read from memory (and, for some inputs, through the
// chunk input over an in-memory block source).
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "core/DbxChunkInput.h"
#include "core/DbxException.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"

namespace {

volatile size_t g_sink;

void TouchRecord(const DbxRecord& r) {
    for (uint32_t i = 0; i < DBX_INDEX_COUNT; ++i) {
        if (const char* t = r.Text(i)) g_sink = g_sink + std::strlen(t);
        g_sink = g_sink + r.Utf8Text(i).size() + r.Integer(i) + r.Data(i).size() +
                 r.IndexName(i).size() + r.IndexType(i);
    }
}

void WalkTree(DbxInput& input, uint32_t root, uint32_t count, bool messages) {
    if (root == 0 || count == 0) return;
    try {
        DbxIndexTree tree(input, root, count);
        for (uint32_t i = 0; i < tree.Count(); ++i) {
            try {
                if (messages) {
                    DbxMessageRecord r(input, tree.Value(i));
                    TouchRecord(r);
                    uint64_t ticks;
                    r.ReceivedTime(ticks);
                    DbxMessageText text(input, r.Integer(DBX_MESSAGE_TEXT));
                    g_sink = g_sink + std::strlen(text.Text());
                    text.StripCarriageReturns();
                    g_sink = g_sink + text.Length();
                } else {
                    DbxFolderRecord r(input, tree.Value(i));
                    TouchRecord(r);
                }
            } catch (const DbxException&) {
            }
        }
    } catch (const DbxException&) {
    }
}

void Walk(DbxInput& input) {
    try {
        DbxHeader header(input);
        WalkTree(input, header.MessageRoot(), header.MessageCount(), true);
        WalkTree(input, header.FolderRoot(), header.FolderCount(), false);
    } catch (const DbxException&) {
    }
}

// The input cut into 1 KiB chunk blocks with a chunk table, as a repository holds it.
class CMemoryBlocks : public CDbxBlockSource {
public:
    CMemoryBlocks(const uint8_t* data, size_t size) {
        std::vector<uint8_t> table;
        for (size_t at = 0, n = 1; at < size; at += CHUNK, ++n) {
            DbxChunkRecord rec;
            rec.position = {0, uint32_t(n)};
            m_blocks[n].data.assign(data + at, data + std::min(size, at + CHUNK));
            uint8_t raw[DBX_CHUNK_RECORD_SIZE];
            EncodeChunkRecord(rec, raw);
            table.insert(table.end(), raw, raw + sizeof raw);
        }
        m_blocks[TABLE].data = table;
    }
    bool Fetch(TavPosition position, DbxStoredBlock& block) override {
        auto it = m_blocks.find(position.offset);
        if (it == m_blocks.end()) return false;
        block = it->second;
        return true;
    }
    static constexpr size_t CHUNK = 1024;
    static constexpr uint32_t TABLE = 0xFFFFFFF0;

private:
    std::map<uint32_t, DbxStoredBlock> m_blocks;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DbxMemoryInput memory(data, size);
    Walk(memory);
    if (size % 4 == 1) {
        DbxChunkInput stored(std::make_unique<CMemoryBlocks>(data, size),
                             TavPosition{0, CMemoryBlocks::TABLE}, CMemoryBlocks::CHUNK);
        Walk(stored);
    }
    return 0;
}
