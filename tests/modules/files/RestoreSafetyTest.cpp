// Stored data is input: hostile names, damaged chains, links in the target and folders that
// cannot be written never make a restore write outside its target or stop it.
#include <gtest/gtest.h>

#include "RestoreTestRun.h"

namespace {

using namespace filestest;

class RestoreSafety : public ::testing::Test {
protected:
    RestoreResult Restore(uint32_t command = RS_ALWAYS, const std::vector<uint32_t>& nodes = {},
                          const std::string& location = {}) {
        return RunRestore(m_repo.path,
                          Request(1, command, location.empty() ? m_to : location, {}, nodes));
    }
    // Every entry below `path` (relative names), to see that nothing else was written.
    static std::vector<std::string> Entries(const std::string& path) {
        Snapshot s;
        TakeSnapshot(path, s, false);
        std::vector<std::string> names;
        for (const auto& [name, snap] : s) names.push_back(name);
        return names;
    }

    CTempDir m_dir;
    CHandRepo m_repo{m_dir / "hand.tvr"};
    std::string m_to = m_dir / "to/inner";
};

TEST_F(RestoreSafety, NamesThatCouldLeaveTheTargetAreRefusedAndTheRestGoesOn) {
    uint32_t escaped = 0;
    m_repo.Baseline([&](uint32_t root) {
        const uint32_t top = m_repo.Folder(root, "/top");
        m_repo.File(top, "..", "dot dot");
        m_repo.File(top, ".", "dot");
        m_repo.File(top, "", "empty");
        m_repo.File(top, "a/b", "slash");
        const uint32_t up = m_repo.Folder(top, "..");
        escaped = m_repo.File(up, "escaped.txt", "escaped");
        m_repo.File(top, "fine.txt", "fine");
        m_repo.Folder(root, "/x/../../outside");
        m_repo.File(root, "relative.txt", "not absolute");
        m_repo.File(root, "/", "a file named /");
    });
    const RestoreResult run = Restore();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.counts.succeeded, 1u);
    EXPECT_EQ(run.counts.errors, 8u) << run.log;
    EXPECT_EQ(tavtest::ReadFile(m_to + "/top/fine.txt"), "fine");
    for (const std::string name : {"..", ".", "", "a/b"})
        EXPECT_EQ(Count(run.log, "\r\n***** Invalid name in the backup, not restored: \"" + name +
                                     "\" in \"" + m_to + "/top\"\r\n"),
                  name == ".." ? 2 : 1)  // the file and the folder
            << name << "\n" << run.log;
    EXPECT_TRUE(Once(run.log, "not restored: \"/x/../../outside\" in \"Files and Folders\"\r\n"));
    EXPECT_TRUE(Once(run.log, "not restored: \"relative.txt\" in \"Files and Folders\"\r\n"));
    // Nothing beside the target, nothing but the good file inside it.
    EXPECT_EQ(Entries(m_dir / "to"), (std::vector<std::string>{"", "inner", "inner/top",
                                                               "inner/top/fine.txt"}));

    // A requested item below a bad name: without a location it would go to its "original"
    // folder, /top/.. = /.
    const RestoreResult single = RunRestore(m_repo.path, Request(1, RS_ALWAYS, "", {}, {escaped}));
    EXPECT_EQ(single.result, 0);
    EXPECT_TRUE(Once(single.log, "not restored: \"..\" in \"/top\"\r\n"));
    EXPECT_FALSE(plat::PathExists("/escaped.txt"));
    EXPECT_FALSE(plat::PathExists("/top"));
}

TEST_F(RestoreSafety, LinksInTheTargetAreNeverFollowed) {
    m_repo.Baseline([&](uint32_t root) {
        const uint32_t top = m_repo.Folder(root, "/home/ann");
        const uint32_t docs = m_repo.Folder(top, "docs");
        m_repo.File(docs, "a.txt", "restored");
        m_repo.File(top, "link", "../../elsewhere", TAV_ATTR_ARCHIVE | TAV_ATTR_REPARSE_POINT);
    });
    const std::string outside = m_dir / "outside";
    plat::CreateDirectories(outside);
    // A link left in the target where a stored folder goes, and one on the way to the
    // top-level item: both would lead the restore out of the target.
    plat::CreateDirectories(m_to + "/home/ann");
    ASSERT_TRUE(plat::CreateSymlink(outside, m_to + "/home/ann/docs"));
    RestoreResult run = Restore();
    EXPECT_TRUE(Once(run.log, "\r\n***** Cannot create folder: " + m_to + "/home/ann/docs\r\n"));
    EXPECT_TRUE(Entries(outside) == std::vector<std::string>{""});
    // A stored link replaces the link, not what it points to.
    EXPECT_EQ(run.counts.succeeded, 1u);
    std::string target;
    ASSERT_TRUE(plat::ReadSymlink(m_to + "/home/ann/link", target));
    EXPECT_EQ(target, "../../elsewhere");

    tavtest::RemoveTree(m_to + "/home");
    ASSERT_TRUE(plat::CreateSymlink(outside, m_to + "/home"));
    run = Restore();
    EXPECT_TRUE(Once(run.log, "\r\n***** Cannot create folder: " + m_to + "/home\r\n"));
    EXPECT_TRUE(Entries(outside) == std::vector<std::string>{""});
}

TEST_F(RestoreSafety, ShortOrBrokenChainsAreErrorsOfTheirFileOnly) {
    TavPosition first, second;
    m_repo.Baseline([&](uint32_t root) {
        const uint32_t top = m_repo.Folder(root, "/top");
        const uint32_t shortFile = m_repo.File(top, "short.bin", std::string(70000, 's'));
        m_repo.Edit(shortFile, [](TavNodeRec& node) { node.sizeLow = 140000; });
        // Two blocks whose second will lead back to the first: a chain without an end.
        const uint32_t loop = m_repo.File(top, "loop.bin", std::string(100, 'l'));
        m_repo.Edit(loop, [&](TavNodeRec& node) {
            first = m_repo.Rep().AddContent("xyz", 3, {0, 0});
            second = m_repo.Rep().AddContent("abc", 3, first);
            node.content = first;
        });
        const uint32_t gone = m_repo.File(top, "gone.bin", "gone");
        m_repo.Edit(gone, [](TavNodeRec& node) { node.content = {0, 99999999}; });
        m_repo.File(top, "fine.txt", "fine");
        // A link whose stored target runs past any a link can have: never read whole.
        const uint32_t longLink = m_repo.File(top, "long.lnk", std::string(70000, 'k'));
        m_repo.Edit(longLink, [](TavNodeRec& node) { node.attributes |= TAV_ATTR_REPARSE_POINT; });
    });
    // The second block's header (self, length, coding, kind, link) now names the first.
    const std::string image = m_repo.Image(second.image);
    std::string bytes = tavtest::ReadFile(image);
    ASSERT_LT(second.offset + 20, bytes.size());
    for (int i = 0; i < 4; ++i) {
        bytes[second.offset + 12 + i] = char((0x00040000u | first.image) >> (8 * i));
        bytes[second.offset + 16 + i] = char(first.offset >> (8 * i));
    }
    ASSERT_TRUE(tavtest::WriteFile(image, bytes));

    plat::CreateDirectories(m_to + "/top");
    ASSERT_TRUE(tavtest::WriteFile(m_to + "/top/short.bin", "kept"));
    const RestoreResult run = Restore();
    ASSERT_EQ(run.result, 1);
    EXPECT_EQ(tavtest::ReadFile(m_to + "/top/fine.txt"), "fine");
    EXPECT_TRUE(Once(run.log, "\r\n***** Stored content of file \"" + m_to +
                                  "/top/short.bin\" is damaged or incomplete: the stored chunks "
                                  "end before its size\r\n"));
    EXPECT_EQ(tavtest::ReadFile(m_to + "/top/short.bin"), "kept");
    EXPECT_TRUE(Once(run.log, "/top/gone.bin\" is damaged or incomplete: "));
    EXPECT_FALSE(plat::PathExists(m_to + "/top/gone.bin"));
    EXPECT_TRUE(Once(run.log, "/top/loop.bin\" is damaged or incomplete: the chain of stored "
                              "chunks is broken\r\n"));
    EXPECT_TRUE(Once(run.log, "/top/long.lnk\" is damaged or incomplete: the stored link target "
                              "is not valid\r\n"));
    EXPECT_EQ(run.counts.errors, 4u);
    EXPECT_EQ(run.counts.succeeded, 1u);
    EXPECT_TRUE(TempFilesBelow(m_to).empty());
}

// A folder that cannot be made is reported once, and each file of a folder without write
// permission once; the rest goes on.
TEST_F(RestoreSafety, FoldersThatCannotBeWrittenAreReportedOnceAndTheRestGoesOn) {
    const bool superuser = plat::IsRoot();  // writes into any folder
    m_repo.Baseline([&](uint32_t root) {
        const uint32_t top = m_repo.Folder(root, "/top");
        const uint32_t blocked = m_repo.Folder(top, "blocked");
        m_repo.File(blocked, "x.txt", "x");
        m_repo.File(blocked, "y.txt", "y");
        m_repo.File(top, "fine.txt", "fine");
        const uint32_t second = m_repo.Folder(root, "/second");
        m_repo.File(second, "z.txt", "z");
        const uint32_t locked = m_repo.Folder(root, "/locked");
        m_repo.File(locked, "a.txt", "a");
        m_repo.File(locked, "b.txt", "b");
    });
    plat::CreateDirectories(m_to + "/top");
    ASSERT_TRUE(tavtest::WriteFile(m_to + "/top/blocked", "a file where a folder goes"));
    plat::CreateDirectories(m_to + "/locked");
    ASSERT_TRUE(plat::SetFileMode(m_to + "/locked", 0555));
    const RestoreResult run = Restore();
    plat::SetFileMode(m_to + "/locked", 0755);
    ASSERT_EQ(run.result, 1);
    EXPECT_EQ(Count(run.log, "***** "), superuser ? 1 : 3) << run.log;
    EXPECT_TRUE(Once(run.log, "\r\n***** Cannot create folder: " + m_to + "/top/blocked\r\n"));
    for (const char* name : {"a.txt", "b.txt"})
        EXPECT_EQ(Count(run.log, "\r\n***** Access denied. Cannot open file \"" + m_to +
                                     "/locked/" + name + "\" for writing\r\n"),
                  superuser ? 0 : 1);
    EXPECT_EQ(run.counts.errors, superuser ? 1u : 3u);
    EXPECT_EQ(run.counts.succeeded, superuser ? 4u : 2u);
    EXPECT_EQ(tavtest::ReadFile(m_to + "/second/z.txt"), "z");
}

}  // namespace
