// tavctl find: the wildcard on names and paths, with and without letter case.
#include <gtest/gtest.h>

#include "CliTestRepo.h"

using namespace clitest;

namespace {

TEST(FindCommandTest, IgnoreCaseFoldsNameAndPathPatterns) {
    static CTestRepo repo;
    CCli cli;
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string found;  // a path in the output, or "" when nothing matches
    };
    const Case cases[] = {
        {{"A.TXT"}, 1, ""},
        {{"A.TXT", "-i"}, 0, "/home/ann/docs/a.txt"},
        {{"?.Txt", "--ignore-case"}, 0, "/home/ann/docs/a.txt"},
        {{"/HOME/*/SUB/*", "-i"}, 0, "/home/ann/docs/sub/b.bin"},
        {{"/HOME/*/SUB/*"}, 1, ""},
        {{"inbox.DBX", "-i"}, 0, "Inbox.dbx"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"find", repo.path};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = cli.Run(args);
        SCOPED_TRACE(c.args[0]);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (!c.found.empty()) EXPECT_TRUE(Contains(r.out, c.found)) << r.out;
    }
}

}  // namespace
