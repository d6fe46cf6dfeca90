// The command host's records in their byte layouts, the channel they travel on, and the
// client that reads them: what other programs receive, and what happens when a "host"
// answers garbage. Then a real TavCmdHost process followed from another program: found by
// its title, its records asked for while it runs, stopped by a request; the repository is
// left as it was. The host runs as cron runs it (no display), slowed down by the throttle
// hook so that the test can watch it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <thread>

#include "RunnerTestUtil.h"
#include "platform/Process.h"
#include "platform/WindowChannel.h"
#include "tavhost/HostMessages.h"
#include "tavhost/HostRecords.h"
#include "tavhost/TavCmdHostClient.h"

using namespace hosttest;
using namespace tavhost;

namespace {

std::string Utf16At(const std::vector<uint8_t>& bytes, size_t offset, size_t room) {
    std::string out;
    for (size_t i = offset; i + 1 < offset + room && (bytes[i] | bytes[i + 1]); i += 2) {
        EXPECT_EQ(bytes[i + 1], 0) << "ASCII expected";
        out += char(bytes[i]);
    }
    return out;
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | uint32_t(bytes[offset + 3]) << 24;
}

// A title no other test (or host) uses.
std::string UniqueTitle(const char* what) {
    return std::string("TavCmdHost Backup: /test/") + what + "/" + std::to_string(plat::ProcessId());
}

TEST(HostRecords, LayoutsAreExactAndLongTextsAreCut) {
    HostJobRecord job{"Full Backup", "TavJob", "/backups/store.tvr", "Started from: 2024/05/01 09:30:00 AM.",
                      RUN_STATE_STARTED};
    const std::vector<uint8_t> bytes = EncodeJobRecord(job);
    ASSERT_EQ(bytes.size(), 2436u);
    EXPECT_EQ(Utf16At(bytes, 0, 256), "Full Backup");
    EXPECT_EQ(Utf16At(bytes, 256, 128), "TavJob");
    EXPECT_EQ(Utf16At(bytes, 384, 1024), "/backups/store.tvr");
    EXPECT_EQ(Utf16At(bytes, 1408, 1024), "Started from: 2024/05/01 09:30:00 AM.");
    EXPECT_EQ(U32At(bytes, 2432), 2u);

    const std::vector<uint8_t> status = EncodeStatusRecord({"Backup File", "/home/a.txt", 42});
    ASSERT_EQ(status.size(), 1284u);
    EXPECT_EQ(Utf16At(status, 0, 256), "Backup File");
    EXPECT_EQ(Utf16At(status, 256, 1024), "/home/a.txt");
    EXPECT_EQ(U32At(status, 1280), 42u);
    EXPECT_EQ(EncodeLogRecord({"x"}).size(), 1024u);

    // Long texts are cut and stay terminated: 600 characters, and a text whose cut falls
    // inside a surrogate pair. (A real host's records are decoded in HostFollow.)
    const std::string path = "/" + std::string(599, 'p');
    std::string emoji;
    for (int i = 0; i < 64; ++i) emoji += "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
    const std::vector<uint8_t> cut =
        EncodeJobRecord({emoji, "TavJob", path, "", RUN_STATE_PREPARED});
    HostJobRecord back;
    std::string error;
    ASSERT_TRUE(DecodeJobRecord(cut, back, error)) << error;
    EXPECT_EQ(back.imagePath, path.substr(0, 511));
    EXPECT_EQ(back.typeTitle.size(), 63u * 4) << "63 whole pairs fit in 127 units";
    EXPECT_EQ(U32At(cut, 1406), 0u) << "the image path's terminator";
}

TEST(HostRecords, GarbageIsAnErrorNeverACrash) {
    std::string error;
    HostJobRecord job;
    HostStatusRecord status;
    struct Case {
        std::vector<uint8_t> bytes;
        bool job;
        const char* why;
    };
    std::vector<uint8_t> unterminated(2436, 'A');
    std::vector<uint8_t> badState = EncodeJobRecord({});
    badState[2432] = 9;
    std::vector<uint8_t> badPercent = EncodeStatusRecord({});
    badPercent[1280] = 101;
    const Case cases[] = {{{}, true, "empty"},
                          {std::vector<uint8_t>(2435, 0), true, "short"},
                          {std::vector<uint8_t>(2437, 0), true, "long"},
                          {unterminated, true, "no terminator"},
                          {badState, true, "unknown state"},
                          {std::vector<uint8_t>(1283, 0), false, "short status"},
                          {badPercent, false, "percent above 100"}};
    for (const Case& c : cases) {
        error.clear();
        const bool ok = c.job ? DecodeJobRecord(c.bytes, job, error) : DecodeStatusRecord(c.bytes, status, error);
        EXPECT_FALSE(ok) << c.why;
        EXPECT_FALSE(error.empty()) << c.why;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes(round % 2 ? 2436 : 1284);
        for (uint8_t& b : bytes) b = uint8_t(random());
        if (round % 3 == 0) bytes[bytes.size() - 5] = bytes[bytes.size() - 6] = 0;
        DecodeJobRecord(bytes, job, error);
        DecodeStatusRecord(bytes, status, error);
    }
}

TEST(HostClient, FindsHostsByTitleReadsTheirAnswersSafelyAndHearsTheirEvents) {
    const std::string title = UniqueTitle("client");
    EXPECT_TRUE(CTavCmdHostClient::Find(title).empty());
    plat::CChannelServer a, b;
    ASSERT_TRUE(a.Open(title));
    EXPECT_EQ(CTavCmdHostClient::Find(title).size(), 1u);
    ASSERT_TRUE(b.Open(title));
    EXPECT_EQ(CTavCmdHostClient::Find(title).size(), 2u) << "two windows with one title";
    EXPECT_TRUE(CTavCmdHostClient::Find(title + "x").empty());
    a.Close();
    b.Close();
    EXPECT_TRUE(CTavCmdHostClient::Find(title).empty());

    // Answers of every kind, from a server on a thread.
    struct Case {
        std::optional<plat::ChannelMessage> answer;
        HostAnswer expected;
        const char* why;
    };
    const Case cases[] = {
        {plat::ChannelMessage{1, EncodeJobRecord({"Full Backup", "TavJob", "/x", "s", 1})}, HostAnswer::Ok, "good"},
        {std::nullopt, HostAnswer::NoAnswer, "nothing"},
        {plat::ChannelMessage{1, std::vector<uint8_t>(100, 0)}, HostAnswer::BadAnswer, "short record"},
        {plat::ChannelMessage{2, EncodeStatusRecord({})}, HostAnswer::BadAnswer, "another record"},
        {plat::ChannelMessage{1, std::vector<uint8_t>(2436, 0xFF)}, HostAnswer::BadAnswer, "garbage"},
        {plat::ChannelMessage{1, std::vector<uint8_t>(plat::CHANNEL_MAX_BYTES + 1, 0)}, HostAnswer::BadAnswer,
         "over the limit: refused unread"},
    };
    ASSERT_TRUE(b.Open(title));
    const std::vector<CTavCmdHostClient> hosts = CTavCmdHostClient::Find(title);
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(hosts[0].ProcessId(), plat::ProcessId());
    for (const Case& c : cases) {
        std::thread server([&] {
            b.Serve(5000, [&](const plat::ChannelMessage& request) {
                EXPECT_EQ(request.type, MSG_REQUEST_RECORD);
                return c.answer;
            });
        });
        HostJobRecord job;
        std::string error;
        EXPECT_EQ(hosts[0].GetJobRecord(job, error), c.expected) << c.why << ": " << error;
        server.join();
    }

    // A host's event wakes every listener of its name.
    const std::string name = UniqueTitle("event");
    plat::CEventListener first(name), second(name), other(name + "2");
    ASSERT_TRUE(first.IsOpen());
    EXPECT_FALSE(first.Wait(0));
    EXPECT_EQ(plat::FireEvent(name), 2);
    EXPECT_TRUE(first.Wait(1000));
    EXPECT_TRUE(second.Wait(1000));
    EXPECT_FALSE(other.Wait(0));
    EXPECT_FALSE(first.Wait(0)) << "fired once";
}

constexpr int DATA_FILES = 24;
constexpr size_t DATA_FILE_BYTES = 512 * 1024;  // 12 MB in all: about 190 chunks

class HostFollow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(FILES_MODULE_DIR).empty() || !plat::PathExists(std::string(FILES_MODULE_DIR) + "/filesmodule.so"))
            FAIL() << "the Files and Folders module is not built";
        ASSERT_TRUE(plat::CreateDirectories(m_dir / "data"));
        ASSERT_TRUE(plat::CreateDirectories(m_dir / "repo"));
        for (int f = 0; f < DATA_FILES; ++f)
            tavtest::WriteFile(m_dir / ("data/f" + std::to_string(f) + ".bin"), tavtest::RandomBytes(DATA_FILE_BYTES, f));
        m_job.job.SetImageDesc("store", "2.00 GB", 0x11, m_dir / "repo");
        m_job.job.AddBackupNode("Files and Folders", "files").AddChild("file").SetAttribute("fullpath", m_dir / "data");
        m_job.Save();
        m_title = HostTitleForImage(m_job.job.GetImagePathText());
    }

    // The host as cron starts it: no display, the Files module, slowed by `throttleMs`.
    std::vector<std::string> HostCommand(int throttleMs) {
        return {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                "TAVORA_TEST_THROTTLE_MS=" + std::to_string(throttleMs),
                std::string("TAVORA_MODULE_PATH=") + FILES_MODULE_DIR, TAVCMDHOST_PATH, "JOB_BACKUP",
                m_job.path, "FULL", "SW_HIDE"};
    }

    std::string TavctlBaselines() {
        std::string out;
        plat::RunProcessCapture({TAVCTL_PATH, "baselines", m_dir / "repo/store.tvr"}, "", out);
        return out;
    }

    CTempDir m_dir;
    CTestJob m_job{m_dir};
    std::string m_title;
};

TEST_F(HostFollow, AClientFindsTheRunAsksForItsRecordsAndStopsIt) {
    ASSERT_EQ(plat::RunProcess(HostCommand(0)), 0) << "a first full backup";
    const size_t baselines = Baselines(m_job.ImagePath()).size();
    const std::string listed = TavctlBaselines();

    plat::CEventListener opened(m_title);
    CHostRunFollower follower(m_job.job.GetImagePathText());
    EXPECT_EQ(follower.Poll().state, HostRunSnapshot::State::NoHost);
    plat::CChildProcess host;
    ASSERT_TRUE(host.Start(HostCommand(25)));
    ASSERT_TRUE(opened.Wait(30000)) << "the event is fired once the transaction is open";

    const std::vector<CTavCmdHostClient> hosts = CTavCmdHostClient::Find(m_title);
    ASSERT_EQ(hosts.size(), 1u);
    std::vector<uint8_t> job, status, unknown;
    std::string error;
    ASSERT_EQ(hosts[0].RequestRecord(RECORD_JOB, job, error), HostAnswer::Ok) << error;
    HostJobRecord record;
    ASSERT_TRUE(DecodeJobRecord(job, record, error)) << error;  // the layouts are tested above
    EXPECT_EQ(record.typeTitle + " " + record.jobKind, "Full Backup TavJob");
    EXPECT_TRUE(record.runState == RUN_STATE_PREPARED || record.runState == RUN_STATE_STARTED) << record.runState;
    ASSERT_EQ(hosts[0].RequestRecord(RECORD_STATUS, status, error), HostAnswer::Ok) << error;
    EXPECT_EQ(status.size(), 1284u);
    EXPECT_EQ(hosts[0].RequestRecord(3, unknown, error), HostAnswer::NoAnswer);

    // The console run runs at idle priority (that it loads no Qt is ModuleViewsTest's).
    std::ifstream in("/proc/" + std::to_string(hosts[0].ProcessId()) + "/stat");  // its size says 0
    const std::string stat(std::istreambuf_iterator<char>(in), {});
    ASSERT_NE(stat.rfind(')'), std::string::npos);
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // after the program's name
    std::string field;
    for (int i = 0; i <= 16; ++i) fields >> field;
    EXPECT_EQ(field, "19") << "nice value";

    // The follower sees the run, until the stop ends it.
    HostRunSnapshot seen = follower.Poll();
    EXPECT_EQ(seen.state, HostRunSnapshot::State::Running) << seen.problem;
    EXPECT_EQ(seen.job.jobKind, "TavJob");
    EXPECT_TRUE(hosts[0].RequestStop());
    EXPECT_EQ(host.Wait(), 1) << "a stopped run commits nothing";
    EXPECT_EQ(follower.Poll().state, HostRunSnapshot::State::Ended);
    EXPECT_TRUE(CTavCmdHostClient::Find(m_title).empty());
    EXPECT_EQ(Baselines(m_job.ImagePath()).size(), baselines);
    EXPECT_EQ(TavctlBaselines(), listed);
}

}  // namespace
