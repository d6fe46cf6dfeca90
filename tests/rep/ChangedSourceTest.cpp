// A source file that changes while it is stored: the item is not stored at all (never cut
// or longer than its recorded size), the observer hears why, and a node being updated keeps
// its earlier version, so the next run tries the file again.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "RepHelpers.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

using namespace tavtest;

namespace {

constexpr size_t SIZE = 65536 * 40;

struct Change {
    const char* name;
    void (*apply)(const std::string& path);
};

// Another program changes the file without asking for the advisory lock the reader holds.
const Change CHANGES[] = {
    {"grows", [](const std::string& path) {
         std::ofstream(path, std::ios::binary | std::ios::app) << "more";
     }},
    {"shrinks", [](const std::string& path) { std::filesystem::resize_file(path, SIZE / 2 + 7); }},
};

class ChangedSource : public CRepTest {};

TEST_F(ChangedSource, AFileThatChangesWhileReadIsNotStoredAndTheNodeKeepsItsVersion) {
    CAttached rep(path, &sec);
    TablePtr table(rep.LoadBaseline(0));
    ASSERT_TRUE(table);
    ASSERT_EQ(rep.BeginTrans(5000), 1);
    for (const Change& change : CHANGES) {
        SCOPED_TRACE(change.name);
        const std::string file = dir / "big.bin";
        ASSERT_TRUE(WriteFile(file, RandomBytes(SIZE, 3)));
        TavFindData fd = FileData("big.bin", SIZE);

        // A new item: not added.
        CRecordingObserver obs;
        bool changed = false;
        obs.onProgress = [&] {
            if (!changed) change.apply(file);
            changed = true;
        };
        EXPECT_EQ(rep.AddNode(table.get(), 0, MODULE_FILES_ITEM, &fd, file.c_str(), 0, {0, 0}, &obs), TAV_NONE);
        ASSERT_EQ(obs.errors.size(), 1u);
        EXPECT_NE(obs.errors[0].find("changed while it was read"), std::string::npos) << obs.errors[0];

        // A stored item updated from a file that changes: the node stays as it was.
        ASSERT_TRUE(WriteFile(file, RandomBytes(SIZE, 4)));
        const uint32_t id = rep.AddNode(table.get(), 0, MODULE_FILES_ITEM, &fd, file.c_str(), 0, {0, 0}, nullptr);
        ASSERT_NE(id, TAV_NONE);
        TavNodeRec before;
        ASSERT_EQ(table->LoadNode(before, id), 1);
        changed = false;
        TavFindData newer = FileData("big.bin", SIZE + 1);
        ASSERT_TRUE(WriteFile(file, RandomBytes(SIZE + 1, 5)));
        TavNodeRec node = before;
        EXPECT_EQ(rep.UpdateNode(table.get(), node, &newer, file.c_str(), {0, 0}, &obs), 0);
        TavNodeRec after;
        ASSERT_EQ(table->LoadNode(after, id), 1);
        EXPECT_TRUE(after.content == before.content);
        EXPECT_EQ(after.Size(), uint64_t(SIZE)) << "the next run sees the size differ and stores it again";
        EXPECT_EQ(std::memcmp(after.fingerprint, before.fingerprint, sizeof after.fingerprint), 0);

        // A file whose listed size is not its size is not stored either.
        const std::string small = dir / "small.txt";
        ASSERT_TRUE(WriteFile(small, "twelve bytes"));
        for (uint64_t listed : {uint64_t(0), uint64_t(11), uint64_t(13), uint64_t(12)}) {
            TavFindData listing = FileData("small.txt", listed);
            CRecordingObserver heard;
            const uint32_t added =
                rep.AddNode(table.get(), 0, MODULE_FILES_ITEM, &listing, small.c_str(), 0, {0, 0}, &heard);
            EXPECT_EQ(added == TAV_NONE, listed != 12) << listed;
            EXPECT_EQ(heard.errors.size(), listed != 12 ? 1u : 0u) << listed;
        }
    }
    rep.CommitTrans();
}

}  // namespace
