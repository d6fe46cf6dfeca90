// tavctl info, baselines, ls, cat and find: listings, item names (paths, ids, module paths),
// baselines, contents, and the images of a repository.
#include <gtest/gtest.h>

#include <regex>

#include "CliTestRepo.h"
#include "platform/FileSystem.h"
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

    // `command` on the shared repository with `args` after it.
    std::vector<std::string> On(const std::string& command, const std::vector<std::string>& args) {
        std::vector<std::string> all = {command, repo};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    CCli cli;
    const std::string repo = Repo().path;
    const std::string oe = std::string("Outlook Express/") + IDENTITY;
};

}  // namespace

TEST_F(BrowseCommandsTest, LsListsTheItemsOfABaselineAndFolder) {
    const TavNodeRec a = Repo().Node(2, "/home/ann/docs/a.txt");
    const TavNodeRec docs = Repo().Node(2, "/home/ann/docs");
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> names;
    } cases[] = {
        {{}, {"Files and Folders", "Outlook Express"}},  // module roots, not the repository root
        {{"/home/ann/docs"}, {"a.txt", "lnk -> a.txt", "sub"}},
        {{"-r"},
         {"Files and Folders", "/home/ann/docs", "/home/ann/docs/a.txt",
          "/home/ann/docs/lnk -> a.txt", "/home/ann/docs/sub", "/home/ann/docs/sub/b.bin",
          "Outlook Express", oe, oe + "/<msgroot>", oe + "/<msgroot>/Inbox.dbx", oe + "/Rules"}},
        {{"--recursive", "/home/ann/docs/sub"}, {"/home/ann/docs/sub/b.bin"}},
        // The newest baseline by default; app.conf was deleted in baseline 2.
        {{"/"}, {"/home/ann/docs"}},
        {{"/", "-b", "1"}, {"/etc/app.conf", "/home/ann/docs"}},
        {{"Files and Folders", "-b2"}, {"/home/ann/docs"}},
        // Folders above the stored paths list what they hold.
        {{"/home"}, {"/home/ann/docs"}},
        {{"/home/ann/"}, {"/home/ann/docs"}},
        // A file named by id: its full path.
        {{std::to_string(a.nodeId)}, {"/home/ann/docs/a.txt"}},
        // Folders named by id, in decimal and hex.
        {{std::to_string(docs.nodeId)}, {"a.txt", "lnk -> a.txt", "sub"}},
        {{tavctl::IdText(docs.nodeId)}, {"a.txt", "lnk -> a.txt", "sub"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Names(cli.Ok(On("ls", c.args)).out), c.names) << ::testing::PrintToString(c.args);
    EXPECT_EQ(Names(cli.Ok({"ls", repo, "--all"}).out).size(), 3u);  // with "\"

    EXPECT_EQ(cli.Expect(1, {"ls", repo, "-b", "7"}).err, "tavctl: " + repo + ": no such baseline 7 (the baselines are 0 to 2)\n");
    cli.Expect(1, {"ls", repo, "/hom"});  // not a folder boundary
}

TEST_F(BrowseCommandsTest, LsShowsColumnsOfFilesFoldersAndLinks) {
    EXPECT_EQ(Row(cli.Ok({"ls", repo}).out, "Files and Folders")[0], 'd');
    // type, size, version, status, backup date, modified (local time), image, name
    const std::string date = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d";
    const struct {
        const char* baseline;
        std::string name, row;
    } cases[] = {
        {"2", "a.txt",
         "-            21     1  Updated      " + date +
             "  2022-06-18T04:26:40\\+00:00      2  a\\.txt"},
        {"2", "lnk -> a.txt", "l +5 +0  Not Changed  " + date + "  .* +1  lnk -> a\\.txt"},
        // An unchanged folder has an empty status and no content image.
        {"2", "sub", "d +- +0 {15}" + date + "  .* +-  sub"},
        {"1", "a.txt", "- +5 +0  Added  .* +1  a\\.txt"},
    };
    for (const auto& c : cases) {
        const std::string row =
            Row(cli.Ok({"ls", "-b", c.baseline, repo, "/home/ann/docs"}).out, c.name);
        EXPECT_TRUE(std::regex_match(row, std::regex(c.row))) << row;
    }
}

TEST_F(BrowseCommandsTest, CatWritesStoredContentsAndRefusesWhatIsNoStoredFile) {
    std::string lower = oe + "/<msgroot>/Inbox.dbx";
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    const TavNodeRec a = Repo().Node(2, "/home/ann/docs/a.txt");
    const std::string noItem = "tavctl: " + repo + ": ";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::string err;  // a part of the error text
    } cases[] = {
        {{"/home/ann/docs/a.txt"}, 0, "alpha, second version", ""},
        {{"-b", "1", "/home/ann/docs/a.txt"}, 0, "alpha", ""},
        {{"/home/ann/docs/sub/b.bin"}, 0, Repo().big, ""},
        {{"//home/ann/docs//lnk"}, 0, "a.txt", ""},  // a link's target
        {{"/etc/app.conf", "-b", "1"}, 0, "key=value\n", ""},
        {{tavctl::IdText(a.nodeId)}, 0, "alpha, second version", ""},
        // A message store reassembled from its chunks; names of other modules match
        // without regard to case, file paths do not.
        {{oe + "/<msgroot>/Inbox.dbx"}, 0, Repo().dbx, ""},
        {{lower}, 0, Repo().dbx, ""},
        {{"/home/ANN/docs/a.txt"}, 1, "", ""},
        {{oe + "/Rules"}, 0, Repo().rules, ""},
        {{"/home/ann/docs"}, 1, "", noItem + "/home/ann/docs: is a folder, not a file\n"},
        {{"/etc/app.conf"}, 1, "", noItem + "/etc/app.conf: no such item in baseline 2\n"},  // deleted in 2
        {{"629"}, 1, "", noItem + "629: no such item in baseline 2\n"},
        {{"#FFFFFFF0"}, 1, "", ""},
        {{"Nothing/here"}, 1, "", ""},
    };
    for (const auto& c : cases) {
        const CliResult r = cli.Expect(c.code, On("cat", c.args), c.err);
        EXPECT_EQ(r.out, c.out) << c.args[0];
    }
}

TEST_F(BrowseCommandsTest, FindIgnoreCaseFoldsNameAndPathPatterns) {
    const struct {
        std::vector<std::string> args;
        int code;
        std::string found;  // a path in the output, or "" when nothing matches
    } cases[] = {
        {{"A.TXT"}, 1, ""},
        {{"A.TXT", "-i"}, 0, "/home/ann/docs/a.txt"},
        {{"?.Txt", "--ignore-case"}, 0, "/home/ann/docs/a.txt"},
        {{"/HOME/*/SUB/*", "-i"}, 0, "/home/ann/docs/sub/b.bin"},
        {{"/HOME/*/SUB/*"}, 1, ""},
        {{"inbox.DBX", "-i"}, 0, "Inbox.dbx"},
    };
    for (const auto& c : cases) cli.Expect(c.code, On("find", c.args), "", c.found);
}

TEST_F(BrowseCommandsTest, InfoShowsImagesEntryPointAndBaselines) {
    const CliResult r = cli.Ok({"info", Repo().ImagePath(1)});  // any image of the series will do
    EXPECT_TRUE(Contains(r.out, "Format:       2.1\n"));
    EXPECT_TRUE(Contains(r.out, "Password:     not set\n"));
    EXPECT_TRUE(Contains(r.out, "Entry point:  image 2, offset "));
    EXPECT_TRUE(Contains(r.out, "Baselines:    2 baselines (newest: 2, saved "));  // besides 0
    EXPECT_TRUE(Contains(r.out, "Images:       3\n"));
    for (uint32_t id = 0; id < 3; ++id) {
        TavFindData data;
        ASSERT_TRUE(plat::GetFindData(Repo().ImagePath(id), data));
        const std::regex row("(^|\\n) +" + std::to_string(id) + "  2\\.1     no        +" +
                             std::to_string(data.Size()) + "  " + Repo().ImagePath(id) + "\\n");
        EXPECT_TRUE(std::regex_search(r.out, row)) << r.out;
    }
}

TEST(InfoCommandsTest, InfoMarksMissingImagesAndPasswords) {
    CTestRepo repo("secret");
    CCli cli;
    cli.env["TAVORA_PASSWORD"] = "secret";
    ASSERT_TRUE(plat::RemoveFile(repo.ImagePath(1)));
    const CliResult r = cli.Expect(0, {"info", repo.path}, "", "Password:     set\n");
    EXPECT_TRUE(Contains(r.out, "   0  2.1     yes  "));
    EXPECT_TRUE(Contains(
        r.out, "   1  -       -                    -  " + repo.ImagePath(1) + " (missing)\n"))
        << r.out;
}

TEST_F(BrowseCommandsTest, BaselinesListsNumbersTypesTimesAndNames) {
    const CliResult r = cli.Ok({"baselines", repo});
    const std::string date = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+00:00";
    // Items: baseline 1 holds docs, a.txt, lnk, sub, b.bin, app.conf and four Outlook
    // Express items; baseline 2 lost app.conf and replaced a.txt (21 bytes).
    const std::regex expected(
        "  NO  TYPE         SAVED                         ITEMS        ADDED  IMAGES  NAME              DESCRIPTION\n"
        "   0  -            " +
        date +
        "         0      0 bytes  0\n"
        "   1  Full         " +
        date +
        "        10  \\s*\\S+ \\S+  1       Manual Backup     first run\n"
        "   2  Incremental  " +
        date + "         9     21 bytes  2       Scheduled Backup\n");
    EXPECT_TRUE(std::regex_match(r.out, expected)) << r.out;
}
