// Tests of DbxRecord, DbxFolderRecord and DbxMessageRecord over files built by CDbxWriter,
// and of the conversion of their 8-bit texts to UTF-8.
#include <gtest/gtest.h>

#include <cstring>

#include "core/DbxException.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageRecord.h"
#include "modules/oe/DbxTestStore.h"
#include "platform/Utf8.h"

namespace {

const auto RecordError = [](const auto&... a) { return dbxtest::ReadError<DbxRecord>(a...); };

TEST(DbxRecordTest, FolderAndMessageRecordFields) {
    CDbxWriter w;
    const uint32_t folder = w.AddRecord(
        {DbxField::Integer(DBX_FOLDER_ID, 0x1234), DbxField::Integer(DBX_FOLDER_PARENT_ID, 1),
         DbxField::Text(DBX_FOLDER_NAME, "Inbox"),
         DbxField::Text(DBX_FOLDER_FILE_NAME, "Inbox.dbx"),
         DbxField::Direct(DBX_FOLDER_FLAGS, 0x000101), DbxField::Integer(DBX_FOLDER_MESSAGES, 42),
         DbxField::Integer(DBX_FOLDER_UNREAD, 7)});
    const uint64_t time = 0x01D7EF0123456789ull;
    const uint32_t message = w.AddRecord({DbxField::Integer(DBX_MESSAGE_TEXT, 0x9000),
                                          DbxField::Text(DBX_MESSAGE_SUBJECT, "Re: Hello"),
                                          DbxField::Time(DBX_MESSAGE_RECEIVED, time),
                                          DbxField::Text(DBX_MESSAGE_ACCOUNT, "mail.example")});
    const uint32_t other = w.AddRecord({DbxField::Raw(DBX_MESSAGE_RECEIVED, {1, 2, 3, 4})});
    DbxMemoryInput input(w.Bytes());
    DbxFolderRecord r(input, folder);
    EXPECT_EQ(r.Offset(), folder);
    EXPECT_EQ(r.Presence(), 0x1CFu);
    EXPECT_EQ(r.Integer(DBX_FOLDER_ID), 0x1234u);
    EXPECT_STREQ(r.Text(DBX_FOLDER_NAME), "Inbox");
    EXPECT_EQ(r.Utf8Text(DBX_FOLDER_FILE_NAME), "Inbox.dbx");
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
    EXPECT_EQ(m.Integer(DBX_MESSAGE_TEXT), 0x9000u);
    EXPECT_STREQ(m.Text(DBX_MESSAGE_SUBJECT), "Re: Hello");
    uint64_t ticks = 0;
    ASSERT_TRUE(m.ReceivedTime(ticks));
    EXPECT_EQ(ticks, time);
    EXPECT_EQ(m.IndexType(DBX_MESSAGE_RECEIVED), DBX_TYPE_DATE);
    EXPECT_EQ(m.IndexName(DBX_MESSAGE_ACCOUNT), "account name");
    // A received time that is not 8 bytes long does not count.
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

TEST(DbxRecordTest, LookupsOf32AndMoreThrow) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord({DbxField::Integer(0, 1)});
    DbxMemoryInput input(w.Bytes());
    DbxMessageRecord r(input, at);
    for (auto call :
         {+[](const DbxRecord& x) { x.Integer(32); }, +[](const DbxRecord& x) { x.Text(40); },
          +[](const DbxRecord& x) { x.Data(0xFFFFFFFF); },
          +[](const DbxRecord& x) { x.IndexName(32); }}) {
        try {
            call(r);
            ADD_FAILURE() << "no exception";
        } catch (const DbxException& e) {
            EXPECT_EQ(e.Message(), "Index to big !");
        }
    }
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

}  // namespace
