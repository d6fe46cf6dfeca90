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

struct RestoreResult : tavtest::RecordedEvents {
    int32_t result = -1;
    uint32_t state = 99;
    TavRsLogAccount counts;
};

// One restore as a program runs it: attach the repository, Restore(request), Dispose.
inline RestoreResult RunRestore(const std::string& imagePath, const std::string& request,
                                int cancelAfter = 0) {
    RestoreResult out;
    CEngineRecorder recorder;
    recorder.cancelAfter = cancelAfter;
    auto* engine = new CTavEngineFiles;
    const tavtest::RestoreRun run = tavtest::RunRestore(imagePath, request, *engine, recorder);
    out.result = run.result;
    out.state = run.state;
    out.counts = engine->GetRestoreCounts();
    engine->Dispose();
    out.TakeEvents(recorder);
    return out;
}

// Every path below `path` whose name starts with the restore's temporary prefix.
inline std::vector<std::string> TempFilesBelow(const std::string& path) {
    Snapshot all;
    TakeSnapshot(path, all, false);
    std::vector<std::string> found;
    for (const auto& [relative, snap] : all)
        if (plat::BaseName(relative).rfind(".tav~", 0) == 0) found.push_back(relative);
    return found;
}

using tavtest::Count;

// Whether `log` holds `text` exactly once (a failure shows the log).
inline ::testing::AssertionResult Once(const std::string& log, const std::string& text) {
    const int n = Count(log, text);
    if (n == 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << n << " times \"" << text << "\" in the log:\n" << log;
}

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
};

}  // namespace filestest
