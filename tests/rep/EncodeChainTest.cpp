// The chunks of a file may be encoded in any order, on any thread; each is done only once
// it carries the fingerprint of the file up to and including itself.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "EncodePool.h"

using namespace tavrep;

namespace {

std::array<uint8_t, 16> Digest(CMD5Checksum state) {
    std::array<uint8_t, 16> out{};
    state.Final();
    state.GetHash(out.data());
    return out;
}

TEST(EncodeChain, ChunksFinishedOutOfTurnAreFingerprintedInFileOrder) {
    const char password[128] = {};
    const std::array<std::string, 3> chunks = {std::string(100, 'a'), std::string(7000, 'b'),
                                               std::string(64, 'c')};
    auto chain = std::make_shared<HashChain>();
    std::array<EncodeJob, 3> jobs;
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].raw.assign(chunks[i].begin(), chunks[i].end());
        jobs[i].password = password;
        jobs[i].chain = chain;
        jobs[i].chainIndex = i;
    }
    // The last chunk and then the middle one finish first: neither may wait for its turn,
    // and neither is done before it.
    EncodeAndFinish(jobs[2]);
    EncodeAndFinish(jobs[1]);
    EXPECT_FALSE(jobs[1].IsDone());
    EXPECT_FALSE(jobs[2].IsDone());
    EncodeAndFinish(jobs[0]);
    std::string file;
    for (size_t i = 0; i < jobs.size(); ++i) {
        ASSERT_TRUE(jobs[i].IsDone()) << i;
        EXPECT_FALSE(jobs[i].failed) << i;
        file += chunks[i];
        std::array<uint8_t, 16> expected{};
        CMD5Checksum::Hash(file.data(), file.size(), expected.data());
        EXPECT_EQ(Digest(jobs[i].hash), expected) << "chunk " << i;
    }
    EXPECT_TRUE(chain->waiting.empty());
}

}  // namespace

namespace {

std::array<uint32_t, 4> Words(const CMD5Checksum& state) {
    std::array<uint32_t, 4> words{};
    state.GetHash(words.data());
    return words;
}

}  // namespace

// Chunks of many files, read side by side as the read-ahead does, are encoded and
// fingerprinted by the pool in whatever order its threads take them: each chunk still
// carries its file's fingerprint up to and including itself.
TEST(EncodePool, ChunksOfFilesReadSideBySideCarryTheirFilesFingerprints) {
    CEncodePool* pool = CEncodePool::Instance();
    if (pool == nullptr) GTEST_SKIP() << "one core: no pool";
    const char password[128] = {};
    constexpr size_t CHUNK = 4096;
    std::mt19937 rng(7);
    for (int round = 0; round < 30; ++round) {
        struct File {
            std::string bytes;
            std::shared_ptr<HashChain> chain;
            std::vector<std::unique_ptr<EncodeJob>> jobs;
        };
        std::vector<File> files(24);
        for (File& file : files) {
            const size_t size = 1 + rng() % (rng() % 2 ? CHUNK : 12 * CHUNK);
            for (size_t i = 0; i < size; ++i)
                file.bytes.push_back(char(rng() % 7 == 0 ? rng() : 'x'));
            const size_t chunks = (size + CHUNK - 1) / CHUNK;
            if (chunks > 1) file.chain = std::make_shared<HashChain>();
            for (size_t c = 0; c < chunks; ++c) {
                auto job = std::make_unique<EncodeJob>();
                const std::string piece = file.bytes.substr(c * CHUNK, CHUNK);
                job->raw.assign(piece.begin(), piece.end());
                job->password = password;
                job->hashWhole = chunks == 1;
                job->chain = file.chain;
                job->chainIndex = c;
                file.jobs.push_back(std::move(job));
            }
        }
        // Each file's chunks in order, the files interleaved a few at a time.
        std::vector<size_t> submitted(files.size(), 0);
        for (size_t first = 0; first < files.size(); first += 4) {
            for (bool any = true; any;) {
                any = false;
                for (size_t f = first; f < std::min(files.size(), first + 4); ++f)
                    if (submitted[f] < files[f].jobs.size()) {
                        pool->Submit(files[f].jobs[submitted[f]++].get());
                        any = true;
                    }
            }
        }
        for (File& file : files) {
            CMD5Checksum expected;
            for (size_t c = 0; c < file.jobs.size(); ++c) {
                EncodeJob& job = *file.jobs[c];
                pool->WaitHelping(job);
                ASSERT_TRUE(job.IsDone());
                EXPECT_FALSE(job.failed);
                EXPECT_FALSE(job.stored.empty());
                expected.Update(job.raw.data(), job.raw.size());
                ASSERT_EQ(Words(job.hash), Words(expected)) << "round " << round << " chunk " << c;
            }
            if (file.chain) EXPECT_TRUE(file.chain->waiting.empty());
        }
    }
}
