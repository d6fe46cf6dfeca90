// Back up real trees, change them, back up again, and restore every baseline: each comes
// back as it was (content, size, written time, mode, links), wherever it is restored to.
#include <gtest/gtest.h>

#include "RestoreTestRun.h"

namespace {

using namespace filestest;

class RestoreRoundTrip : public CFilesJobTest {
protected:
    void SetTime(const std::string& relative, uint64_t ticks) {
        const TavFileTime t = TavFileTime::FromTicks(ticks);
        ASSERT_TRUE(plat::SetFileTimes(Data(relative), t, t)) << relative;
    }

    void MakeFirstTree() {
        Write("a.txt", "alpha");
        Write("empty.txt", "");
        Write("b.bin", tavtest::RandomBytes(200000, 1));     // several chunks
        Write("exact.bin", tavtest::RandomBytes(65536, 2));  // exactly one chunk
        Write("over.bin", tavtest::RandomBytes(65537, 3));   // one byte past a chunk
        Write("sub/c.txt", "gamma");
        Write("sub/deeper/d.txt", "delta");
        Mkdir("hollow");
        ASSERT_TRUE(plat::CreateSymlink("a.txt", Data("lnk")));
        ASSERT_TRUE(plat::CreateSymlink("/nonexistent/target", Data("sub/dangling")));
        ASSERT_TRUE(plat::SetFileMode(Data("a.txt"), 0600));
        ASSERT_TRUE(plat::SetFileMode(Data("sub/c.txt"), 0444));
        ASSERT_TRUE(plat::SetFileMode(Data("b.bin"), 0751));
        SetTime("a.txt", 126227808000000000ull);  // 2001-01-01
        SetTime("sub/deeper/d.txt", 116444736000000000ull + 12345670);
        ASSERT_TRUE(plat::SetFileMode(Data("sub/deeper"), 0750));
        SetTime("sub/deeper", 130000000000000000ull);
        AddSource(Data());
    }

    void ChangeTree() {
        Write("a.txt", "alpha, second version");
        Remove("sub/deeper");
        Write("new/e.txt", "epsilon");
        ASSERT_TRUE(plat::SetFileMode(Data("b.bin"), 0640));
        Remove("lnk");
        ASSERT_TRUE(plat::CreateSymlink("b.bin", Data("lnk")));
        SetTime("over.bin", 125000000000000000ull);
    }

    // Restores baseline `number` into a new empty folder and returns the restored tree of
    // the data folder.
    Snapshot RestoreInto(uint32_t number, uint32_t command = RS_BASE) {
        const std::string location = m_dir / ("restore" + std::to_string(m_restores++));
        const RestoreResult run = RunRestore(ImagePath(), Request(number, command, location));
        EXPECT_EQ(run.result, 1) << run.log;
        EXPECT_EQ(run.counts.errors, 0u) << run.log;
        EXPECT_TRUE(TempFilesBelow(location).empty());
        Snapshot restored;
        TakeSnapshot(location + Data(), restored);
        return restored;
    }

    int m_restores = 0;
};

TEST_F(RestoreRoundTrip, EveryBaselineComesBackAsBackedUpAndRecordlessItemsGetDefaults) {
    MakeFirstTree();
    ASSERT_TRUE(Run(true).committed);
    Snapshot first;
    TakeSnapshot(Data(), first);
    ChangeTree();
    ASSERT_TRUE(Run().committed);
    Snapshot second;
    TakeSnapshot(Data(), second);
    ASSERT_NE(first, second);

    EXPECT_EQ(RestoreInto(1), first);
    EXPECT_EQ(RestoreInto(2), second);
    // The older baseline again, after the newer one: nothing of a run is kept by the engine.
    EXPECT_EQ(RestoreInto(1), first);

    // Without the time bit files get the time of the restore, and nothing else changes.
    const Snapshot untimed = RestoreInto(1, RS_BASE & ~TAV_RS_SET_TIMES);
    ASSERT_EQ(untimed.size(), first.size());
    EXPECT_NE(untimed.at("a.txt").written, first.at("a.txt").written);
    for (const auto& [path, snap] : first) {
        Snap expected = snap;
        expected.written = untimed.at(path).written;
        EXPECT_EQ(untimed.at(path), expected) << path;
    }

    // Without a location the tree comes back to its original place.
    Remove("");
    ASSERT_FALSE(plat::PathExists(Data()));
    const RestoreResult run = RunRestore(ImagePath(), Request(2, RS_BASE));
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.counts.errors, 0u) << run.log;
    Snapshot restored;
    TakeSnapshot(Data(), restored);
    EXPECT_EQ(restored, second);

    // Items stored without a record of their mode and owner get the defaults.
    CHandRepo repo(m_dir / "hand.tvr");
    repo.Baseline([&](uint32_t root) {
        const uint32_t folder = repo.Folder(root, "/srv/old");
        repo.File(folder, "ro.txt", "read only", TAV_ATTR_ARCHIVE | TAV_ATTR_READONLY);
        repo.File(folder, "rw.txt", "writable");
    });
    const std::string location = m_dir / "to";
    const RestoreResult hand = RunRestore(repo.path, Request(1, RS_BASE, location));
    ASSERT_EQ(hand.counts.succeeded, 2u) << hand.log;
    TavFindData ro, rw;
    ASSERT_TRUE(plat::GetFindData(location + "/srv/old/ro.txt", ro));
    ASSERT_TRUE(plat::GetFindData(location + "/srv/old/rw.txt", rw));
    EXPECT_EQ(ro.mode & 0222, 0u);
    EXPECT_NE(rw.mode & 0200, 0u);
    EXPECT_EQ(rw.written.Ticks(), 133000000000000000ull);
    EXPECT_EQ(tavtest::ReadFile(location + "/srv/old/rw.txt"), "writable");
}

}  // namespace
