// tavctl check: a clean repository passes; damaged bytes, missing images and broken
// links are each named; --read-data recomputes fingerprints. Damage to a repository is
// reported or harmless, never a silent change: one byte at a time is flipped in every table
// block and in a sample of the content blocks of a small repository; after each flip either
// `tavctl check --read-data` reports a problem (exit 1) or every baseline, item and content
// reads exactly as before.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "CliTestRepo.h"
#include "ContentReader.h"
#include "Progress.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace clitest;

namespace {

// Rewrites the links of one node of the newest baseline in a new baseline.
void BreakLinks(CTestRepo& repo, const std::string& item, uint32_t firstChild,
                uint32_t nextSibling) {
    const TavNodeRec target = repo.Node(2, item);
    repo.builder.Baseline([&] {
        repo.builder.Edit(target.nodeId, [&](TavNodeRec& node) {
            if (firstChild != 0) node.firstChildId = firstChild;
            if (nextSibling != 0) node.nextSiblingId = nextSibling;
        });
    }, {.name = "Broken", .type = 0x10002000});
}

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
            const tavtest::TablePtr table(rep.LoadBaseline(header.number));
            if (table == nullptr) return "";
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

TEST(CheckCommandTest, ACleanRepositoryPassesProgressIsErasedAndAFlippedByteIsNamed) {
    CTestRepo repo(nullptr, ENCRYPT_BUILTIN);
    CCli cli;
    const std::string quiet = cli.Ok({"check", repo.path}).out;
    for (const std::string& out : {quiet, cli.Ok({"check", repo.path, "--read-data"}).out}) {
        EXPECT_EQ(tavtest::Count(out, "\n"), 1) << out;
        EXPECT_TRUE(Contains(out, "Checked 3 baselines, ")) << out;
        EXPECT_TRUE(Contains(out, ": no problems found.\n"));
    }
    cli.progress = true;
    CliResult r = cli.Run({"check", repo.path});
    EXPECT_EQ(r.code, 0);
    // The report itself is the same; the progress line went to the error stream and was
    // blanked out at the end.
    EXPECT_EQ(r.out, quiet);
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err[0], '\r');
    EXPECT_TRUE(Contains(r.err, "baseline 0 (1 of 3): item 1 of 1")) << r.err;
    const size_t last = r.err.rfind('\r', r.err.size() - 2);
    EXPECT_EQ(r.err.back(), '\r');
    EXPECT_EQ(r.err.substr(last + 1, r.err.size() - last - 2).find_first_not_of(' '),
              std::string::npos);

    // A flipped byte is a damaged block named by image and offset.
    const TavNodeRec b = repo.Node(2, "/home/ann/docs/sub/b.bin");
    // Random bytes are stored in a gzip member of stored deflate blocks: the damage changes
    // 16 decrypted bytes but no length, and the member's CRC-32 shows it.
    FlipByte(repo.ImagePath(b.content.image), uint64_t(b.content.offset) + 20 + 1000);
    cli.progress = false;
    for (const bool readData : {false, true}) {
        r = readData ? cli.Run({"check", repo.path, "--read-data"}) : cli.Run({"check", repo.path});
        EXPECT_EQ(r.code, 1);
        const std::string problem = "/home/ann/docs/sub/b.bin (" + tavctl::IdText(b.nodeId) +
                                    "): content block at image " + std::to_string(b.content.image) +
                                    " offset " + std::to_string(b.content.offset) + ": ";
        // Both baselines carry the file.
        EXPECT_TRUE(Contains(r.out, "baseline 1: " + problem)) << r.out;
        EXPECT_TRUE(Contains(r.out, "baseline 2: " + problem)) << r.out;
        EXPECT_TRUE(Contains(r.out, "the CRC-32 of the gzip member does not match its data")) << r.out;
        EXPECT_TRUE(Contains(r.out, ": 2 problems found.\n")) << r.out;
    }
    // cat stops at the damaged block and says so.
    EXPECT_TRUE(cli.Expect(1, {"cat", repo.path, "/home/ann/docs/sub/b.bin"}, "CRC-32").out.empty());
}

// A compressed block (Rules) and both chunks of a message store damaged.
TEST(CheckCommandTest, ReadDataChecksCompressedBlocksAndEveryChunkOfAMessageStore) {
    CTestRepo repo;
    const TavNodeRec rules = repo.Node(2, std::string("Outlook Express/") + IDENTITY + "/Rules");
    FlipByte(repo.ImagePath(rules.content.image), uint64_t(rules.content.offset) + 20 + 12);
    const std::string inbox = std::string("Outlook Express/") + IDENTITY + "/<msgroot>/Inbox.dbx";
    const TavNodeRec node = repo.Node(2, inbox);
    // Both chunks are damaged: the first is named, the other counted.
    CTavRepository rep;
    ASSERT_EQ(rep.Attach(repo.path, &repo.security), 1);
    const std::string records = tavtest::ReadChain(rep, node.content);  // {image, offset, ...}
    rep.Detach();
    ASSERT_EQ(records.size(), 80u);
    // Behind the member's 10-byte header and the stored block's 5-byte header.
    for (size_t at : {size_t(0), size_t(40)})
        FlipByte(repo.ImagePath(LE32(records, at)), uint64_t(LE32(records, at + 4)) + 20 + 15 + 5);
    const uint32_t firstImage = LE32(records, 0);

    CCli cli;
    const CliResult r = cli.Expect(1, {"check", repo.path, "--read-data"}, "",
                                   "Rules (" + tavctl::IdText(rules.nodeId) + "): content block at image ");
    EXPECT_TRUE(Contains(r.out, "Inbox.dbx (" + tavctl::IdText(node.nodeId) +
                                    "): chunk 0: content block at image " + std::to_string(firstImage)))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "; 1 more damaged chunk (1)")) << r.out;
}

TEST(CheckCommandTest, LoopsAndLinksOutsideTheTableAreFoundAndDoNotHang) {
    CTestRepo repo;
    const TavNodeRec docs = repo.Node(2, "/home/ann/docs");
    BreakLinks(repo, "/home/ann/docs/a.txt", 0, docs.firstChildId);  // siblings run in a circle
    BreakLinks(repo, "/home/ann/docs/a.txt", 628 * 1000, 0);         // a child beyond the table
    CCli cli;
    const CliResult r = cli.Expect(1, {"check", repo.path});
    EXPECT_TRUE(Contains(r.out, "baseline 3: /home/ann/docs (" + tavctl::IdText(docs.nodeId) +
                                    "): its list of items reaches " +
                                    tavctl::IdText(docs.firstChildId) +
                                    " (sub) a second time (a loop or an item listed twice)\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "baseline 4: /home/ann/docs/a.txt (")) << r.out;
    EXPECT_TRUE(Contains(r.out, "its first-child link #00099520 is outside the node table\n"));
    EXPECT_TRUE(Contains(r.out, "Checked 5 baselines"));

    // Listing and naming items stay bounded on the damaged tables.
    cli.Expect(0, {"ls", "-r", repo.path});
    EXPECT_EQ(cli.Run({"cat", repo.path, "/home/ann/docs/a.txt"}).out, "alpha, second version");
}

TEST(CheckCommandTest, CutNewestImageLeavesTheEarlierBaselinesAndIsReported) {
    CTestRepo repo;
    const std::string image = repo.ImagePath(2);
    // Cut the newest image inside its first block: its node and baseline tables are gone.
    ASSERT_TRUE(tavtest::WriteFile(image, tavtest::ReadFile(image).substr(0, 400)));
    CCli cli;
    // The repository still opens, at the baselines before the damaged image, and says so ...
    cli.Expect(0, {"ls", repo.path}, "warning: the newest baselines are damaged: the baseline table in " + image +
                                         " cannot be read; showing the baselines up to 1");
    cli.Expect(0, {"info", repo.path});
    // ... and check names the table it could not read.
    const CliResult r = cli.Expect(1, {"check", repo.path}, "", "baseline table in image 2 (" + image + ") offset ");
    EXPECT_TRUE(Contains(r.out, "cannot be read; the repository opens at the baselines before it")) << r.out;
    // --repair sets the image aside (renamed, not deleted); the repository is whole again.
    cli.Expect(0, {"check", repo.path, "--repair"}, "", "set aside image 2: " + image + " -> " + image + ".set-aside");
    EXPECT_TRUE(plat::PathExists(image + ".set-aside"));
    cli.Ok({"check", repo.path});
}

TEST(CheckCommandTest, LeftoversOfAKilledRunAreNamedAndRemovedAndAMissingImageIsNamed) {
    CTestRepo repo;
    const std::string image = repo.ImagePath(3);
    ASSERT_NO_FATAL_FAILURE(LeaveUncommittedRun(repo.path, repo.security, RandomBytes(5000, 3)));
    const uint64_t size = tavtest::ReadFile(image).size();
    CCli cli;
    // Leftovers are no damage.
    cli.Expect(0, {"check", repo.path}, "", "left over: image 3 (" + image + "): " + tavctl::FormatBytes(size) + " (" +
                                               std::to_string(size) + " bytes) (the whole image)");
    cli.Expect(0, {"check", repo.path, "--repair"}, "", "removed image 3 (" + image + ")");
    EXPECT_FALSE(plat::PathExists(image));
    EXPECT_FALSE(Contains(cli.Run({"check", repo.path}).out, "left over"));

    // A missing image is named.
    const std::string lost = repo.ImagePath(1);
    ASSERT_TRUE(plat::RemoveFile(lost));
    // Baseline 1's node table was in the lost image; baseline 2 carries its files over.
    const CliResult r = cli.Expect(1, {"check", repo.path}, "",
                                   "baseline 1: node table in image 1 (" + lost + ") offset ");
    EXPECT_TRUE(Contains(r.out, "baseline 2: /home/ann/docs/sub/b.bin (")) << r.out;
    EXPECT_TRUE(Contains(r.out, ": image file " + lost + " cannot be opened\n")) << r.out;
}

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
