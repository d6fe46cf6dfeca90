// tavctl restore and extract: real backups made with tavctl, restored through the modules
// that the build puts beside the programs.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "tavrep/TavImage.h"
#include "platform/Process.h"

using namespace clitest;

namespace {

class RestoreCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(UseBuiltModules());
        plat::CreateDirectories(m_dir / "data/sub/deep");
        plat::CreateDirectories(m_dir / "repo");
        tavtest::WriteFile(m_dir / "data/a.txt", "first\n");
        tavtest::WriteFile(m_dir / "data/sub/b.bin", m_big);
        tavtest::WriteFile(m_dir / "data/sub/deep/c.txt", "deep\n");
        plat::CreateSymlink("a.txt", m_dir / "data/lnk");
    }

    // A job over data/ (options for "job new" added), backed up once.
    void BackUp(const std::vector<std::string>& jobOptions = {}) {
        std::vector<std::string> args = {"job", "new", m_job, "-l", m_dir / "repo", "-n", "store"};
        args.insert(args.end(), jobOptions.begin(), jobOptions.end());
        ASSERT_EQ(m_cli.Run(args).code, 0);
        ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
        const CliResult r = m_cli.Run({"backup", m_job});
        ASSERT_EQ(r.code, 0) << r.err;
    }

    std::string Repo() const { return m_dir / "repo/store.tvr"; }
    // Where the data folder lands when restored below `to`.
    std::string Under(const std::string& to, const std::string& relative = {}) const {
        return to + (relative.empty() ? m_dir / "data" : m_dir / ("data/" + relative));
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "test.tvj";
    const std::string m_big = RandomBytes(150000, 3);
};

// Which items a restore or an extract writes, and what each refuses; then a restore of the
// newest baseline by default.
TEST_F(RestoreCommand, OnlyExcludeAndExtractChooseTheItemsAndTheNewestIsTheDefault) {
    BackUp();
    const std::string to = m_dir / "out", two = m_dir / "two", ex = m_dir / "ex";
    const std::string data = m_dir / "data";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;  // a part of the error text
        std::vector<std::string> written, absent;
    } cases[] = {
        {{"restore", Repo(), "--to", to, "--only", data + "/sub", "--exclude", data + "/sub/deep"},
         0, "", {Under(to, "sub/b.bin")}, {Under(to, "sub/deep"), Under(to, "a.txt")}},
        // Items after REPO are chosen as with --only.
        {{"restore", Repo(), data + "/a.txt", data + "/sub/deep", "--to", two},
         0, "", {Under(two, "a.txt"), Under(two, "sub/deep/c.txt")}, {Under(two, "sub/b.bin"), Under(two, "lnk")}},
        {{"restore", Repo(), "--to", two, "--only", "/no/such/item"}, 1, "/no/such/item: no such item in baseline 1", {}, {}},
        {{"extract", Repo(), data + "/sub/b.bin", "--to", ex}, 0, "", {ex + "/b.bin"}, {}},
        {{"extract", Repo(), data + "/sub", "--to", ex, "--no-recursive"}, 0, "", {ex + "/sub/b.bin"}, {ex + "/sub/deep"}},
        // What is not one stored item is refused.
        {{"extract", Repo(), data + "/a.txt"}, 2, "--to DIR", {}, {}},
        {{"extract", Repo(), "/", "--to", m_dir / "x"}, 1, "is the root of a module", {}, {m_dir / "x"}},
        {{"extract", Repo(), m_dir.Path(), "--to", m_dir / "x"}, 1, "not a stored item", {}, {m_dir / "x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[2]);
        m_cli.Expect(c.code, c.args, c.err);
        for (const std::string& path : c.written) EXPECT_TRUE(plat::PathExists(path)) << path;
        for (const std::string& path : c.absent) EXPECT_FALSE(plat::PathExists(path)) << path;
    }
    EXPECT_EQ(tavtest::ReadFile(Under(to, "sub/b.bin")), m_big);
    EXPECT_EQ(tavtest::ReadFile(ex + "/b.bin"), m_big);

    // An existing file is kept unless --overwrite is given.
    tavtest::WriteFile(ex + "/b.bin", "mine");
    m_cli.Run({"extract", Repo(), data + "/sub/b.bin", "--to", ex});
    EXPECT_EQ(tavtest::ReadFile(ex + "/b.bin"), "mine");
    m_cli.Ok({"extract", Repo(), data + "/sub/b.bin", "--to", ex, "--overwrite"});
    EXPECT_EQ(tavtest::ReadFile(ex + "/b.bin"), m_big);

    // By default the newest baseline is restored, whole. Progress is drawn on a terminal,
    // the files counted first.
    tavtest::WriteFile(m_dir / "data/a.txt", "second\n");
    ASSERT_EQ(m_cli.Run({"backup", m_job}).code, 0);
    const std::string newest = m_dir / "newest";
    m_cli.progress = true;
    const CliResult r = m_cli.Expect(0, {"restore", Repo(), "--to", newest}, "/4 files  ");
    EXPECT_TRUE(Contains(r.err, "\r")) << r.err;
    EXPECT_TRUE(Contains(r.out, "Finish Restoring Files and Folders: ")) << r.out;
    EXPECT_TRUE(Contains(
        r.out,
        "\n4 Files Succeed\n0 Files Overwritten\n0 Files are already up to date\n0 Items Error\n"))
        << r.out;
    EXPECT_EQ(tavtest::ReadFile(Under(newest, "a.txt")), "second\n");
    EXPECT_EQ(tavtest::ReadFile(Under(newest, "sub/b.bin")), m_big);
    std::string link;
    ASSERT_TRUE(plat::ReadSymlink(Under(newest, "lnk"), link));
    EXPECT_EQ(link, "a.txt");
}

TEST_F(RestoreCommand, OverwriteRulesAndTheOriginalPlace) {
    BackUp();
    tavtest::WriteFile(m_dir / "data/a.txt", "changed after the backup\n");
    // A restore says where it writes.
    m_cli.Expect(2, {"restore", Repo()});
    m_cli.Expect(2, {"restore", Repo(), "--in-place", "--to", m_dir / "x"});
    m_cli.Expect(2, {"restore", Repo(), "--in-place", "--overwrite", "newest"});
    // The engine's own tests check its log lines; here each word reaches it. The default
    // replaces only files older than the stored ones; a.txt is newer.
    const struct {
        std::vector<std::string> options;
        const char* said;
        const char* aTxt;
        bool dropDeep;  // c.txt deleted before: written again
    } steps[] = {
        {{"--overwrite", "never"}, "\n1 Files kept", "changed after the backup\n", false},
        {{}, "", "changed after the backup\n", false},
        {{"--overwrite", "older,size", "--verbose"}, "Restoring file \"", "first\n", false},
        {{"--overwrite", "always"}, "\n3 Files Overwritten\n", "first\n", true},
    };
    for (const auto& step : steps) {
        if (step.dropDeep) plat::RemoveFile(m_dir / "data/sub/deep/c.txt");
        std::vector<std::string> args = {"restore", Repo(), "--in-place"};
        args.insert(args.end(), step.options.begin(), step.options.end());
        m_cli.Expect(0, args, "", step.said);
        EXPECT_EQ(tavtest::ReadFile(m_dir / "data/a.txt"), step.aTxt);
    }
    EXPECT_EQ(tavtest::ReadFile(m_dir / "data/sub/deep/c.txt"), "deep\n");
}

// The summary of a dry run is the one the real restore then gives, and a dry run writes
// nothing, in place and below a folder.
TEST_F(RestoreCommand, DryRunListsWhatTheRestoreThenDoes) {
    BackUp();
    tavtest::WriteFile(m_dir / "data/a.txt", "changed after the backup\n");  // newer: kept
    plat::RemoveFile(m_dir / "data/sub/deep/c.txt");                         // written again
    const auto summary = [](const std::string& out) {  // from the first count on
        const size_t counts = out.find(" Files Succeed");
        return counts == std::string::npos ? out : out.substr(out.rfind('\n', counts) + 1);
    };
    for (const std::vector<std::string> where :
         {std::vector<std::string>{"--in-place"}, {"--to", m_dir / "out"}}) {
        std::vector<std::string> args = {"restore", Repo(), "--overwrite", "older"};
        args.insert(args.end(), where.begin(), where.end());
        std::vector<std::string> dry = args;
        dry.push_back("--dry-run");
        const CliResult planned = m_cli.Run(dry);
        ASSERT_EQ(planned.code, 0) << planned.err;
        EXPECT_FALSE(plat::PathExists(m_dir / "out"));
        if (where[0] == "--in-place") {
            EXPECT_FALSE(plat::PathExists(m_dir / "data/sub/deep/c.txt"));
            EXPECT_TRUE(Contains(planned.out, "Would write \"" + m_dir / "data/sub/deep/c.txt" + "\"\n"));
            EXPECT_TRUE(Contains(planned.out, "Kept \"" + m_dir / "data/a.txt" + "\""));
        }
        const CliResult done = m_cli.Run(args);
        ASSERT_EQ(done.code, 0) << done.err;
        EXPECT_EQ(summary(planned.out), summary(done.out)) << planned.out << done.out;
    }
    EXPECT_EQ(tavtest::ReadFile(m_dir / "data/sub/deep/c.txt"), "deep\n");
    EXPECT_EQ(tavtest::ReadFile(m_dir / "data/a.txt"), "changed after the backup\n");
}

TEST_F(RestoreCommand, VerifyReportsACorruptedFileAndExitsWithOne) {
    BackUp({"--no-compress"});
    // The image the backup wrote holds b.bin in stored members: one of its bytes is changed
    // through the library, so that the block still checks out and only the file's
    // fingerprint can tell.
    std::string image = tavtest::ImagePath(Repo(), 1);
    if (!plat::PathExists(image)) image = Repo();
    std::string bytes = tavtest::ReadFile(image);
    const size_t at = bytes.find(m_big.substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    {
        const TavImageSecurity security =
            tavtest::Security(nullptr, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE);
        CTavImage stored(image, security);
        const char changed = char(m_big[1000] ^ 0x01);
        // The chunk's bytes follow the block header, the gzip header and a stored block's header.
        ASSERT_EQ(stored.UpdateBlock(uint32_t(at - BLOCK_HEADER_SIZE - 10 - 5), &changed, 1, 1000), 1);
    }

    const std::string to = m_dir / "out";
    const CliResult r = m_cli.Expect(1, {"restore", Repo(), "--to", to},  // verified by default
                                     "***** Checksum error: \"" + Under(to, "sub/b.bin") + "\"\n", "\n3 Files Succeed\n");
    EXPECT_TRUE(Contains(r.err, "tavctl: " + Repo() + ": 1 item(s) could not be restored")) << r.err;
    EXPECT_FALSE(plat::PathExists(Under(to, "sub/b.bin")));
    EXPECT_EQ(tavtest::ReadFile(Under(to, "sub/deep/c.txt")), "deep\n");
}

TEST_F(RestoreCommand, ARootWhoseModuleIsMissingIsReportedAndTheOthersRestore) {
    // A repository with Files and Folders and Outlook Express roots, and a module folder
    // that holds only the Files and Folders module.
    CTestRepo repo;
    const std::string modules = m_dir / "modules";
    plat::CreateDirectories(modules);
    ASSERT_TRUE(plat::CreateSymlink(BuiltModules() + "/filesmodule.so", modules + "/filesmodule.so"));
    plat::SetEnv("TAVORA_MODULE_PATH", modules);
    const std::string to = m_dir / "out";
    m_cli.Expect(1, {"restore", repo.path, "--to", to}, "the module of \"Outlook Express\" (oert) is not installed");
    plat::SetEnv("TAVORA_MODULE_PATH", "");
    EXPECT_EQ(tavtest::ReadFile(to + "/home/ann/docs/a.txt"), "alpha, second version");
    EXPECT_EQ(tavtest::ReadFile(to + "/home/ann/docs/sub/b.bin"), repo.big);
    EXPECT_FALSE(plat::PathExists(to + "/etc/app.conf"));  // deleted in baseline 2
}

}  // namespace
