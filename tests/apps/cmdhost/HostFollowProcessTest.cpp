// Following a real TavCmdHost process from another program: found by its title, its
// records asked for while it runs, stopped by a request; the repository is left as it was.
// The host runs as cron runs it (no display), slowed down by the throttle hook so that
// the test can watch it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "RunnerTestUtil.h"
#include "platform/Process.h"
#include "platform/WindowChannel.h"
#include "tavhost/HostMessages.h"
#include "tavhost/HostRecords.h"
#include "tavhost/TavCmdHostClient.h"

using namespace hosttest;
using namespace tavhost;

namespace {

constexpr int DATA_FILES = 24;
constexpr size_t DATA_FILE_BYTES = 512 * 1024;  // 12 MB in all: about 190 chunks

// A file of /proc (whose size says 0).
std::string ReadProc(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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
        if (std::string(TAVCTL_PATH).empty()) return "";
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
    ASSERT_TRUE(DecodeJobRecord(job, record, error)) << error;  // the layouts are HostLinkTest's
    EXPECT_EQ(record.typeTitle + " " + record.jobKind, "Full Backup TavJob");
    EXPECT_TRUE(record.runState == RUN_STATE_PREPARED || record.runState == RUN_STATE_STARTED) << record.runState;
    ASSERT_EQ(hosts[0].RequestRecord(RECORD_STATUS, status, error), HostAnswer::Ok) << error;
    EXPECT_EQ(status.size(), 1284u);
    EXPECT_EQ(hosts[0].RequestRecord(3, unknown, error), HostAnswer::NoAnswer);

    // The console run runs at idle priority (that it loads no Qt is ModuleViewsTest's).
    const std::string stat = ReadProc("/proc/" + std::to_string(hosts[0].ProcessId()) + "/stat");
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
