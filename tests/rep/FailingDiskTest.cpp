// Runs on a disk that fails under them (through the platform's fault plan): a sync that
// fails, a write that does not fit, an image lock that cannot be taken. A run that meets
// one fails and rolls back; every committed baseline reads as before, and the next run
// commits.
#include <gtest/gtest.h>

#include <map>

#include "RepHelpers.h"
#include "platform/FaultPlan.h"
#include "platform/FileSystem.h"
#include "platform/NamedLock.h"
#include "platform/SysError.h"

using namespace tavtest;

namespace {

// Every baseline of a repository: number -> (name -> content).
using Snapshot = std::map<uint32_t, std::map<std::string, std::string>>;

class FailingDiskTest : public CRepTest {
protected:
    // Small images, so that a run starts new ones.
    FailingDiskTest() { sec = Security(nullptr, ENCRYPT_NONE, 32 * 1024); }
    void SetUp() override {
        CRepTest::SetUp();
        ASSERT_TRUE(Run("first", true));
    }
    void TearDown() override { plat::ClearFaults(); }

    // One backup run storing three files named after `tag`, into a fresh image when asked.
    // True when it committed; false when a step failed and the run was rolled back.
    bool Run(const std::string& tag, bool fresh) {
        bool ok = false;
        EXPECT_EQ(ThrownCode([&] { ok = TryRun(tag, fresh); }), -1) << "the run raised";
        return ok;
    }
    bool TryRun(const std::string& tag, bool fresh) {
        CTavRepository rep;
        if (rep.Attach(path, &sec) != 1) return false;
        if (fresh && rep.StartFreshImage() == TAV_NONE) return false;
        TablePtr table(rep.LoadBaseline(rep.GetLatestBaselineNumber()));
        if (!table) return false;
        if (rep.BeginTrans(5000) != 1) return false;
        const std::pair<std::string, std::string> files[] = {
            {tag + ".txt", TextBytes(40000) + tag},
            {tag + ".bin", RandomBytes(30000, uint32_t(tag.size()))},
            {tag + ".small", tag},
        };
        bool ok = true;
        for (const auto& [name, content] : files) ok = ok && AddFile(rep, *table, 0, name, content) != TAV_NONE;
        // A node table that cannot be written raises code 4.
        uint32_t number = TAV_NONE;
        if (ok && ThrownCode([&] { number = rep.SaveBaseline(table.get(), tag.c_str(), nullptr, 0x10001000); }) != -1)
            number = TAV_NONE;
        ok = ok && number != TAV_NONE;
        ok = ok && rep.CommitTrans() == 1;
        if (!ok) {
            EXPECT_EQ(rep.RollbackTrans(), 1);
        }
        return ok;
    }

    // What a fresh attach sees: every baseline with the contents of its files.
    Snapshot Read() {
        Snapshot out;
        CTavRepository rep;
        if (ThrownCode([&] { EXPECT_EQ(rep.Attach(path, &sec), 1); }) != -1) return out;
        for (const TavBaselineHeaderRec& h : rep.GetBaselineList()->items) {
            auto& files = out[h.number];
            TablePtr table(rep.LoadBaseline(h.number));
            std::vector<TavNodeRec> nodes;
            EXPECT_TRUE(table && table->LoadAllNodes(nodes));
            for (size_t i = 1; i < nodes.size(); ++i)
                files[Utf16FieldToUtf8(nodes[i].name, NODE_NAME_CHARS)] = ReadChain(rep, nodes[i].content);
        }
        return out;
    }
};

}  // namespace

// Every sync of a run in turn fails (the data before the entry points, the entry points,
// the commit's, a new image's and its folder's): the run fails, the repository reads
// exactly as before, and once the rule has nothing left to strike the run commits.
TEST_F(FailingDiskTest, AFailedSyncFailsTheRunAndLeavesThePreviousBaselines) {
    for (plat::FaultOp op : {plat::FaultOp::Sync, plat::FaultOp::SyncFolder}) {
        for (bool fresh : {false, true}) {
            bool committed = false;
            for (uint64_t after = 0; !committed && after < 20; ++after) {
                SCOPED_TRACE(testing::Message() << "op " << int(op) << " fresh " << fresh << " after " << after);
                const Snapshot before = Read();
                ASSERT_FALSE(before.empty());
                plat::FaultRule rule{op, dir.Path()};
                rule.after = after;
                plat::CFaultScope scope(rule);
                committed = Run("run" + std::to_string(before.size()), fresh);
                if (!committed) {
                    EXPECT_GT(scope.Hits(), 0u);
                    EXPECT_EQ(Read(), before);
                } else {
                    EXPECT_EQ(scope.Hits(), 0u);
                    EXPECT_EQ(Read().size(), before.size() + 1);
                }
            }
            EXPECT_TRUE(committed);
        }
    }
}

// The run's writes stop fitting after N bytes, for N spread over the whole run (the
// contents, a new image's fixed blocks, the tables, the entry points): the run fails and
// rolls back, and every committed baseline reads as before. A full disk and a device that
// fails one write are both tried.
TEST_F(FailingDiskTest, AWriteThatFailsAfterNBytesRollsTheRunBack) {
    // True when the run committed although its writes were limited to `after` bytes.
    auto runWithLimit = [&](plat::FaultError error, bool fresh, uint64_t after) {
        SCOPED_TRACE(testing::Message() << "error " << int(error) << " after " << after);
        const Snapshot before = Read();
        plat::FaultRule rule{plat::FaultOp::Write, "job"};
        rule.after = after;
        rule.error = error;
        if (error == plat::FaultError::Io) rule.times = 1;
        plat::CFaultScope scope(rule);
        const bool committed = Run("run" + std::to_string(before.size()), fresh);
        if (!committed) {
            EXPECT_GT(scope.Hits(), 0u);
            EXPECT_EQ(Read(), before);
        }
        return committed;
    };
    // A full disk with the run in an image of its own, a device that fails one write with
    // the run appending to the current image.
    for (auto [error, fresh] : {std::pair{plat::FaultError::DiskFull, true},
                                std::pair{plat::FaultError::Io, false}}) {
        // Doubling steps up to a limit the run fits in, halving ones down to about the
        // least it needs, then fine ones over the last stretch (the tables and entry points
        // of the save).
        uint64_t low = 0, high = 0;
        while (!runWithLimit(error, fresh, high)) {
            low = high;
            high = high * 2 + 256;
        }
        while (high - low > 128) {
            const uint64_t mid = (low + high) / 2;
            (runWithLimit(error, fresh, mid) ? high : low) = mid;
        }
        for (uint64_t n = high > 2000 ? high - 2000 : 0; n < high; n += 100) runWithLimit(error, fresh, n);
    }
    EXPECT_TRUE(Run("after", false));
}

// Bytes written since the last save reach the disk in the commit: when that sync fails,
// nothing is committed and the transaction can still be rolled back.
TEST_F(FailingDiskTest, ACommitWhoseSyncFailsCommitsNothing) {
    const Snapshot before = Read();
    CAttached rep(path, &sec);
    ASSERT_EQ(rep.BeginTrans(5000), 1);
    const std::string text = TextBytes(5000);
    ASSERT_NE(rep.AddContent(text.data(), uint32_t(text.size()), {0, 0}).offset, 0u);
    {
        plat::CFaultScope scope(plat::FaultRule{plat::FaultOp::Sync, dir.Path()});
        EXPECT_EQ(rep.CommitTrans(), 0);
        EXPECT_GT(scope.Hits(), 0u);
    }
    EXPECT_EQ(rep.RollbackTrans(), 1);
    rep.Detach();
    EXPECT_EQ(Read(), before);
}

// Forgetting a baseline writes a new baseline table into a new image. Each sync it needs
// fails in turn, the table's own and the commit's among them: a forget that fails leaves
// the repository reading as before.
TEST_F(FailingDiskTest, AForgetWhoseSyncFailsChangesNothing) {
    ASSERT_TRUE(Run("second", true));
    const Snapshot before = Read();
    bool tableSyncFailed = false, commitFailed = false;
    for (uint64_t after = 0; after < 8; ++after) {
        SCOPED_TRACE(testing::Message() << "after " << after);
        std::string error;
        {
            CAttached rep(path, &sec);
            plat::FaultRule rule{plat::FaultOp::Sync, dir.Path()};
            rule.after = after;
            rule.times = 1;
            plat::CFaultScope scope(rule);
            if (rep.ForgetBaselines({1}, error) == 1) break;
        }
        EXPECT_TRUE(Read() == before) << error;
        tableSyncFailed |= error.rfind("cannot write the baseline table to ", 0) == 0;
        commitFailed |= error.rfind("cannot commit ", 0) == 0;
    }
    EXPECT_TRUE(tableSyncFailed) << "the new table is synced before the entry point names it";
    EXPECT_TRUE(commitFailed) << "a commit that fails after the entry point moved is undone";
}

TEST_F(FailingDiskTest, AnImageLockThatCannotBeTakenFailsBeginTrans) {
    CAttached rep(path, &sec);
    {
        plat::FaultRule rule{plat::FaultOp::Lock, "TAVIMAGE"};
        rule.error = plat::FaultError::AccessDenied;
        plat::CFaultScope scope(rule);
        const CaughtError thrown = Caught([&] { rep.BeginTrans(5000); });
        EXPECT_EQ(thrown.code, TAVEX_OPEN_FAILED) << "BeginTrans went on without the image lock";
        EXPECT_EQ(thrown.systemError, plat::ERR_ACCESS_DENIED);
    }
    // A lock held elsewhere is only waited for: after the time-out the run goes on, as before.
    std::string name = plat::AbsolutePath(path);
    if (name.size() > 67) name = name.substr(name.size() - 67);
    plat::CNamedLock holder(name + "TAVIMAGE");
    ASSERT_TRUE(holder.Acquire(0));
    EXPECT_EQ(rep.BeginTrans(50), 1);
    EXPECT_EQ(rep.CommitTrans(), 1);
}
