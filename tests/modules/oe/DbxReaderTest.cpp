// The .dbx readers over files built by CDbxWriter: the header, index trees, records (and
// the conversion of their 8-bit texts to UTF-8), the folder list and message texts, sound
// and damaged.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "core/DbxException.h"
#include "core/DbxFolderList.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"
#include "modules/oe/DbxTestStore.h"
#include "modules/oe/DbxWriter.h"
#include "platform/Utf8.h"

namespace {

const auto RecordError = [](const auto&... a) { return dbxtest::ReadError<DbxRecord>(a...); };

// Entry data bounds, absent indexes, index names and types, lookups of index 32 and more.
// (What the fields hold: the folder list, the search and the real files.)
TEST(DbxRecordTest, FolderAndMessageRecordFields) {
    CDbxWriter w;
    const uint32_t folder = w.AddRecord(
        {DbxField::Integer(DBX_FOLDER_ID, 0x1234), DbxField::Text(DBX_FOLDER_NAME, "Inbox"),
         DbxField::Direct(DBX_FOLDER_FLAGS, 0x000101), DbxField::Integer(DBX_FOLDER_UNREAD, 7)});
    const uint32_t message = w.AddRecord({DbxField::Text(DBX_MESSAGE_ACCOUNT, "mail.example")});
    const uint32_t other = w.AddRecord({DbxField::Raw(DBX_MESSAGE_RECEIVED, {1, 2, 3, 4})});
    DbxMemoryInput input(w.Bytes());
    DbxFolderRecord r(input, folder);
    EXPECT_EQ(r.Integer(DBX_FOLDER_FLAGS), 0x101u);
    EXPECT_EQ(r.Data(DBX_FOLDER_FLAGS).size(), 3u);
    EXPECT_EQ(r.Integer(DBX_FOLDER_UNREAD), 7u);
    // The last indirect entry runs to the end of the body; the others to the next one.
    EXPECT_EQ(r.Data(DBX_FOLDER_NAME).size(), 6u);
    EXPECT_EQ(r.Data(DBX_FOLDER_UNREAD).size(), 4u);
    // Absent indexes.
    EXPECT_EQ(r.Text(0x04), nullptr);
    EXPECT_EQ(r.Data(0x04).data(), nullptr);
    EXPECT_EQ(r.Integer(0x04), 0u);
    EXPECT_EQ(r.Utf8Text(0x04), "");
    EXPECT_EQ(r.IndexName(DBX_FOLDER_NAME), "folder name");
    EXPECT_EQ(r.IndexType(0x1F), DBX_TYPE_NONE);

    DbxMessageRecord m(input, message);
    EXPECT_EQ(m.IndexType(DBX_MESSAGE_RECEIVED), DBX_TYPE_DATE);
    EXPECT_EQ(m.IndexName(DBX_MESSAGE_ACCOUNT), "account name");
    // Lookups of index 32 and more throw.
    for (auto call :
         {+[](const DbxRecord& x) { x.Integer(32); }, +[](const DbxRecord& x) { x.Text(40); },
          +[](const DbxRecord& x) { x.Data(0xFFFFFFFF); },
          +[](const DbxRecord& x) { x.IndexName(32); }})
        EXPECT_EQ(dbxtest::Thrown([&] { call(m); }), "Index to big !");
    // A received time that is not 8 bytes long does not count.
    uint64_t ticks = 0;
    EXPECT_FALSE(DbxMessageRecord(input, other).ReceivedTime(ticks));
    // The plain record knows no names.
    DbxRecord plain(input, other);
    EXPECT_EQ(plain.IndexName(DBX_MESSAGE_RECEIVED), "");
    EXPECT_EQ(plain.IndexType(DBX_MESSAGE_RECEIVED), DBX_TYPE_NONE);
}

// Entries as no sound writer makes them: short and long integers, repeated indexes, texts
// without a terminator, 8-bit texts.
TEST(DbxRecordTest, OddEntriesReadWithinTheirData) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord(
        {DbxField::Direct(1, 0xFFFFFFFF), DbxField::Raw(2, {0x34, 0x12}), DbxField::Raw(3, {0xAB}),
         DbxField::Raw(4, {}), DbxField::Raw(5, {1, 2, 3, 4, 5, 6}), DbxField::Text(6, "first"),
         DbxField::Direct(6, 0x41), DbxField::Text(8, "Gr\xFC\xDF\x65 \x80 \x93x\x94"),
         DbxField::Text(9, "Gr\xC3\xBC\xC3\x9F\x65"), DbxField::Text(10, "\x81\x8D"),
         DbxField::Raw(7, {'a', 'b', 'c'})});  // last: no terminator before the record's end
    DbxMemoryInput input(w.Bytes());
    DbxRecord r(input, at);
    EXPECT_EQ(r.Integer(1), 0xFFFFFFu) << "a direct entry never exceeds 24 bits";
    EXPECT_EQ(r.Integer(2), 0x1234u);
    EXPECT_EQ(r.Integer(3), 0xABu);
    EXPECT_TRUE(r.Has(4));
    EXPECT_EQ(r.Integer(4), 0u);
    EXPECT_EQ(r.Utf8Text(4), "") << "bounded by the data, not by the next NUL";
    EXPECT_EQ(r.Integer(5), 0x04030201u);
    EXPECT_STREQ(r.Text(6), "A") << "a later entry for the same index wins";
    EXPECT_EQ(r.Presence(), 0x7FEu);
    EXPECT_STREQ(r.Text(7), "abc");
    EXPECT_EQ(r.Utf8Text(7), "abc");
    EXPECT_EQ(r.Utf8Text(8),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
    EXPECT_EQ(r.Utf8Text(9),
              "Gr\xC3\xBC\xC3\x9F"
              "e")
        << "already UTF-8: kept";
    EXPECT_EQ(r.Utf8Text(10), "\xC2\x81\xC2\x8D");
    EXPECT_STREQ(r.Text(8), "Gr\xFC\xDF\x65 \x80 \x93x\x94") << "raw bytes unchanged";
    // Every byte value converts to valid UTF-8.
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(char(b));
    EXPECT_TRUE(plat::IsValidUtf8(plat::Utf8OrCp1252ToUtf8(all)));
}

TEST(DbxRecordTest, DamagedRecordsFailWithTheirTexts) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord({DbxField::Integer(0, 5), DbxField::Text(2, "name")});
    // Five entries in a body of 16 bytes: the count is checked against whole entries before
    // any is read (the fourth word, index 63, would fail otherwise).
    const uint32_t four = w.AddRecord({DbxField::Direct(1, 0), DbxField::Direct(2, 0),
                                       DbxField::Direct(3, 0), DbxField::Direct(0x3F, 0)});
    const std::string read = "Error reading from input stream !", big = "Index to big !",
                      outside = "Index data outside the record !";
    const struct {
        const char* why;
        uint32_t record, at;  // the record read, the field changed in it
        uint32_t value;
        bool word;  // a 32-bit word, else a byte
        std::string error;
    } cases[] = {
        {"the marker", at, at, 0, true, "Wrong object marker !"},
        {"a body length of 4 GiB costs no 4 GiB", at, at + 4, 0xFFFFFFFF, true, read},
        {"the second entry (indirect) gets index 32", at, at + 16, 0x20, false, big},
        {"an index of 127, direct", at, at + 16, 0x7F | 0x80, false, big},
        {"indirect data starting past the body", at, at + 17, 0xF0, false, outside},
        {"more entries than the body has room for", at, at + 10, 200, false, outside},
        {"more entries than the body has room for, by one", four, four + 10, 5, false, outside},
    };
    for (const auto& c : cases) {
        CDbxWriter d = w;
        if (c.word)
            d.SetU32(c.at, c.value);
        else
            d.SetU8(c.at, uint8_t(c.value));
        uint64_t where = 0;
        EXPECT_EQ(RecordError(d.Bytes(), c.record, &where), c.error) << c.why;
        if (c.at == c.record) EXPECT_EQ(where, c.record) << c.why;
    }
    // Header cut short, body cut short, a record past the end.
    std::vector<uint8_t> bytes = w.Bytes();
    bytes.resize(at + 8);
    EXPECT_EQ(RecordError(bytes, at), read);
    bytes = w.Bytes();
    bytes.resize(four + 20);
    EXPECT_EQ(RecordError(bytes, four), read);
    EXPECT_EQ(RecordError(w.Bytes(), w.Size() + 100), read);
}

TEST(DbxRecordTest, OutOfOrderDataRunsToTheEndOfTheBody) {
    // Entry order is index 1 then 2, but the data of 2 comes first in the data area.
    CDbxWriter w;
    const uint32_t at = w.AddRecord({DbxField::Text(1, "one"), DbxField::Text(2, "two")});
    const uint32_t entries = at + 12;
    w.SetU32(entries, 0x01 | (4u << 8));      // "two\0" starts at 4
    w.SetU32(entries + 4, 0x02 | (0u << 8));  // "one\0" starts at 0
    DbxMemoryInput input(w.Bytes());
    DbxRecord r(input, at);
    EXPECT_STREQ(r.Text(1), "two");
    EXPECT_STREQ(r.Text(2), "one");
    EXPECT_EQ(r.Data(2).size(), 8u);  // would end before it starts: runs to the end
    EXPECT_EQ(r.Data(1).size(), 4u);
}

std::vector<std::string> Indented(const std::vector<DbxFolderEntry>& folders) {
    std::vector<uint32_t> depth;
    const std::vector<DbxFolderEntry> tree = DbxFoldersAsTree(folders, depth);
    std::vector<std::string> out;
    for (size_t i = 0; i < tree.size(); ++i)
        out.push_back(std::string(depth[i], '-') + tree[i].name.value_or("?"));
    return out;
}

TEST(DbxFolderListTest, NestedFoldersAndParentCycles) {
    const std::vector<uint8_t> bytes = dbxtest::BuildFolders({
        {1, 0, "Local Folders", std::nullopt},
        {12, 11, "b deeper", "b.dbx"},
        {11, 2, "a nested", "a.dbx"},
        {2, 1, "Inbox", "Inbox.dbx", 1, 5, 2},
        {3, 1, "archive", "archive.dbx", 0},
        {20, 21, "loop one", "l1.dbx"},  // 20 and 21 are each other's parent
        {21, 20, "loop two", "l2.dbx"},
        {30, 99, "orphan", "o.dbx"},  // its parent is not listed
    });
    DbxMemoryInput input(bytes);
    const DbxFolderList list = ReadDbxFolders(input);
    ASSERT_EQ(list.folders.size(), 8u);
    EXPECT_EQ(list.folders[3].messages, 5u);
    EXPECT_EQ(list.folders[3].unread, 2u);
    EXPECT_EQ(list.folders[4].flags, 0u);
    EXPECT_FALSE(list.folders[0].fileName);
    EXPECT_EQ(Indented(list.folders),
              (std::vector<std::string>{"Local Folders", "-archive", "-Inbox", "--a nested",
                                        "---b deeper", "orphan", "loop one", "-loop two"}));
}

TEST(DbxFolderListTest, DamageIsReportedNotThrown) {
    CDbxWriter empty;
    DbxMemoryInput none(empty.Bytes());
    EXPECT_TRUE(ReadDbxFolders(none).folders.empty());
    EXPECT_EQ(ReadDbxFolders(none).error, "");
    EXPECT_EQ(DbxHeader(none).U32(DBX_HEADER_SIZE - 3), 0u);  // past the header: no read outside

    CDbxWriter w;
    const uint32_t a =
        w.AddRecord({DbxField::Integer(DBX_FOLDER_ID, 1), DbxField::Text(DBX_FOLDER_NAME, "a")});
    const uint32_t b =
        w.AddRecord({DbxField::Integer(DBX_FOLDER_ID, 2), DbxField::Text(DBX_FOLDER_NAME, "b")});
    w.SetFolderTree(w.AddTree({a, b}), 2);
    w.SetU32(b + 4, 0x7FFFFFFF);  // the second record's body runs past the end of the file
    DbxMemoryInput cut(w.Bytes());
    const DbxFolderList list = ReadDbxFolders(cut);
    EXPECT_EQ(list.folders.size(), 1u);
    EXPECT_EQ(list.unreadable, 1u);
    EXPECT_NE(list.error.find("Error reading from input stream !"), std::string::npos);
}

// Fake record offsets: the tree reader only stores them.
std::vector<uint32_t> Offsets(uint32_t n) {
    std::vector<uint32_t> v(n);
    std::iota(v.begin(), v.end(), 0x10000u);
    return v;
}

std::string TreeError(const CDbxWriter& w, uint32_t root, uint32_t count,
                      uint64_t* offset = nullptr) {
    DbxMemoryInput input(w.Bytes());
    return dbxtest::Thrown([&] { DbxIndexTree tree(input, root, count); }, offset);
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
        EXPECT_EQ(dbxtest::Thrown([&] { tree.Value(count); }), "Wrong index !");
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
        {"52 entries in a node (51 fit)", root + 0x10, 52 << 8, 100, "Wrong value for entries !",
         root},
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

const auto TextError = [](const auto&... a) { return dbxtest::ReadError<DbxMessageText>(a...); };

std::string SampleText(size_t size) {
    std::string s;
    for (size_t i = 0; s.size() < size; ++i) s += "Line " + std::to_string(i) + "\r\n";
    s.resize(size);
    return s;
}

TEST(DbxMessageTextTest, JoinsBlocksOfEveryShape) {
    for (auto [size, blockSize] : {std::pair{1u, 512u},
                                   {512u, 512u},
                                   {513u, 512u},
                                   {5000u, 512u},
                                   {70000u, 4096u},
                                   {100u, 1u}}) {
        CDbxWriter w;
        const std::string s = SampleText(size);
        const uint32_t first = w.AddMessageText(s, blockSize);
        DbxMemoryInput input(w.Bytes());
        DbxMessageText text(input, first);
        EXPECT_EQ(text.Length(), size);
        EXPECT_EQ(text.Str(), s);
        EXPECT_EQ(text.Text()[text.Length()], '\0');
    }
    // Binary bytes and NULs are kept.
    CDbxWriter w;
    const std::string binary("a\0b\xFF\r\n", 6);
    const uint32_t first = w.AddMessageText(binary, 2);
    DbxMemoryInput input(w.Bytes());
    EXPECT_EQ(DbxMessageText(input, first).Str(), binary);

    // Stripping carriage returns keeps everything else.
    const uint32_t crlf = w.AddMessageText("Subject: x\r\n\r\nbody\rline\r\n", 5);
    DbxMemoryInput input2(w.Bytes());
    DbxMessageText text(input2, crlf);
    text.StripCarriageReturns();
    EXPECT_EQ(text.Str(), "Subject: x\n\nbodyline\n");
    EXPECT_EQ(text.Length(), 21u);
    EXPECT_EQ(text.Text()[21], '\0');
}

TEST(DbxMessageTextTest, DamagedChainsFailInTheFirstPassAndEmptyOnesHaveNoText) {
    CDbxWriter w;
    std::vector<uint32_t> blocks;
    const uint32_t first = w.AddMessageText(SampleText(2000), 512, &blocks);
    ASSERT_EQ(blocks.size(), 4u);
    const std::string overlap = "Message text blocks overlap !",
                      read = "Error reading from input stream !";
    const struct {
        const char* why;
        uint32_t at, value;  // the word written over the chain
        std::string error;
        uint64_t where;  // the offset the error names (0: not checked)
    } cases[] = {
        {"the second block's marker", blocks[1], 0x1234, "Wrong object marker !", blocks[1]},
        {"a chain that loops back to its first block", blocks[3] + 12, first, overlap, first},
        {"a block whose next is itself", blocks[3] + 12, blocks[3], overlap, 0},
        {"a block whose length reaches into the next block", blocks[0] + 8, 600, overlap, 0},
        {"a next block past the end of the file", blocks[1] + 12, w.Size() - 4, read, 0},
        // A length beyond the file ends in a read error, not an allocation.
        {"the last block claims almost 4 GiB", blocks.back() + 8, 0xF0000000, read, 0},
    };
    for (const auto& c : cases) {
        CDbxWriter d = w;
        d.SetU32(c.at, c.value);
        uint64_t at = 0;
        EXPECT_EQ(TextError(d.Bytes(), first, &at), c.error) << c.why;
        if (c.where) EXPECT_EQ(at, c.where) << c.why;
    }
    std::vector<uint8_t> cut = w.Bytes();
    cut.pop_back();
    EXPECT_EQ(TextError(cut, first), read);

    // No text: offset 0 (a message without index 0x04), an empty text, empty blocks only.
    const uint32_t empty = w.AddMessageText("");
    EXPECT_EQ(TextError(w.Bytes(), 0), "No text found !");
    EXPECT_EQ(TextError(w.Bytes(), empty), "No text found !");
    const uint32_t abc = w.AddMessageText("abc", 1, &blocks);
    for (uint32_t b : blocks) w.SetU32(b + 8, 0);
    EXPECT_EQ(TextError(w.Bytes(), abc), "No text found !");
}

}  // namespace
