// DbxChunkInput over a real repository: a ".dbx" file stored as the backup engine stores
// it (one content block per 32 KiB chunk, then the chunk table) reads back exactly.
#include <gtest/gtest.h>

#include "core/DbxChunkInput.h"
#include "core/DbxFileInput.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"
#include "modules/oe/DbxTestStore.h"
#include "support/RepBuilder.h"
#include "support/TempDir.h"

namespace {

using dbxtest::DataPath;

// Message subjects and texts in tree order.
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
    // The file's chunks and its table in a new repository; the node that names them.
    TavNodeRec StoreDbx(const std::string& bytes) {
        TavImageSecurity sec = tavtest::Security(nullptr, GetParam());
        EXPECT_EQ(CTavRepository::CreateRepository(m_dir / "oe.tvr", &sec, 0, {0, 0}), 1);
        EXPECT_EQ(m_rep.Attach(m_dir / "oe.tvr", &sec), 1);
        EXPECT_EQ(m_rep.BeginTrans(5000), 1);
        TavNodeRec node{};
        node.chunkSize = DBX_CHUNK_SIZE;
        node.content = tavtest::StoreChunkTable(m_rep, bytes, DBX_CHUNK_SIZE);
        m_rep.CommitTrans();
        return node;
    }

    tavtest::CTempDir m_dir;
    CTavRepository m_rep;
};

TEST_P(DbxChunkInputRepTest, StoredFileReadsLikeTheLiveOne) {
    const std::string live = DataPath("IPED/test_OutlookDBX.dbx");
    const std::string bytes = tavtest::ReadFile(live);
    ASSERT_EQ(bytes.size(), 535252u);
    DbxChunkInput stored(&m_rep, StoreDbx(bytes));
    EXPECT_TRUE(stored.TableComplete());
    ASSERT_EQ(stored.Table().size(), 17u);  // 16 full chunks and a short one
    std::string back;
    stored.Seek(0);
    EXPECT_FALSE(stored.ReadAppend(back, bytes.size() + 1));
    EXPECT_EQ(back, bytes);

    DbxFileInput file(live);
    const std::vector<std::string> fromFile = Walk(file);
    EXPECT_EQ(fromFile.size(), 56u);
    EXPECT_EQ(Walk(stored), fromFile);
}

TEST_P(DbxChunkInputRepTest, MissingBlocksEndReadsWithoutFailing) {
    TavNodeRec node = StoreDbx(tavtest::ReadFile(DataPath("Mail-Transport-Dbx/test.dbx")));
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
