// Compacting a working table for saving: the one-pass removal gives exactly what the
// plain form of the compaction gives (a sweep over the table per removed node), on random
// forests with nodes deleted in this run and before, and on damaged links.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tavrep/TavRepository.h"

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

void ExpectSameRecords(const std::vector<TavNodeRec>& a, const std::vector<TavNodeRec>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].nodeId, b[i].nodeId) << i;
        EXPECT_EQ(a[i].parentId, b[i].parentId) << i;
        EXPECT_EQ(a[i].firstChildId, b[i].firstChildId) << i;
        EXPECT_EQ(a[i].nextSiblingId, b[i].nextSiblingId) << i;
        EXPECT_EQ(a[i].flags, b[i].flags) << i;
    }
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
        std::vector<TavNodeRec> want, got;
        const uint32_t wantCount = PurgePlainly(want, table);
        std::vector<TavNodeRec> work = table;
        const uint32_t gotCount = CTavRepository::PurgeBaseline(got, work);
        ASSERT_EQ(gotCount, wantCount) << "round " << round;
        ExpectSameRecords(got, want);
        if (HasFailure()) FAIL() << "round " << round << " (" << count << " records)";
    }
}
