// Repository operations: attach, baselines, nodes, transactions and entry points.
#include <gtest/gtest.h>

#include <map>

#include "RepHelpers.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace tavtest;

namespace {

class RepositoryTest : public CRepTest {};

std::string Name(const TavNodeRec& n) { return Utf16FieldToUtf8(n.name, NODE_NAME_CHARS); }

}  // namespace

TEST_F(RepositoryTest, NewRepositoryHoldsBaselineZeroWithTheRootAndNumbersTheNextOnes) {
    CAttached rep(path, &sec);
    EXPECT_EQ(rep.GetLatestBaselineNumber(), 0u);
    EXPECT_EQ(rep.GetCurrentImageID(), 0u);
    EXPECT_EQ(rep.GetImagePath(5), "");
    std::vector<TavNodeRec> nodes = Nodes(rep, 0);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(Name(nodes[0]), "\\");
    EXPECT_EQ(nodes[0].flags, NODE_DIRECTORY);
    EXPECT_EQ(rep.LoadBaseline(7), nullptr);
    CTavRepository other;
    EXPECT_EQ(rep.Attach(path, &sec), 0);  // already attached
    EXPECT_EQ(ThrownCode([&] { other.Attach(dir / "missing.tvr", &sec); }), TAVEX_NOT_FOUND);
    ASSERT_TRUE(WriteFile(dir / "text.tvr", "not an image at all"));
    EXPECT_EQ(other.Attach(dir / "text.tvr", &sec), 0);
    EXPECT_FALSE(other.IsAttached());
    // (A baseline table reaching past the end of its image: the fuzz regression test.)

    // Baselines saved are named and numbered.
    TablePtr t(rep.LoadBaseline(0));
    ASSERT_EQ(rep.BeginTrans(5000), 1);
    EXPECT_EQ(rep.SaveBaseline(t.get(), nullptr, nullptr, 0x10001000), 1u);
    EXPECT_EQ(rep.SaveBaseline(t.get(), std::string(100, 'n').c_str(), "desc", 0x10002000), 2u);
    rep.CommitTrans();
    TavBaselineHeaderRec h;
    ASSERT_EQ(rep.GetBaselineHeader(1, h), 1);
    EXPECT_EQ(Utf16FieldToUtf8(h.name, 64), "Unnamed");
    ASSERT_EQ(rep.GetBaselineHeader(2, h), 1);
    EXPECT_EQ(Utf16FieldToUtf8(h.name, 64), std::string(63, 'n'));
    EXPECT_EQ(Utf16FieldToUtf8(h.description, 512), "desc");
    EXPECT_EQ(h.type, 0x10002000u);
    rep.Detach();
    CAttached again(path, &sec);
    EXPECT_EQ(again.GetLatestBaselineNumber(), 2u);
}

TEST_F(RepositoryTest, NodesAddUpdateDeleteAndPurge) {
    CAttached rep(path, &sec);
    uint32_t rootId = 0, docs = 0, a = 0, b = 0, keep = 0;
    ASSERT_EQ(Run(rep, [&](CTavRepBaselineDetails& t) {
        TavNodeRec* root = CTavRepository::CreateNode();
        root->attributes = TAV_ATTR_DIRECTORY;
        root->flags = NODE_DIRECTORY | NODE_TOUCHED;
        root->moduleId = MODULE_FILES_ROOT;
        Utf8ToUtf16Field("Files and Folders", root->name, NODE_NAME_CHARS);
        rootId = t.AddNode(*root, 1);
        CTavRepository::DisposeNode(root);
        TavFindData folder = FileData("docs", 0, TAV_ATTR_DIRECTORY);
        docs = rep.AddNode(&t, rootId, MODULE_FILES_ITEM, &folder, nullptr, 0, {0, 0}, nullptr);
        a = AddFile(rep, t, docs, "a.txt", "alpha");
        b = AddFile(rep, t, docs, "b.txt", TextBytes(100000));
        keep = AddFile(rep, t, rootId, "keep.txt", "keep");
    }), 1u);
    std::vector<TavNodeRec> n1 = Nodes(rep, 1);
    ASSERT_EQ(n1.size(), 6u);
    EXPECT_EQ(Name(n1[docs / 628]), "docs");
    EXPECT_EQ(n1[docs / 628].firstChildId, b);  // newest child first
    EXPECT_EQ(n1[b / 628].nextSiblingId, a);
    EXPECT_EQ(ReadChain(rep, n1[b / 628].content), TextBytes(100000));
    EXPECT_EQ(n1[a / 628].flags, NODE_HAS_FINGERPRINT);  // touched cleared at save
    for (const TavNodeRec& n : n1) EXPECT_EQ(n.flags & NODE_UNCHANGED, 0u);

    // Nothing touched: every node but the first is carried over unchanged.
    ASSERT_EQ(Run(rep, [](CTavRepBaselineDetails&) {}), 2u);
    std::vector<TavNodeRec> n2 = Nodes(rep, 2);
    EXPECT_EQ(n2[0].flags & NODE_UNCHANGED, 0u);
    for (size_t i = 1; i < n2.size(); ++i) EXPECT_NE(n2[i].flags & NODE_UNCHANGED, 0u) << i;

    // Deleting the folder removes it; its children stay, marked deleted; ids are dense.
    ASSERT_EQ(Run(rep, [&](CTavRepBaselineDetails& t) {
        EXPECT_EQ(rep.DeleteNode(&t, docs), 1);
        EXPECT_EQ(rep.DeleteNode(&t, docs), 1);
        TavNodeRec k;
        ASSERT_EQ(t.LoadNode(k, keep), 1);
        TavFindData fd = FileData("keep.txt", 4);
        std::string file = dir / "src-keep.txt";
        ASSERT_TRUE(WriteFile(file, "KEEP"));
        EXPECT_EQ(rep.UpdateNode(&t, k, &fd, file.c_str(), {0, 0}, nullptr), 1);
    }), 3u);
    std::vector<TavNodeRec> n3 = Nodes(rep, 3);
    ASSERT_EQ(n3.size(), 5u);
    for (size_t i = 0; i < n3.size(); ++i) EXPECT_EQ(n3[i].nodeId, i * 628);
    std::map<std::string, TavNodeRec> byName;
    for (const TavNodeRec& n : n3) byName[Name(n)] = n;
    EXPECT_EQ(byName.count("docs"), 0u);
    for (const char* child : {"a.txt", "b.txt"})
        EXPECT_EQ(byName[child].flags & (NODE_DELETED | NODE_UNCHANGED), NODE_DELETED | NODE_UNCHANGED) << child;
    const TavNodeRec& kept = byName["keep.txt"];
    EXPECT_EQ(ReadChain(rep, kept.content), "KEEP");
    EXPECT_EQ(kept.updateCount, 1u);
    EXPECT_EQ(kept.updateBaseline, 2u);
    EXPECT_NE(kept.flags & NODE_UPDATED, 0u);
    // The sibling chain of the root no longer runs through the removed folder.
    const TavNodeRec& root = n3[1];
    EXPECT_EQ(Name(n3[root.firstChildId / 628]), "keep.txt");
    EXPECT_EQ(n3[root.firstChildId / 628].nextSiblingId, TAV_NONE);
}

// A run that needs several images: rolled back, it deletes every image it started; then
// committed, its chains cross images and each image stays near its limit.
TEST_F(RepositoryTest, ChainsCrossImagesAndSplitAtTheLimit) {
    sec = Security(nullptr, ENCRYPT_BUILTIN, 150000);
    CAttached rep(path, &sec);
    std::string big = RandomBytes(400000, 4);
    Run(rep, [&](CTavRepBaselineDetails& t) { AddFile(rep, t, 0, "big", big); }, RunEnd::Rollback);
    EXPECT_GE(rep.GetCurrentImageID(), 3u);
    for (uint32_t i = 1; i <= rep.GetCurrentImageID(); ++i)
        EXPECT_FALSE(plat::PathExists(ImagePath(path, i))) << i;
    EXPECT_TRUE(plat::PathExists(path));
    uint32_t id = 0;
    ASSERT_EQ(Run(rep, [&](CTavRepBaselineDetails& t) { id = AddFile(rep, t, 0, "big", big); }), 1u);
    EXPECT_GE(rep.GetCurrentImageID(), 3u);
    std::vector<TavNodeRec> nodes = Nodes(rep, 1);
    EXPECT_EQ(ReadChain(rep, nodes[id / 628].content), big);
    // Every image stays below its limit, and a block whose successor starts the next image
    // names that image in its kind.
    bool crossed = false;
    TavPosition p = nodes[id / 628].content;
    while (p.offset != 0) {
        CTavRepContent* c = rep.GetContent(p);
        ASSERT_NE(c, nullptr);
        if (c->nextOffset != 0 && c->nextImage != p.image) {
            EXPECT_EQ(c->nextImage, p.image + 1);
            crossed = true;
        }
        p = c->Next();
        c->Dispose();
    }
    EXPECT_TRUE(crossed);
    for (uint32_t i = 0; i <= rep.GetCurrentImageID(); ++i)
        EXPECT_LT(ReadFile(rep.GetImagePath(i)).size(), 150000u + 70000u);
}

TEST_F(RepositoryTest, AnyImageOpensAtTheNewestBaseline) {
    {
        CAttached rep(path, &sec);
        for (int run = 0; run < 3; ++run)
            ASSERT_NE(Run(rep, [&](CTavRepBaselineDetails& t) { AddFile(rep, t, 0, "f", "v" + std::to_string(run)); }),
                      TAV_NONE);
        EXPECT_EQ(rep.GetCurrentImageID(), 3u);
    }
    for (uint32_t i : {0xFFFFFFFFu, 1u, 2u, 3u}) {
        CAttached rep(ImagePath(path, i), &sec);  // 0xFFFFFFFF: the plain name
        EXPECT_EQ(rep.GetLatestBaselineNumber(), 3u) << i;
        EXPECT_EQ(rep.GetEntryImageID(), 3u) << i;
        // Image 0 is found by its plain name.
        ASSERT_NE(rep.GetImageFromID(0), nullptr);
        EXPECT_EQ(rep.GetImagePath(0), path);
    }
}

TEST_F(RepositoryTest, SlotsRefuseIdsAboveTheLimitAndImagesWithAnotherId) {
    const std::string other = ImagePath(path, 1);
    ASSERT_EQ(CTavRepository::CreateRepository(other, &sec, 5, {0, 312}), 1);
    CAttached rep(path, &sec);
    EXPECT_EQ(ThrownCode([&] { rep.PutImage(other, 1); }), TAVEX_WRONG_ID);
    EXPECT_EQ(rep.GetImageFromID(1), nullptr);  // the default callback gives up
    EXPECT_EQ(ThrownCode([&] { rep.PutImageToSlot(20001, new CTavImage(path, sec), nullptr); }),
              TAVEX_ID_TOO_HIGH);
    EXPECT_EQ(ThrownCode([&] { rep.PutImageToSlot(20000, new CTavImage(path, sec), nullptr); }), -1);
    EXPECT_EQ(rep.GetCurrentImageID(), 20000u);
    // Image 20000 may be held but no image is started past 9999.
    EXPECT_EQ(rep.StartFreshImage(), TAV_NONE);
}

// A transaction that saved a baseline and is then rolled back, in image 0 itself (the file
// goes back to its size) or in a fresh image (the image goes): the entry points the save
// moved are put back, the object forgets the baseline, and image 0 opens at baseline 0.
TEST_F(RepositoryTest, ABaselineRolledBackAfterItsSaveIsForgotten) {
    const uint64_t before = ReadFile(path).size();
    for (bool fresh : {false, true}) {
        SCOPED_TRACE(fresh ? "fresh image" : "same image");
        {
            CAttached rep(path, &sec);
            auto add = [&](CTavRepBaselineDetails& t) { AddFile(rep, t, 0, "a.txt", TextBytes(150000)); };
            EXPECT_EQ(Run(rep, add, RunEnd::SaveThenRollback, fresh), 1u);
            EXPECT_EQ(rep.GetLatestBaselineNumber(), 0u);
            EXPECT_EQ(rep.GetBaselineList()->Count(), 1);
        }
        EXPECT_EQ(ReadFile(path).size(), before);
        EXPECT_FALSE(plat::PathExists(ImagePath(path, 1)));
        CAttached again(path, &sec);
        EXPECT_EQ(again.GetLatestBaselineNumber(), 0u);
    }
    // Earlier runs stay readable, and the same object carries on with the next number.
    const std::string kept = RandomBytes(70000, 9);
    CAttached rep(path, &sec);
    ASSERT_EQ(Run(rep, [&](CTavRepBaselineDetails& t) { AddFile(rep, t, 0, "kept.bin", kept); }), 1u);
    EXPECT_EQ(Run(rep, [&](CTavRepBaselineDetails& t) { AddFile(rep, t, 0, "lost.bin", TextBytes(90000)); },
                  RunEnd::SaveThenRollback),
              2u);
    EXPECT_EQ(rep.GetLatestBaselineNumber(), 1u);
    rep.Detach();
    CAttached again(path, &sec);
    ASSERT_EQ(again.GetLatestBaselineNumber(), 1u);
    const std::vector<TavNodeRec> nodes = Nodes(again, 1);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(ReadChain(again, nodes[1].content), kept);
    EXPECT_EQ(Run(again, [&](CTavRepBaselineDetails& t) { AddFile(again, t, 0, "next.txt", "next"); }), 2u);
    again.Detach();
    CAttached third(path, &sec);
    EXPECT_EQ(third.GetLatestBaselineNumber(), 2u);
}

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
