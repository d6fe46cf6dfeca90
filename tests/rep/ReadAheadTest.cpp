// Files announced with PrefetchFileContent are stored exactly as files that were not.
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "RepHelpers.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace tavtest;

namespace {

struct Stored {
    TavPosition position;
    std::array<uint32_t, 4> fingerprint;
};

class ReadAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::string> contents = {
            TextBytes(3000),         RandomBytes(20000, 1), "",
            TextBytes(65536),        RandomBytes(65537, 2), TextBytes(300000),
            RandomBytes(700000, 3),  TextBytes(10),         TextBytes(131072),
        };
        for (size_t i = 0; i < contents.size(); ++i) {
            files.push_back(dir / ("f" + std::to_string(i)));
            ASSERT_TRUE(WriteFile(files.back(), contents[i]));
        }
        data = contents;
    }

    static Stored Store(CTavRepository& rep, const std::string& path, uint32_t chunk = 0,
                        CTavRepositoryObserver* observer = nullptr) {
        CMD5Checksum md5;
        Stored s;
        s.position = rep.AddFileContent(path.c_str(), chunk, observer, &md5);
        md5.GetHash(s.fingerprint.data());
        return s;
    }

    CTempDir dir;
    std::vector<std::string> files;
    std::vector<std::string> data;
};

}  // namespace

// Announced all at first (as far as the read-ahead takes them) or each one while the one
// before is stored: the files are stored as files that were not announced, in the same
// places, with the same fingerprints, progress and bytes.
TEST_F(ReadAheadTest, AnnouncedFilesAreStoredAsTheOthers) {
    for (uint32_t encryption : {ENCRYPT_NONE, ENCRYPT_BUILTIN}) {
        for (bool allFirst : {true, false}) {
            SCOPED_TRACE(testing::Message() << "encryption " << encryption << (allFirst ? ", all first" : ", one ahead"));
            const TavImageSecurity security = Security(nullptr, encryption);
            CRepo plain(security), ahead(security);
            if (allFirst)
                for (const std::string& f : files)
                    if (!ahead.rep.PrefetchFileContent(f.c_str(), 0)) break;
            std::vector<TavPosition> stored;
            for (size_t i = 0; i < files.size(); ++i) {
                CRecordingObserver one, two;
                const Stored a = Store(plain.rep, files[i], 0, &one);
                if (!allFirst && i + 1 < files.size()) ahead.rep.PrefetchFileContent(files[i + 1].c_str(), 0);
                const Stored b = Store(ahead.rep, files[i], 0, &two);
                EXPECT_EQ(a.position, b.position) << files[i];
                EXPECT_EQ(a.fingerprint, b.fingerprint) << files[i];
                EXPECT_EQ(one.percents, two.percents) << files[i];
                EXPECT_EQ(one.positions, two.positions) << files[i];
                stored.push_back(b.position);
            }
            for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(ahead.Chain(stored[i]), data[i]) << files[i];
            EXPECT_EQ(plain.Blocks(), ahead.Blocks());
        }
    }
}

TEST_F(ReadAheadTest, FilesAnnouncedButNotStoredAreDroppedAndTheReadAheadIsBounded) {
    CRepo repo(Security());
    for (size_t i = 0; i < 4; ++i) repo.rep.PrefetchFileContent(files[i].c_str(), 0);
    // The third is stored first: the two before it are dropped, and read anew when stored.
    Stored stored[4];
    for (size_t i : {2, 0, 3, 1}) stored[i] = Store(repo.rep, files[i]);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(repo.Chain(stored[i].position), data[i]) << i;
    // Another chunk size than announced: the file is read again with the right one.
    repo.rep.PrefetchFileContent(files[5].c_str(), 0);
    CRecordingObserver small;
    const Stored other = Store(repo.rep, files[5], 4096, &small);
    EXPECT_EQ(small.percents.size(), (data[5].size() + 4095) / 4096);
    EXPECT_EQ(repo.Chain(other.position), data[5]);
    // A file left announced at the end of a transaction is dropped with it.
    repo.rep.PrefetchFileContent(files[6].c_str(), 0);
    repo.rep.RollbackTrans();
    ASSERT_EQ(repo.rep.BeginTrans(5000), 1);
    EXPECT_EQ(repo.Chain(Store(repo.rep, files[6]).position), data[6]);
    repo.rep.PrefetchFileContent(files[7].c_str(), 0);
    repo.rep.DropPrefetched();
    EXPECT_EQ(repo.Chain(Store(repo.rep, files[7]).position), data[7]);

    // The read-ahead is bounded.
    size_t taken = 0;
    while (taken < 1000 && repo.rep.PrefetchFileContent(files[6].c_str(), 0)) ++taken;
    if (std::thread::hardware_concurrency() > 1)
        EXPECT_LT(taken, 1000u);  // it stops taking files long before
    else
        EXPECT_EQ(taken, 0u);  // one core: nothing is read ahead
    EXPECT_EQ(repo.Chain(Store(repo.rep, files[6]).position), data[6]);
}
