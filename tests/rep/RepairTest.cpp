// Damage and leftovers: a newest baseline table that cannot be read, images of runs that
// never committed, and security records that disagree.
#include <gtest/gtest.h>

#include <cstring>

#include "RepHelpers.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace tavtest;

namespace {

class RepairTest : public CRepTest {
protected:
    // A run that adds one file, in a fresh image unless `fresh` is false.
    uint32_t Run(RunEnd end = RunEnd::Commit, bool fresh = true) {
        CAttached rep(path, &sec);
        auto add = [&](CTavRepBaselineDetails& t) {
            EXPECT_NE(AddFile(rep, t, 0, "f" + std::to_string(rep.GetCurrentImageID()), TextBytes(20000)), TAV_NONE);
        };
        return CRepTest::Run(rep, add, end, fresh);
    }
    std::string Image(uint32_t id) { return ImagePath(path, id); }
};

TEST_F(RepairTest, ADamagedNewestTableIsSetAsideAndBackupsGoOnFromTheIntactOne) {
    ASSERT_EQ(Run(), 1u);
    ASSERT_EQ(Run(), 2u);
    ASSERT_EQ(Run(), 3u);
    const TavPosition newest = CAttached(path, &sec).GetLatestBaselinePos();
    ASSERT_EQ(newest.image, 3u);
    Poke(Image(3), newest.offset, "XXXX");  // the table's header no longer names itself

    CAttached rep(path, &sec);
    EXPECT_EQ(rep.GetLatestBaselineNumber(), 2u) << "falls back to the newest readable table";
    ASSERT_EQ(rep.GetUnreadableTables().size(), 1u);
    EXPECT_EQ(rep.GetUnreadableTables()[0], newest);
    EXPECT_TRUE(rep.FindLeftovers().empty()) << "the damaged baseline's image is not a leftover";

    std::vector<TavSetAside> done;
    std::string problem;
    ASSERT_TRUE(rep.SetAsideDamaged(done, problem)) << problem;
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].image, 3u);
    EXPECT_EQ(done[0].to, Image(3) + ".set-aside");
    EXPECT_FALSE(plat::PathExists(Image(3)));
    EXPECT_TRUE(plat::PathExists(Image(3) + ".set-aside")) << "renamed, never deleted";
    EXPECT_FALSE(rep.IsAttached());

    ASSERT_EQ(Run(), 3u) << "the next run goes on from baseline 2 in image 3";
    CAttached again(path, &sec);
    EXPECT_TRUE(again.GetUnreadableTables().empty());
    EXPECT_EQ(again.GetLatestBaselineNumber(), 3u);
    EXPECT_EQ(again.GetCurrentImageID(), 3u);

    // A damaged node table of the newest baseline is set aside too, beside the first one.
    TavBaselineHeaderRec header;
    ASSERT_EQ(again.GetBaselineHeader(3, header), 1);
    again.Detach();
    Poke(Image(header.image), header.nodeTable, "XXXX");
    done.clear();
    ASSERT_TRUE(CAttached(path, &sec).SetAsideDamaged(done, problem)) << problem;
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].to, Image(3) + ".set-aside.2");
    EXPECT_EQ(CAttached(path, &sec).GetLatestBaselineNumber(), 2u);
}

TEST_F(RepairTest, LeftoversOfUnfinishedRunsAreRemovedOrCutBackUnlessAWriterHoldsThem) {
    ASSERT_EQ(Run(), 1u);
    const uint64_t committedSize = FileSize(Image(1));
    Run(RunEnd::Kill, false);  // into image 1 itself: a tail behind its baseline table
    Run(RunEnd::Kill);         // image 2, never committed
    ASSERT_GT(FileSize(Image(1)), committedSize);

    {
        // A run that is writing image 3 right now is left alone, and so is everything below it.
        CAttached writer(path, &sec);
        ASSERT_NE(writer.StartFreshImage(), TAV_NONE);
        ASSERT_EQ(writer.BeginTrans(5000), 1);
        CAttached rep(path, &sec);
        std::vector<TavLeftover> found = rep.FindLeftovers();
        ASSERT_EQ(found.size(), 3u);
        EXPECT_TRUE(found[0].busy);
        EXPECT_EQ(found[0].image, 3u);
        EXPECT_TRUE(rep.RemoveLeftovers(found).size() == 1u) << "only the tail below the busy image is cut";
        EXPECT_TRUE(plat::PathExists(Image(3)));
        EXPECT_TRUE(plat::PathExists(Image(2)));
        writer.RollbackTrans();
    }

    CAttached rep(path, &sec);
    std::vector<TavLeftover> found = rep.FindLeftovers();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].image, 2u);
    EXPECT_EQ(found[0].keep, 0u);
    EXPECT_EQ(found[0].Bytes(), FileSize(Image(2)));
    EXPECT_FALSE(found[0].busy);
    EXPECT_EQ(rep.RemoveLeftovers(found).size(), 1u);
    EXPECT_FALSE(plat::PathExists(Image(2)));
    EXPECT_EQ(FileSize(Image(1)), committedSize);
    EXPECT_EQ(rep.GetCurrentImageID(), 1u);
    EXPECT_TRUE(rep.FindLeftovers().empty());
    EXPECT_EQ(rep.GetLatestBaselineNumber(), 1u);
    TablePtr table(rep.LoadBaseline(1));
    EXPECT_TRUE(table) << "the committed baseline is untouched";
}

TEST_F(RepairTest, SecurityRecordsAgreeAndADamagedOneDecidesNothing) {
    ASSERT_EQ(Run(), 1u);
    ASSERT_EQ(Run(), 2u);
    {
        CAttached rep(path, &sec);
        ASSERT_EQ(rep.ChangePassword("", "secret"), 1);
        for (uint32_t id = 0; id <= 2; ++id) {
            TavPosition first = rep.GetEntryPoint(id, 1);
            EXPECT_NE(first.image, 0xFFFFFFFFu) << "image " << id << " carries the new digest";
        }
        ASSERT_EQ(rep.ChangePassword("secret", ""), 1);
    }
    // The newest image is lost: the removed password does not come back.
    ASSERT_TRUE(plat::RemoveFile(Image(2)));
    {
        CAttached rep(path, &sec);
        EXPECT_EQ(rep.VerifyPassword(""), 1);
        EXPECT_TRUE(rep.GetSecurityMismatches().empty());
    }
    // A damaged record (one flipped byte of the entry image's stored record) neither
    // protects the repository nor goes unreported; repairing rebuilds it.
    Poke(Image(1), SECURITY_BLOCK_OFFSET + BLOCK_HEADER_SIZE + 3, "\x5A");
    {
        CAttached rep(path, &sec);
        EXPECT_EQ(rep.VerifyPassword(""), 1);
        ASSERT_EQ(rep.GetSecurityMismatches().size(), 1u);
        EXPECT_EQ(rep.GetSecurityMismatches()[0].image, 1u);
        EXPECT_TRUE(rep.GetSecurityMismatches()[0].damaged);
        EXPECT_EQ(rep.MendSecurityRecords(), std::vector<uint32_t>{1});
    }
    // An intact record that names another password is reported; the entry image decides.
    {
        CAttached rep(path, &sec);
        EXPECT_TRUE(rep.GetSecurityMismatches().empty());
        uint8_t digest[16];
        CTavRepository::CreatePwdDigest("other", digest);
        ASSERT_EQ(rep.GetImageFromID(0)->UpdateBlock(SECURITY_BLOCK_OFFSET, digest, 16, 8), 1);
    }
    CAttached rep(path, &sec);
    EXPECT_EQ(rep.VerifyPassword(""), 1);
    ASSERT_EQ(rep.GetSecurityMismatches().size(), 1u);
    EXPECT_EQ(rep.GetSecurityMismatches()[0].image, 0u);
    EXPECT_FALSE(rep.GetSecurityMismatches()[0].damaged);
    EXPECT_EQ(std::memcmp(rep.PasswordDigest(), std::string(16, '\xFF').data(), 16), 0);
}

TEST_F(RepairTest, AWorkingTableLeavesNoFileInTheTemporaryFolder) {
    CTempDir tmp;
    CEnvOverride tmpdir("TMPDIR", tmp.Path());
    CAttached rep(path, &sec);
    TablePtr table(rep.LoadBaseline(0));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->count, 1);
    std::vector<TavFindData> entries;
    ASSERT_TRUE(plat::ListDirectory(tmp.Path(), entries));
    EXPECT_TRUE(entries.empty()) << "the working file has no name while it is in use";
}

}  // namespace
