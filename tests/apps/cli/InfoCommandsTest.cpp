// tavctl info and baselines.
#include <gtest/gtest.h>

#include <regex>

#include "CliTestRepo.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

using namespace clitest;

TEST(InfoCommandsTest, InfoShowsImagesEntryPointAndBaselines) {
    CTestRepo repo;
    CCli cli;
    const CliResult r = cli.Ok({"info", repo.ImagePath(1)});  // any image of the series will do
    EXPECT_TRUE(Contains(r.out, "Format:       2.1\n"));
    EXPECT_TRUE(Contains(r.out, "Password:     not set\n"));
    EXPECT_TRUE(Contains(r.out, "Entry point:  image 2, offset "));
    EXPECT_TRUE(Contains(r.out, "Baselines:    2 baselines (newest: 2, saved "));  // besides 0
    EXPECT_TRUE(Contains(r.out, "Images:       3\n"));
    for (uint32_t id = 0; id < 3; ++id) {
        TavFindData data;
        ASSERT_TRUE(plat::GetFindData(repo.ImagePath(id), data));
        const std::regex row("(^|\\n) +" + std::to_string(id) + "  2\\.1     no        +" +
                             std::to_string(data.Size()) + "  " + repo.ImagePath(id) + "\\n");
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

TEST(InfoCommandsTest, BaselinesListsNumbersTypesTimesAndNames) {
    plat::SetEnv("TZ", "UTC");
    CTestRepo repo;
    CCli cli;
    const CliResult r = cli.Ok({"baselines", repo.path});
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
