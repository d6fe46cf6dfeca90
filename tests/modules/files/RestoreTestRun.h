// Test support for the Files and Folders restore: requests, runs of the engine's Restore,
// snapshots of restored trees and baselines built by hand.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FilesTestRun.h"
#include "core/TavEngineFiles.h"
#include "tavengine/XMLNode.h"

namespace filestest {

// Restore command words as the browser builds them.
constexpr uint32_t RS_BASE = 0x20000000 | TAV_RS_SUBFOLDERS | TAV_RS_SET_TIMES;
constexpr uint32_t RS_ALWAYS = RS_BASE | TAV_RS_OVERWRITE_ALWAYS;

// A request text: the browser's template filled in.
inline std::string Request(uint32_t baseline, uint32_t command, const std::string& location = {},
                           const std::vector<uint32_t>& excluded = {},
                           const std::vector<uint32_t>& nodes = {}) {
    XMLNode root = XMLNode::Parse(
        "<?xml version='1.0' encoding='UTF-8'?><tav-restore>\t<restore baseline='#00000001' "
        "command='#00010008' location=''/>\t<excluded/></tav-restore>",
        "tav-restore");
    XMLNode restore = root.GetChild("restore");
    restore.SetNumber("baseline", baseline);
    restore.SetNumber("command", command);
    restore.SetAttribute("location", location);
    for (uint32_t id : nodes) restore.AddChild("node").SetNumber("id", id);
    for (uint32_t id : excluded) root.GetChild("excluded").AddChild("node").SetNumber("id", id);
    return root.CreateXMLString();
}

using tavtest::Progress;

struct RestoreResult {
    int32_t result = -1;
    uint32_t state = 99;
    TavRsLogAccount counts;
    std::string log;
    int starts = 0, finishes = 0, cancels = 0;
    std::vector<Progress> reports;
};

// One restore as a program runs it: attach the repository, Restore(request), Dispose.
inline RestoreResult RunRestore(const std::string& imagePath, const std::string& request,
                                int cancelAfter = 0) {
    RestoreResult out;
    CTavRepository rep;
    if (rep.Attach(imagePath, nullptr) != 1) {
        ADD_FAILURE() << "cannot attach " << imagePath;
        return out;
    }
    CEngineRecorder recorder;
    recorder.cancelAfter = cancelAfter;
    auto* engine = new CTavEngineFiles;
    engine->SubscribeNotify(&recorder);
    out.result = engine->Restore(request, &rep);
    out.state = engine->GetEngineState();
    out.counts = engine->GetRestoreCounts();
    engine->Dispose();
    out.log = recorder.log;
    out.starts = recorder.starts;
    out.finishes = recorder.finishes;
    out.cancels = recorder.cancels;
    out.reports = recorder.progress;
    return out;
}

// What a restore must give back of one item.
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

// Every path below `path` whose name starts with the restore's temporary prefix.
inline std::vector<std::string> TempFilesBelow(const std::string& path) {
    std::vector<std::string> found;
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(path, entries)) return found;
    for (const TavFindData& e : entries) {
        const std::string full = plat::JoinPath(path, e.name);
        if (e.name.rfind(".tav~", 0) == 0) found.push_back(full);
        if (e.kind == TavFileKind::Directory)
            for (const std::string& f : TempFilesBelow(full)) found.push_back(f);
    }
    return found;
}

using tavtest::Count;

// A repository whose baselines a test writes node by node, below the Files and Folders
// root (its id given to the edit).
class CHandRepo : public tavtest::CRepBuilder {
public:
    using CRepBuilder::CRepBuilder;
    template <typename F>
    void Baseline(F&& edit) {
        CRepBuilder::Baseline([&] { edit(Root("Files and Folders", MODULE_FILES_ROOT)); },
                              {.name = "hand"});
    }
    const std::string& Path() const { return path; }
};

}  // namespace filestest
