// tavctl forget: keep rules applied to real backup runs, the space given back, and the
// repository sound after every step (also when a forget is killed, or a reader holds an
// image, or a stale lock file is in the way).
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "CliTestRepo.h"
#include "apps/AppTestUtil.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/HostInfo.h"
#include "platform/Process.h"
#include "tavengine/TavRepLock.h"

using namespace clitest;

namespace {

using Snapshot = std::map<std::string, std::string>;  // file name -> content

class ForgetCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(UseBuiltModules());
        plat::CreateDirectories(m_dir / "data");
        plat::CreateDirectories(m_dir / "repo");
        m_cli.Ok({"job", "new", m_job, "-l", m_dir / "repo", "-n", "store", "--split", "1 MB"});
        m_cli.Ok({"job", "add", m_job, m_dir / "data"});
    }

    void Write(const std::string& name, const std::string& content) {
        if (content.empty()) {
            plat::RemoveFile(m_dir / ("data/" + name));
            m_current.erase(name);
            return;
        }
        tavtest::WriteFile(m_dir / ("data/" + name), content);
        m_current[name] = content;
    }

    // One run; the baseline it saved is remembered with the data it should restore to. The
    // run's summary is returned.
    std::string Backup(bool full) {
        std::vector<std::string> args = {"backup", m_job};
        if (full) args.push_back("--full");
        const std::string out = m_cli.Expect(0, args).out;
        m_expected[++m_runs] = m_current;
        return out;
    }

    std::vector<uint32_t> Listed() {
        std::vector<uint32_t> numbers;
        for (const TavBaselineHeaderRec& h : apptest::Baselines(m_repo))
            numbers.push_back(h.number);
        return numbers;
    }

    // The repository opens, check --read-data is clean, and every listed baseline restores
    // exactly the data it was saved from.
    void ExpectSound() {
        m_cli.Expect(0, {"check", m_repo, "--read-data"});
        for (uint32_t number : Listed()) {
            if (number == 0) continue;
            const std::string to = m_dir / ("restore" + std::to_string(number) + "-" + std::to_string(m_restores++));
            m_cli.Expect(0, {"restore", m_repo, "-b", std::to_string(number), "--to", to});
            const std::string base = to + (m_dir / "data");
            for (const auto& [name, content] : m_expected[number])
                EXPECT_EQ(tavtest::ReadFile(base + "/" + name), content) << "baseline " << number << " " << name;
            std::vector<TavFindData> entries;
            plat::ListDirectory(base, entries);
            EXPECT_EQ(entries.size(), m_expected[number].size()) << "baseline " << number;
        }
    }

    std::string Image(uint32_t id) { return tavtest::ImagePath(m_repo, id); }
    uint64_t Size(uint32_t id) { return tavtest::FileSize(Image(id)); }

    // Three runs: a 1.5 MB file whose chain crosses images 0-1, then a second large file
    // that the third run deletes again, and a small file changed every time.
    void ThreeRuns() {
        Write("big.bin", RandomBytes(1500000, 1));
        Write("small.txt", "one");
        Backup(true);
        Write("mid.bin", RandomBytes(1200000, 2));
        Write("small.txt", "two");
        Backup(false);
        Write("mid.bin", "");
        Write("small.txt", "three");
        Backup(false);
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "job.tvj";
    std::string m_repo = m_dir / "repo/store.tvr";
    Snapshot m_current;
    std::map<uint32_t, Snapshot> m_expected;
    int m_restores = 0;
    uint32_t m_runs = 0;
};

TEST_F(ForgetCommandTest, ForgetsByRuleFreesUnusedImagesAndKeepsChainsThatCrossThem) {
    ThreeRuns();
    ExpectSound();
    const uint32_t last = uint32_t(Listed().size()) - 1;
    ASSERT_EQ(last, 3u);

    // The dry run says what the rules keep and changes nothing.
    const CliResult dry = m_cli.Expect(0, {"forget", m_repo, "--keep-last", "1", "--dry-run"}, "", "  forget    1");
    EXPECT_TRUE(Contains(dry.out, "  keep      3")) << dry.out;
    EXPECT_TRUE(Contains(dry.out, "newest, last")) << dry.out;
    EXPECT_EQ(Listed(), (std::vector<uint32_t>{0, 1, 2, 3}));

    // Baseline 3 still uses big.bin (image 0 and the next) but not mid.bin.
    m_cli.Expect(0, {"forget", m_repo, "--keep-last", "1"}, "", "Forgot baselines 1, 2.");
    EXPECT_EQ(Listed(), (std::vector<uint32_t>{0, 3}));
    m_expected.erase(1);
    m_expected.erase(2);
    ExpectSound();
    EXPECT_TRUE(plat::PathExists(Image(1)));  // big.bin's chain ends there

    // A full run and an incremental: forgetting all before them gives back every older
    // image and cuts image 0 back to baseline 0's tables.
    Write("small.txt", "four");
    Backup(true);
    Write("small.txt", "five");
    Backup(false);
    const std::string out = m_cli.Expect(0, {"forget", m_repo, "--keep-last", "2"}).out;
    EXPECT_TRUE(std::regex_search(out, std::regex("; cut image 0 back by [0-9]+\\.[0-9] KiB\\.\n"))) << out;
    EXPECT_EQ(Listed(), (std::vector<uint32_t>{0, 4, 5}));
    m_expected.erase(3);
    ExpectSound();
    EXPECT_LT(Size(0), 2000u) << "image 0 is cut back";
    EXPECT_FALSE(plat::PathExists(Image(1)));

    // A keep policy of the job runs after each committed run (and numbers are never reused).
    std::string job = tavtest::ReadFile(m_job);
    const size_t end = job.rfind("</tavjob>");
    ASSERT_NE(end, std::string::npos);
    tavtest::WriteFile(m_job, job.insert(end, "<keep last=\"2\"/>\n"));
    Write("small.txt", "six");
    const std::string summary = Backup(false);
    EXPECT_TRUE(Contains(summary, "Forgot baseline 4.")) << summary;
    EXPECT_TRUE(Contains(RunLogText(summary), "Forgot baseline 4.")) << "the run log says so too";
    EXPECT_EQ(Listed(), (std::vector<uint32_t>{0, 5, 6}));
    m_expected.erase(4);
    ExpectSound();
}

TEST_F(ForgetCommandTest, AnImageHeldByAReaderStaysUntilTheNextForgetAndOnlyAStaleLockIsTakenOver) {
    ThreeRuns();
    // mid.bin lives only in the images of run 2.
    // Images 0 and 1 hold run 1 (big.bin), image 2 is the first of run 2.
    std::unique_ptr<plat::CFile> reader =
        plat::CFile::Open(Image(2), plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(reader);
    CTavRepository stale;  // attached before the forget, as a browser would be
    ASSERT_EQ(stale.Attach(m_repo, nullptr), 1);
    m_cli.Expect(0, {"forget", m_repo, "--keep-last", "1"}, "", "another program holds it open");
    EXPECT_TRUE(plat::PathExists(Image(2)));
    reader.reset();
    m_cli.Expect(0, {"forget", m_repo, "--keep-last", "1"});
    EXPECT_FALSE(plat::PathExists(Image(2)));
    m_expected.erase(1);
    m_expected.erase(2);
    ExpectSound();

    // The reader that still lists baseline 2 gets an error for its deleted data, never bytes.
    bool failed = false;
    try {
        failed = tavtest::TablePtr(stale.LoadBaseline(2)) == nullptr;
    } catch (CTavException* e) {
        failed = true;
        e->Delete();
    }
    EXPECT_TRUE(failed);

    // A lock file is taken over when its process is gone, it is old or unreadable; a fresh
    // one of another host is respected.
    const std::string lock = m_repo + ".lock";
    const uint32_t now = plat::NowSeconds();
    struct Case {
        std::string content;
        bool takenOver;
    } cases[] = {
        {"host " + plat::HostName() + "\npid 2147483600\ntime " + std::to_string(now) + "\n",
         true},  // process gone
        {"host elsewhere\npid 1\ntime " + std::to_string(now - 601) + "\n",
         true},  // ten minutes old
        {"host elsewhere\npid 1\ntime " + std::to_string(now - 30) + "\n", false},  // fresh
        {"garbage", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        tavtest::WriteFile(lock, c.content);
        m_cli.Expect(c.takenOver ? 0 : 1, {"forget", m_repo, "--keep-last", "5"},
                     c.takenOver ? "" : "in use by process 1 on elsewhere");
        EXPECT_EQ(tavtest::ReadFile(lock), c.takenOver ? "<unreadable>" : c.content);
    }
}

TEST_F(ForgetCommandTest, AKilledForgetLeavesTheOldOrTheNewState) {
    const std::string tavctl = plat::DirName(plat::ExecutablePath()) + "/tavctl";
    ASSERT_TRUE(plat::PathExists(tavctl)) << "tavctl is not built";
    ThreeRuns();
    Write("small.txt", "four");
    Backup(true);
    const std::map<uint32_t, Snapshot> all = m_expected;
    // The repository's files before any forget, put back before each step.
    std::vector<TavFindData> files;
    plat::ListDirectory(m_dir / "repo", files);
    Snapshot pristine;
    for (const TavFindData& f : files) pristine[f.name] = tavtest::ReadFile(m_dir / ("repo/" + f.name));

    for (const char* step : {"image-started", "table-written", "entry-moved", "committed",
                             "image-deleted", "image0-entry"}) {
        SCOPED_TRACE(step);
        plat::ListDirectory(m_dir / "repo", files);
        for (const TavFindData& f : files) plat::RemoveFile(m_dir / ("repo/" + f.name));
        for (const auto& [name, bytes] : pristine) tavtest::WriteFile(m_dir / ("repo/" + name), bytes);

        plat::SetEnv("TAVORA_TEST_KILL_AT", step);
        const int status = plat::RunProcess({tavctl, "forget", m_repo, "--keep-last", "1"});
        plat::SetEnv("TAVORA_TEST_KILL_AT", "");
        EXPECT_EQ(status, 137);
        const std::vector<uint32_t> listed = Listed();
        EXPECT_TRUE(listed == (std::vector<uint32_t>{0, 1, 2, 3, 4}) || listed == (std::vector<uint32_t>{0, 4}))
            << listed.size();
        m_expected = all;
        ExpectSound();
        // The next forget finishes the work (the lock file of the killed one is taken over).
        m_cli.Expect(0, {"forget", m_repo, "--keep-last", "1"});
        EXPECT_EQ(Listed(), (std::vector<uint32_t>{0, 4}));
        EXPECT_LT(Size(0), 2000u);
        ExpectSound();
    }
}

}  // namespace

namespace {

// Size and fingerprint of a message-store node holding `chunks`.
void SetStore(TavNodeRec& node, const std::vector<std::string>& chunks) {
    const std::string all = chunks[0] + chunks[1] + chunks[2];
    node.sizeLow = uint32_t(all.size());
    CMD5Checksum md5;
    md5.Update(all.data(), uint32_t(all.size()));
    md5.GetHash(node.fingerprint);
    node.flags |= NODE_TOUCHED | NODE_HAS_FINGERPRINT;
}

// A message store whose unchanged chunks stay where an older run stored them: the chunk
// table of each run names blocks of older images.
TEST(ForgetMessageStores, ChunksThatNewerTablesNameKeepTheirOlderImages) {
    ASSERT_NO_FATAL_FAILURE(UseBuiltModules("oemodule"));
    CTempDir dir;
    tavtest::CRepBuilder builder(dir / "mail.tvr");
    const std::string& path = builder.path;

    // Run k stores chunk k anew (and a new table); the other chunks keep their positions.
    std::vector<std::string> chunks = {RandomBytes(32768, 10), RandomBytes(32768, 11), RandomBytes(5000, 12)};
    std::vector<TavPosition> at(chunks.size());
    uint32_t storeId = TAV_NONE;
    // Stores the chunks named in `fresh` and a new chunk table for the store node.
    auto run = [&](const std::vector<size_t>& fresh) {
        return builder.Baseline([&] {
            CTavRepository& rep = builder.Rep();
            for (size_t k : fresh) at[k] = rep.AddContent(chunks[k].data(), uint32_t(chunks[k].size()), {0, 0});
            const std::string table = tavtest::ChunkRecords(at, chunks);
            const TavPosition tablePos = rep.AddContent(table.data(), uint32_t(table.size()), {0, 0});
            if (storeId == TAV_NONE) {
                TavFindData fd = FindData("Inbox.dbx", 0, TAV_ATTR_ARCHIVE);
                storeId = rep.AddNode(&builder.Table(), builder.Root("Outlook Express", MODULE_OE_ROOT),
                                      MODULE_OE_STORE, &fd, nullptr, 32768, {0, 0}, nullptr);
            }
            builder.Edit(storeId, [&](TavNodeRec& node) {
                node.content = tablePos;
                SetStore(node, chunks);
            });
        }, {.name = "Mail", .type = 0x10002000});
    };
    ASSERT_EQ(run({0, 1, 2}), 1u);
    for (size_t k : {1u, 2u}) {
        chunks[k] = RandomBytes(chunks[k].size(), uint32_t(20 + k));
        ASSERT_EQ(run({k}), k + 1);
    }
    // Images: 0 (baseline 0), 1 (run 1: all chunks), 2 (run 2: chunk 1), 3 (run 3: chunk 2).
    CCli cli;
    cli.Expect(0, {"forget", path, "--keep-last", "1"}, "", "Forgot baselines 1, 2.");
    for (uint32_t id : {1u, 2u, 3u})
        EXPECT_TRUE(plat::PathExists(tavtest::ImagePath(path, id))) << "image " << id << " holds a chunk of baseline 3";

    // Run 4 replaces chunk 0: now only image 1 loses its last use.
    chunks[0] = RandomBytes(32768, 40);
    ASSERT_EQ(run({0}), 4u);
    cli.Expect(0, {"forget", path, "--keep-last", "1"});
    for (uint32_t id : {1u, 2u, 3u}) EXPECT_EQ(plat::PathExists(tavtest::ImagePath(path, id)), id != 1) << "image " << id;
    cli.Expect(0, {"check", path, "--read-data"});
    // The store reads back whole from its chunks.
    CTavRepository rep;
    ASSERT_EQ(rep.Attach(path, &builder.security), 1);
    for (size_t k = 0; k < chunks.size(); ++k)
        EXPECT_EQ(tavtest::ReadChain(rep, at[k]), chunks[k]) << "chunk " << k;
}

}  // namespace
