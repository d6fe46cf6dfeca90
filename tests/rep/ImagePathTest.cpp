// Image naming of a repository's series.
#include <gtest/gtest.h>

#include "tavrep/TavRepository.h"

namespace {
std::string Build(const std::string& base, uint32_t n) {
    std::string out;
    CTavRepository::BuildImagePath(out, base, n);
    return out;
}
}  // namespace

TEST(BuildImagePath, NumbersTheSeries) {
    EXPECT_EQ(Build("/bk/job.tvr", 1), "/bk/job.0001.tvr");
    EXPECT_EQ(Build("/bk/job.tvr", 0), "/bk/job.0000.tvr");
    EXPECT_EQ(Build("/bk/job.tvr", 3), "/bk/job.0003.tvr");
    EXPECT_EQ(Build("/bk/job.tvr", 0xFFFFFFFF), "/bk/job.tvr");
    EXPECT_EQ(Build("/bk/job.tvr", 10000), "/bk/job.10000.tvr");
}

TEST(BuildImagePath, ReplacesAnExistingNumber) {
    EXPECT_EQ(Build("/bk/job.0007.tvr", 12), "/bk/job.0012.tvr");
    EXPECT_EQ(Build("/bk/job.0003.tvr", 0xFFFFFFFF), "/bk/job.tvr");
    EXPECT_EQ(Build("/bk/job.0003.tvr", 4), "/bk/job.0004.tvr");
    // Two dots nine and four places from the end are enough to take a number.
    EXPECT_EQ(Build("/bk/my.abcd.tvr", 5), "/bk/my.0005.tvr");
}

TEST(BuildImagePath, NamesWithoutExtensionOrFolder) {
    EXPECT_EQ(Build("/bk/job", 2), "/bk/job.0002");
    EXPECT_EQ(Build("/bk/ab", 2), "/bk/ab.0002");
    EXPECT_EQ(Build("job.tvr", 2), "job.0002.tvr");
    EXPECT_EQ(Build("/job.tvr", 2), "/job.0002.tvr");
    EXPECT_EQ(Build("/data.d/job.tvr", 2), "/data.d/job.0002.tvr");
}
