// Image naming of a repository's series.
#include <gtest/gtest.h>

#include "tavrep/TavRepository.h"

TEST(BuildImagePath, NumbersReplacesAndKeepsFolders) {
    const struct {
        const char* base;
        uint32_t n;
        const char* path;
    } cases[] = {
        {"/bk/job.tvr", 1, "/bk/job.0001.tvr"},
        {"/bk/job.tvr", 0, "/bk/job.0000.tvr"},
        {"/bk/job.tvr", 0xFFFFFFFF, "/bk/job.tvr"},  // no number: the first image
        {"/bk/job.tvr", 10000, "/bk/job.10000.tvr"},
        {"/bk/job.0007.tvr", 12, "/bk/job.0012.tvr"},  // an existing number is replaced
        {"/bk/job.0003.tvr", 0xFFFFFFFF, "/bk/job.tvr"},
        {"/bk/my.abcd.tvr", 5, "/bk/my.0005.tvr"},  // two dots nine and four from the end
        {"/bk/job", 2, "/bk/job.0002"},
        {"/bk/ab", 2, "/bk/ab.0002"},
        {"job.tvr", 2, "job.0002.tvr"},
        {"/job.tvr", 2, "/job.0002.tvr"},
        {"/data.d/job.tvr", 2, "/data.d/job.0002.tvr"},  // a dot in a folder name
    };
    for (const auto& c : cases) {
        std::string out;
        CTavRepository::BuildImagePath(out, c.base, c.n);
        EXPECT_EQ(out, c.path) << c.base << " " << c.n;
    }
}
