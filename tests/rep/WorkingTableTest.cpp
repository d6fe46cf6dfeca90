// The working node table keeps the record it touched last in memory, and reads runs of
// records a window at a time: every way of reading the table sees the rewrites, in any order
// of loads (random, forwards, backwards), rewrites, additions and whole reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <utility>
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

// Compacting a working table for saving: the one-pass removal gives exactly what the
// plain form of the compaction gives (a sweep over the table per removed node), on random
// forests with nodes deleted in this run and before, and on damaged links.
namespace {

// The compaction in its plain form: removal with a sweep per removed node, then renumbering
// with a replacement in the records made so far and the records still to come.
uint32_t PurgePlainly(std::vector<TavNodeRec>& out, std::vector<TavNodeRec> w) {
    const size_t count = w.size();
    out.clear();
    if (count == 0) return 0;
    out.push_back(w[0]);
    for (size_t j = 1; j < count; ++j) {
        if ((w[j].flags & (NODE_TOUCHED | NODE_DELETED)) != (NODE_TOUCHED | NODE_DELETED)) continue;
        const uint32_t d = w[j].nodeId;
        w[j].flags = 0;
        w[j].nodeId = TAV_NONE;
        for (size_t k = 1; k < count; ++k) {
            TavNodeRec& r = w[k];
            if (r.nodeId == TAV_NONE) continue;
            if (r.firstChildId == d) r.firstChildId = w[j].nextSiblingId;
            if (r.nextSiblingId == d) r.nextSiblingId = w[j].nextSiblingId;
            if (r.parentId == d) r.flags = (r.flags & ~NODE_TOUCHED) | NODE_DELETED;
        }
    }
    uint32_t i = 1;
    for (size_t j = 1; j < count; ++j) {
        if (w[j].nodeId == TAV_NONE) continue;
        const uint32_t o = uint32_t(j) * NODE_REC_SIZE;
        const uint32_t n = i * NODE_REC_SIZE;
        auto replace = [&](TavNodeRec& r) {
            for (uint32_t* id : {&r.parentId, &r.firstChildId, &r.nextSiblingId})
                if (*id == o) *id = n;
        };
        TavNodeRec r = w[j];
        if (o != n) {
            for (TavNodeRec& done : out) replace(done);
            for (size_t k = j; k < count; ++k) replace(w[k]);
            r = w[j];
        }
        r.nodeId = n;
        if (r.flags & NODE_TOUCHED)
            r.flags &= ~NODE_TOUCHED;
        else
            r.flags |= NODE_UNCHANGED;
        out.push_back(r);
        ++i;
    }
    return i;
}

TavNodeRec Blank(uint32_t id) {
    TavNodeRec r;
    std::memset(&r, 0, sizeof r);
    r.nodeId = id;
    r.parentId = r.firstChildId = r.nextSiblingId = TAV_NONE;
    return r;
}

// A forest built as runs build it (new children in front of their siblings), with flags
// of every kind; `damage` bends some links (parents too) to other records, to themselves
// or to nowhere.
std::vector<TavNodeRec> RandomTable(std::mt19937& rng, size_t count, bool damage) {
    std::vector<TavNodeRec> w;
    for (size_t j = 0; j < count; ++j) w.push_back(Blank(uint32_t(j) * NODE_REC_SIZE));
    auto pick = [&](size_t below) { return size_t(rng() % below); };
    for (size_t j = 1; j < count; ++j) {
        if (pick(20) == 0) continue;  // another root
        TavNodeRec& parent = w[pick(j)];
        w[j].parentId = parent.nodeId;
        w[j].nextSiblingId = parent.firstChildId;
        parent.firstChildId = w[j].nodeId;
    }
    const uint32_t kinds[] = {0, NODE_TOUCHED, NODE_TOUCHED | NODE_DELETED, NODE_DELETED,
                              NODE_TOUCHED | NODE_DELETED, NODE_UNCHANGED};
    for (TavNodeRec& r : w) r.flags = kinds[pick(std::size(kinds))] | NODE_DIRECTORY;
    if (damage) {
        for (int n = 0; n < int(count / 8) + 1; ++n) {
            TavNodeRec& r = w[pick(count)];
            uint32_t* fields[] = {&r.nextSiblingId, &r.firstChildId, &r.parentId};
            uint32_t* field = fields[pick(3)];
            switch (pick(4)) {
                case 0: *field = r.nodeId; break;                       // itself
                case 1: *field = uint32_t(pick(count)) * NODE_REC_SIZE; break;  // any record
                case 2: *field = uint32_t(count + pick(5)) * NODE_REC_SIZE; break;  // past the end
                default: *field = uint32_t(pick(count * NODE_REC_SIZE)); break;  // not an id
            }
        }
    }
    return w;
}

// The fields the compaction changes: id, links and flags.
std::vector<std::array<uint32_t, 5>> Links(const std::vector<TavNodeRec>& records) {
    std::vector<std::array<uint32_t, 5>> out;
    for (const TavNodeRec& r : records) out.push_back({r.nodeId, r.parentId, r.firstChildId, r.nextSiblingId, r.flags});
    return out;
}

}  // namespace

TEST(PurgeBaseline, OnePassMatchesThePlainFormOnRandomForests) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 400; ++round) {
        const bool damage = round % 2 == 1;
        const size_t count = 1 + rng() % (round < 200 ? 12 : 300);
        std::vector<TavNodeRec> table = RandomTable(rng, count, damage);
        // Now and then a record with an id that is not its place.
        if (round % 8 == 7 && count > 1) table[1 + rng() % (count - 1)].nodeId = uint32_t(rng());
        std::vector<TavNodeRec> want;
        const uint32_t wantCount = PurgePlainly(want, table);
        std::vector<TavNodeRec> got = table;
        const uint32_t gotCount = CTavRepository::PurgeBaseline(got);
        ASSERT_EQ(gotCount, wantCount) << "round " << round;
        ASSERT_EQ(Links(got), Links(want)) << "round " << round << " (" << count << " records)";
    }
}
