// The fixture of the restore tests: requests, restore runs as the programs make them, and
// baselines built by hand for stored data no backup of ours writes (damaged or hostile).
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/OeRestoreRequest.h"
#include "modules/oe/OeBackupFixture.h"
#include "platform/Registry.h"
#include "tavengine/TavWords.h"
#include "tavengine/XMLNode.h"
#include "tavrep/TavSecurity.h"

namespace oetest {

constexpr const char* ID_C = "{5C1D0A3E-3333-4C4C-9C9C-00000000000C}";

// What a restore request says.
struct RequestFields {
    uint32_t baseline = 0;
    uint32_t command = TAV_RS_SUBFOLDERS | TAV_RS_SET_TIMES;
    std::string location;
    std::vector<uint32_t> nodes;
    std::vector<uint32_t> excluded;
    std::vector<std::pair<std::string, std::string>> map;
};

inline RequestFields Req(uint32_t baseline, uint32_t command, std::string location = {},
                         std::vector<uint32_t> nodes = {}) {
    RequestFields fields;
    fields.baseline = baseline;
    fields.command = command;
    fields.location = std::move(location);
    fields.nodes = std::move(nodes);
    return fields;
}

inline std::string BuildRequest(const RequestFields& fields) {
    XMLNode root = XMLNode::CreateDocument("tav-restore");
    XMLNode restore = root.AddChild("restore");
    restore.SetNumber("baseline", fields.baseline);
    restore.SetNumber("command", fields.command);
    restore.SetAttribute("location", fields.location);
    for (uint32_t id : fields.nodes) restore.AddChild("node").SetNumber("id", id);
    XMLNode excluded = root.AddChild("excluded");
    for (uint32_t id : fields.excluded) excluded.AddChild("node").SetNumber("id", id);
    for (const auto& [from, to] : fields.map) AddOeIdentityMap(root, from, to);
    return root.CreateXMLString();
}

struct RestoreResult {
    int32_t pre = -1;  // PreRestoreProcess; -1 when it was not called
    int32_t result = -1;
    uint32_t state = 0;
    TavOeRestoreAccount account;
    std::string log;
    std::vector<tavtest::Progress> progress;
    int finishes = 0;
    int cancels = 0;
};

// Which steps a restore run makes.
struct RestoreSteps {
    bool pre = true;        // call PreRestoreProcess first
    bool stopAtPre = true;  // do not restore when it answers 0
    std::function<bool(const std::string&, uint32_t)> cancelWhen;
};

class OeRestoreFixture : public OeBackupFixture {
protected:
    ~OeRestoreFixture() override { CTavOeEngine::SetMapIdentityPrompt(nullptr); }

    // PreRestoreProcess and Restore on one engine over the image `image`, as the browser
    // runs them.
    RestoreResult RunRestoreOn(const std::string& image, const std::string& request,
                               const RestoreSteps& steps = {}) {
        RestoreResult out;
        CRecordingObserver observer;
        observer.cancelWhen = steps.cancelWhen;
        CTavOeEngine* engine = new CTavOeEngine;
        const tavtest::RestoreRun run =
            tavtest::RunRestore(image, request, *engine, observer, steps.pre, steps.stopAtPre);
        out.pre = run.pre;
        if (run.result != -1) {
            out.result = run.result;
            out.state = run.state;
            out.account = engine->GetRestoreAccount();
        }
        engine->Dispose();
        out.log = observer.log;
        out.progress = observer.progress;
        out.finishes = observer.finishes;
        out.cancels = observer.cancels;
        return out;
    }
    RestoreResult RunRestore(const RequestFields& fields, const RestoreSteps& steps = {}) {
        return RunRestoreOn(ImagePath(), BuildRequest(fields), steps);
    }

    uint32_t LatestBaseline() {
        CBaselineReader reader(ImagePath());
        return reader.Number();
    }
    uint32_t NodeId(const std::vector<std::string>& path) {
        CBaselineReader reader(ImagePath());
        const auto node = reader.Path(path);
        EXPECT_TRUE(node.has_value());
        return node ? node->nodeId : 0;
    }

    // Identity A backed up once (the standard layout with identity B when asked).
    void BackUpStandard(bool withB = false) {
        StandardLayout(withB);
        const RunResult run = Run();
        ASSERT_EQ(run.result, 1) << run.log;
    }

    // Rewrites the settings store so that this machine has exactly these identities (the
    // settings items of each as the layout writes them).
    void MachineIdentities(const std::vector<std::pair<std::string, std::string>>& identities) {
        std::vector<COeTestEnv::Identity> list;
        for (const auto& [id, user] : identities)
            list.push_back(
                {id, user, COeTestEnv::RegString(COeTestEnv::WindowsStore(user, id)), false});
        m_env.WriteUserReg(list);
    }

    // The sorted names in a folder (those containing `part` when given).
    static std::vector<std::string> NamesIn(const std::string& folder, const std::string& part = {}) {
        std::vector<TavFindData> entries;
        plat::ListDirectory(folder, entries);
        std::vector<std::string> names;
        for (const TavFindData& e : entries)
            if (e.name.find(part) != std::string::npos) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string ReadValue(const std::string& key, const std::string& name) {
        plat::CRegistry reg;
        std::string value;
        if (!reg.Open(plat::HKEY_CURRENT_USER, key, false)) return "<no key>";
        uint32_t number = 0;
        if (reg.ReadString(name, value)) return value;
        if (reg.ReadNumber(name, number)) return std::to_string(number);
        return "<no value>";
    }
    static std::string OeKey(const std::string& id) {
        return "Identities\\" + id + "\\Software\\Microsoft\\Outlook Express\\5.0";
    }
};

}  // namespace oetest
