// The working node table keeps the record it touched last in memory, and reads runs of
// records a window at a time: every way of reading the table sees the rewrites, in any order
// of loads (random, forwards, backwards), rewrites, additions and whole reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "support/RepBuilder.h"
#include "platform/File.h"
#include "tavrep/BaselineDetails.h"

using namespace tavtest;

namespace {

TavNodeRec Record(uint32_t index, uint32_t salt) {
    TavNodeRec r;
    std::memset(&r, 0, sizeof r);
    r.nodeId = index * NODE_REC_SIZE;
    r.parentId = index == 0 ? TAV_NONE : 0;
    r.firstChildId = r.nextSiblingId = TAV_NONE;
    r.content = {salt % 3, salt * 7919u % 100000u};
    r.flags = salt;
    r.sizeLow = salt * 31u;
    r.name[0] = char16_t('a' + salt % 26);
    return r;
}

bool Same(const TavNodeRec& a, const TavNodeRec& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class WorkingTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir / "table.tmp";
        auto file = plat::CFile::Open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateAlways);
        ASSERT_TRUE(file);
        for (uint32_t i = 0; i < 20; ++i) {
            model.push_back(Record(i, i));
            uint8_t raw[NODE_REC_SIZE];
            EncodeNodeRec(model.back(), raw);
            ASSERT_TRUE(file->WriteAt(raw, NODE_REC_SIZE, uint64_t(i) * NODE_REC_SIZE));
        }
        file.reset();
        table = new CTavRepBaselineDetails;
        ASSERT_EQ(table->Attach(path), 1);
    }
    void TearDown() override { table->Dispose(); }

    void ExpectTableIsModel() {
        std::vector<TavNodeRec> all;
        ASSERT_EQ(table->LoadAllNodes(all), 1);
        ASSERT_EQ(all.size(), model.size());
        for (size_t i = 0; i < all.size(); ++i) EXPECT_TRUE(Same(all[i], model[i])) << i;
        // The content index orders the records by content position, then by id.
        table->BuildContentIndex();
        std::vector<uint32_t> want;
        for (const TavNodeRec& r : model) want.push_back(r.nodeId);
        std::stable_sort(want.begin(), want.end(), [&](uint32_t a, uint32_t b) {
            const TavPosition& pa = model[a / NODE_REC_SIZE].content;
            const TavPosition& pb = model[b / NODE_REC_SIZE].content;
            return pa.image != pb.image ? pa.image < pb.image : pa.offset < pb.offset;
        });
        EXPECT_EQ(table->contentIndex, want);
        // The roots are the records without a parent, in the index's order.
        table->ReIndex();
        std::vector<uint32_t> roots;
        for (uint32_t id : want)
            if (model[id / NODE_REC_SIZE].parentId == TAV_NONE) roots.push_back(id);
        std::vector<uint32_t> got;
        for (const TavRootEntry& root : table->roots) got.push_back(root.nodeId);
        EXPECT_EQ(got, roots);
    }

    CTempDir dir;
    std::string path;
    std::vector<TavNodeRec> model;
    CTavRepBaselineDetails* table = nullptr;
};

}  // namespace

TEST_F(WorkingTableTest, EveryReadSeesTheRewritesInAnyOrder) {
    std::mt19937 rng(11);
    uint32_t index = 0;
    for (int step = 0; step < 3000; ++step) {
        // Mostly runs of neighbours, as a folder's items are read; now and then a jump.
        const uint32_t size = uint32_t(model.size());
        const uint32_t how = rng() % 8;
        index = how == 0 ? rng() % size
                : how < 5 ? (index + 1) % size
                          : (index + size - 1) % size;
        switch (rng() % 6) {
            case 0:
            case 1: {  // rewrite a record
                TavNodeRec r = Record(index, rng() % 1000);
                if (rng() % 4 == 0) r.parentId = TAV_NONE;  // another root
                ASSERT_EQ(table->UpdateNode(r), r.nodeId);
                model[index] = r;
                break;
            }
            case 2: {  // flags through the load-and-rewrite path
                ASSERT_EQ(table->ModifyNodeFlags(index * NODE_REC_SIZE, 0x100u, 0x1u), 1);
                model[index].flags = 0x100u | (model[index].flags & ~0x1u);
                break;
            }
            case 3: {  // a new record at the end
                TavNodeRec r = Record(uint32_t(model.size()), rng() % 1000);
                ASSERT_EQ(table->AddNode(r, 0), uint32_t(model.size()) * NODE_REC_SIZE);
                model.push_back(r);
                break;
            }
            case 4:
                if (step % 50 == 0) ExpectTableIsModel();
                break;
            default:
                break;
        }
        TavNodeRec got;
        ASSERT_EQ(table->LoadNode(got, index * NODE_REC_SIZE), 1);
        ASSERT_TRUE(Same(got, model[index])) << "step " << step;
    }
    ExpectTableIsModel();
    // Ids that are not records are refused whatever is kept in memory.
    TavNodeRec got;
    EXPECT_EQ(table->LoadNode(got, uint32_t(model.size()) * NODE_REC_SIZE), 0);
    TavNodeRec stray = Record(uint32_t(model.size()) + 3, 1);
    EXPECT_EQ(table->UpdateNode(stray), TAV_NONE);
    ExpectTableIsModel();
}

TEST_F(WorkingTableTest, ARewriteReachesTheFileWhenAnotherRecordIsWanted) {
    TavNodeRec r = Record(4, 77);
    ASSERT_EQ(table->UpdateNode(r), r.nodeId);
    TavNodeRec other;
    ASSERT_EQ(table->LoadNode(other, 9 * NODE_REC_SIZE), 1);
    // Read past the table's lock, as a look at the disk.
    std::ifstream file(path, std::ios::binary);
    file.seekg(4 * NODE_REC_SIZE);
    uint8_t raw[NODE_REC_SIZE];
    ASSERT_TRUE(file.read(reinterpret_cast<char*>(raw), NODE_REC_SIZE));
    TavNodeRec onDisk;
    DecodeNodeRec(raw, onDisk);
    EXPECT_TRUE(Same(onDisk, r));
}
