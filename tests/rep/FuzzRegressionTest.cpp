// Damaged images found by fuzzing, and the forged fields behind them: reading must end in
// an exception or a failure result, never in a crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "DeflateCodec.h"
#include "RepHelpers.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace tavtest;

// The largest single allocation since it was last cleared: a decompression bomb shows as
// one huge buffer.
static std::atomic<size_t> g_largestAllocation{0};

// The image fuzzer's entry points (fuzz/image_fuzz.cpp).
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

void* operator new(size_t n) {
    size_t seen = g_largestAllocation.load();
    while (n > seen && !g_largestAllocation.compare_exchange_weak(seen, n)) {
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

// Images the fuzzer found, kept beside this file.
std::string FuzzImage(const std::string& name) {
    std::string here = __FILE__;
    return plat::JoinPath(plat::DirName(here), "data/fuzz-images/" + name);
}

// Images without compression, so that a forged field is easy to patch.
class FuzzRegressionTest : public CRepTest {
protected:
    FuzzRegressionTest() { sec = Security(nullptr, ENCRYPT_NONE, TAV_DEFAULT_IMAGE_SIZE, COMPRESS_NONE); }

    // Rewrites a word of a block's payload in place, its checksum with it.
    void PatchPayload(uint32_t block, uint32_t at, uint32_t value) {
        CTavImage image(path, sec);
        uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        ASSERT_EQ(image.UpdateBlock(block, b, 4, at), 1);
    }
};

}  // namespace

// A content position naming image 0xFFFFFFFF ("no id") made the repository take any image
// for that id and index its slot table with it.
TEST_F(FuzzRegressionTest, ImageIdNoneIsNotAnImageWhereverItIsNamed) {
    CAttached rep(path, &sec);
    EXPECT_EQ(rep.GetImageFromID(TAV_NONE), nullptr);
    EXPECT_EQ(rep.GetImageFromID(MAX_IMAGE_ID + 1), nullptr);
    EXPECT_EQ(ThrownCode([&] { rep.GetContent({TAV_NONE, SECURITY_BLOCK_OFFSET}); }), TAVEX_NOT_FOUND);
    EXPECT_EQ(rep.GetEntryPoint(TAV_NONE, 3), (TavPosition{0, 0}));
    EXPECT_EQ(rep.SetEntryPoint(TAV_NONE, 3, {0, 312}), 0);
    // The repository itself is untouched.
    EXPECT_NE(rep.GetImageFromID(0), nullptr);
    EXPECT_EQ(rep.GetLatestBaselineNumber(), 0u);
    const TavPosition table = rep.GetLatestBaselinePos();
    ASSERT_NE(table.offset, 0u);
    rep.Detach();

    // The same through a baseline header naming image 0xFFFFFFFF (patched): either the table
    // is refused as a whole, or loading that baseline finds no image.
    PatchPayload(table.offset, 0, TAV_NONE);  // the first header's image word
    CTavRepository again;
    int attached = 0;
    const int code = ThrownCode([&] { attached = again.Attach(path, &sec); });
    if (attached == 1)
        EXPECT_EQ(ThrownCode([&] { TablePtr t(again.LoadBaseline(0)); }), TAVEX_NOT_FOUND);
    else
        EXPECT_EQ(code, TAVEX_NOT_IMAGE);
}

// Forged lengths: a stored length past the end of the file, and a gzip trailer that
// announces 4 GiB. Neither is believed before the bytes are there.
TEST_F(FuzzRegressionTest, ForgedLengthsAreNotBelieved) {
    const std::string text = TextBytes(30000);
    TavPosition content, table;
    uint32_t nodeTable = 0;
    {
        CAttached rep(path, &sec);
        ASSERT_EQ(rep.BeginTrans(5000), 1);
        content = rep.AddContent(text.data(), uint32_t(text.size()), {0, 0});
        ASSERT_NE(content.offset, 0u);
        rep.CommitTrans();
        table = rep.GetLatestBaselinePos();
        TavBaselineHeaderRec h;
        ASSERT_EQ(rep.GetBaselineHeader(0, h), 1);
        nodeTable = h.nodeTable;
    }
    // The content block's gzip trailer says 0xFFFFFFF0 bytes: not believed for allocating,
    // and reported as damage.
    const uint32_t stored = LE32(ReadFile(path), content.offset + 4);
    PokeLE32(path, content.offset + BLOCK_HEADER_SIZE + stored - 4, 0xFFFFFFF0);
    {
        CAttached rep(path, &sec);
        EXPECT_EQ(ThrownCode([&] { ReadChain(rep, content); }), TAVEX_READ_BLOCK);
    }
    // The node table's stored length reaches past the end of the file.
    PokeLE32(path, nodeTable + 4, 0xFFFFFFF0);
    {
        CAttached rep(path, &sec);
        EXPECT_EQ(ThrownCode([&] { TablePtr t(rep.LoadBaseline(0)); }), TAVEX_READ_BLOCK);
    }
    // So does the baseline table's: no baseline table, no repository.
    PokeLE32(path, table.offset + 4, 0x7FFFFFF0);
    CTavRepository rep;
    EXPECT_EQ(ThrownCode([&] { rep.Attach(path, &sec); }), TAVEX_NOT_IMAGE);
}

// The inputs the fuzzer found, read by the image fuzzer's own entry (attach with and
// without the seed password, every baseline, node and chain, a save rolled back), built into
// this program; under the sanitizers a fault shows as a failure:
//   content-in-image-none.tvr  a content chain whose link names image 0xFFFFFFFF
TEST_F(FuzzRegressionTest, KeptInputsReadWithoutHarm) {
    int argc = 1;
    char* args[] = {const_cast<char*>("rep_FuzzRegressionTest"), nullptr};
    char** argv = args;
    ASSERT_EQ(LLVMFuzzerInitialize(&argc, &argv), 0);
    for (const char* name : {"content-in-image-none.tvr"}) {
        const std::string bytes = ReadFile(FuzzImage(name));
        ASSERT_FALSE(bytes.empty()) << name;
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        EXPECT_EQ(LLVMFuzzerTestOneInput(data, bytes.size()), 0) << name;
    }
}

// A node table of a few dozen KiB that inflates to 32 MiB: refused while inflating, before
// the reader holds more than the table bound.
TEST_F(FuzzRegressionTest, DecompressionBombIsRefusedWithoutABigAllocation) {
    constexpr size_t BOMB = size_t(32) << 20;
    std::vector<uint8_t> bomb;
    {
        tavrep::CDeflateCompressor deflate;
        ASSERT_TRUE(deflate.Encode(std::vector<uint8_t>(BOMB, 0).data(), BOMB, 9, bomb));
    }
    ASSERT_LT(bomb.size(), BOMB / 512);
    const TavPosition table = CAttached(path, &sec).GetLatestBaselinePos();
    uint32_t bombAt = 0;
    {
        CTavImage image(path, sec);
        bombAt = image.WriteEncodedBlock(bomb, COMPRESS_DEFLATE, BLOCK_KIND_NODES, 0);
        ASSERT_NE(bombAt, 0u);
    }
    PatchPayload(table.offset, 4, bombAt);  // baseline 0's node table

    CAttached rep(path, &sec);
    g_largestAllocation = 0;
    EXPECT_EQ(ThrownCode([&] { TablePtr t(rep.LoadBaseline(0)); }), TAVEX_READ_BLOCK);
    const uint64_t bound = BlockPayloadLimit(TavBlockUse::Table, uint32_t(bomb.size()), 0);
    EXPECT_LE(g_largestAllocation.load(), 2 * bound);
    EXPECT_LT(g_largestAllocation.load(), BOMB / 4);
}
