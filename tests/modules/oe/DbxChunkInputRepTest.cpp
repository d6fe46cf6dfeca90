// DbxChunkInput over a real repository: a ".dbx" file stored as the backup engine stores
// it (one content block per 32 KiB chunk, then the chunk table) reads back exactly.
#include <gtest/gtest.h>


#include "core/DbxChunkInput.h"
#include "core/DbxChunkRecord.h"
#include "core/DbxFileInput.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"
#include "support/TempDir.h"
#include "tavrep/MD5Checksum.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"
#include "modules/oe/DbxTestStore.h"

namespace {

using dbxtest::DataPath;

std::vector<uint8_t> ReadWhole(const std::string& path) {
    DbxFileInput input(path);
    std::vector<uint8_t> bytes;
    input.Seek(0);
    input.ReadAppend(bytes, 1u << 24);
    return bytes;
}

// Message subjects and texts in tree order, or the error text.
std::vector<std::string> Walk(DbxInput& input) {
    std::vector<std::string> out;
    DbxHeader header(input);
    DbxIndexTree tree(input, header.MessageRoot(), header.MessageCount());
    for (uint32_t offset : tree.Values()) {
        DbxMessageRecord r(input, offset);
        out.push_back(r.Utf8Text(DBX_MESSAGE_SUBJECT));
        out.push_back(DbxMessageText(input, r.Integer(DBX_MESSAGE_TEXT)).Str());
    }
    return out;
}

class DbxChunkInputRepTest : public ::testing::TestWithParam<uint32_t> {
protected:
    // Stores the file's chunks, then its table as a chain of `tableBlock`-byte blocks.
    TavNodeRec StoreDbx(const std::vector<uint8_t>& bytes, uint32_t tableBlock) {
        TavImageSecurity sec;
        InitTavImageSecure(&sec, nullptr, COMPRESS_DEFLATE, -1, GetParam(), TAV_DEFAULT_IMAGE_SIZE);
        m_path = m_dir / "oe.tvr";
        EXPECT_EQ(CTavRepository::CreateRepository(m_path, &sec, 0, {0, 0}), 1);
        EXPECT_EQ(m_rep.Attach(m_path, &sec), 1);
        EXPECT_EQ(m_rep.BeginTrans(5000), 1);
        std::vector<uint8_t> table;
        for (size_t at = 0; at < bytes.size(); at += DBX_CHUNK_SIZE) {
            const uint32_t n = uint32_t(std::min<size_t>(DBX_CHUNK_SIZE, bytes.size() - at));
            DbxChunkRecord rec;
            rec.position = m_rep.AddContent(bytes.data() + at, n, {0, 0});
            EXPECT_NE(rec.position.offset, 0u);
            CMD5Checksum::Hash(bytes.data() + at, n, rec.digest);
            uint8_t raw[DBX_CHUNK_RECORD_SIZE];
            EncodeChunkRecord(rec, raw);
            table.insert(table.end(), raw, raw + sizeof raw);
        }
        TavNodeRec node{};
        node.chunkSize = DBX_CHUNK_SIZE;
        TavPosition previous{0, 0};
        for (size_t at = 0; at < table.size(); at += tableBlock) {
            const uint32_t n = uint32_t(std::min<size_t>(tableBlock, table.size() - at));
            previous = m_rep.AddContent(table.data() + at, n, previous);
            if (at == 0) node.content = previous;
        }
        m_rep.CommitTrans();
        return node;
    }

    tavtest::CTempDir m_dir;
    std::string m_path;
    CTavRepository m_rep;
};

TEST_P(DbxChunkInputRepTest, StoredFileReadsLikeTheLiveOne) {
    const std::string live = DataPath("IPED/test_OutlookDBX.dbx");
    const std::vector<uint8_t> bytes = ReadWhole(live);
    ASSERT_EQ(bytes.size(), 535252u);
    for (uint32_t tableBlock : {32768u, 100u}) {
        const TavNodeRec node = StoreDbx(bytes, tableBlock);
        DbxChunkInput stored(&m_rep, node);
        EXPECT_TRUE(stored.TableComplete());
        ASSERT_EQ(stored.Table().size(), 17u);  // 16 full chunks and a short one
        std::vector<uint8_t> back;
        stored.Seek(0);
        EXPECT_FALSE(stored.ReadAppend(back, bytes.size() + 1));
        EXPECT_EQ(back, bytes);

        DbxFileInput file(live);
        const std::vector<std::string> fromFile = Walk(file);
        EXPECT_EQ(fromFile.size(), 56u);
        EXPECT_EQ(Walk(stored), fromFile);
        m_rep.Detach();
    }
}

TEST_P(DbxChunkInputRepTest, MissingBlocksEndReadsWithoutFailing) {
    const std::vector<uint8_t> bytes = ReadWhole(DataPath("Mail-Transport-Dbx/test.dbx"));
    TavNodeRec node = StoreDbx(bytes, 32768);
    node.content.offset += 1;  // not a block
    DbxChunkInput broken(&m_rep, node);
    EXPECT_FALSE(broken.TableComplete());
    EXPECT_TRUE(broken.Table().empty());
    uint8_t b[16];
    EXPECT_EQ(broken.Read(b, sizeof b), 0u);

    node.content.offset -= 1;
    node.content.image = 7;  // an image that does not exist
    DbxChunkInput missing(&m_rep, node);
    EXPECT_TRUE(missing.Table().empty());
}

INSTANTIATE_TEST_SUITE_P(Encryption, DbxChunkInputRepTest,
                         ::testing::Values(ENCRYPT_NONE, ENCRYPT_BUILTIN));

}  // namespace
