// Repositories a newer release wrote parts of, and zstd jobs from tavctl's side: an image
// this release cannot read is named by every command and never written over or set aside.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

using namespace clitest;

namespace {

// Makes image `path` look written by a later release: an unknown version in its header.
void MarkNewer(const std::string& path) {
    auto file = plat::CFile::Open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(file);
    const uint8_t version[4] = {0x00, 0x00, 0x03, 0x02};  // 0x02030000
    ASSERT_TRUE(file->WriteAt(version, 4, 20));
}

}  // namespace

TEST(NewerImageTest, EveryCommandNamesTheImageAndNothingTouchesIt) {
    CTestRepo repo;
    const std::string newer = repo.ImagePath(2);
    MarkNewer(newer);
    const std::string note = "image 2 needs a newer version of Tavora";
    CCli cli;

    CliResult r = cli.Run({"info", repo.path});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, newer + " (" + note + ")\n")) << r.out;
    EXPECT_TRUE(Contains(r.err, note + " (" + newer + "): the baselines it holds are not shown; showing "
                                       "the baselines up to 1"))
        << r.err;

    r = cli.Run({"baselines", repo.path});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, note)) << r.err;
    EXPECT_FALSE(Contains(r.err, "damaged")) << "an image of a newer release is not damage: " << r.err;

    r = cli.Run({"check", repo.path});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.out, "image 2 (" + newer + "): needs a newer version of Tavora")) << r.out;

    // Neither repair nor a later run may take the image for a leftover or set it aside.
    const std::string before = tavtest::ReadFile(newer);
    r = cli.Run({"check", repo.path, "--repair"});
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(Contains(r.err + r.out, note)) << r.err << r.out;
    EXPECT_EQ(tavtest::ReadFile(newer), before);
    EXPECT_FALSE(plat::PathExists(newer + ".set-aside"));

    // A first image of a later release: the repository does not open, and says why.
    MarkNewer(repo.path);
    r = cli.Run({"ls", repo.path});
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(Contains(r.err, "image 0 needs a newer version of Tavora")) << r.err;
}

TEST(NewerImageTest, AZstdJobBacksUpAndRestoresAndItsImagesAre22) {
    ASSERT_NO_FATAL_FAILURE(UseBuiltModules());
    CTempDir dir;
    plat::CreateDirectories(dir / "data");
    const std::string text = std::string(300000, 'z') + RandomBytes(100000, 3);
    tavtest::WriteFile(dir / "data/a.txt", text);
    const std::string job = dir / "z.tvj";
    CCli cli;
    ASSERT_EQ(cli.Run({"job", "new", job, "-l", dir / "repo", "-n", "z", "--compress", "zstd:5"}).code, 0);
    EXPECT_TRUE(Contains(cli.Run({"job", "show", job}).out, "zstd level 5")) << "job show names the method";
    EXPECT_EQ(cli.Run({"job", "new", dir / "x.tvj", "-l", dir.Path(), "-n", "x", "--compress", "zstd:20"}).code, 2);
    EXPECT_EQ(cli.Run({"job", "new", dir / "x.tvj", "-l", dir.Path(), "-n", "x", "--compress", "lz4"}).code, 2);
    ASSERT_EQ(cli.Run({"job", "add", job, dir / "data"}).code, 0);
    CliResult r = cli.Run({"backup", job, "--full"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = cli.Run({"info", dir / "repo/z.tvr"});
    EXPECT_TRUE(Contains(r.out, "Format:       2.2\n")) << r.out;
    r = cli.Run({"restore", dir / "repo/z.tvr", "--to", dir / "out"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(tavtest::ReadFile(dir / "out" + (dir / "data/a.txt")), text);
    EXPECT_EQ(cli.Run({"check", dir / "repo/z.tvr", "--read-data"}).code, 0);

    // A run into a repository whose newest image a later release wrote refuses to start,
    // and names the image instead of advising to move it away.
    ASSERT_EQ(cli.Run({"backup", job}).code, 0);
    ASSERT_TRUE(plat::PathExists(dir / "repo/z.0001.tvr"));
    MarkNewer(dir / "repo/z.0001.tvr");
    r = cli.Run({"backup", job});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "image 1 needs a newer version of Tavora")) << r.err;
    EXPECT_FALSE(Contains(r.err, "move it away")) << r.err;
    EXPECT_FALSE(plat::PathExists(dir / "repo/z.0002.tvr"));
}
