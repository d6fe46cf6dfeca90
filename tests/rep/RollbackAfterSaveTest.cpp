// A transaction that saved a baseline and is then rolled back: the entry points the save
// moved are put back, so the repository still opens at its last committed baseline.
#include <gtest/gtest.h>

#include "support/RepBuilder.h"
#include "platform/FileSystem.h"

using namespace tavtest;

namespace {

class RollbackAfterSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir / "job.tvr";
        sec = Security();
        ASSERT_EQ(CTavRepository::CreateRepository(path, &sec, 0, {0, 0}), 1);
    }

    // One run that stores `content` as "name" under the root and saves; committed or rolled
    // back after the save. Returns the saved number.
    uint32_t Run(CTavRepository& rep, const std::string& name, const std::string& content,
                 bool commit, bool fresh) {
        if (fresh) EXPECT_NE(rep.StartFreshImage(), TAV_NONE);
        TablePtr table(rep.LoadBaseline(rep.GetLatestBaselineNumber()));
        EXPECT_TRUE(table);
        if (!table) return TAV_NONE;
        EXPECT_EQ(rep.BeginTrans(5000), 1);
        std::string source = dir / ("src-" + name);
        EXPECT_TRUE(WriteFile(source, content));
        TavFindData fd = FileData(name, content.size());
        EXPECT_NE(rep.AddNode(table.get(), 0, MODULE_FILES_ITEM, &fd, source.c_str(), 0, {0, 0}, nullptr),
                  TAV_NONE);
        const uint32_t number = rep.SaveBaseline(table.get(), "Run", nullptr, 0x10001000);
        EXPECT_NE(number, TAV_NONE);
        if (commit)
            rep.CommitTrans();
        else
            rep.RollbackTrans();
        return number;
    }

    // Attaches anew and returns the newest baseline number (TAV_NONE when it cannot attach).
    uint32_t LatestAfterReattach() {
        CTavRepository again;
        int code = ThrownCode([&] { EXPECT_EQ(again.Attach(path, &sec), 1); });
        if (code != -1) return TAV_NONE;
        return again.GetLatestBaselineNumber();
    }

    CTempDir dir;
    std::string path;
    TavImageSecurity sec;
};

}  // namespace

// Rolled back in image 0 itself (the file goes back to its size) or in a fresh image (the
// image goes): the object forgets the saved baseline and image 0 opens at baseline 0.
TEST_F(RollbackAfterSaveTest, TheRolledBackBaselineIsForgottenAndImageZeroStillOpens) {
    const uint64_t before = ReadFile(path).size();
    for (bool fresh : {false, true}) {
        SCOPED_TRACE(fresh ? "fresh image" : "same image");
        {
            CTavRepository rep;
            ASSERT_EQ(rep.Attach(path, &sec), 1);
            EXPECT_EQ(Run(rep, "a.txt", TextBytes(150000), false, fresh), 1u);
            EXPECT_EQ(rep.GetLatestBaselineNumber(), 0u);
            EXPECT_EQ(rep.GetBaselineList()->Count(), 1);
        }
        EXPECT_EQ(ReadFile(path).size(), before);
        EXPECT_FALSE(plat::PathExists(ImagePath(path, 1)));
        EXPECT_EQ(LatestAfterReattach(), 0u);
    }
}

TEST_F(RollbackAfterSaveTest, EarlierRunsStayReadableAndTheNextRunContinues) {
    const std::string kept = RandomBytes(70000, 9);
    CTavRepository rep;
    ASSERT_EQ(rep.Attach(path, &sec), 1);
    ASSERT_EQ(Run(rep, "kept.bin", kept, true, true), 1u);
    EXPECT_EQ(Run(rep, "lost.bin", TextBytes(90000), false, true), 2u);
    EXPECT_EQ(rep.GetLatestBaselineNumber(), 1u);
    rep.Detach();

    CTavRepository again;
    ASSERT_EQ(again.Attach(path, &sec), 1);
    ASSERT_EQ(again.GetLatestBaselineNumber(), 1u);
    std::vector<TavNodeRec> nodes;
    {
        TablePtr table(again.LoadBaseline(1));
        ASSERT_TRUE(table);
        ASSERT_TRUE(table->LoadAllNodes(nodes));
    }
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(ReadChain(again, nodes[1].content), kept);
    // The same object carries on: the next saved baseline is number 2 again.
    EXPECT_EQ(Run(again, "next.txt", TextBytes(1000), true, true), 2u);
    again.Detach();
    EXPECT_EQ(LatestAfterReattach(), 2u);
}
