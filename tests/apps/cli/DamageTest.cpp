// Damage to a repository is reported or harmless, never a silent change: one byte at a time
// is flipped in every table block and in a sample of the content blocks of a small
// repository; after each flip either `tavctl check --read-data` reports a problem (exit 1) or
// every baseline, item and content reads exactly as before.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "CliTestRepo.h"
#include "ContentReader.h"
#include "platform/File.h"

using namespace clitest;

namespace {

struct BlockSpan {
    std::string file;
    uint32_t offset;
    uint32_t size;  // header and stored bytes
    bool table;
};

uint32_t LE32(const std::string& s, size_t at) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data() + at);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

// The blocks of an image file, walked header by header behind the two fixed blocks.
void CollectBlocks(const std::string& file, std::vector<BlockSpan>& out) {
    const std::string bytes = tavtest::ReadFile(file);
    for (size_t at = 312; at + 20 <= bytes.size();) {
        const uint32_t length = LE32(bytes, at + 4);
        const uint32_t kind = LE32(bytes, at + 12) & ~BLOCK_NEXT_IMAGE_MASK;
        out.push_back({file, uint32_t(at), 20 + length, kind == BLOCK_KIND_NODES || kind == BLOCK_KIND_BASELINES});
        at += 20 + length;
    }
}

void XorByte(const std::string& file, uint64_t offset, uint8_t mask) {
    auto f = plat::CFile::Open(file, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(f);
    uint8_t b = 0;
    ASSERT_EQ(f->ReadAt(&b, 1, offset), 1);
    b ^= mask;
    ASSERT_TRUE(f->WriteAt(&b, 1, offset));
}

template <typename T>
void Put(std::ostringstream& out, const T& value) {
    out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

// Everything a user reads from the repository: the baseline headers, every record of every
// baseline and every item's data (message stores through their chunk tables) and module
// data. "" when something cannot be read.
std::string Snapshot(const std::string& path, const TavImageSecurity& security) {
    std::ostringstream out;
    CTavRepository rep;
    try {
        if (rep.Attach(path, &security) != 1 || rep.GetBaselineList() == nullptr) return "";
        tavctl::ReadStats stats;
        const tavctl::DataSink sink = [&](const uint8_t* p, size_t n) {
            out.write(reinterpret_cast<const char*>(p), std::streamsize(n));
            return true;
        };
        for (const TavBaselineHeaderRec& header : rep.GetBaselineList()->items) {
            Put(out, header);
            CTavRepBaselineDetails* table = rep.LoadBaseline(header.number);
            if (table == nullptr) return "";
            std::unique_ptr<CTavRepBaselineDetails, void (*)(CTavRepBaselineDetails*)> owner(
                table, [](CTavRepBaselineDetails* t) { t->Dispose(); });
            TavNodeRec node{};
            for (uint32_t id = 0; table->LoadNode(node, id) == 1; id += NODE_REC_SIZE) {
                Put(out, node);
                if (!tavctl::ReadItemData(rep, node, true, sink, stats).empty()) return "";
                if (node.extra.offset != 0 && !tavctl::ReadChain(rep, node.extra, sink, stats).empty())
                    return "";
                node = TavNodeRec{};
            }
        }
    } catch (CTavException* e) {
        e->Delete();
        return "";
    }
    return out.str();
}

}  // namespace

TEST(DamageTest, EveryFlippedByteIsReportedOrHarmless) {
    CTestRepo repo;
    const std::string before = Snapshot(repo.path, repo.security);
    ASSERT_FALSE(before.empty());
    CCli cli;
    ASSERT_EQ(cli.Run({"check", repo.path, "--read-data"}).code, 0);

    std::vector<BlockSpan> blocks;
    for (uint32_t image = 0; image <= 2; ++image) CollectBlocks(repo.ImagePath(image), blocks);
    // Every byte of every table block inverted, and every bit of their coding words; a
    // sample of 200 bytes of the content blocks, headers included.
    struct Flip {
        std::string file;
        uint64_t offset;
        uint8_t mask;
    };
    std::vector<Flip> flips;
    std::vector<const BlockSpan*> content;
    size_t tableBlocks = 0;
    for (const BlockSpan& b : blocks) {
        if (!b.table) {
            content.push_back(&b);
            continue;
        }
        ++tableBlocks;
        for (uint32_t i = 0; i < b.size; ++i) flips.push_back({b.file, uint64_t(b.offset) + i, 0xFF});
        for (uint32_t bit = 0; bit < 32; ++bit)
            flips.push_back({b.file, uint64_t(b.offset) + 8 + bit / 8, uint8_t(1u << (bit % 8))});
    }
    ASSERT_GE(tableBlocks, 6u);  // a node table and a baseline table per run
    ASSERT_FALSE(content.empty());
    std::mt19937 rng(2024);
    for (int i = 0; i < 200; ++i) {
        const BlockSpan& b = *content[rng() % content.size()];
        flips.push_back({b.file, uint64_t(b.offset) + rng() % b.size, uint8_t(1u << (rng() % 8))});
    }

    size_t reported = 0;
    for (const Flip& flip : flips) {
        XorByte(flip.file, flip.offset, flip.mask);
        const CliResult r = cli.Run({"check", repo.path, "--read-data"});
        if (r.code == 1) {
            EXPECT_FALSE(r.out.empty() && r.err.empty());
            ++reported;
        } else {
            ASSERT_EQ(r.code, 0) << r.out << r.err;
            ASSERT_EQ(Snapshot(repo.path, repo.security), before)
                << "silent change: " << flip.file << " offset " << flip.offset << " mask "
                << int(flip.mask);
        }
        XorByte(flip.file, flip.offset, flip.mask);
    }
    RecordProperty("flips", int(flips.size()));
    RecordProperty("reported", int(reported));
    // Nearly every flip is damage; the harmless ones are fields no reader uses (the kind
    // and link of a table block, the next image of a chain's last block).
    EXPECT_GT(reported, flips.size() * 9 / 10);
    EXPECT_EQ(Snapshot(repo.path, repo.security), before);
}
