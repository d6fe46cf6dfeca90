// Run logs: the folder beside the job, file names the log history reads, appending.
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavJobHelper.h"

namespace {

using tavtest::CTempDir;

class CNullEngine : public CTavEngine {
public:
    int32_t Backup(const std::string&, CTavRepository*, CTavRepBaselineDetails*) override {
        FireOnStart();
        FireOnLogNotify("Start\r\n");
        FireOnProgress("Backup File", "/x", 10);
        FireOnFinish();
        return 1;
    }
    int32_t Restore(const std::string&, CTavRepository*) override { return 0; }
    void CancelOperation() override {}
};

TEST(RunLog, FolderAndNameAsTheHistoryPageReadsThemAndEngineNotificationsAppend) {
    CTempDir dir;
    CTavJobHelper job;
    const std::string jobPath = dir / "daily.tvj";
    ASSERT_EQ(job.Save(jobPath), 1);
    char id[9];
    std::snprintf(id, sizeof(id), "%08X", job.GetJobID());
    const std::string folder = jobPath + "." + id + ".log";
    EXPECT_EQ(CTavEngineObserver::GetLogFolder(job), folder);

    CTavEngineObserver observer;
    ASSERT_EQ(observer.TavInitLog(job, 0x10001015, 0x5F3A0B1C), 1);
    EXPECT_EQ(observer.GetLogPath(), folder + "/5F3A0B1C.10001015.log");
    EXPECT_TRUE(plat::PathExists(observer.GetLogPath()));
    uint32_t time = 0, command = 0;
    ASSERT_TRUE(
        CTavEngineObserver::ParseLogFileName(plat::BaseName(observer.GetLogPath()), time, command));
    EXPECT_EQ(time, 0x5F3A0B1Cu);
    EXPECT_EQ(command, 0x10001015u);

    // A second run in the same second keeps both logs, and both names still read.
    CTavEngineObserver second;
    ASSERT_EQ(second.TavInitLog(job, 0x10001015, 0x5F3A0B1C), 1);
    EXPECT_EQ(plat::BaseName(second.GetLogPath()), "5F3A0B1C.10001015-2.log");
    ASSERT_TRUE(
        CTavEngineObserver::ParseLogFileName(plat::BaseName(second.GetLogPath()), time, command));
    EXPECT_EQ(command, 0x10001015u);

    EXPECT_FALSE(CTavEngineObserver::ParseLogFileName("5F3A0B1C.1000101.log", time, command));
    EXPECT_FALSE(CTavEngineObserver::ParseLogFileName("notahexx.10001015.log", time, command));

    // Without a given word and time: the job's command word and the current time.
    job.SetBackupCommand(0x10002015);
    const uint32_t before = plat::NowSeconds();
    CTavEngineObserver third;
    ASSERT_EQ(third.TavInitLog(job), 1);
    ASSERT_TRUE(CTavEngineObserver::ParseLogFileName(plat::BaseName(third.GetLogPath()), time, command));
    EXPECT_EQ(command, 0x10002015u);
    EXPECT_GE(time, before);
    EXPECT_LE(time, plat::NowSeconds());

    // What the program writes and what an engine reports go to the log in turn.
    ASSERT_EQ(observer.TavWriteLog("====SCHEDULED BACKUP====\r\n"), 1);
    CNullEngine engine;
    engine.SubscribeNotify(&observer);
    engine.Backup("", nullptr, nullptr);
    const std::string separator = "\r\n" + std::string(77, '-') + "\r\n";
    EXPECT_EQ(CTavEngineObserver::LogSeparator(), separator);
    EXPECT_EQ(tavtest::ReadFile(observer.GetLogPath()),
              "====SCHEDULED BACKUP====\r\nStart\r\n" + separator);
}

// A job without a path has no log; a relative one's log stays put when the current
// directory changes.
TEST(RunLog, TheLogStaysPutWhenTheCurrentDirectoryChanges) {
    CTavJobHelper job;
    CTavEngineObserver unsaved;
    EXPECT_EQ(CTavEngineObserver::GetLogFolder(job), "");
    EXPECT_EQ(unsaved.TavInitLog(job), 0);
    EXPECT_EQ(unsaved.TavWriteLog("x"), 0);

    CTempDir dir;
    const std::string saved = plat::CurrentDirectory();
    ASSERT_TRUE(CTavEngine::SetDirectory("", dir.Path()));
    ASSERT_EQ(job.Save("relative.tvj"), 1);
    EXPECT_EQ(job.GetPath(), dir / "relative.tvj");
    CTavEngineObserver observer;
    ASSERT_EQ(observer.TavInitLog(job, 0x10001000, 2), 1);
    ASSERT_TRUE(CTavEngine::SetDirectory("", saved));
    EXPECT_EQ(observer.TavWriteLog("line\r\n"), 1);
    EXPECT_EQ(tavtest::ReadFile(observer.GetLogPath()), "line\r\n");
    EXPECT_EQ(observer.GetLogPath().rfind(dir.Path(), 0), 0u);
}

}  // namespace
