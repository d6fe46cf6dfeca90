// Damaged images found by fuzzing, and the forged fields behind them: reading must end in
// an exception or a failure result, never in a crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "RepTestUtil.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace tavtest;

namespace {

// Images the fuzzer found, kept beside this file.
std::string FuzzImage(const std::string& name) {
    std::string here = __FILE__;
    return plat::JoinPath(plat::DirName(here), "data/fuzz-images/" + name);
}

// Everything a reader does with an image: attach, list, load each baseline, read each
// chain (bounded, each block once). Returns the number of blocks read.
size_t WalkImage(const std::string& path, const TavImageSecurity& security) {
    size_t blocks = 0;
    CTavRepository rep;
    try {
        if (!rep.Attach(path, &security)) return 0;
    } catch (CTavException* e) {
        e->Delete();
        return 0;
    }
    std::vector<uint32_t> numbers;
    for (const TavBaselineHeaderRec& h : rep.GetBaselineList()->items) numbers.push_back(h.number);
    for (uint32_t number : numbers) {
        TablePtr table;
        try {
            table.reset(rep.LoadBaseline(number));
        } catch (CTavException* e) {
            e->Delete();
            continue;
        }
        if (!table) continue;
        std::vector<TavNodeRec> nodes;
        table->LoadAllNodes(nodes);
        std::set<std::pair<uint32_t, uint32_t>> seen;
        for (const TavNodeRec& node : nodes) {
            TavPosition p = node.content;
            for (int n = 0; p.offset != 0 && n < 100000 && seen.insert({p.image, p.offset}).second; ++n) {
                CTavRepContent* c = nullptr;
                try {
                    c = rep.GetContent(p);
                } catch (CTavException* e) {
                    e->Delete();
                    break;
                }
                if (c == nullptr) break;
                ++blocks;
                p = c->Next();
                c->Dispose();
            }
        }
    }
    return blocks;
}

class FuzzRegressionTest : public ::testing::Test {
protected:
    void SetUp() override { path = dir / "job.tvr"; }

    // Copies a kept fuzz input to `path`.
    void UseFuzzImage(const std::string& name) {
        std::string bytes = ReadFile(FuzzImage(name));
        ASSERT_FALSE(bytes.empty()) << name;
        ASSERT_TRUE(WriteFile(path, bytes));
    }

    // Overwrites four bytes of the image at `offset` with `value` (little-endian).
    void Patch(uint32_t offset, uint32_t value) {
        auto f = plat::CFile::Open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
        ASSERT_TRUE(f);
        uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        ASSERT_TRUE(f->WriteAt(b, 4, offset));
    }

    CTempDir dir;
    std::string path;
};

}  // namespace

// A content position naming image 0xFFFFFFFF ("no id") made the repository take any image
// for that id and index its slot table with it.
TEST_F(FuzzRegressionTest, ImageIdNoneIsNotAnImage) {
    TavImageSecurity sec = Security();
    ASSERT_EQ(CTavRepository::CreateRepository(path, &sec, 0, {0, 0}), 1);
    CTavRepository rep;
    ASSERT_EQ(rep.Attach(path, &sec), 1);
    EXPECT_EQ(rep.GetImageFromID(TAV_NONE), nullptr);
    EXPECT_EQ(rep.GetImageFromID(MAX_IMAGE_ID + 1), nullptr);
    EXPECT_EQ(ThrownCode([&] { rep.GetContent({TAV_NONE, SECURITY_BLOCK_OFFSET}); }), TAVEX_NOT_FOUND);
    EXPECT_EQ(rep.GetEntryPoint(TAV_NONE, 3), (TavPosition{0, 0}));
    EXPECT_EQ(rep.SetEntryPoint(TAV_NONE, 3, {0, 312}), 0);
    // The repository itself is untouched.
    EXPECT_NE(rep.GetImageFromID(0), nullptr);
    EXPECT_EQ(rep.GetLatestBaselineNumber(), 0u);
}

// The same through a baseline header naming image 0xFFFFFFFF (stored plain, patched).
TEST_F(FuzzRegressionTest, BaselineInImageNoneIsNotFound) {
    TavImageSecurity sec = Security(nullptr, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE);
    ASSERT_EQ(CTavRepository::CreateRepository(path, &sec, 0, {0, 0}), 1);
    TavPosition table;
    {
        CTavRepository rep;
        ASSERT_EQ(rep.Attach(path, &sec), 1);
        table = rep.GetLatestBaselinePos();
        ASSERT_NE(table.offset, 0u);
    }
    Patch(table.offset + BLOCK_HEADER_SIZE, TAV_NONE);  // the first header's image word
    CTavRepository rep;
    ASSERT_EQ(rep.Attach(path, &sec), 1);
    EXPECT_EQ(ThrownCode([&] { TablePtr t(rep.LoadBaseline(0)); }), TAVEX_NOT_FOUND);
}

// The inputs the fuzzer found, read the way the fuzzer reads them (under the sanitizers a
// fault shows as a failure):
//   content-in-image-none.tvr  a content chain whose link names image 0xFFFFFFFF
TEST_F(FuzzRegressionTest, KeptInputsReadWithoutHarm) {
    TavImageSecurity plain = Security();
    TavImageSecurity secret = Security("fuzz-seed", ENCRYPT_PASSWORD);
    for (const char* name : {"content-in-image-none.tvr"}) {
        SCOPED_TRACE(name);
        UseFuzzImage(name);
        WalkImage(path, plain);
        WalkImage(path, secret);
    }
}
