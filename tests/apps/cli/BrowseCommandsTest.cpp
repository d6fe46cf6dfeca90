// tavctl ls and cat: listings, item names (paths, ids, module paths), baselines, contents.
#include <gtest/gtest.h>

#include <regex>

#include "CliTestRepo.h"
#include "platform/Process.h"

using namespace clitest;

namespace {

class BrowseCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plat::SetEnv("TZ", "UTC"); }

    // The NAME column of every listed row (the header dropped).
    static std::vector<std::string> Names(const std::string& listing) {
        std::vector<std::string> names;
        std::istringstream lines(listing);
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line.substr(0, 5), "T    ");
        const size_t column = line.find("NAME");
        while (std::getline(lines, line)) names.push_back(line.substr(column));
        return names;
    }

    // The row whose NAME is `name`.
    static std::string Row(const std::string& listing, const std::string& name) {
        std::istringstream lines(listing);
        std::string line;
        while (std::getline(lines, line))
            if (line.size() >= name.size() &&
                line.compare(line.size() - name.size(), name.size(), name) == 0)
                return line;
        return "";
    }

    static CTestRepo& Repo() {
        static CTestRepo repo;
        return repo;
    }

    CCli cli;
    const std::string repo = Repo().path;
};

}  // namespace

TEST_F(BrowseCommandsTest, ListsModuleRootsWithoutTheRepositoryRoot) {
    const CliResult r = cli.Ok({"ls", repo});
    EXPECT_EQ(Names(r.out), (std::vector<std::string>{"Files and Folders", "Outlook Express"}));
    EXPECT_EQ(Row(r.out, "Files and Folders")[0], 'd');
    const CliResult all = cli.Ok({"ls", repo, "--all"});
    EXPECT_EQ(Names(all.out).size(), 3u);  // with "\"
}

TEST_F(BrowseCommandsTest, ShowsColumnsOfFilesFoldersAndLinks) {
    const CliResult r = cli.Ok({"ls", repo, "/home/ann/docs"});
    EXPECT_EQ(Names(r.out), (std::vector<std::string>{"a.txt", "lnk -> a.txt", "sub"}));
    // type, size, version, status, backup date, modified (local time), image, name
    const std::regex updated(
        "-            21     1  Updated      \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d  "
        "2022-06-18T04:26:40\\+00:00      2  a\\.txt");
    EXPECT_TRUE(std::regex_match(Row(r.out, "a.txt"), updated)) << Row(r.out, "a.txt");
    const std::string date = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d";
    EXPECT_TRUE(
        std::regex_match(Row(r.out, "lnk -> a.txt"),
                         std::regex("l +5 +0  Not Changed  " + date + "  .* +1  lnk -> a\\.txt")))
        << Row(r.out, "lnk -> a.txt");
    // An unchanged folder has an empty status and no content image.
    EXPECT_TRUE(
        std::regex_match(Row(r.out, "sub"), std::regex("d +- +0 {15}" + date + "  .* +-  sub")))
        << Row(r.out, "sub");

    CliResult first = cli.Ok({"ls", "-b", "1", repo, "/home/ann/docs"});
    EXPECT_TRUE(
        std::regex_match(Row(first.out, "a.txt"), std::regex("- +5 +0  Added  .* +1  a\\.txt")))
        << Row(first.out, "a.txt");
}

TEST_F(BrowseCommandsTest, RecursiveListingShowsFullItemPaths) {
    const CliResult r = cli.Ok({"ls", repo, "-r"});
    EXPECT_EQ(Names(r.out), (std::vector<std::string>{
                                "Files and Folders",
                                "/home/ann/docs",
                                "/home/ann/docs/a.txt",
                                "/home/ann/docs/lnk -> a.txt",
                                "/home/ann/docs/sub",
                                "/home/ann/docs/sub/b.bin",
                                "Outlook Express",
                                std::string("Outlook Express/") + IDENTITY,
                                std::string("Outlook Express/") + IDENTITY + "/<msgroot>",
                                std::string("Outlook Express/") + IDENTITY + "/<msgroot>/Inbox.dbx",
                                std::string("Outlook Express/") + IDENTITY + "/Rules",
                            }));
    CliResult sub = cli.Ok({"ls", repo, "--recursive", "/home/ann/docs/sub"});
    EXPECT_EQ(Names(sub.out), (std::vector<std::string>{"/home/ann/docs/sub/b.bin"}));
}

TEST_F(BrowseCommandsTest, BaselinesDifferAndDefaultIsTheNewest) {
    EXPECT_EQ(Names(cli.Ok({"ls", repo, "/"}).out), (std::vector<std::string>{"/home/ann/docs"}));
    EXPECT_EQ(Names(cli.Ok({"ls", repo, "/", "-b", "1"}).out),
              (std::vector<std::string>{"/etc/app.conf", "/home/ann/docs"}));
    EXPECT_EQ(Names(cli.Ok({"ls", repo, "Files and Folders", "-b2"}).out),
              (std::vector<std::string>{"/home/ann/docs"}));

    EXPECT_EQ(cli.Expect(1, {"ls", repo, "-b", "7"}).err, "tavctl: " + repo + ": no such baseline 7 (the baselines are 0 to 2)\n");
}

TEST_F(BrowseCommandsTest, FoldersAboveTheStoredPathsListWhatTheyHold) {
    EXPECT_EQ(Names(cli.Ok({"ls", repo, "/home"}).out), (std::vector<std::string>{"/home/ann/docs"}));
    EXPECT_EQ(Names(cli.Ok({"ls", repo, "/home/ann/"}).out),
              (std::vector<std::string>{"/home/ann/docs"}));
    cli.Expect(1, {"ls", repo, "/hom"});  // not a folder boundary
}

TEST_F(BrowseCommandsTest, ItemsByIdInDecimalAndHex) {
    const TavNodeRec docs = Repo().Node(2, "/home/ann/docs");
    const std::string byPath = cli.Ok({"ls", repo, "/home/ann/docs"}).out;
    EXPECT_EQ(cli.Ok({"ls", repo, std::to_string(docs.nodeId)}).out, byPath);
    EXPECT_EQ(cli.Ok({"ls", repo, tavctl::IdText(docs.nodeId)}).out, byPath);

    const TavNodeRec a = Repo().Node(2, "/home/ann/docs/a.txt");
    EXPECT_EQ(cli.Ok({"cat", repo, tavctl::IdText(a.nodeId)}).out, "alpha, second version");
    // A file named by id is shown by its full path.
    EXPECT_EQ(Names(cli.Ok({"ls", repo, std::to_string(a.nodeId)}).out),
              (std::vector<std::string>{"/home/ann/docs/a.txt"}));

    EXPECT_EQ(cli.Expect(1, {"cat", repo, "629"}).err, "tavctl: " + repo + ": 629: no such item in baseline 2\n");
    cli.Expect(1, {"cat", repo, "#FFFFFFF0"});
}

TEST_F(BrowseCommandsTest, CatWritesStoredContents) {
    EXPECT_EQ(cli.Ok({"cat", repo, "/home/ann/docs/a.txt"}).out, "alpha, second version");
    EXPECT_EQ(cli.Ok({"cat", "-b", "1", repo, "/home/ann/docs/a.txt"}).out, "alpha");
    EXPECT_EQ(cli.Ok({"cat", repo, "/home/ann/docs/sub/b.bin"}).out, Repo().big);
    EXPECT_EQ(cli.Ok({"cat", repo, "//home/ann/docs//lnk"}).out, "a.txt");  // a link's target
    EXPECT_EQ(cli.Ok({"cat", repo, "/etc/app.conf", "-b", "1"}).out, "key=value\n");
}

TEST_F(BrowseCommandsTest, CatReassemblesAMessageStoreFromItsChunks) {
    const std::string inbox = std::string("Outlook Express/") + IDENTITY + "/<msgroot>/Inbox.dbx";
    EXPECT_EQ(cli.Ok({"cat", repo, inbox}).out, Repo().dbx);
    // Names of other modules also match without regard to case; file paths do not.
    std::string lower = inbox;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(cli.Ok({"cat", repo, lower}).out, Repo().dbx);
    cli.Expect(1, {"cat", repo, "/home/ANN/docs/a.txt"});
    EXPECT_EQ(cli.Ok({"cat", repo, std::string("Outlook Express/") + IDENTITY + "/Rules"}).out,
              Repo().rules);
}

TEST_F(BrowseCommandsTest, CatRefusesFoldersAndUnknownItems) {
    const CliResult folder = cli.Expect(1, {"cat", repo, "/home/ann/docs"});
    EXPECT_EQ(folder.err, "tavctl: " + repo + ": /home/ann/docs: is a folder, not a file\n");
    EXPECT_EQ(folder.out, "");
    EXPECT_EQ(cli.Expect(1, {"cat", repo, "/etc/app.conf"}).err,  // deleted in baseline 2
              "tavctl: " + repo + ": /etc/app.conf: no such item in baseline 2\n");
    cli.Expect(1, {"cat", repo, "Nothing/here"});
}
