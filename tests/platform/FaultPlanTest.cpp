// Tests of the fault plan: each rule makes the platform call fail as a failing disk would,
// only for the paths it names, and only while it is installed.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/TempDir.h"
#include "platform/FaultPlan.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"
#include "platform/SysError.h"

using namespace plat;

namespace {

constexpr uint32_t EIO_CODE = ERR_GEN_FAILURE;  // what MapErrno makes of EIO

class CFaultPlanTest : public ::testing::Test {
protected:
    void TearDown() override { ClearFaults(); }
    std::unique_ptr<CFile> Open(const std::string& name,
                                FileDisposition disposition = FileDisposition::OpenAlways) {
        return CFile::Open(m_dir / name, FileAccess::ReadWrite, disposition);
    }

    tavtest::CTempDir m_dir;
    tavtest::CEnvOverride m_runtime{"XDG_RUNTIME_DIR", m_dir.Path()};  // the locks' files
};

TEST_F(CFaultPlanTest, WritesFillTheBudgetThenFailWithDiskFullAndReadsFailFromTheDamagedOffsetOn) {
    FaultRule rule{FaultOp::Write, "image"};
    rule.after = 10;
    rule.error = FaultError::DiskFull;
    auto image = Open("image.tvr");
    auto other = Open("other.bin");
    ASSERT_TRUE(image && other);
    {
        CFaultScope full(rule);
        EXPECT_TRUE(image->Write("12345678", 8));
        EXPECT_TRUE(other->Write("unlimited", 9));
        // The crossing write stores what fits (as a short write does), then fails.
        EXPECT_FALSE(image->WriteAt("abcdefgh", 8, 8));
        EXPECT_EQ(GetLastError(), ERR_DISK_FULL);
        EXPECT_EQ(image->Size(), 10);
        // Header and body written as one: also refused once the budget is gone.
        EXPECT_FALSE(image->WriteAt("h", 1, "b", 1, 10));
        EXPECT_EQ(full.Hits(), 2u);
        // A full volume still takes rewrites; a failing device does not.
        EXPECT_TRUE(image->WriteAt("1", 1, 0));
        FaultRule broken{FaultOp::Write, "other"};
        CFaultScope io(broken);
        EXPECT_FALSE(other->WriteAt("u", 1, 0));
        EXPECT_EQ(GetLastError(), EIO_CODE);
    }
    EXPECT_TRUE(image->WriteAt("h", 1, "b", 1, 10));
    image.reset();
    EXPECT_EQ(tavtest::ReadFile(m_dir / "image.tvr"), "12345678abhb");

    // Reads fail from the damaged offset on.
    ASSERT_TRUE(tavtest::WriteFile(m_dir / "source.txt", std::string(100, 'x')));
    FaultRule damage{FaultOp::Read, "source.txt"};
    damage.after = 40;
    CFaultScope damaged(damage);
    char buffer[100];
    auto file = CFile::Open(m_dir / "source.txt", FileAccess::Read, FileDisposition::OpenExisting);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->ReadAt(buffer, 40, 0), 40);
    EXPECT_EQ(file->Read(buffer, 100), 40);  // short, as a read before a bad sector
    EXPECT_EQ(file->Read(buffer, 100), -1);
    EXPECT_EQ(GetLastError(), EIO_CODE);
    EXPECT_EQ(file->ReadAt(buffer, 10, 60), -1);
    // A file opened again is still damaged; reading at the end is no read at all.
    auto again = CFile::Open(m_dir / "source.txt", FileAccess::Read, FileDisposition::OpenExisting);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->ReadFull(buffer, 100), -1);
    EXPECT_EQ(again->ReadAt(buffer, 10, 100), 0);
    EXPECT_EQ(damaged.Hits(), 3u);
}

TEST_F(CFaultPlanTest, CallRulesLetTheFirstCallsThroughAndStopAfterTheirTimes) {
    auto file = Open("data.bin");
    ASSERT_TRUE(file);
    CNamedLock imageLock("/srv/backup/job.tvrTAVIMAGE");
    CNamedLock otherLock("CTavRepBaselineDetails::Sort");
    struct Case {
        FaultOp op;
        std::string part;
        FaultError error;
        uint32_t expected;
        std::function<bool()> call;
    };
    const Case cases[] = {
        {FaultOp::Sync, "data.bin", FaultError::Io, EIO_CODE, [&] { return file->Sync(); }},
        {FaultOp::Truncate, "data.bin", FaultError::Io, EIO_CODE, [&] { return file->Truncate(0); }},
        {FaultOp::SyncFolder, m_dir.Path(), FaultError::Io, EIO_CODE,
         [&] { return SyncDirectory(m_dir.Path()); }},
        {FaultOp::Open, "other.bin", FaultError::AccessDenied, ERR_ACCESS_DENIED,
         [&] { return Open("other.bin") != nullptr; }},
        {FaultOp::Lock, "TAVIMAGE", FaultError::AccessDenied, ERR_ACCESS_DENIED, [&] {
             bool got = imageLock.Acquire(0);
             imageLock.Release();
             return got;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.op));
        FaultRule rule{c.op, c.part};
        rule.after = 1;
        rule.error = c.error;
        rule.times = 2;
        CFaultScope scope(rule);
        EXPECT_TRUE(c.call());
        EXPECT_FALSE(c.call());
        EXPECT_EQ(GetLastError(), c.expected);
        EXPECT_FALSE(c.call());
        EXPECT_TRUE(c.call());  // spent
        EXPECT_EQ(scope.Hits(), 2u);
    }
    // A lock rule names its lock: others are taken as usual.
    FaultRule rule{FaultOp::Lock, "TAVIMAGE"};
    CFaultScope scope(rule);
    EXPECT_TRUE(otherLock.Acquire(0));
    EXPECT_FALSE(imageLock.Acquire(WAIT_INFINITE));  // at once, not after a wait
}

}  // namespace
