// Tests of DbxHeader and DbxIndexTree over files built by CDbxWriter.
#include <gtest/gtest.h>

#include <numeric>

#include "core/DbxException.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMemoryInput.h"
#include "modules/oe/DbxWriter.h"

namespace {

// Fake record offsets: the tree reader only stores them.
std::vector<uint32_t> Offsets(uint32_t n) {
    std::vector<uint32_t> v(n);
    std::iota(v.begin(), v.end(), 0x10000u);
    return v;
}

std::string TreeError(const CDbxWriter& w, uint32_t root, uint32_t count,
                      uint64_t* offset = nullptr) {
    DbxMemoryInput input(w.Bytes());
    try {
        DbxIndexTree tree(input, root, count);
    } catch (const DbxException& e) {
        if (offset) *offset = e.Offset();
        return e.Message();
    }
    return "no error";
}

TEST(DbxHeaderTest, ReadsTreeFieldsAndRejectsShortFile) {
    CDbxWriter w;
    w.SetMessageTree(0x1234, 7);
    w.SetFolderTree(0x5678, 9);
    DbxMemoryInput input(w.Bytes());
    DbxHeader header(input);
    EXPECT_EQ(header.MessageRoot(), 0x1234u);
    EXPECT_EQ(header.MessageCount(), 7u);
    EXPECT_EQ(header.FolderRoot(), 0x5678u);
    EXPECT_EQ(header.FolderCount(), 9u);
    EXPECT_EQ(header.U32(DBX_HEADER_SIZE - 3), 0u);  // past the header: no read outside

    std::vector<uint8_t> cut(w.Bytes().begin(), w.Bytes().end() - 1);
    DbxMemoryInput shortInput(cut);
    try {
        DbxHeader h(shortInput);
        FAIL() << "short header read";
    } catch (const DbxException& e) {
        EXPECT_EQ(e.Message(), "Error reading object from input stream !");
    }
}

TEST(DbxIndexTreeTest, ReadsTreesOfEverySizeInOrder) {
    // One leaf, a full leaf of 51, and trees deep enough for children below children.
    for (auto [count, perNode] :
         {std::pair{1u, 51u}, {51u, 51u}, {52u, 51u}, {3000u, 51u}, {1000u, 3u}, {200u, 1u}}) {
        CDbxWriter w;
        const std::vector<uint32_t> records = Offsets(count);
        const uint32_t root = w.AddTree(records, perNode);
        DbxMemoryInput input(w.Bytes());
        DbxIndexTree tree(input, root, count);
        ASSERT_EQ(tree.Count(), count) << count << "/" << perNode;
        EXPECT_EQ(tree.Values(), records) << count << "/" << perNode;
        EXPECT_EQ(tree.Value(count - 1), records.back());
    }
}

TEST(DbxIndexTreeTest, EntryCountLimitIs51AndValuesStopAtTheCount) {
    CDbxWriter w;
    const uint32_t node = w.ReserveNode();
    std::vector<DbxNodeEntry> entries(52);
    for (uint32_t i = 0; i < 52; ++i) entries[i].record = 0x20000 + i;
    w.WriteNode(node, 0, 0, 0, entries);
    EXPECT_EQ(TreeError(w, node, 52), "Wrong value for entries !");

    CDbxWriter three;
    const uint32_t root = three.AddTree(Offsets(3));
    DbxMemoryInput input(three.Bytes());
    DbxIndexTree tree(input, root, 3);
    try {
        tree.Value(3);
        FAIL();
    } catch (const DbxException& e) {
        EXPECT_EQ(e.Message(), "Wrong index !");
    }
}

TEST(DbxIndexTreeTest, EntryWithoutRecordStillReadsItsChild) {
    CDbxWriter w;
    const uint32_t root = w.ReserveNode();
    const uint32_t left = w.ReserveNode();
    const uint32_t right = w.ReserveNode();
    w.WriteNode(left, root, 0, 0, {{0x100, 0, 0}, {0x104, 0, 0}});
    w.WriteNode(right, root, 0, 0, {{0x200, 0, 0}});
    // Entry 0 has no record but a child; entry 1 has a record.
    w.WriteNode(root, 0, left, 2, {{0, right, 1}, {0x300, 0, 0}});
    DbxMemoryInput input(w.Bytes());
    DbxIndexTree tree(input, root, 4);
    EXPECT_EQ(tree.Values(), (std::vector<uint32_t>{0x100, 0x104, 0x200, 0x300}));
}

TEST(DbxIndexTreeTest, DamagedNodesFailWithTheirTexts) {
    CDbxWriter w;
    std::vector<uint32_t> nodes;
    const uint32_t root = w.AddTree(Offsets(100), 10, &nodes);
    ASSERT_GE(nodes.size(), 2u);
    const uint32_t child = nodes[1];
    const struct {
        const char* why;
        uint32_t at, value;  // the word written over the tree (none when `at` is 0)
        uint32_t count;      // the records the header announces
        const char* error;
        uint64_t where;  // the offset the error names (0: not checked)
    } cases[] = {
        {"the root's marker", root, root + 4, 100, "Wrong object marker !", root},
        {"a child's parent field", child + 0x0C, 0x4444, 100, "Wrong parent !", child},
        {"fewer records announced than a subtree claims", 0, 0, 50, "To many values to read !", 0},
        {"a child holds fewer records than its parent says (its first entry loses its record)",
         child + 0x18, 0, 100, "Wrong number of values found!", child},
        {"more records announced than the tree holds", 0, 0, 101, "Wrong number of values found!",
         0},
        {"a node past the end of the file", root + 0x08, w.Size() - 10, 100,
         "Error reading node from input stream !", 0},
    };
    for (const auto& c : cases) {
        CDbxWriter d = w;
        if (c.at) d.SetU32(c.at, c.value);
        uint64_t at = 0;
        EXPECT_EQ(TreeError(d, root, c.count, &at), c.error) << c.why;
        if (c.where) EXPECT_EQ(at, c.where) << c.why;
    }
    EXPECT_EQ(TreeError(w, w.Size() + 1000, 100), "Error reading node from input stream !");
    // More records than announced, found in the root itself.
    CDbxWriter five;
    EXPECT_EQ(TreeError(five, five.AddTree(Offsets(5)), 4), "To many values !");
}

// Trees a sound writer never makes, whose reading would multiply the work or the memory.
TEST(DbxIndexTreeTest, HostileTreesCostNoMoreThanTheirFile) {
    // The same child after every entry: reading it each time would multiply the work with
    // every level.
    CDbxWriter twice;
    const uint32_t root = twice.ReserveNode();
    const uint32_t child = twice.ReserveNode();
    twice.WriteNode(child, root, 0, 0, {{0x100, 0, 0}});
    twice.WriteNode(root, 0, child, 1, {{0x200, child, 1}});
    EXPECT_EQ(TreeError(twice, root, 3), "Index node referenced twice !");

    // Every node points 51 times to one child with zero records: without the visited set
    // this would read 51^depth nodes.
    CDbxWriter fan;
    std::vector<uint32_t> chain;
    for (int i = 0; i < 20; ++i) chain.push_back(fan.ReserveNode());
    for (size_t i = 0; i < chain.size(); ++i) {
        const uint32_t next = i + 1 < chain.size() ? chain[i + 1] : 0;
        std::vector<DbxNodeEntry> entries(51, DbxNodeEntry{0, next, 0});
        fan.WriteNode(chain[i], i ? chain[i - 1] : 0, 0, 0, entries);
    }
    EXPECT_EQ(TreeError(fan, chain[0], 0), "Index node referenced twice !");

    // 0xFFFFFFFF slots would be 16 GiB; the reader only keeps what it finds.
    CDbxWriter three;
    EXPECT_EQ(TreeError(three, three.AddTree(Offsets(3)), 0xFFFFFFFF),
              "Wrong number of values found!");
}

TEST(DbxIndexTreeTest, OverlyDeepChainStopsBeforeTheStackDoes) {
    // A chain of nodes, each the left child of the one before, with counts that add up.
    auto chainFile = [](uint32_t length, uint32_t& root) {
        CDbxWriter w;
        std::vector<uint32_t> chain;
        for (uint32_t i = 0; i < length; ++i) chain.push_back(w.ReserveNode());
        for (uint32_t i = 0; i < length; ++i) {
            const uint32_t next = i + 1 < length ? chain[i + 1] : 0;
            w.WriteNode(chain[i], i ? chain[i - 1] : 0, next, length - i - 1, {{0x100 + i}});
        }
        root = chain[0];
        return w;
    };
    uint32_t root = 0;
    CDbxWriter deepest = chainFile(DBX_TREE_MAX_DEPTH, root);
    DbxMemoryInput input(deepest.Bytes());
    EXPECT_EQ(DbxIndexTree(input, root, DBX_TREE_MAX_DEPTH).Count(), DBX_TREE_MAX_DEPTH);

    CDbxWriter tooDeep = chainFile(DBX_TREE_MAX_DEPTH + 1, root);
    EXPECT_EQ(TreeError(tooDeep, root, DBX_TREE_MAX_DEPTH + 1), "Index tree too deep !");
}

}  // namespace
