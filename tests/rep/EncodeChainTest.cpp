// The chunks of a file may be encoded in any order, on any thread; each is done only once
// it carries the fingerprint of the file up to and including itself.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

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
    EXPECT_TRUE(chain->ready.empty());
}

}  // namespace
