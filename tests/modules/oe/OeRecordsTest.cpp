// The folder and identity records stored as module data: byte layout, limits, and
// decoding of arbitrary bytes.
#include <gtest/gtest.h>

#include <random>

#include "core/OeRecords.h"
#include "core/OeStrings.h"
#include "core/TavOeEngine.h"

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

TEST(OeRecordsTest, FolderRecordLayout) {
    OeFolderRecord folder;
    folder.folderId = 0x1234;
    folder.messages = 42;
    folder.unread = 7;
    folder.active = 1;
    folder.name = "Inbox \xC3\xA9t\xC3\xA9";  // "Inbox été"
    folder.parentId = 0x0102;
    const auto bytes = EncodeFolderRecord(folder);
    ASSERT_EQ(bytes.size(), 152u);
    EXPECT_EQ(U32(&bytes[0]), 1u);
    EXPECT_EQ(U32(&bytes[4]), 0x1234u);
    EXPECT_EQ(U32(&bytes[12]), 7u);
    EXPECT_EQ(bytes[20], 'I');
    EXPECT_EQ(bytes[20 + 2 * 6], 0xE9) << "UTF-16LE";
    EXPECT_EQ(bytes[20 + 2 * 9], 0) << "zero-filled after the name";
    EXPECT_EQ(U32(&bytes[148]), 0x0102u);

    const auto back = DecodeFolderRecord(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, folder.name);
    EXPECT_EQ(back->parentId, 0x0102u);
    EXPECT_FALSE(DecodeFolderRecord(bytes.data(), 151));
    EXPECT_FALSE(DecodeFolderRecord(nullptr, 152));

    // Long names keep 63 characters and the zero bytes at 146.
    folder.name = std::string(80, 'x');
    auto longName = EncodeFolderRecord(folder);
    EXPECT_EQ(longName[20 + 2 * 62], 'x');
    EXPECT_EQ(longName[146], 0);
    EXPECT_EQ(DecodeFolderRecord(longName.data(), longName.size())->name, std::string(63, 'x'));
    // A character outside the basic plane is never cut in half.
    folder.name = std::string(62, 'x') + "\xF0\x9F\x93\xA7";
    longName = EncodeFolderRecord(folder);
    EXPECT_EQ(DecodeFolderRecord(longName.data(), longName.size())->name, std::string(62, 'x'));
}

TEST(OeRecordsTest, IdentityRecordLayout) {
    OeIdentityRecord identity;
    identity.displayName = "Main Identity";
    const auto bytes = EncodeIdentityRecord(identity);
    ASSERT_EQ(bytes.size(), 260u);
    EXPECT_EQ(U32(&bytes[0]), 1u);
    EXPECT_EQ(bytes[4], 'M');
    EXPECT_EQ(DecodeIdentityRecord(bytes.data(), 260)->displayName, "Main Identity");
    EXPECT_FALSE(DecodeIdentityRecord(bytes.data(), 259));
    identity.displayName = std::string(200, 'n');
    const auto longName = EncodeIdentityRecord(identity);
    EXPECT_EQ(DecodeIdentityRecord(longName.data(), 260)->displayName, std::string(127, 'n'));
}

TEST(OeRecordsTest, ArbitraryBytesDecodeWithoutHarm) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes(260);
        for (uint8_t& b : bytes) b = uint8_t(rng());
        const auto folder = DecodeFolderRecord(bytes.data(), 152);
        ASSERT_TRUE(folder);
        EXPECT_LE(folder->name.size(), 63u * 3);
        const auto identity = DecodeIdentityRecord(bytes.data(), bytes.size());
        ASSERT_TRUE(identity);
        EXPECT_LE(identity->displayName.size(), 128u * 3);
    }
}

TEST(OeRecordsTest, NodeKeys) {
    EXPECT_EQ(CTavOeEngine::MakeNodeKey("{A}", OE_TAG_MESSAGE, "Inbox.dbx"),
              "{A}.6F656D67.inbox.dbx");
    EXPECT_EQ(CTavOeEngine::MakeNodeKey("{A}", OE_TAG_IDENTITY, "{A}"), "{A}.6F656964.{a}")
        << "only the name is lowered";
}

TEST(OeRecordsTest, FileNamePartsStayInTheirFolderAndDistinct) {
    EXPECT_EQ(OeFileNamePart("{A}"), "{A}");
    EXPECT_EQ(OeFileNamePart("../x/y"), "..%2Fx%2Fy");
    EXPECT_EQ(OeFileNamePart("a%2Fb"), "a%252Fb") << "an escape in the text is escaped too";
    EXPECT_EQ(OeFileNamePart(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(OeFileNamePart("{A}.x", true), "{A}%2Ex");
    EXPECT_NE(OeFileNamePart("{A}.x", true) + "." + OeFileNamePart("Inbox.dbx"),
              OeFileNamePart("{A}", true) + "." + OeFileNamePart("x.Inbox.dbx"));
}

}  // namespace
