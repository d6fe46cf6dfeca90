// tavctl dbx: folders, ls, show, export and export-all on live .dbx files (real ones and
// written ones) and on store files kept in a repository.
#include <gtest/gtest.h>

#include <set>

#include "CliTestRepo.h"
#include "apps/AppTestUtil.h"
#include "modules/oe/DbxTestStore.h"
#include "platform/Process.h"
#include "tavrep/FormatAdaptor.h"

using namespace clitest;

namespace {

using dbxtest::DataPath;

using apptest::Names;

// A repository holding one identity's message stores, as the backup engine keeps them:
//   baseline 1: <msgroot>/Inbox.dbx (Mail-Transport test.dbx), <msgroot>/Big.dbx (the IPED
//     sample, 17 chunks), <msgroot>/Folders.dbx, and the settings item "Rules";
//   baseline 2: Inbox.dbx replaced by Mail-Transport test1.dbx.
class CDbxRepo {
public:
    CDbxRepo() : builder(dir / "oe.tvr"), path(builder.path), security(builder.security) {
        builder.Baseline([&] {
            tavtest::CRepBuilder& b = builder;
            const uint32_t identity = b.Folder(b.Root("Outlook Express", MODULE_OE_ROOT), IDENTITY, MODULE_OE_IDENTITY);
            const uint32_t msgroot = b.Folder(identity, "<msgroot>", MODULE_OE_STORE);
            for (const auto& [name, file] : {std::pair{"Inbox.dbx", "Mail-Transport-Dbx/test.dbx"},
                                             {"Big.dbx", "IPED/test_OutlookDBX.dbx"},
                                             {"Folders.dbx", "DbxOutlookExpress/Folders.dbx"}}) {
                const std::string content = tavtest::ReadFile(DataPath(file));
                ASSERT_GT(content.size(), 1000u) << file;
                b.MessageStore(msgroot, name, content, MODULE_OE_STORE);
            }
            b.File(identity, "Rules", "REGEDIT4\r\n", TAV_ATTR_ARCHIVE, MODULE_OE_ITEM);
        });
        builder.Baseline([&] {
            CTavRepBaselineDetails& t = builder.Table();
            TavNodeRec node;
            for (uint32_t id = 0; t.LoadNode(node, id) == 1; id += NODE_REC_SIZE) {
                if (tavctl::NodeName(node) != "Inbox.dbx") continue;
                node.content = StoreChunkTable(builder.Rep(),
                                               tavtest::ReadFile(DataPath("Mail-Transport-Dbx/test1.dbx")));
                node.flags &= ~NODE_HAS_FINGERPRINT;  // the first file's, no longer true
                EXPECT_NE(t.UpdateNode(node), TAV_NONE);
            }
        });
    }

    CTempDir dir;
    tavtest::CRepBuilder builder;
    const std::string path;
    const TavImageSecurity security;
};

class DbxCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plat::SetEnv("TZ", "UTC"); }

    static CDbxRepo& Repo() {
        static CDbxRepo repo;
        return repo;
    }

    // A store file written into the test's folder.
    std::string WriteStore(const std::vector<dbxtest::Message>& messages,
                           std::vector<uint32_t>* offsets = nullptr,
                           const std::string& name = "store.dbx") {
        const std::vector<uint8_t> bytes = dbxtest::BuildStore(messages, offsets);
        const std::string file = dir / name;
        EXPECT_TRUE(tavtest::WriteFile(file, std::string(bytes.begin(), bytes.end())));
        return file;
    }

    std::string Stored(const std::string& name) {
        return std::string("Outlook Express/") + IDENTITY + "/<msgroot>" +
               (name.empty() ? "" : "/" + name);
    }

    CTempDir dir;
    CCli cli;
};

const char* const FOLDERS_LISTING =
    "ID  PARENT  MESSAGES  UNREAD  STATUS  FILE        NAME\n"
    "9   0       0         0       Active  -           Hotmail\n"
    "1   0       0         0       Active  -           Local Folders\n"
    "7   1       0         0       Active  -             Deleted Items\n"
    "8   1       0         0       Active  -             Drafts\n"
    "4   1       1         0       Active  Inbox.dbx     Inbox\n"
    "5   1       0         0       Active  Outbox.dbx    Outbox\n"
    "6   1       0         0       Active  -             Sent Items\n";

}  // namespace

TEST_F(DbxCommandsTest, FoldersListsTheHierarchyOfAFileAFolderOrAStoredFile) {
    // A file, a store folder (its Folders.dbx, whatever its case), the same stored.
    for (const std::vector<std::string>& where :
         {std::vector<std::string>{DataPath("DbxOutlookExpress/Folders.dbx")}, {DataPath("DbxOutlookExpress")},
          {"--repo", Repo().path, Stored("")}, {"--repo", Repo().path, Stored("folders.dbx")}}) {
        std::vector<std::string> args = {"dbx", "folders"};
        args.insert(args.end(), where.begin(), where.end());
        EXPECT_EQ(cli.Ok(args).out, FOLDERS_LISTING) << where.back();
    }

    EXPECT_EQ(cli.Expect(1, {"dbx", "folders", dir.Path()}).err, "tavctl: " + dir.Path() + ": holds no folders.dbx\n");
    // A message store has no folder tree: nothing listed.
    EXPECT_EQ(cli.Ok({"dbx", "folders", DataPath("IPED/test_OutlookDBX.dbx")}).out,
              "ID  PARENT  MESSAGES  UNREAD  STATUS  FILE  NAME\n");
}

TEST_F(DbxCommandsTest, LsShowsTheColumnsOfEveryListedMessage) {
    dbxtest::Message a;
    a.from = "ann@example.com";
    a.to = "bob@example.org";
    a.subject = "Hello\tworld";  // control characters never reach the terminal
    a.account = "pop";
    a.flags = 0x4000;
    dbxtest::Message b;  // no addresses or account
    b.subject = "Re: Hello";
    b.received = dbxtest::Ticks(1024344150);
    dbxtest::Message hidden;  // no received time: not listed
    hidden.subject = "hidden";
    hidden.received.reset();
    std::vector<uint32_t> offsets;
    const std::string file = WriteStore({a, b, hidden}, &offsets);
    const std::string o0 = std::to_string(offsets[0]);
    const std::string o1 = std::to_string(offsets[1]);
    const auto pad = [](const std::string& text, size_t width) {
        return text + std::string(width - text.size(), ' ');
    };
    EXPECT_EQ(
        cli.Ok({"dbx", "ls", file}).out,
        "OFFSET  F  FROM             TO               SUBJECT      RECEIVED DATE        ACCOUNT\n" +
            pad(o0, 8) +
            "*  ann@example.com  bob@example.org  Hello world  2002/04/14 12:27 AM  pop\n" +
            pad(o1, 8) + "-" + std::string(36, ' ') + "Re: Hello    2002/06/17 08:02 PM\n");
}

// Filtering, searching and sorting are the message list's own tests; here the options.
TEST_F(DbxCommandsTest, LsFiltersSortsAndRejectsWrongOptions) {
    const std::string file = DataPath("IPED/test_OutlookDBX.dbx");
    const auto count = [&](const std::vector<std::string>& options) {
        std::vector<std::string> args = {"dbx", "ls", file};
        args.insert(args.end(), options.begin(), options.end());
        const std::string out = cli.Ok(args).out;
        return std::count(out.begin(), out.end(), '\n') - 1;
    };
    EXPECT_EQ(count({}), 28);
    EXPECT_EQ(count({"--filter", "COPILOT"}), 2);  // the subject by default
    EXPECT_EQ(count({"--filter", "copilot", "--in", "from,to"}), 0);
    EXPECT_TRUE(Contains(cli.Ok({"dbx", "ls", file, "--filter", "teste", "--in", "subject,CONTENT"}).out, "14568"));
    const std::string reversed = cli.Ok({"dbx", "ls", file, "--sort", "subject", "-r"}).out;
    EXPECT_GT(reversed.find("Fw: Cat\xC3\xB3lica"), reversed.find("Mensagem teste"));

    struct Case {
        std::vector<std::string> options;
        int code;
        std::string err;  // a part of the error text
    };
    const Case cases[] = {
        {{"--filter", "x", "--in", "from,body"}, 2, "not 'body'"},
        {{"--filter", "x", "--in", "from,"}, 2, ""},
        {{"--in", "from"}, 2, ""},
        {{"--sort", "size"}, 2, ""},
        {{"-r"}, 2, ""},
        {{"-b", "1"}, 2, "tavctl: -b and --password-file need --repo\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"dbx", "ls", file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        cli.Expect(c.code, args, c.err);
    }
    EXPECT_EQ(cli.Expect(1, {"dbx", "ls", dir / "missing.dbx"}).err, "tavctl: " + dir / "missing.dbx" + ": file not found\n");
    cli.Expect(1, {"dbx", "ls", dir.Path()});
}

TEST_F(DbxCommandsTest, DamageIsReportedAfterWhatCouldBeListed) {
    std::vector<dbxtest::Message> messages(3);
    messages[0].subject = "first";
    messages[1].subject = "second";
    messages[2].subject = "third";
    std::vector<uint32_t> offsets;
    const std::string file = WriteStore(messages, &offsets);
    FlipByte(file, offsets[1]);  // the second record's marker
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", offsets[1]);
    const CliResult r = cli.Expect(1, {"dbx", "ls", file});
    EXPECT_TRUE(Contains(r.out, "first") && Contains(r.out, "third") && !Contains(r.out, "second"));
    EXPECT_EQ(r.err, "tavctl: " + file + ": 1 message(s) cannot be read: Wrong object marker ! (offset 0x" + hex + ")\n");

    // A file cut inside its header.
    ASSERT_TRUE(tavtest::WriteFile(dir / "cut.dbx", "short"));
    cli.Expect(1, {"dbx", "ls", dir / "cut.dbx"}, "Error reading object from input stream !");
}

TEST_F(DbxCommandsTest, ShowAndExportWriteTheStoredText) {
    const std::string file = DataPath("Mail-Transport-Dbx/test1.dbx");
    const std::string text = cli.Ok({"dbx", "show", file, "11044"}).out;
    EXPECT_EQ(text.size(), 2710u);
    EXPECT_EQ(text.rfind("Return-path: <noreply@freshmeat.net>\r\n", 0), 0u);
    EXPECT_EQ(cli.Ok({"dbx", "show", file, "0x2B24"}).out, text);
    CliResult r = cli.Expect(1, {"dbx", "show", file, "11045"});  // not a message's record
    EXPECT_EQ(r.err, "tavctl: " + file + ": no message at offset 11045 (see 'tavctl dbx ls')\n");
    EXPECT_EQ(r.out, "");
    for (const char* bad : {"eleven", "0x"}) EXPECT_EQ(cli.Run({"dbx", "show", file, bad}).code, 2) << bad;
    EXPECT_EQ(cli.Run({"dbx", "show", file}).code, 2);

    // export: the same bytes in a file, which is replaced only with --force.
    const std::string out = dir / "m.eml";
    EXPECT_EQ(cli.Ok({"dbx", "export", file, "11044", out}).out, "");
    EXPECT_EQ(tavtest::ReadFile(out), text);
    ASSERT_TRUE(tavtest::WriteFile(out, "mine"));
    EXPECT_EQ(cli.Expect(1, {"dbx", "export", file, "11044", out}).err,
              "tavctl: " + file + ": message at offset 11044: " + out + ": the file exists already (use --force to replace it)\n");
    EXPECT_EQ(tavtest::ReadFile(out), "mine");
    cli.Ok({"dbx", "export", file, "11044", out, "--force"});
    EXPECT_EQ(tavtest::ReadFile(out), text);
}

// The names themselves are the file namer's tests; here what export-all writes and prints.
TEST_F(DbxCommandsTest, ExportAllWritesNamedFilesInsideTheFolder) {
    std::vector<dbxtest::Message> messages(4);
    messages[0].subject = "../../escape";
    messages[1].subject = "Re: Hello";
    messages[1].received = dbxtest::Ticks(1024344150);
    messages[2].subject.reset();
    messages[2].received.reset();  // exported although ls does not list it
    messages[3].subject = "no text";
    messages[3].text.reset();  // nothing to export
    const std::string file = WriteStore(messages);
    const std::string out = dir / "out/nested";
    ASSERT_TRUE(plat::CreateDirectories(out));
    ASSERT_TRUE(tavtest::WriteFile(out + "/Re_ Hello.eml", "keep"));

    EXPECT_EQ(cli.Ok({"dbx", "export-all", file, out}).out, "_.._escape.eml\nRe_ Hello (2).eml\nmessage.eml\n");
    EXPECT_EQ(Names(out), (std::set<std::string>{"_.._escape.eml", "Re_ Hello.eml", "Re_ Hello (2).eml",
                                                 "message.eml"}));
    EXPECT_EQ(Names(dir / "out"), std::set<std::string>{"nested"});
    EXPECT_EQ(tavtest::ReadFile(out + "/Re_ Hello.eml"), "keep");
    EXPECT_EQ(tavtest::ReadFile(out + "/message.eml"), "Subject: x\r\n\r\nbody\r\n");
    // The file's time is the message's received time.
    TavFindData fd;
    ASSERT_TRUE(plat::GetFindData(out + "/Re_ Hello (2).eml", fd));
    EXPECT_EQ(fd.written.Ticks() / 10000000, dbxtest::Ticks(1024344150) / 10000000);
    EXPECT_EQ(cli.Ok({"dbx", "export-all", file, out, "--filter", "HELLO"}).out, "Re_ Hello (3).eml\n");

    // A folder that is not there is made; a file in its place is refused.
    const std::string made = dir / "new/folder";
    EXPECT_EQ(tavtest::Count(cli.Ok({"dbx", "export-all", DataPath("IPED/test_OutlookDBX.dbx"), made}).out, "\n"), 28);
    EXPECT_EQ(Names(made).size(), 28u);
    EXPECT_EQ(cli.Expect(1, {"dbx", "export-all", file, out + "/message.eml"}).err,
              "tavctl: " + out + "/message.eml: is not a folder\n");
}

TEST_F(DbxCommandsTest, StoredFilesReadThroughTheirChunkTables) {
    const std::string repo = Repo().path;
    // Baseline 2 holds test1.dbx as Inbox.dbx, baseline 1 test.dbx.
    const std::string latest = cli.Ok({"dbx", "ls", "--repo", repo, Stored("Inbox.dbx")}).out;
    EXPECT_TRUE(Contains(latest, "[fmII] centericq 4.7.5 released")) << latest;
    const std::string first = cli.Ok({"dbx", "ls", "--repo", repo, "-b", "1", Stored("inbox.dbx")}).out;
    EXPECT_TRUE(Contains(first, "Please read you won't be sorry")) << first;
    EXPECT_EQ(cli.Ok({"dbx", "show", "--repo", repo, Stored("Inbox.dbx"), "11044"}).out,
              cli.Ok({"dbx", "show", DataPath("Mail-Transport-Dbx/test1.dbx"), "11044"}).out);

    // A store of many chunks lists and exports exactly as the live file.
    EXPECT_EQ(cli.Ok({"dbx", "ls", "--repo", repo, Stored("Big.dbx"), "--sort", "from"}).out,
              cli.Ok({"dbx", "ls", DataPath("IPED/test_OutlookDBX.dbx"), "--sort", "from"}).out);
    cli.Ok({"dbx", "export-all", "--repo", repo, Stored("Big.dbx"), dir / "stored"});
    cli.Ok({"dbx", "export-all", DataPath("IPED/test_OutlookDBX.dbx"), dir / "live"});
    const std::set<std::string> names = Names(dir / "live");
    EXPECT_EQ(Names(dir / "stored"), names);
    for (const std::string& name : names)
        EXPECT_EQ(tavtest::ReadFile(dir / "stored/" + name),
                  tavtest::ReadFile(dir / "live/" + name))
            << name;
    cli.Ok({"dbx", "export", "--repo", repo, Stored("Inbox.dbx"), "11044", dir / "one.eml"});
    EXPECT_EQ(tavtest::ReadFile(dir / "one.eml"),
              cli.Ok({"dbx", "show", DataPath("Mail-Transport-Dbx/test1.dbx"), "11044"}).out);
}

TEST_F(DbxCommandsTest, StoredItemsThatAreNoStoreFilesAreRefused) {
    const std::string repo = Repo().path;
    const std::string identity = std::string("Outlook Express/") + IDENTITY;
    cli.Expect(1, {"dbx", "ls", "--repo", repo, identity + "/Rules"},
               "tavctl: " + repo + ": " + identity + "/Rules: is not a stored message store (.dbx) file\n");
    cli.Expect(1, {"dbx", "ls", "--repo", repo, Stored("")}, "is a folder, not a file");
    cli.Expect(1, {"dbx", "ls", "--repo", repo, Stored("Nothing.dbx")}, "no such item in baseline 2");
    cli.Expect(1, {"dbx", "folders", "--repo", repo, identity}, "holds no folders.dbx");
    cli.Expect(1, {"dbx", "ls", "--repo", dir / "none.tvr", Stored("Inbox.dbx")});
}
