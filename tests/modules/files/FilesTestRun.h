// Test support for the Files and Folders engine: jobs over temporary trees, runs, stored trees.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/PosixMeta.h"
#include "core/TavEngineFiles.h"
#include "core/TavJobFilesHelper.h"
#include "platform/FileSystem.h"
#include "support/EngineRun.h"
#include "support/RepBuilder.h"
#include "support/StoredRun.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavWords.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"

namespace filestest {

using tavtest::CTempDir;

using tavtest::CEngineRecorder;

struct RunResult : tavtest::BackupRun, tavtest::RecordedEvents {
    TavBkLogAccount counts;
    std::map<std::string, int> titles;
    std::string firstItem;
    bool counted = false;  // the engine knew its work before it stored any
    TavRunWork workTotal, workDone;
};

// One stored or found item.
struct Item {
    bool folder = false;
    bool link = false;
    uint64_t size = 0;
    uint32_t fingerprint[4] = {0, 0, 0, 0};
    std::string content;  // files and links
    uint32_t mode = 0, uid = 0, gid = 0;
    bool hasMeta = false;
    TavPosition contentPos;
    uint32_t id = TAV_NONE;  // the stored node's id
    // Equal items: kind, size, fingerprint, content and (but for links) permission bits.
    bool operator==(const Item& o) const {
        return folder == o.folder && link == o.link && size == o.size &&
               std::equal(fingerprint, fingerprint + 4, o.fingerprint) && content == o.content &&
               (link || (mode & 07777) == (o.mode & 07777));
    }
};
using Tree = std::map<std::string, Item>;

inline void PrintTo(const Item& item, std::ostream* os) {
    *os << (item.folder ? "folder" : item.link ? "link" : "file") << " size " << item.size
        << " mode " << std::oct << (item.mode & 07777) << std::dec;
}

// One item found on disk.
struct Snap {
    char kind = '?';      // 'd' folder, 'f' file, 'l' link
    std::string content;  // a file's bytes, a link's target
    uint32_t mode = 0;    // permission bits
    uint64_t written = 0;
    bool operator==(const Snap&) const = default;
};
using Snapshot = std::map<std::string, Snap>;

inline void PrintTo(const Snap& s, std::ostream* os) {
    *os << s.kind << " mode " << std::oct << s.mode << std::dec << " written " << s.written
        << " " << s.content.size() << " bytes";
}

// The tree below `path` keyed by the path relative to it ("" for `path` itself). Folder
// times are taken only when `folderTimes` (writing into a folder changes them).
inline void TakeSnapshot(const std::string& path, Snapshot& out, bool folderTimes = true,
                         const std::string& relative = {}) {
    TavFindData fd;
    if (!plat::GetFindData(path, fd)) return;
    Snap s;
    s.kind = fd.kind == TavFileKind::Directory ? 'd' : fd.kind == TavFileKind::Symlink ? 'l' : 'f';
    s.mode = s.kind == 'l' ? 0 : fd.mode & 07777;
    s.written = s.kind == 'd' && !folderTimes ? 0 : fd.written.Ticks();
    if (s.kind == 'l') s.content = fd.linkTarget;
    if (s.kind == 'f') s.content = tavtest::ReadFile(path);
    out[relative] = s;
    if (s.kind != 'd') return;
    std::vector<TavFindData> entries;
    plat::ListDirectory(path, entries);
    for (const TavFindData& e : entries)
        TakeSnapshot(plat::JoinPath(path, e.name), out, folderTimes,
                     relative.empty() ? e.name : relative + "/" + e.name);
}

// A job with a "files" node over a temporary folder, its repository beside it.
class CFilesJobTest : public ::testing::Test {
protected:
    CFilesJobTest() {
        plat::CreateDirectory(m_dir / "data");
        plat::CreateDirectory(m_dir / "images");
        m_job.SetImageDesc("bk", "2.00 GB", TAV_DEFAULT_ENCODING, m_dir / "images");
        m_job.AddBackupNode("Files and Folders", "files");
        m_selection = std::make_unique<CTavJobFilesHelper>(m_job.GetBackupNode("files"), &m_job);
    }

    std::string Data(const std::string& relative = {}) const {
        return relative.empty() ? m_dir / "data" : plat::JoinPath(m_dir / "data", relative);
    }
    std::string ImagePath() const { return m_dir / "images/bk.tvr"; }

    void Write(const std::string& relative, const std::string& content) {
        const std::string path = Data(relative);
        plat::CreateDirectories(plat::DirName(path));
        ASSERT_TRUE(tavtest::WriteFile(path, content)) << path;
    }
    void Mkdir(const std::string& relative) { plat::CreateDirectories(Data(relative)); }
    void Remove(const std::string& relative) { tavtest::RemoveTree(Data(relative)); }
    // Moves the written time of a file by `seconds`.
    void Touch(const std::string& relative, int64_t seconds) {
        TavFindData fd;
        ASSERT_TRUE(plat::GetFindData(Data(relative), fd));
        const TavFileTime t =
            TavFileTime::FromTicks(fd.written.Ticks() + uint64_t(seconds * 10000000));
        ASSERT_TRUE(plat::SetFileTimes(Data(relative), t, t));
    }

    void AddSource(const std::string& path) {
        m_selection->AddFile(path);
        m_selection->Sort();
    }
    void SetCommand(uint32_t conditions) {
        m_job.SetBackupCommand(conditions | TAV_BKTYPE_INCREMENTAL);
    }

    // One run as the runners do it: create or attach, latest baseline, transaction, the
    // engine, then save and commit, or roll back.
    RunResult Run(bool full = false, int cancelAfter = 0) {
        RunResult out;
        const uint32_t word = SetTavCmd(
            SetBkType(m_job.GetBackupCommand(), full ? TAV_BKTYPE_FULL : TAV_BKTYPE_INCREMENTAL),
            TAV_CMD_BACKUP);
        const uint32_t saved = m_job.GetBackupCommand();
        m_job.SetBackupCommand(word);
        const std::string xml = m_job.GetXmlString();
        m_job.SetBackupCommand(saved);

        CEngineRecorder recorder;
        recorder.cancelAfter = cancelAfter;
        auto* engine = new CTavEngineFiles;
        if (m_pendingLimit != 0) engine->SetPendingLimit(m_pendingLimit);
        static_cast<tavtest::BackupRun&>(out) =
            tavtest::RunBackup(m_job, xml, *engine, recorder, word, "job");
        out.counts = engine->GetBackupCounts();
        engine->Dispose();
        out.TakeEvents(recorder);
        out.titles = recorder.titles;
        out.firstItem = recorder.FirstItem();
        out.counted = recorder.counted;
        out.workTotal = recorder.workTotal;
        out.workDone = recorder.workDone;
        return out;
    }

    // The latest committed baseline as a fresh reader sees it: its number and its tree.
    uint32_t Stored(Tree& tree) const {
        tree.clear();
        tavtest::CBaselineReader reader(ImagePath(), MODULE_FILES_ROOT);
        if (const auto root = reader.Root()) ReadChildren(reader, *root, "", tree);
        return reader.Number();
    }

    // The stored paths in order, those below Data() relative to it (Data() itself left out).
    std::vector<std::string> StoredNames() const {
        Tree tree;
        Stored(tree);
        std::vector<std::string> out;
        const std::string below = Data() + "/";
        for (const auto& [path, item] : tree)
            if (path != Data())
                out.push_back(path.rfind(below, 0) == 0 ? path.substr(below.size()) : path);
        return out;
    }

    // The tree on disk below `path` (absolute paths; `path` itself included).
    static Tree OnDisk(const std::string& path) {
        Snapshot snapshot;
        TakeSnapshot(path, snapshot);
        Tree tree;
        for (const auto& [relative, snap] : snapshot) {
            Item& item = tree[relative.empty() ? path : plat::JoinPath(path, relative)];
            item.folder = snap.kind == 'd';
            item.link = snap.kind == 'l';
            item.content = snap.content;
            item.size = item.folder ? 0 : snap.content.size();
            if (!item.folder)
                std::ranges::copy(tavtest::FingerprintOf(snap.content), item.fingerprint);
            item.mode = snap.mode;
        }
        return tree;
    }

    static void ReadChildren(tavtest::CBaselineReader& reader, const TavNodeRec& parent,
                             const std::string& folder, Tree& tree) {
        for (const TavNodeRec& node : reader.Children(parent)) {
            const std::string name = reader.Name(node);
            const std::string path = folder.empty() ? name : plat::JoinPath(folder, name);
            Item item;
            item.folder = (node.flags & NODE_DIRECTORY) != 0;
            item.link = (node.attributes & TAV_ATTR_REPARSE_POINT) != 0;
            item.size = node.Size();
            item.contentPos = node.content;
            item.id = node.nodeId;
            if (!item.folder) {
                std::copy(node.fingerprint, node.fingerprint + 4, item.fingerprint);
                item.content = reader.Content(node.content);
            }
            if (node.extra.offset != 0) {
                const std::string bytes = reader.Content(node.extra);
                auto meta =
                    DecodePosixMeta(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                if (meta) {
                    item.hasMeta = true;
                    item.mode = meta->mode;
                    item.uid = meta->uid;
                    item.gid = meta->gid;
                }
            }
            EXPECT_EQ(tree.count(path), 0u) << "stored twice: " << path;
            tree[path] = item;
            if (item.folder) ReadChildren(reader, node, path, tree);
        }
    }

    // The stored tree equals the tree on disk below the given sources (modes too).
    void ExpectStoredEqualsDisk(const std::vector<std::string>& sources) {
        Tree stored, disk;
        Stored(stored);
        for (const std::string& s : sources) disk.merge(OnDisk(s));
        EXPECT_EQ(stored, disk);
    }

    CTempDir m_dir;
    CTavJobHelper m_job;
    std::unique_ptr<CTavJobFilesHelper> m_selection;
    size_t m_pendingLimit = 0;  // the engine's limit of noted contents when not 0
};

// The finish log line with the counters (the time is the part in front).
inline std::string FinishCounts(long added, long updated, long skipped, long deleted, long errors) {
    return std::to_string(added) + " Files Added\r\n" + std::to_string(updated) +
           " Files Updated\r\n" + std::to_string(skipped) + " Files Skipped\r\n" +
           std::to_string(deleted) + " Files Deleted\r\n" + std::to_string(errors) +
           " Items Error\r\n";
}

}  // namespace filestest
