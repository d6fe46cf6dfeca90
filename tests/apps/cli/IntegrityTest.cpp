// A repository made by real backup runs of a job that turns compression off: a changed
// content byte is still found (check names every damaged block of the chain, restore fails
// the item), and a run that cleans up after a killed one says what it removed.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "platform/File.h"
#include "platform/Process.h"

using namespace clitest;

namespace {

class IntegrityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(UseBuiltModules());
        plat::CreateDirectories(m_dir / "data");
        plat::CreateDirectories(m_dir / "repo");
        tavtest::WriteFile(m_dir / "data/a.txt", "alpha\n");
        tavtest::WriteFile(m_dir / "data/b.bin", m_content);
        m_cli.Ok({"job", "new", m_job, "-l", m_dir / "repo", "-n", "store", "--no-compress"});
        m_cli.Ok({"job", "add", m_job, m_dir / "data"});
        m_cli.Expect(0, {"backup", m_job, "--full"});
    }

    // Changes one byte of the file's content where it lies (as it is) in the image.
    void FlipContentByte(size_t at) {
        const std::string image = tavtest::ReadFile(m_repo);
        const size_t where = image.find(m_content.substr(at, 64));
        ASSERT_NE(where, std::string::npos);
        auto f = plat::CFile::Open(m_repo, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
        ASSERT_TRUE(f);
        const uint8_t b = uint8_t(image[where]) ^ 0x01;
        ASSERT_TRUE(f->WriteAt(&b, 1, where));
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "test.tvj";
    std::string m_repo = m_dir / "repo/store.tvr";
    std::string m_content = RandomBytes(300000, 5);  // five content blocks
};

}  // namespace

TEST_F(IntegrityTest, AFlippedContentByteOfAnUncompressedRepositoryIsFound) {
    m_cli.Ok({"check", m_repo, "--read-data"});
    FlipContentByte(1000);
    FlipContentByte(140000);
    FlipContentByte(270000);

    const CliResult r = m_cli.Expect(1, {"check", m_repo, "--read-data"}, "", m_dir / "data/b.bin (#");
    EXPECT_TRUE(Contains(r.out, "): content block at image 0 offset ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "CRC-32")) << r.out;
    EXPECT_TRUE(Contains(r.out, "; 2 more damaged blocks in the chain (image 0 offset ")) << r.out;
    m_cli.Expect(1, {"restore", m_repo, "--to", m_dir / "restored"});
    EXPECT_EQ(tavtest::ReadFile(m_dir / "restored" + m_dir / "data/a.txt"), "alpha\n");
    EXPECT_FALSE(plat::PathExists(m_dir / "restored" + m_dir / "data/b.bin"));
    // extract fails the item too and leaves no partial file.
    m_cli.Expect(1, {"extract", m_repo, m_dir / "data/b.bin", "--to", m_dir / "ex"});
    EXPECT_FALSE(plat::PathExists(m_dir / "ex/b.bin"));
}

TEST_F(IntegrityTest, ARunSaysWhatAKilledRunLeftAndItRemoved) {
    std::string leftover;
    CTavRepository::BuildImagePath(leftover, m_repo, 1);
    {  // a run that never commits: the object goes away inside its transaction
        const TavImageSecurity security =
            tavtest::Security(nullptr, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE);
        CTavRepository rep;
        ASSERT_EQ(rep.Attach(m_repo, &security), 1);
        ASSERT_EQ(rep.StartFreshImage(), 1u);
        ASSERT_EQ(rep.BeginTrans(5000), 1);
        ASSERT_NE(rep.AddContent(m_content.data(), 50000, {0, 0}).offset, 0u);
    }
    const size_t size = tavtest::ReadFile(leftover).size();
    ASSERT_GT(size, 50000u);

    const CliResult r = m_cli.Expect(0, {"backup", m_job});
    const std::string line = "Removed image file \"" + leftover + "\": " + std::to_string(size) +
                             " bytes left by a backup run that did not finish.";
    EXPECT_TRUE(Contains(r.out, "  " + line + "\n")) << r.out;
    const size_t log = r.out.find("Run log");
    ASSERT_NE(log, std::string::npos) << r.out;
    const size_t from = r.out.find('/', log);
    const std::string logPath = r.out.substr(from, r.out.find('\n', from) - from);
    EXPECT_TRUE(Contains(tavtest::ReadFile(logPath), line + "\r\n"));
    m_cli.Ok({"check", m_repo, "--read-data"});
}
