// Tests of CNamedLock: exclusion, time-outs, release and where the lock files live.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "support/TempDir.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"
#include "platform/SysError.h"

using namespace plat;

namespace {

class CNamedLockTest : public ::testing::Test {
protected:
    tavtest::CTempDir m_dir;
    tavtest::CEnvOverride m_runtime{"XDG_RUNTIME_DIR", m_dir.Path()};
};

TEST_F(CNamedLockTest, TwoObjectsOfOneNameExcludeEachOtherAndAWaiterGetsInOnRelease) {
    CNamedLock first("CTavRepBaselineDetails::Sort");
    CNamedLock second("CTavRepBaselineDetails::Sort");
    CNamedLock other("another lock");
    ASSERT_TRUE(first.Acquire(0));
    EXPECT_TRUE(first.Held());
    EXPECT_FALSE(second.Acquire(0));
    EXPECT_EQ(GetLastError(), ERR_TIMEOUT);
    EXPECT_FALSE(second.Held());
    EXPECT_TRUE(other.Acquire(0));  // a different name is a different lock

    EXPECT_FALSE(first.Acquire(0));  // not recursive, and the lock stays held
    EXPECT_TRUE(first.Held());

    // A waiter gives up after about the time asked, or gets in when the holder lets go.
    const uint64_t start = NowMillis();
    EXPECT_FALSE(second.Acquire(200));
    const uint64_t waited = NowMillis() - start;
    EXPECT_GE(waited, 200u);
    EXPECT_LT(waited, 1500u);
    std::atomic<bool> got{false};
    std::thread waiterThread([&] { got = second.Acquire(WAIT_INFINITE); });
    SleepMillis(100);
    EXPECT_FALSE(got);
    first.Release();
    EXPECT_FALSE(first.Held());
    waiterThread.join();
    EXPECT_TRUE(got);
}

// The lock file is named by the FNV-1a hash (64 bits) of the name, in a folder of the
// user's alone; flock(1) of util-linux on it fails at once while the lock is held.
TEST_F(CNamedLockTest, LockFilesAreNamedByTheHashAndExcludeAnotherProcess) {
    CNamedLock lock("a");
    ASSERT_TRUE(lock.Acquire(0));
    const std::string path = m_dir / "tavora/af63dc4c8601ec8c.lock";
    TavFindData fd;
    ASSERT_TRUE(GetFindData(path, fd));
    ASSERT_TRUE(GetFindData(m_dir / "tavora", fd));
    EXPECT_EQ(fd.mode & 0777, 0700u);
    int busy = RunProcess({"flock", "--nonblock", "--conflict-exit-code", "7", path, "true"});
    if (busy == -1) GTEST_SKIP() << "flock(1) is not installed";
    EXPECT_EQ(busy, 7);
    lock.Release();
    EXPECT_EQ(RunProcess({"flock", "--nonblock", "--conflict-exit-code", "7", path, "true"}), 0);
}

TEST_F(CNamedLockTest, WithoutARuntimeFolderLocksLiveInAPrivateTmpOrTheCacheFolder) {
    ASSERT_TRUE(SetEnv("XDG_RUNTIME_DIR", ""));
    CNamedLock lock("fallback folder " + std::to_string(ProcessId()));
    ASSERT_TRUE(lock.Acquire(0)) << GetLastError();
    TavFindData fd;
    ASSERT_TRUE(GetFindData("/tmp/tavora-" + std::to_string(UserId()), fd));
    EXPECT_EQ(fd.kind, TavFileKind::Directory);
    EXPECT_EQ(fd.uid, UserId());
    EXPECT_EQ(fd.mode & 022, 0u);

    // A lock folder that cannot be made fails the lock.
    ASSERT_TRUE(tavtest::WriteFile(m_dir / "file", ""));
    ASSERT_TRUE(SetEnv("XDG_RUNTIME_DIR", m_dir / "file"));
    CNamedLock failing("x");
    EXPECT_FALSE(failing.Acquire(0));
    EXPECT_FALSE(failing.Held());
    EXPECT_NE(GetLastError(), ERR_NONE);

    // The folder under /tmp is used only when it is the user's alone; a folder or link someone
    // else put there first sends the locks to the user's cache folder.
    const std::string tmp = m_dir / "tmp";
    const std::string shared = tmp + "/tavora-" + std::to_string(UserId());
    const std::string cache = m_dir / "cache";
    const std::string fallback = cache + "/tavora/locks";
    ASSERT_TRUE(CreateDirectory(tmp, 0777) && SetFileMode(tmp, 01777));
    ASSERT_TRUE(CreateDirectory(m_dir / "mine", 0700));
    ASSERT_TRUE(SetEnv("XDG_RUNTIME_DIR", ""));
    tavtest::CEnvOverride cacheEnv("XDG_CACHE_HOME", cache);
    struct Case {
        const char* what;
        std::function<bool()> plant;  // makes the /tmp folder's state; false: cannot here
        const std::string& expected;
    };
    const Case cases[] = {
        {"missing: made 0700 and used", [] { return true; }, shared},
        {"ours with 0700: used", [&] { return CreateDirectory(shared, 0700); }, shared},
        {"ours but open to all", [&] { return CreateDirectory(shared, 0700) && SetFileMode(shared, 0777); },
         fallback},
        {"another user's", [&] { return IsRoot() && CreateDirectory(shared, 0700) && SetFileOwner(shared, 4242, 4242); },
         fallback},
        {"a link to a folder of ours", [&] { return CreateSymlink(m_dir / "mine", shared); }, fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tavtest::RemoveTree(shared);
        tavtest::RemoveTree(cache);
        if (!c.plant()) continue;
        EXPECT_EQ(LockFolder(tmp), c.expected);
        TavFindData fd;
        ASSERT_TRUE(GetFindData(c.expected, fd));
        EXPECT_EQ(fd.kind, TavFileKind::Directory);
        EXPECT_EQ(fd.mode & 0777, 0700u);
        EXPECT_EQ(fd.uid, UserId());
    }
    // Without $XDG_CACHE_HOME the cache folder is ~/.cache.
    tavtest::CEnvOverride homeEnv("HOME", m_dir / "home");
    ASSERT_TRUE(SetEnv("XDG_CACHE_HOME", ""));
    tavtest::RemoveTree(shared);
    ASSERT_TRUE(CreateDirectory(shared, 0700) && SetFileMode(shared, 0777));
    EXPECT_EQ(LockFolder(tmp), m_dir / "home/.cache/tavora/locks");
}

}  // namespace
