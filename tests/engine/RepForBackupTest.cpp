// The repository of a backup run: created or attached, a fresh image per run, rollback and
// abandoned runs, concurrent runs, and the failures a user can meet.
#include <gtest/gtest.h>

#include <memory>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "support/RepBuilder.h"
#include "support/StoredRun.h"
#include "support/TempDir.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavJobHelper.h"
#include "tavrep/TavRepository.h"
#include "tavrep/TavSecurity.h"

namespace {

using tavtest::CTempDir;

struct RepDeleter {
    void operator()(CTavRepository* r) const { CTavEngine::DisposeRep(r); }
};
using RunRep = std::unique_ptr<CTavRepository, RepDeleter>;

class RepForBackup : public ::testing::Test {
protected:
    RepForBackup() {
        m_job.SetImageDesc("bk", "1 MB", 0x11, m_dir.Path());
        tavtest::WriteFile(m_dir / "source.txt", std::string(5000, 'q'));
    }

    std::string Image(const char* name) const { return m_dir / name; }

    // One run as the runners do it: load the latest baseline, transaction, add one file node,
    // then save and commit (or neither, as a run that was killed).
    uint32_t Run(CTavRepository& rep, bool commit = true) {
        tavtest::TablePtr table(rep.LoadBaseline(rep.GetLatestBaselineNumber()));
        EXPECT_TRUE(table);
        if (!table) return TAV_NONE;
        EXPECT_EQ(rep.BeginTrans(5000), 1);
        TavFindData data = tavtest::FileData("source.txt", 5000);
        const std::string source = m_dir / "source.txt";
        EXPECT_NE(rep.AddNode(table.get(), 0, MODULE_FILES_ITEM, &data, source.c_str(), 0, {0, 0}, nullptr), TAV_NONE);
        if (!commit) return TAV_NONE;
        const uint32_t number = rep.SaveBaseline(table.get(), "job", "Scheduled Backup", 0x10002015);
        rep.CommitTrans();
        return number;
    }

    // One whole run through the runners' repository; TAV_NONE when none was made.
    uint32_t RunOnce(bool commit = true) {
        RunRep rep(CTavEngine::CreateRepForBackup(&m_job));
        EXPECT_NE(rep, nullptr) << CTavEngine::GetRepError();
        return rep ? Run(*rep, commit) : TAV_NONE;
    }

    // The newest baseline as a fresh reader sees it.
    uint32_t LatestSeenByReader() {
        return tavtest::CBaselineReader(Image("bk.tvr"), MODULE_FILES_ROOT).Number();
    }

    CTempDir m_dir;
    CTavJobHelper m_job;
};

TEST_F(RepForBackup, CreatesAMissingRepositoryWithTheJobsSettingsAndLaterRunsWriteFreshImages) {
    for (uint32_t run = 0; run <= 3; ++run) {
        RunRep rep(CTavEngine::CreateRepForBackup(&m_job));
        ASSERT_NE(rep, nullptr) << CTavEngine::GetRepError();
        EXPECT_EQ(rep->GetCurrentImageID(), run) << "a new repository's run writes into image 0";
        ASSERT_NE(rep->GetSecurity(), nullptr);
        EXPECT_EQ(rep->GetSecurity()->maxImageSize, 1024u * 1024) << "split size 1 MB";
        EXPECT_EQ(Run(*rep), run + 1);
        rep.reset();
        EXPECT_EQ(plat::PathExists(Image("bk.0001.tvr")), run >= 1);
        EXPECT_EQ(LatestSeenByReader(), run + 1);
    }
    EXPECT_TRUE(plat::PathExists(Image("bk.0003.tvr")));
    // (A rolled-back run through this repository: cmdhost's JobRunnerTest.)
    // A path given with the job is used instead of the job's image.
    RunRep other(CTavEngine::CreateRepForBackup(&m_job, m_dir / "other.tvr"));
    EXPECT_TRUE(other && plat::PathExists(m_dir / "other.tvr")) << CTavEngine::GetRepError();
}

TEST_F(RepForBackup, AnAbandonedOrEmptyRunLeavesNothingBehind) {
    ASSERT_EQ(RunOnce(), 1u);
    RunOnce(false);  // transaction still open when the repository is released: undone
    EXPECT_FALSE(plat::PathExists(Image("bk.0001.tvr")));
    {
        // A run that ends before writing anything (no engine succeeded to start).
        RunRep rep(CTavEngine::CreateRepForBackup(&m_job));
        ASSERT_NE(rep, nullptr);
        EXPECT_TRUE(plat::PathExists(Image("bk.0001.tvr")));
    }
    EXPECT_FALSE(plat::PathExists(Image("bk.0001.tvr")));
    EXPECT_EQ(LatestSeenByReader(), 1u);
    RunRep rep(CTavEngine::CreateRepForBackup(&m_job));
    ASSERT_NE(rep, nullptr);
    EXPECT_EQ(rep->GetCurrentImageID(), 1u) << "numbering goes on without a gap";
}

TEST_F(RepForBackup, AKilledRunsImageGoesAndADamagedNewestTableStopsTheNextRun) {
    ASSERT_EQ(RunOnce(), 1u);
    {
        // A killed run: its image stays with blocks that no baseline uses.
        CTavRepository killed;
        ASSERT_EQ(killed.Attach(Image("bk.tvr"), nullptr), 1);
        ASSERT_EQ(killed.StartFreshImage(), 1u);
        Run(killed, false);
    }
    ASSERT_GT(tavtest::ReadFile(Image("bk.0001.tvr")).size(), 312u);
    {
        RunRep rep(CTavEngine::CreateRepForBackup(&m_job));
        ASSERT_NE(rep, nullptr) << CTavEngine::GetRepError();
        EXPECT_EQ(rep->GetCurrentImageID(), 1u) << "the leftover image made room for this run's";
        EXPECT_EQ(tavtest::ReadFile(Image("bk.0001.tvr")).size(), 312u);
        ASSERT_EQ(Run(*rep), 2u);
    }
    CTavRepository reader;
    ASSERT_EQ(reader.Attach(Image("bk.tvr"), nullptr), 1);
    const TavPosition newest = reader.GetLatestBaselinePos();
    reader.Detach();
    tavtest::FlipByte(Image("bk.0001.tvr"), newest.offset);  // its header no longer names itself
    RunRep refused(CTavEngine::CreateRepForBackup(&m_job));
    EXPECT_EQ(refused, nullptr) << "no run reuses baseline number 2 on top of baseline 1";
    const std::string& error = CTavEngine::GetRepError();
    EXPECT_NE(error.find("\"" + Image("bk.0001.tvr") + "\" cannot be read"), std::string::npos) << error;
    EXPECT_NE(error.find("tavctl check --repair " + Image("bk.tvr")), std::string::npos) << error;
    EXPECT_FALSE(plat::PathExists(Image("bk.0002.tvr")));
}

TEST_F(RepForBackup, MissingFolderOrNameAndFilesThatAreNoImagesFailWithAReasonAndChangeNothing) {
    CTavJobHelper job;
    job.SetImageDesc("bk", "2.00 GB", 31, m_dir / "unmounted/disk");
    EXPECT_EQ(CTavEngine::CreateRepForBackup(&job), nullptr);
    EXPECT_NE(CTavEngine::GetRepError().find(m_dir / "unmounted/disk"), std::string::npos)
        << CTavEngine::GetRepError();
    EXPECT_FALSE(plat::PathExists(m_dir / "unmounted"));

    job.SetImageDesc("", "2.00 GB", 31, m_dir.Path());
    EXPECT_EQ(CTavEngine::CreateRepForBackup(&job), nullptr);
    EXPECT_FALSE(CTavEngine::GetRepError().empty());
    EXPECT_EQ(CTavEngine::CreateRepForBackup(nullptr), nullptr);
    CTavEngine::DisposeRep(nullptr);

    // A file that is not an image is neither overwritten nor attached.
    ASSERT_TRUE(tavtest::WriteFile(Image("bk.tvr"), "not an image"));
    EXPECT_EQ(CTavEngine::CreateRepForBackup(&m_job), nullptr);
    EXPECT_FALSE(CTavEngine::GetRepError().empty());
    EXPECT_EQ(tavtest::ReadFile(Image("bk.tvr")), "not an image");
    plat::RemoveFile(Image("bk.tvr"));

    ASSERT_EQ(RunOnce(), 1u);
    // A stray file where the next image would go stops the run instead of being truncated.
    ASSERT_TRUE(tavtest::WriteFile(Image("bk.0001.tvr"), "keep me"));
    EXPECT_EQ(CTavEngine::CreateRepForBackup(&m_job), nullptr);
    EXPECT_NE(CTavEngine::GetRepError().find("bk.0001.tvr"), std::string::npos)
        << CTavEngine::GetRepError();
    EXPECT_EQ(tavtest::ReadFile(Image("bk.0001.tvr")), "keep me");
}

TEST_F(RepForBackup, AMissingFirstImageIsReachedThroughTheOthers) {
    ASSERT_EQ(RunOnce(), 1u);
    ASSERT_EQ(RunOnce(), 2u);
    ASSERT_TRUE(plat::RenameFile(Image("bk.tvr"), Image("moved-away")));
    RunRep rep(CTavEngine::CreateRepForBackup(&m_job));
    ASSERT_NE(rep, nullptr) << CTavEngine::GetRepError();
    EXPECT_FALSE(plat::PathExists(Image("bk.tvr"))) << "no new repository over the old one";
    EXPECT_EQ(rep->GetLatestBaselineNumber(), 2u);
    EXPECT_EQ(rep->GetCurrentImageID(), 2u);
}

}  // namespace
