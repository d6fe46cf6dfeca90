// The command host's records in their byte layouts, the channel they travel on, and the
// client that reads them: what other programs receive, and what happens when a "host"
// answers garbage.
#include <gtest/gtest.h>

#include <random>
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

TEST(HostRecords, LayoutsAreExact) {
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

    HostJobRecord back;
    std::string error;
    ASSERT_TRUE(DecodeJobRecord(bytes, back, error)) << error;
    EXPECT_EQ(back.imagePath, job.imagePath);
    EXPECT_EQ(back.runState, 2u);
}

TEST(HostRecords, LongTextsAreCutAndStayTerminated) {
    // 600 characters, and a text whose cut falls inside a surrogate pair.
    const std::string path = "/" + std::string(599, 'p');
    std::string emoji;
    for (int i = 0; i < 64; ++i) emoji += "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
    const std::vector<uint8_t> bytes = EncodeJobRecord({emoji, "TavJob", path, "", RUN_STATE_PREPARED});
    HostJobRecord back;
    std::string error;
    ASSERT_TRUE(DecodeJobRecord(bytes, back, error)) << error;
    EXPECT_EQ(back.imagePath, path.substr(0, 511));
    EXPECT_EQ(back.typeTitle.size(), 63u * 4) << "63 whole pairs fit in 127 units";
    EXPECT_EQ(U32At(bytes, 1406), 0u) << "the image path's terminator";
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

TEST(HostClient, FindsHostsByTitleAndReadsTheirAnswersSafely) {
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
}

TEST(HostEvent, FiringWakesEveryListenerOfTheName) {
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

}  // namespace
