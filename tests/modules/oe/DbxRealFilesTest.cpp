// Reads the real Outlook Express files of $TAV_TESTDATA/dbx and checks what their
// sources state about them.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/DbxException.h"
#include "core/DbxFileInput.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"
#include "core/DbxMessageRecord.h"
#include "core/DbxMessageText.h"
#include "modules/oe/DbxTestStore.h"

namespace {

constexpr uint64_t FILETIME_UNIX_EPOCH = 116444736000000000ull;

using dbxtest::DataPath;

int64_t UnixSeconds(uint64_t fileTime) {
    return int64_t((fileTime - FILETIME_UNIX_EPOCH) / 10000000);
}

// Every message of a store file, its records read through the file input.
std::vector<DbxMessageRecord> Messages(DbxInput& input) {
    DbxHeader header(input);
    std::vector<DbxMessageRecord> out;
    if (header.MessageRoot() == 0 || header.MessageCount() == 0) return out;
    DbxIndexTree tree(input, header.MessageRoot(), header.MessageCount());
    for (uint32_t offset : tree.Values()) out.emplace_back(input, offset);
    return out;
}

TEST(DbxRealFilesTest, InboxHoldsTheWelcomeMessage) {
    DbxFileInput input(DataPath("DbxOutlookExpress/Inbox.dbx"));
    const std::vector<DbxMessageRecord> messages = Messages(input);
    ASSERT_EQ(messages.size(), 1u);  // as Folders.dbx counts for Inbox
    const DbxMessageRecord& m = messages[0];
    EXPECT_EQ(m.Utf8Text(DBX_MESSAGE_SUBJECT), "Welcome to Outlook Express 6");
    EXPECT_EQ(m.Utf8Text(DBX_MESSAGE_SENDER_ADDRESS), "msoe@microsoft.com");
    uint64_t ticks = 0;
    ASSERT_TRUE(m.ReceivedTime(ticks));
    EXPECT_EQ(UnixSeconds(ticks), 1639284359);  // 2021-12-12 04:45:59 UTC
    DbxMessageText text(input, m.Integer(DBX_MESSAGE_TEXT));
    EXPECT_NE(text.Str().find("Subject: Welcome to Outlook Express 6\r\n"), std::string::npos);
}

TEST(DbxRealFilesTest, EmptyStoresHaveNoMessageTree) {
    for (const char* name : {"DbxOutlookExpress/Outbox.dbx", "DbxOutlookExpress/Offline.dbx"}) {
        DbxFileInput input(DataPath(name));
        ASSERT_TRUE(input.IsOpen()) << name;
        DbxHeader header(input);
        EXPECT_EQ(header.MessageCount(), 0u) << name;
        EXPECT_EQ(header.MessageRoot(), 0u) << name;
    }
}

TEST(DbxRealFilesTest, MailTransportSamples) {
    {
        DbxFileInput input(DataPath("Mail-Transport-Dbx/test.dbx"));
        const std::vector<DbxMessageRecord> messages = Messages(input);
        ASSERT_EQ(messages.size(), 1u);
        const DbxMessageRecord& m = messages[0];
        EXPECT_STREQ(m.Text(DBX_MESSAGE_SUBJECT), "Please read you won't be sorry........");
        EXPECT_STREQ(m.Text(DBX_MESSAGE_SENDER_ADDRESS), "off_1@webstation.com");
        EXPECT_STREQ(m.Text(DBX_MESSAGE_RECEIVER_ADDRESS),
                     "<tassilo.parseval@post.rwth-aachen.de>");
        EXPECT_STREQ(m.Text(DBX_MESSAGE_ACCOUNT), "pbox.dialup.rwth-aachen.de");
        uint64_t ticks = 0;
        ASSERT_TRUE(m.ReceivedTime(ticks));
        EXPECT_EQ(UnixSeconds(ticks), 1018744077);  // Sun Apr 14 00:27:57 2002 UTC
    }
    {
        DbxFileInput input(DataPath("Mail-Transport-Dbx/test1.dbx"));
        const std::vector<DbxMessageRecord> messages = Messages(input);
        ASSERT_EQ(messages.size(), 1u);
        uint64_t ticks = 0;
        ASSERT_TRUE(messages[0].ReceivedTime(ticks));
        EXPECT_EQ(UnixSeconds(ticks), 1024344150);  // Mon Jun 17 20:02:30 2002 UTC
        // The whole text, headers first, CR LF line ends throughout.
        DbxMessageText text(input, messages[0].Integer(DBX_MESSAGE_TEXT));
        const std::string& s = text.Str();
        EXPECT_EQ(text.Length(), 2710u);
        EXPECT_NE(s.find("Subject: [fmII] centericq 4.7.5 released (Default branch)\r\n"),
                  std::string::npos);
        EXPECT_EQ(std::count(s.begin(), s.end(), '\r'), std::count(s.begin(), s.end(), '\n'));
    }
}

TEST(DbxRealFilesTest, IpedSampleHas28MessagesInWindows1252) {
    DbxFileInput input(DataPath("IPED/test_OutlookDBX.dbx"));
    const std::vector<DbxMessageRecord> messages = Messages(input);
    ASSERT_EQ(messages.size(), 28u);
    for (const DbxMessageRecord& m : messages) {
        uint64_t ticks = 0;
        EXPECT_TRUE(m.ReceivedTime(ticks));
        EXPECT_GT(DbxMessageText(input, m.Integer(DBX_MESSAGE_TEXT)).Length(), 1000u);
    }
    EXPECT_EQ(messages[1].Utf8Text(DBX_MESSAGE_SUBJECT), "Mensagem teste");
    EXPECT_EQ(messages[1].Utf8Text(DBX_MESSAGE_SENDER_ADDRESS), "olivergiovannifuzati@outlook.com");
    // Outlook Express stores the system code page: 0xF3, 0x96, 0x93 and 0x94 here.
    EXPECT_EQ(messages[9].Utf8Text(DBX_MESSAGE_PLAIN_SUBJECT),
              "Cat\xC3\xB3lica EAD \xE2\x80\x93 \xE2\x80\x9CRematr\xC3\xAD"
              "cula\xE2\x80\x9D "
              "foi criada");
}

}  // namespace
