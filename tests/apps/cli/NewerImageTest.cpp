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

    cli.Expect(0, {"info", repo.path},
               note + " (" + newer + "): the baselines it holds are not shown; showing the baselines up to 1",
               newer + " (" + note + ")\n");
    // An image of a newer release is not damage.
    EXPECT_FALSE(Contains(cli.Expect(0, {"baselines", repo.path}, note).err, "damaged"));
    cli.Expect(1, {"check", repo.path}, "", "image 2 (" + newer + "): needs a newer version of Tavora");

    // Neither repair nor a later run may take the image for a leftover or set it aside.
    const std::string before = tavtest::ReadFile(newer);
    CliResult r = cli.Run({"check", repo.path, "--repair"});
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(Contains(r.err + r.out, note)) << r.err << r.out;
    EXPECT_EQ(tavtest::ReadFile(newer), before);
    EXPECT_FALSE(plat::PathExists(newer + ".set-aside"));

    // A first image of a later release: the repository does not open, and says why.
    MarkNewer(repo.path);
    cli.Expect(1, {"ls", repo.path}, "image 0 needs a newer version of Tavora");
}

TEST(NewerImageTest, AZstdJobBacksUpAndRestoresAndItsImagesAre22) {
    ASSERT_NO_FATAL_FAILURE(UseBuiltModules());
    CTempDir dir;
    plat::CreateDirectories(dir / "data");
    const std::string text = std::string(300000, 'z') + RandomBytes(100000, 3);
    tavtest::WriteFile(dir / "data/a.txt", text);
    const std::string job = dir / "z.tvj";
    CCli cli;
    cli.Ok({"job", "new", job, "-l", dir / "repo", "-n", "z", "--compress", "zstd:5"});
    cli.Expect(0, {"job", "show", job}, "", "zstd level 5");  // job show names the method
    cli.Expect(2, {"job", "new", dir / "x.tvj", "-l", dir.Path(), "-n", "x", "--compress", "zstd:20"});
    cli.Expect(2, {"job", "new", dir / "x.tvj", "-l", dir.Path(), "-n", "x", "--compress", "lz4"});
    cli.Ok({"job", "add", job, dir / "data"});
    cli.Expect(0, {"backup", job, "--full"});
    cli.Expect(0, {"info", dir / "repo/z.tvr"}, "", "Format:       2.2\n");
    cli.Expect(0, {"restore", dir / "repo/z.tvr", "--to", dir / "out"});
    EXPECT_EQ(tavtest::ReadFile(dir / "out" + (dir / "data/a.txt")), text);
    cli.Ok({"check", dir / "repo/z.tvr", "--read-data"});

    // A run into a repository whose newest image a later release wrote refuses to start,
    // and names the image instead of advising to move it away.
    cli.Expect(0, {"backup", job});
    ASSERT_TRUE(plat::PathExists(dir / "repo/z.0001.tvr"));
    MarkNewer(dir / "repo/z.0001.tvr");
    EXPECT_FALSE(Contains(cli.Expect(1, {"backup", job}, "image 1 needs a newer version of Tavora").err, "move it away"));
    EXPECT_FALSE(plat::PathExists(dir / "repo/z.0002.tvr"));
}
