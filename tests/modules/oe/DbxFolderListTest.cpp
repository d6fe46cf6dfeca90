// The folder list of "folders.dbx": records read into entries, and the hierarchy order.
#include <gtest/gtest.h>

#include "core/DbxFolderList.h"
#include "core/DbxMemoryInput.h"
#include "modules/oe/DbxTestStore.h"

namespace {

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

}  // namespace
