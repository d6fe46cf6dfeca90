// File contents: chains, progress, fingerprints, passwords, processes.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "RepHelpers.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace tavtest;

TEST(Content, ChunksProgressAndStops) {
    CRepo repo(Security());
    CRecordingObserver one, two, empty;
    std::string exact = TextBytes(65536), twoChunks = RandomBytes(100000, 5);
    TavPosition p1 = repo.Store(exact, &one);
    TavPosition p2 = repo.Store(twoChunks, &two);
    TavPosition p3 = repo.Store("", &empty);
    EXPECT_EQ(one.percents, (std::vector<uint32_t>{100}));
    EXPECT_EQ(two.percents, (std::vector<uint32_t>{50, 100}));
    EXPECT_TRUE(empty.percents.empty());
    ASSERT_NE(p3.offset, 0u);
    EXPECT_EQ(repo.Chain(p1), exact);
    EXPECT_EQ(repo.Chain(p2), twoChunks);
    EXPECT_EQ(repo.Chain(p3), "");
    repo.rep.CommitTrans();
    CTavRepContent* c = repo.rep.GetContent(p1);
    EXPECT_EQ(c->nextOffset, 0u);
    EXPECT_EQ(c->size, 65536u);
    c->Dispose();
    EXPECT_EQ(repo.rep.GetContent({0, 0}), nullptr);
    ASSERT_EQ(repo.rep.BeginTrans(5000), 1);

    // An observer's stop keeps a readable chain. (The fingerprint a node gets is the one the
    // module tests compare with the file on disk.)
    CRecordingObserver obs;
    obs.stopAfter = 2;
    CMD5Checksum md5;
    std::string data = RandomBytes(65536 * 5, 2);
    TavPosition p = repo.Store(data, &obs, &md5);
    EXPECT_EQ(obs.percents, (std::vector<uint32_t>{20, 40}));
    EXPECT_EQ(repo.Chain(p), data.substr(0, 65536 * 2));
    std::array<uint32_t, 4> got;
    md5.GetHash(got.data());
    EXPECT_EQ(got, FingerprintOf(data.substr(0, 65536 * 2)));
}

namespace {
class CGiveUp : public CTavRepErrorCallback {
public:
    int32_t OnChangeDisk(CTavRepository*, std::string& p) override {
        asked = p;
        return 0;
    }
    std::string asked;
};
}  // namespace

// Read ahead or not, a source that cannot be opened is reported when it is stored; a file
// larger than the room left asks for another disk.
TEST(Content, UnopenableSourcesAreReportedAndTooLittleRoomAsksForAnotherDisk) {
    CRepo repo(Security());
    CTempDir dir;
    const std::string missing = dir / "missing", locked = dir / "locked";
    ASSERT_TRUE(WriteFile(locked, "data"));
    auto holder = plat::CFile::Open(locked, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(holder);
    for (bool announced : {false, true}) {
        SCOPED_TRACE(announced ? "announced" : "not announced");
        CRecordingObserver obs;
        if (announced) {
            repo.rep.PrefetchFileContent(missing.c_str(), 0);
            repo.rep.PrefetchFileContent(locked.c_str(), 0);
        }
        EXPECT_EQ(repo.rep.AddFileContent(missing.c_str(), 0, &obs, nullptr).offset, 0u);
        EXPECT_EQ(repo.rep.AddFileContent(locked.c_str(), 0, &obs, nullptr).offset, 0u);
        EXPECT_EQ(obs.errors, (std::vector<std::string>{"***** File not found.", "***** Access denied."}));
    }

    // A sparse file far larger than the volume: the room check refuses it before reading,
    // also right after small files found room (the room seen then is not room granted).
    std::string huge = dir / "huge";
    {
        auto f = plat::CFile::Open(huge, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateAlways);
        ASSERT_TRUE(f->Truncate(uint64_t(1) << 43));
    }
    for (int i = 0; i < 3; ++i) EXPECT_NE(repo.Store("small").offset, 0u);
    CGiveUp callback;
    repo.rep.SetRepErrorCallback(&callback);
    EXPECT_EQ(repo.rep.AddFileContent(huge.c_str(), 0, nullptr, nullptr).offset, 0u);
    EXPECT_EQ(callback.asked, repo.path);
    repo.rep.SetRepErrorCallback(nullptr);
}

TEST(Password, DigestsVerificationAndChangesThatNewImagesCarry) {
    // No password is the digest of 128 zero bytes; 128 bytes and more do not fit the field.
    uint8_t digest[16], zeros[16], field[128] = {};
    ASSERT_EQ(CTavRepository::CreatePwdDigest("", digest), 1);
    CMD5Checksum::Hash(field, 128, zeros);
    EXPECT_EQ(std::memcmp(digest, zeros, 16), 0);
    EXPECT_EQ(CTavRepository::CreatePwdDigest(std::string(128, 'p').c_str(), digest), 0);
    TavImageSecurity s;
    EXPECT_EQ(InitTavImageSecure(&s, std::string(128, 'p').c_str(), 0, -1, 0, 1000), 0);
    EXPECT_EQ(CreateTavImageSecure(std::string(200, 'p').c_str(), 0, -1, 0, 1000), nullptr);
    CTempDir dir;
    const char* const cases[][3] = {{nullptr, "", "x"}, {"", "", "x"}, {"s\xC3\xA9same", "s\xC3\xA9same", "sesame"}};
    for (const auto& [created, good, bad] : cases) {
        TavImageSecurity sec = Security(created);
        ASSERT_EQ(CTavRepository::CreateRepository(dir / "pw.tvr", &sec, 0, {0, 0}), 1);
        CAttached rep(dir / "pw.tvr", nullptr);
        EXPECT_EQ(rep.VerifyPassword(good), 1);
        EXPECT_EQ(rep.VerifyPassword(bad), 0);
    }

    // A changed password is the one the images made after it carry.
    const std::string p = dir / "changed.tvr";
    TavImageSecurity sec = Security("old");
    ASSERT_EQ(CTavRepository::CreateRepository(p, &sec, 0, {0, 0}), 1);
    {
        CAttached rep(p, nullptr);
        EXPECT_EQ(rep.ChangePassword("wrong", "new"), 0);
        EXPECT_EQ(rep.ChangePassword("old", "new"), 1);
        EXPECT_EQ(rep.VerifyPassword("new"), 1);
        // A run by an object attached without the password keeps the password.
        ASSERT_NE(rep.StartFreshImage(), TAV_NONE);
        TablePtr t(rep.LoadBaseline(0));
        ASSERT_EQ(rep.BeginTrans(5000), 1);
        ASSERT_EQ(rep.SaveBaseline(t.get(), "run", nullptr, 0x10001000), 1u);
        rep.CommitTrans();
    }
    CAttached again(p, nullptr);
    EXPECT_EQ(again.GetEntryImageID(), 1u);
    EXPECT_EQ(again.VerifyPassword("new"), 1);
    EXPECT_EQ(again.VerifyPassword(""), 0);
    EXPECT_EQ(again.ChangePassword("new", ""), 1);
    EXPECT_EQ(again.VerifyPassword(""), 1);
}
