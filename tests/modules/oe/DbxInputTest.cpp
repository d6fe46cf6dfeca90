// The DBX inputs over memory and files and ReadAppend's bounded growth; DbxChunkInput and
// the chunk-table record over an in-memory block source (the real repository and real
// stores: DbxChunkInputRepTest).
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "core/DbxChunkInput.h"
#include "core/DbxFileInput.h"
#include "core/DbxMemoryInput.h"
#include "platform/SysError.h"
#include "support/TempDir.h"

namespace {

class DbxInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 100; ++i) m_content.push_back(uint8_t(i * 7));
        ASSERT_TRUE(tavtest::WriteFile(m_path, std::string(m_content.begin(), m_content.end())));
    }
    // The same reads against any input over m_content.
    void CheckReads(DbxInput& input) {
        uint8_t buffer[64];
        EXPECT_TRUE(input.Seek(10));
        ASSERT_EQ(input.Read(buffer, 5), 5u);
        EXPECT_EQ(buffer[0], m_content[10]);
        EXPECT_EQ(buffer[4], m_content[14]);
        EXPECT_FALSE(input.AtEnd());
        input.Seek(90);
        EXPECT_EQ(input.Read(buffer, 64), 10u);  // short at the end
        EXPECT_EQ(buffer[9], m_content[99]);
        EXPECT_TRUE(input.AtEnd());
        input.Seek(0);
        EXPECT_FALSE(input.AtEnd());
        input.Seek(1000);  // past the end: nothing, no failure
        EXPECT_EQ(input.Read(buffer, 1), 0u);
        EXPECT_TRUE(input.AtEnd());

        std::vector<uint8_t> out{0xEE};
        input.Seek(20);
        EXPECT_TRUE(input.ReadAppend(out, 30));
        ASSERT_EQ(out.size(), 31u);
        EXPECT_EQ(out[0], 0xEE);
        EXPECT_EQ(out[30], m_content[49]);
        // A count of 4 GiB appends what there is and fails, without a 4 GiB buffer.
        std::string text;
        input.Seek(95);
        EXPECT_FALSE(input.ReadAppend(text, 0xFFFFFFFFull));
        EXPECT_EQ(text.size(), 5u);
        EXPECT_LT(text.capacity(), 4u << 20);
        EXPECT_TRUE(input.ReadAppend(text, 0));
    }

    tavtest::CTempDir m_dir;
    const std::string m_path = m_dir / "store.dbx";
    std::vector<uint8_t> m_content;
};

TEST_F(DbxInputTest, MemoryAndFileInputsReadAlike) {
    DbxMemoryInput memory(m_content);
    CheckReads(memory);
    DbxMemoryInput empty(nullptr, 0);
    uint8_t b[4];
    EXPECT_EQ(empty.Read(b, 1), 0u);

    DbxFileInput file(m_path);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.OpenError(), 0u);
    CheckReads(file);

    // A missing file delivers nothing.
    DbxFileInput missing(m_path + ".missing");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.OpenError(), plat::ERR_FILE_NOT_FOUND);
    missing.Seek(0);
    EXPECT_EQ(missing.Read(b, 4), 0u);
    EXPECT_TRUE(missing.AtEnd());
}

// Blocks by position, as a repository would hand them out; counts fetches.
class CFakeBlockSource : public CDbxBlockSource {
public:
    bool Fetch(TavPosition position, DbxStoredBlock& block) override {
        ++fetches;
        auto it = blocks.find({position.image, position.offset});
        if (it == blocks.end()) return false;
        block = it->second;
        return true;
    }
    std::map<std::pair<uint32_t, uint32_t>, DbxStoredBlock> blocks;
    int fetches = 0;
};

struct StoredFile {
    std::unique_ptr<CFakeBlockSource> source = std::make_unique<CFakeBlockSource>();
    TavPosition table;
    std::vector<TavPosition> chunks;
    std::vector<TavPosition> tableBlocks;
};

// Stores `bytes` as the backup engine does: one block per chunk, then the chunk table as
// a chain of blocks of `tableBlock` bytes (records may straddle them).
StoredFile Store(const std::vector<uint8_t>& bytes, uint32_t chunkSize,
                 uint32_t tableBlock = 32768) {
    StoredFile f;
    uint32_t next = 0x100;
    std::vector<uint8_t> table;
    for (size_t at = 0; at < bytes.size(); at += chunkSize) {
        const size_t n = std::min<size_t>(chunkSize, bytes.size() - at);
        DbxChunkRecord rec;
        rec.position = {2, next};
        next += 0x100;
        rec.digest[0] = uint8_t(at);
        f.source->blocks[{rec.position.image, rec.position.offset}].data.assign(
            bytes.begin() + at, bytes.begin() + at + n);
        f.chunks.push_back(rec.position);
        uint8_t raw[DBX_CHUNK_RECORD_SIZE];
        EncodeChunkRecord(rec, raw);
        table.insert(table.end(), raw, raw + sizeof raw);
    }
    for (size_t at = 0; at < table.size() || at == 0; at += tableBlock) {
        const TavPosition pos{3, next};
        next += 0x100;
        if (!f.tableBlocks.empty())
            f.source->blocks[{f.tableBlocks.back().image, f.tableBlocks.back().offset}].next = pos;
        const size_t n = std::min<size_t>(tableBlock, table.size() - at);
        f.source->blocks[{pos.image, pos.offset}].data.assign(table.begin() + at,
                                                              table.begin() + at + n);
        f.tableBlocks.push_back(pos);
        if (table.empty()) break;
    }
    f.table = f.tableBlocks.front();
    return f;
}

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 31 + (i >> 9));
    return v;
}

TEST(DbxChunkRecordTest, LayoutAndRoundTrip) {
    DbxChunkRecord rec;
    rec.position = {0x01020304, 0x0A0B0C0D};
    for (int i = 0; i < 16; ++i) rec.digest[i] = uint8_t(0xF0 + i);
    uint8_t raw[DBX_CHUNK_RECORD_SIZE];
    std::fill(raw, raw + sizeof raw, 0xAA);
    EncodeChunkRecord(rec, raw);
    EXPECT_EQ(raw[0], 0x04);
    EXPECT_EQ(raw[3], 0x01);
    EXPECT_EQ(raw[4], 0x0D);
    EXPECT_EQ(raw[8], 0xF0);
    EXPECT_EQ(raw[23], 0xFF);
    for (int i = 24; i < 40; ++i) EXPECT_EQ(raw[i], 0) << i;
    const DbxChunkRecord back = DecodeChunkRecord(raw);
    EXPECT_EQ(back.position, rec.position);
    EXPECT_EQ(std::vector<uint8_t>(back.digest, back.digest + 16),
              std::vector<uint8_t>(rec.digest, rec.digest + 16));
    // A trailing part shorter than a record is not a record.
    std::vector<uint8_t> table(raw, raw + 40);
    table.resize(79);
    EXPECT_EQ(DecodeChunkTable(table.data(), table.size()).size(), 1u);
}

TEST(DbxChunkInputTest, ReadsAcrossChunksAndTableBlocks) {
    const std::vector<uint8_t> bytes = Pattern(65537);  // two full chunks and one byte
    for (uint32_t tableBlock : {32768u, 7u, 100u}) {
        StoredFile f = Store(bytes, 32768, tableBlock);
        DbxChunkInput input(std::move(f.source), f.table, 32768);
        EXPECT_TRUE(input.TableComplete());
        ASSERT_EQ(input.Table().size(), 3u);
        EXPECT_EQ(input.Table()[2].position, f.chunks[2]);
        EXPECT_EQ(input.Table()[1].digest[0], uint8_t(32768));

        std::vector<uint8_t> all(70000, 0);
        EXPECT_TRUE(input.Seek(0));
        ASSERT_EQ(input.Read(all.data(), all.size()), bytes.size());  // stops at the end
        all.resize(bytes.size());
        EXPECT_EQ(all, bytes);
        EXPECT_FALSE(input.AtEnd());

        uint8_t piece[10];
        input.Seek(32763);  // five bytes of chunk 0, five of chunk 1
        ASSERT_EQ(input.Read(piece, 10), 10u);
        EXPECT_TRUE(std::equal(piece, piece + 10, bytes.begin() + 32763));
        ASSERT_EQ(input.Read(piece, 1), 1u);  // the position moved on
        EXPECT_EQ(piece[0], bytes[32773]);
        input.Seek(65536);
        EXPECT_EQ(input.Read(piece, 10), 1u);
        input.Seek(1u << 30);
        EXPECT_EQ(input.Read(piece, 10), 0u);
    }
}

TEST(DbxChunkInputTest, ConsecutiveReadsInOneChunkFetchItOnce) {
    StoredFile f = Store(Pattern(100000), 32768);
    CFakeBlockSource* source = f.source.get();
    DbxChunkInput input(std::move(f.source), f.table, 32768);
    const int afterTable = source->fetches;
    uint8_t b[16];
    input.Seek(100);
    input.Read(b, 12);
    input.Read(b, 16);
    input.Seek(5000);
    input.Read(b, 16);
    EXPECT_EQ(source->fetches, afterTable + 1);
}

TEST(DbxChunkInputTest, DamagedTablesAndBlocksNeverMisplaceBytes) {
    const std::vector<uint8_t> bytes = Pattern(4 * 1024);
    std::vector<uint8_t> got(bytes.size());
    auto block = [](StoredFile& f, TavPosition at) -> DbxStoredBlock& {
        return f.source->blocks[{at.image, at.offset}];
    };
    auto drop = [](StoredFile& f, TavPosition at) { f.source->blocks.erase({at.image, at.offset}); };
    const struct {
        const char* why;
        uint32_t tableBlock;
        std::function<void(StoredFile&)> damage;
        bool complete;
        size_t records, whole;  // the table's records; what a read of everything delivers
        uint32_t at;            // then a read of 10 bytes here (0: none) ...
        size_t atGot;           // ... delivers this many of the file's bytes
    } cases[] = {
        {"a table chain that loops keeps what it read", 40,
         [&](StoredFile& f) { block(f, f.tableBlocks.back()).next = f.tableBlocks[1]; }, false, 4,
         4096, 0, 0},
        {"a table chain that breaks off", 40, [&](StoredFile& f) { drop(f, f.tableBlocks[2]); },
         false, 2, 2048, 0, 0},
        {"a chunk block that cannot be fetched ends the read before it", 32768,
         [&](StoredFile& f) { drop(f, f.chunks[1]); }, true, 4, 1024, 2048, 10},
        {"a short chunk: its missing bytes are not taken from the next one", 32768,
         [&](StoredFile& f) { block(f, f.chunks[1]).data.resize(1000); }, true, 4, 2024, 2040, 0},
        {"a short chunk: the next one reads whole", 32768,
         [&](StoredFile& f) { block(f, f.chunks[1]).data.resize(1000); }, true, 4, 2024, 2048, 10},
        {"a block longer than its chunk gives only the chunk's share", 32768,
         [&](StoredFile& f) { block(f, f.chunks[0]).data.resize(5000, 0xEE); }, true, 4, 4096, 0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StoredFile f = Store(bytes, 1024, c.tableBlock);
        c.damage(f);
        DbxChunkInput input(std::move(f.source), f.table, 1024);
        EXPECT_EQ(input.TableComplete(), c.complete);
        EXPECT_EQ(input.Table().size(), c.records);
        ASSERT_EQ(input.Read(got.data(), got.size()), c.whole);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + c.whole, got.begin()));
        if (c.at == 0) continue;
        input.Seek(c.at);
        ASSERT_EQ(input.Read(got.data(), 10), c.atGot);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + c.atGot, bytes.begin() + c.at));
    }
    // Chunk size 0 delivers nothing; an empty table neither.
    StoredFile f = Store(bytes, 1024);
    DbxChunkInput input(std::move(f.source), f.table, 0);
    EXPECT_EQ(input.Read(got.data(), 10), 0u);
    DbxChunkInput none(std::make_unique<CFakeBlockSource>(), TavPosition{}, 32768);
    EXPECT_TRUE(none.Table().empty());
    EXPECT_EQ(none.Read(got.data(), 10), 0u);
}

}  // namespace
