// Tests of DbxRecord, DbxFolderRecord and DbxMessageRecord over files built by CDbxWriter,
// and of the conversion of their 8-bit texts to UTF-8.
#include <gtest/gtest.h>

#include <cstring>

#include "core/DbxException.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxMemoryInput.h"
#include "core/DbxMessageRecord.h"
#include "modules/oe/DbxWriter.h"
#include "platform/Utf8.h"

namespace {

std::string RecordError(const std::vector<uint8_t>& bytes, uint32_t offset,
                        uint64_t* at = nullptr) {
    DbxMemoryInput input(bytes);
    try {
        DbxRecord record(input, offset);
    } catch (const DbxException& e) {
        if (at) *at = e.Offset();
        return e.Message();
    }
    return "no error";
}

TEST(DbxRecordTest, FolderRecordFields) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord(
        {DbxField::Integer(DBX_FOLDER_ID, 0x1234), DbxField::Integer(DBX_FOLDER_PARENT_ID, 1),
         DbxField::Text(DBX_FOLDER_NAME, "Inbox"),
         DbxField::Text(DBX_FOLDER_FILE_NAME, "Inbox.dbx"),
         DbxField::Direct(DBX_FOLDER_FLAGS, 0x000101), DbxField::Integer(DBX_FOLDER_MESSAGES, 42),
         DbxField::Integer(DBX_FOLDER_UNREAD, 7)});
    DbxMemoryInput input(w.Bytes());
    DbxFolderRecord r(input, at);
    EXPECT_EQ(r.Offset(), at);
    EXPECT_EQ(r.Presence(), 0x1CFu);
    EXPECT_EQ(r.Integer(DBX_FOLDER_ID), 0x1234u);
    EXPECT_EQ(r.Integer(DBX_FOLDER_PARENT_ID), 1u);
    EXPECT_STREQ(r.Text(DBX_FOLDER_NAME), "Inbox");
    EXPECT_EQ(r.Utf8Text(DBX_FOLDER_FILE_NAME), "Inbox.dbx");
    EXPECT_EQ(r.Integer(DBX_FOLDER_FLAGS), 0x101u);
    EXPECT_EQ(r.Data(DBX_FOLDER_FLAGS).size(), 3u);
    EXPECT_EQ(r.Integer(DBX_FOLDER_MESSAGES), 42u);
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
    EXPECT_EQ(r.IndexType(DBX_FOLDER_NAME), DBX_TYPE_TEXT);
    EXPECT_EQ(r.IndexType(0x1F), DBX_TYPE_NONE);
}

TEST(DbxRecordTest, MessageRecordFieldsAndTime) {
    CDbxWriter w;
    const uint64_t time = 0x01D7EF0123456789ull;
    const uint32_t at = w.AddRecord({DbxField::Integer(DBX_MESSAGE_FLAGS, 0x4081),
                                     DbxField::Integer(DBX_MESSAGE_TEXT, 0x9000),
                                     DbxField::Text(DBX_MESSAGE_PLAIN_SUBJECT, "Hello"),
                                     DbxField::Text(DBX_MESSAGE_SUBJECT, "Re: Hello"),
                                     DbxField::Text(DBX_MESSAGE_SENDER_ADDRESS, "a@b.example"),
                                     DbxField::Time(DBX_MESSAGE_RECEIVED, time),
                                     DbxField::Text(DBX_MESSAGE_RECEIVER_ADDRESS, "c@d.example"),
                                     DbxField::Text(DBX_MESSAGE_ACCOUNT, "mail.example")});
    DbxMemoryInput input(w.Bytes());
    DbxMessageRecord r(input, at);
    EXPECT_EQ(r.Integer(DBX_MESSAGE_FLAGS) & DBX_MESSAGE_FLAG_ICON, DBX_MESSAGE_FLAG_ICON);
    EXPECT_EQ(r.Integer(DBX_MESSAGE_TEXT), 0x9000u);
    EXPECT_STREQ(r.Text(DBX_MESSAGE_SUBJECT), "Re: Hello");
    EXPECT_STREQ(r.Text(DBX_MESSAGE_PLAIN_SUBJECT), "Hello");
    EXPECT_STREQ(r.Text(DBX_MESSAGE_SENDER_ADDRESS), "a@b.example");
    EXPECT_STREQ(r.Text(DBX_MESSAGE_RECEIVER_ADDRESS), "c@d.example");
    EXPECT_STREQ(r.Text(DBX_MESSAGE_ACCOUNT), "mail.example");
    uint64_t ticks = 0;
    ASSERT_TRUE(r.ReceivedTime(ticks));
    EXPECT_EQ(ticks, time);
    EXPECT_EQ(r.IndexType(DBX_MESSAGE_RECEIVED), DBX_TYPE_DATE);
    EXPECT_EQ(r.IndexName(DBX_MESSAGE_ACCOUNT), "account name");

    // A received time that is not 8 bytes long does not count.
    const uint32_t other = w.AddRecord({DbxField::Raw(DBX_MESSAGE_RECEIVED, {1, 2, 3, 4})});
    DbxMemoryInput input2(w.Bytes());
    DbxMessageRecord r2(input2, other);
    EXPECT_FALSE(r2.ReceivedTime(ticks));

    // The plain record knows no names.
    DbxRecord plain(input2, other);
    EXPECT_EQ(plain.IndexName(DBX_MESSAGE_RECEIVED), "");
    EXPECT_EQ(plain.IndexType(DBX_MESSAGE_RECEIVED), DBX_TYPE_NONE);
}

TEST(DbxRecordTest, IntegersAreMaskedToTheirLength) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord({DbxField::Direct(1, 0xFFFFFFFF),
                                     DbxField::Raw(2, {0x34, 0x12}), DbxField::Raw(3, {0xAB}),
                                     DbxField::Raw(4, {}), DbxField::Raw(5, {1, 2, 3, 4, 5, 6})});
    DbxMemoryInput input(w.Bytes());
    DbxRecord r(input, at);
    EXPECT_EQ(r.Integer(1), 0xFFFFFFu);  // a direct entry never exceeds 24 bits
    EXPECT_EQ(r.Integer(2), 0x1234u);
    EXPECT_EQ(r.Integer(3), 0xABu);
    EXPECT_TRUE(r.Has(4));
    EXPECT_EQ(r.Integer(4), 0u);
    EXPECT_EQ(r.Integer(5), 0x04030201u);
    EXPECT_EQ(r.Utf8Text(4), "");  // bounded by the data, not by the next NUL
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

TEST(DbxRecordTest, LaterEntryForTheSameIndexWins) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord({DbxField::Text(2, "first"), DbxField::Direct(2, 0x41)});
    DbxMemoryInput input(w.Bytes());
    DbxRecord r(input, at);
    EXPECT_STREQ(r.Text(2), "A");
    EXPECT_EQ(r.Presence(), 0x4u);
}

TEST(DbxRecordTest, TextsWithoutTerminatorStayInsideTheRecord) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord({DbxField::Raw(2, {'a', 'b', 'c'})});
    DbxMemoryInput input(w.Bytes());
    DbxRecord r(input, at);
    EXPECT_STREQ(r.Text(2), "abc");
    EXPECT_EQ(r.Utf8Text(2), "abc");
}

TEST(DbxRecordTest, EightBitTextsBecomeUtf8) {
    CDbxWriter w;
    const uint32_t at =
        w.AddRecord({DbxField::Text(1, "Gr\xFC\xDF\x65 \x80 \x93x\x94"),
                     DbxField::Text(2, "Gr\xC3\xBC\xC3\x9F\x65"), DbxField::Text(3, "\x81\x8D")});
    DbxMemoryInput input(w.Bytes());
    DbxRecord r(input, at);
    EXPECT_EQ(r.Utf8Text(1),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
    EXPECT_EQ(r.Utf8Text(2),
              "Gr\xC3\xBC\xC3\x9F"
              "e");  // already UTF-8: kept
    EXPECT_EQ(r.Utf8Text(3), "\xC2\x81\xC2\x8D");
    EXPECT_STREQ(r.Text(1), "Gr\xFC\xDF\x65 \x80 \x93x\x94");  // raw bytes unchanged
}

TEST(DbxRecordTest, DamagedRecordsFailWithTheirTexts) {
    CDbxWriter w;
    const uint32_t at = w.AddRecord({DbxField::Integer(0, 5), DbxField::Text(2, "name")});
    uint64_t where = 0;

    {  // marker
        CDbxWriter d = w;
        d.SetU32(at, 0);
        EXPECT_EQ(RecordError(d.Bytes(), at, &where), "Wrong object marker !");
        EXPECT_EQ(where, at);
    }
    {  // header cut short, body cut short
        std::vector<uint8_t> bytes = w.Bytes();
        bytes.resize(at + 8);
        EXPECT_EQ(RecordError(bytes, at), "Error reading from input stream !");
        bytes = w.Bytes();
        bytes.pop_back();
        EXPECT_EQ(RecordError(bytes, at), "Error reading from input stream !");
        EXPECT_EQ(RecordError(w.Bytes(), w.Size() + 100), "Error reading from input stream !");
    }
    {  // a body length of 4 GiB costs no 4 GiB
        CDbxWriter d = w;
        d.SetU32(at + 4, 0xFFFFFFFF);
        EXPECT_EQ(RecordError(d.Bytes(), at), "Error reading from input stream !");
    }
    {  // an index of 32 or more in the file
        CDbxWriter d = w;
        d.SetU8(at + 12 + 4, 0x20 | 0);  // the second entry (indirect) gets index 32
        EXPECT_EQ(RecordError(d.Bytes(), at), "Index to big !");
        d.SetU8(at + 12 + 4, 0x7F | 0x80);
        EXPECT_EQ(RecordError(d.Bytes(), at), "Index to big !");
    }
    {  // indirect data starting past the body
        CDbxWriter d = w;
        d.SetU8(at + 12 + 4 + 1, 0xF0);
        EXPECT_EQ(RecordError(d.Bytes(), at), "Index data outside the record !");
    }
    {  // more entries than the body has room for
        CDbxWriter d = w;
        d.SetU8(at + 10, 200);
        EXPECT_EQ(RecordError(d.Bytes(), at), "Index data outside the record !");
    }
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

// The conversion of the 8-bit texts of ".dbx" files to UTF-8.
bool Valid(const std::string& s) { return plat::IsValidUtf8(s); }
std::string Convert(const std::string& s) { return plat::Utf8OrCp1252ToUtf8(s); }

TEST(DbxTextConv, RecognisesValidUtf8) {
    EXPECT_TRUE(Valid(""));
    EXPECT_TRUE(Valid("plain ASCII"));
    EXPECT_TRUE(Valid("\xC3\xA9"));          // é
    EXPECT_TRUE(Valid("\xE2\x82\xAC"));      // €
    EXPECT_TRUE(Valid("\xF0\x9F\x98\x80"));  // U+1F600
    EXPECT_TRUE(Valid("\xF4\x8F\xBF\xBF"));  // U+10FFFF
    EXPECT_FALSE(Valid("\xC3"));             // cut short
    EXPECT_FALSE(Valid("\xE2\x82"));
    EXPECT_FALSE(Valid("\xC0\xAF"));          // overlong
    EXPECT_FALSE(Valid("\xE0\x80\xAF"));      // overlong
    EXPECT_FALSE(Valid("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(Valid("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(Valid("\x80"));              // lone continuation
    EXPECT_FALSE(Valid("caf\xE9"));           // Windows-1252 é
}

TEST(DbxTextConv, ConvertsWindows1252AndKeepsUtf8) {
    EXPECT_EQ(Convert("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(Convert("\x80\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF");
    EXPECT_EQ(Convert("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(Convert("caf\xC3\xA9"), "caf\xC3\xA9");
    // Every byte value converts to valid UTF-8.
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(char(b));
    const std::string converted = Convert(all);
    EXPECT_TRUE(Valid(converted));
}

}  // namespace
