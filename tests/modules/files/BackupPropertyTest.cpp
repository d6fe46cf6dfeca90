// Property: after each run over a randomly edited tree, the stored tree equals the folder.
#include <gtest/gtest.h>

#include <random>

#include "FilesTestRun.h"

namespace {

using namespace filestest;

class BackupProperty : public CFilesJobTest, public ::testing::WithParamInterface<uint32_t> {
protected:
    std::string RandomName() {
        static const char* const STEMS[] = {
            "a", "bb", "notes", "Photo", "x y", "d\xC3\xA9j\xC3\xA0", "z.tmp"};
        return std::string(STEMS[m_rng() % 7]) + std::to_string(m_rng() % 50);
    }
    std::string RandomContent() {
        const uint32_t kind = m_rng() % 10;
        size_t size = kind == 0 ? 0 : kind < 8 ? m_rng() % 3000 : 60000 + m_rng() % 140000;
        std::string out(size, '\0');
        for (char& c : out) c = char('a' + m_rng() % 26);
        return out;
    }
    std::string Pick(const std::vector<std::string>& list) { return list[m_rng() % list.size()]; }

    void RandomEdit() {
        // Every folder (the data folder too), and every other entry.
        std::vector<std::string> folders, others;
        for (const auto& [entry, item] : OnDisk(Data()))
            (item.folder ? folders : others).push_back(entry);
        const uint32_t op = m_rng() % 10;
        const std::string folder = Pick(folders);
        const std::string path = plat::JoinPath(folder, RandomName());
        if (op <= 2) {  // a new file
            if (!plat::PathExists(path)) tavtest::WriteFile(path, RandomContent());
        } else if (op == 3) {  // a new folder with a file in it
            if (!plat::PathExists(path) && plat::CreateDirectory(path))
                tavtest::WriteFile(plat::JoinPath(path, RandomName()), RandomContent());
        } else if (op == 4 && !others.empty()) {  // a changed file: new size
            const std::string victim = Pick(others);
            TavFindData fd;
            if (plat::GetFindData(victim, fd) && fd.kind == TavFileKind::Regular)
                tavtest::WriteFile(victim, RandomContent() + "!");
        } else if (op == 5 && !others.empty()) {  // same size, other bytes, later time
            const std::string victim = Pick(others);
            TavFindData fd;
            if (plat::GetFindData(victim, fd) && fd.kind == TavFileKind::Regular && fd.Size() > 0) {
                std::string content = tavtest::ReadFile(victim);
                content[m_rng() % content.size()] ^= 0x20;
                tavtest::WriteFile(victim, content);
                const TavFileTime t = TavFileTime::FromTicks(fd.written.Ticks() + 20000000);
                plat::SetFileTimes(victim, t, t);
            }
        } else if (op == 6) {  // something removed (never the data folder itself)
            std::vector<std::string> all = others;
            for (const std::string& f : folders)
                if (f != Data()) all.push_back(f);
            if (!all.empty()) tavtest::RemoveTree(Pick(all));
        } else if (op == 7 && !others.empty()) {  // a file turned folder, or a folder turned file
            const std::string victim = Pick(m_rng() % 2 ? others : folders);
            if (victim != Data()) {
                TavFindData fd;
                const bool wasFolder =
                    plat::GetFindData(victim, fd) && fd.kind == TavFileKind::Directory;
                tavtest::RemoveTree(victim);
                if (wasFolder) {
                    tavtest::WriteFile(victim, RandomContent());
                } else if (plat::CreateDirectory(victim)) {
                    tavtest::WriteFile(plat::JoinPath(victim, RandomName()), RandomContent());
                }
            }
        } else if (op == 8) {  // a symbolic link
            if (!plat::PathExists(path))
                plat::CreateSymlink(m_rng() % 2 ? "../" + RandomName() : Pick(folders), path);
        } else if (!others.empty()) {  // another mode
            static const uint32_t MODES[] = {0600, 0644, 0755, 0700, 0444};
            const std::string victim = Pick(others);
            TavFindData fd;
            if (plat::GetFindData(victim, fd) && fd.kind == TavFileKind::Regular)
                plat::SetFileMode(victim, MODES[m_rng() % 5]);
        }
    }


    std::mt19937 m_rng{GetParam()};
};

TEST_P(BackupProperty, StoredTreeEqualsTheFolderAfterEveryRun) {
    for (int i = 0; i < 150; ++i) RandomEdit();
    AddSource(Data());
    for (int run = 0; run < 8; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        // The run's total is known before anything is stored, and it is exactly what the
        // run stores. Every other run stores each file as soon as the walk finds it, as a
        // run does whose list of files to store grew past its limit.
        m_pendingLimit = run % 2 == 1 ? 1 : 0;
        const RunResult result = Run(run == 3);
        ASSERT_TRUE(result.committed) << result.log;
        EXPECT_TRUE(result.counted);
        EXPECT_EQ(result.workTotal.files, result.workDone.files);
        EXPECT_EQ(result.workTotal.bytes, result.workDone.bytes);
        EXPECT_EQ(result.counts.errors, 0u) << result.log;
        ExpectStoredEqualsDisk({Data()});
        if (HasFailure()) return;
        const int edits = 1 + int(m_rng() % 25);
        for (int e = 0; e < edits; ++e) RandomEdit();
    }
    // One more run with nothing changed stores no content and skips every file.
    Run();
    const RunResult quiet = Run();
    EXPECT_EQ(quiet.counts.added + quiet.counts.updated + quiet.counts.deleted, 0u) << quiet.log;
    Tree stored;
    Stored(stored);
    for (const auto& [path, item] : stored) {
        if (!item.folder) {
            EXPECT_LT(item.contentPos.image, quiet.imageId) << path;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, BackupProperty, ::testing::Values(1u, 2u, 3u, 17u, 4242u));

}  // namespace
