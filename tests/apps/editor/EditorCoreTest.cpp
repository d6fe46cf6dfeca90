// The editor's plain rules: encoding words, condition bits, new-job defaults, recent files
// (the SETTINGS fields are read and saved through the page in EditorWindowTest); and the
// rules behind the SCHEDULE
// and HISTORY pages: schedule names, times and command lines on the in-memory scheduler,
// failures reported, run-log names and purge cut-offs.
#include <gtest/gtest.h>

#include <ctime>

#include "core/EditorSettings.h"
#include "core/LogHistory.h"
#include "core/ScheduleModel.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/TaskText.h"
#include "support/TempDir.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavWords.h"

using namespace editor;

namespace {

class EditorCore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plat::SetEnv("TAVORA_HOME", m_dir.Path())); }
    void TearDown() override { plat::SetEnv("TAVORA_HOME", ""); }
    static plat::CRegistry Machine() {
        plat::CRegistry key;
        key.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Norvik\\Tavora", true);
        return key;
    }
    tavtest::CTempDir m_dir;
};

TEST(JobWords, EncodingAndConditionsOfTheControls) {
    struct Case {
        EncodingChoice choice;
        uint32_t word;
    } cases[] = {
        {{true, true, 0}, 31},  {{false, true, 5}, 9}, {{true, false, 3}, 16},
        {{false, true, 0}, 15}, {{true, true, 1}, 17}, {{false, false, 0}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeEncoding(c.choice), c.word) << c.word;
        const EncodingChoice back = DecodeEncoding(c.word);
        EXPECT_EQ(back.encrypt, c.choice.encrypt) << c.word;
        EXPECT_EQ(back.compress, c.choice.compress) << c.word;
        if (c.choice.compress) EXPECT_EQ(back.level, c.choice.level) << c.word;
    }
    // Encryption reads as on only when bits 4 to 7 hold 1; levels above 9 read as "Default".
    EXPECT_FALSE(DecodeEncoding(0x3F).encrypt);
    EXPECT_EQ(DecodeEncoding(0x1C).level, 0);
    // zstd: read by deflate-only programs as "deflate, default level"; the level names map to
    // zstd levels and back, and a saved zstd job stays zstd.
    const uint32_t best = EncodeEncoding({true, true, 5, true});
    EXPECT_EQ(best, ZstdEncoding(19, true));
    EXPECT_EQ(best & TAV_ENC_LEVEL_MASK, TAV_ENC_DEFAULT_LEVEL);
    const EncodingChoice back = DecodeEncoding(best);
    EXPECT_TRUE(back.zstd && back.encrypt && back.compress);
    EXPECT_EQ(back.level, 5);
    EXPECT_EQ(EncodeEncoding({false, true, 0, true}), ZstdEncoding(-1, false));
    EXPECT_EQ(EncodeEncoding({false, false, 0, true}), 0u) << "no compression, no method";

    // The condition boxes: OK clears the bits they own and sets them from the boxes.
    const uint32_t word = TAV_CMD_BACKUP | TAV_BKTYPE_INCREMENTAL | 0x135 | 0x2;
    const BackupConditions read = ReadConditions(word);
    EXPECT_FALSE(read.ignoreNewFiles);
    EXPECT_FALSE(read.alwaysAddNewFiles);  // 0x30: only when the whole folder was selected
    EXPECT_TRUE(read.updateOnDate && read.updateOnSize && read.noArchiveCheck);
    BackupConditions boxes;
    boxes.ignoreNewFiles = true;
    boxes.alwaysAddNewFiles = true;  // disabled while new files are ignored
    boxes.updateOnDate = true;
    EXPECT_EQ(ApplyConditions(word, boxes), TAV_CMD_BACKUP | TAV_BKTYPE_INCREMENTAL | 0x2 | 0x20 | 0x4);
    boxes.ignoreNewFiles = false;
    EXPECT_EQ(ApplyConditions(0, boxes) & TAV_COND_NEWFILE_MASK, TAV_COND_NEWFILE_ALWAYS);
    EXPECT_TRUE(ReadConditions(0x20).ignoreNewFiles);
    EXPECT_TRUE(ReadConditions(0x10).alwaysAddNewFiles);
}

// The window's tests count Image000 to Image001 and take the options' defaults; here the
// split size and the wrap after Image999.
TEST_F(EditorCore, NewJobsStartAgainAfter999AndRecentFilesKeepTheFourNewest) {
    Machine().WriteNumber("Image", 999);
    CTavJobHelper last, wrapped;
    ASSERT_TRUE(ApplyNewJobDefaults(last, "/home/u/Documents"));
    ApplyNewJobDefaults(wrapped, "/ignored");
    EXPECT_EQ(last.GetImageDesc("name"), "Image999");
    EXPECT_EQ(last.GetImageDesc("splitsize"), "2.00 GB");
    EXPECT_EQ(wrapped.GetImageDesc("name"), "Image000");

    // Recent files: the four newest first, without duplicates.
    CRecentFiles recent;
    for (const char* path : {"/a.tvj", "/b.tvj", "/c.tvj", "/d.tvj", "/e.tvj", "/c.tvj"}) recent.Add(path);
    const std::vector<std::string> expected = {"/c.tvj", "/e.tvj", "/d.tvj", "/b.tvj"};
    EXPECT_EQ(recent.Files(), expected);
    CRecentFiles again;
    again.Load();
    EXPECT_EQ(again.Files(), expected);
}

constexpr uint32_t JOB = 0x00A1B2C3;
constexpr uint32_t NOW = 0x65000000;

NewSchedule Schedule(bool full, const std::string& jobPath = "/home/u/daily.tvj") {
    NewSchedule s;
    s.jobId = JOB;
    s.jobPath = jobPath;
    s.full = full;
    s.hostProgram = "/opt/tavora/bin/TavCmdHost";
    s.nowSeconds = NOW;
    return s;
}

// A scheduler whose calls fail as a broken one's would, counting what is asked of it.
class CFailingScheduler : public plat::ITaskScheduler {
public:
    std::string Backend() const override { return "memory"; }
    bool List(std::vector<plat::ScheduledTask>& tasks) override { return m_inner->List(tasks); }
    bool Create(const plat::ScheduledTask&) override { return Failed("the user manager refused the timer"); }
    bool Update(const plat::ScheduledTask& t) override { return m_inner->Update(t); }
    bool Delete(const std::string& name) override {
        ++deletes[name];
        if (name == refused) return Failed("permission denied");
        return m_inner->Delete(name) || Failed(m_inner->ErrorText());
    }
    std::unique_ptr<plat::ITaskScheduler> m_inner = plat::MakeMemoryScheduler();
    std::string refused;
    std::map<std::string, int> deletes;
};

// (Their type and time texts on the SCHEDULE page are RunPagesWindowTest's.)
TEST(Schedules, NewTasksGetTheirNamesAndCommandsAndOnlyTheJobsOwnAreListed) {
    auto scheduler = plat::MakeMemoryScheduler();
    CScheduleModel model(*scheduler);
    plat::ScheduledTask full, incremental;
    ASSERT_TRUE(model.Create(Schedule(true), full)) << model.ErrorText();
    ASSERT_TRUE(model.Create(Schedule(false), incremental)) << model.ErrorText();
    char expected[64];
    std::snprintf(expected, sizeof expected, "Tavora.%08X.Ful.%08X", JOB, JOB ^ NOW);
    EXPECT_EQ(full.name, expected);
    EXPECT_EQ(incremental.name.substr(15, 5), ".Inc.");
    EXPECT_EQ(full.command, (std::vector<std::string>{"/opt/tavora/bin/TavCmdHost", "JOB_BACKUP", "/home/u/daily.tvj",
                                                      "FULL", "Scheduled", "Scheduled backup"}));
    EXPECT_EQ(incremental.command[3], "INC");

    // A second full schedule in the same second exists under another name.
    plat::ScheduledTask second;
    ASSERT_TRUE(model.Create(Schedule(true), second)) << model.ErrorText();
    EXPECT_NE(second.name, full.name);

    // Only the job's own tasks are listed, whatever the letter case of their names.
    NewSchedule neighbour = Schedule(true);
    neighbour.jobId = JOB + 1;  // differs in the last digit only
    plat::ScheduledTask other;
    ASSERT_TRUE(model.Create(neighbour, other));
    plat::ScheduledTask lower = full;
    lower.name = "tavora.00a1b2c3.add.00000001";
    ASSERT_TRUE(scheduler->Create(lower));
    std::vector<plat::ScheduledTask> listed;
    ASSERT_TRUE(model.List(JOB, listed));
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0].name, full.name);
    EXPECT_EQ(ScheduleBackupType(listed[3].name), "Additional Backup");
    EXPECT_EQ(ScheduleBackupType("Tavora.00A1B2C3.Xyz.1"), "Unknown");
    plat::ScheduledTask bare = full;
    bare.triggers.clear();
    EXPECT_EQ(ScheduleText(bare), "None.");
}

TEST(Schedules, FailuresAreReportedAndEachTaskIsDeletedOnce) {
    CFailingScheduler scheduler;
    CScheduleModel model(scheduler);
    plat::ScheduledTask task;
    EXPECT_FALSE(model.Create(Schedule(true), task));
    EXPECT_EQ(model.ErrorText(), "the user manager refused the timer");

    CScheduleModel inner(*scheduler.m_inner);
    plat::ScheduledTask a, b, c;
    ASSERT_TRUE(inner.Create(Schedule(true), a));
    ASSERT_TRUE(inner.Create(Schedule(false), b));
    ASSERT_TRUE(inner.Create(Schedule(true), c));
    scheduler.refused = b.name;
    std::vector<std::pair<std::string, std::string>> failures;
    const auto deleted = model.Delete({a.name, b.name, c.name, a.name}, failures);
    EXPECT_EQ(deleted, (std::vector<std::string>{a.name, c.name}));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].first, b.name);
    EXPECT_EQ(failures[0].second, "permission denied");
    for (const auto& [name, count] : scheduler.deletes) EXPECT_EQ(count, 1) << name;
}

// --- run logs ---

std::time_t Local(int year, int month, int day, int hour = 12, int minute = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST(LogHistory, CutOffsCountCalendarMonthsAndLogNamesGiveTheOperation) {
    struct Case {
        PurgeChoice choice;
        std::time_t now, cutoff;
    } cases[] = {
        {PurgeChoice::OlderThanMonth, Local(2027, 3, 31), Local(2027, 3, 3)},
        {PurgeChoice::OlderThanMonth, Local(2028, 3, 31), Local(2028, 3, 2)},  // leap year
        {PurgeChoice::OlderThanMonth, Local(2027, 1, 15, 8, 30), Local(2026, 12, 15, 8, 30)},
        {PurgeChoice::OlderThan3Months, Local(2027, 2, 10), Local(2026, 11, 10)},
        {PurgeChoice::OlderThan6Months, Local(2027, 6, 30), Local(2026, 12, 30)},
        {PurgeChoice::OlderThanYear, Local(2028, 2, 29), Local(2027, 3, 1)},
        {PurgeChoice::OlderThanWeek, Local(2027, 5, 5), Local(2027, 5, 5) - 604800},
        {PurgeChoice::All, Local(2027, 5, 5), Local(2027, 5, 5)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PurgeCutoff(c.choice, c.now), c.cutoff) << int(c.choice) << " " << c.now;

    // Operations and names of the run logs.
    const std::pair<uint32_t, const char*> operations[] = {
        {0x10001000, "Full Backup"},         {0x10002135, "Incremental Backup"},
        {0x10003000, "Incremental Backup"},  {0x10004000, "Unknown Backup Type"},
        {0x20000000, "Restore"},             {0x30001000, "Unknown Command"},
    };
    for (const auto& [word, text] : operations) EXPECT_EQ(LogOperationText(word), text) << std::hex << word;
    const LogEntry entry = ReadLogFileName("65A0B1C2.10001000.log");
    EXPECT_EQ(entry.startSeconds, 0x65A0B1C2u);
    EXPECT_EQ(entry.command, 0x10001000u);
    const LogEntry odd = ReadLogFileName("12xz.log");
    EXPECT_EQ(odd.startSeconds, 0x12u);
    EXPECT_EQ(odd.command, 0u);
}

class Purge : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"00000001.10001000.log", "00000002.10002000.log", "00000003.10002000.log"})
            Write(name, Local(2026, 1, 1));
        Write("FFFFFFFF.10002000.log", Local(2027, 6, 1));  // newer than the cut-off
        Write("notes.txt", Local(2026, 1, 1));              // not a log
    }
    void Write(const char* name, std::time_t written) {
        ASSERT_TRUE(tavtest::WriteFile(m_dir / name, "log\r\n"));
        const TavFileTime t = plat::FileTimeFromUnix(written, 0);
        ASSERT_TRUE(plat::SetFileTimes(m_dir / name, t, t));
    }
    tavtest::CTempDir m_dir;
};

// A log that cannot be deleted is the HISTORY page's test.
TEST_F(Purge, DeletesOnlyLogsOlderThanTheCutOff) {
    const std::time_t cutoff = Local(2027, 1, 1);
    const PurgeResult result = PurgeLogFiles(m_dir.Path(), cutoff);
    EXPECT_EQ(result.deleted, 3);
    EXPECT_TRUE(result.failed.empty());
    const auto left = ListLogFiles(m_dir.Path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "FFFFFFFF.10002000.log");
    EXPECT_TRUE(plat::PathExists(m_dir / "notes.txt"));
    EXPECT_EQ(PurgeLogFiles(m_dir / "missing", cutoff).deleted, 0);
}

}  // namespace
