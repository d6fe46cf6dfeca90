// The fixture of the Outlook Express engine's tests: a job over a Wine-style layout, backup
// and restore runs as the programs make them, a reader of the newest baseline, restore
// requests, and the settings store and folders as a restore leaves them.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/DbxChunkInput.h"
#include "core/DbxChunkRecord.h"
#include "core/OeRecords.h"
#include "core/OeRestoreRequest.h"
#include "core/TavJobOeHelper.h"
#include "core/TavOeEngine.h"
#include "modules/oe/OeTestEnv.h"
#include "platform/Registry.h"
#include "support/EngineRun.h"
#include "support/RepBuilder.h"
#include "support/StoredRun.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavWords.h"
#include "tavengine/XMLNode.h"

namespace oetest {

using tavtest::Contains;

// What one run of the engine reported. Counts() gives its counters in one text: for a backup
// "a<added> u<updated> s<skipped> d<deleted> e<errors>", for a restore "s<succeeded>
// o<overwritten> u<up to date> e<errors>".
struct OeRun : tavtest::RecordedEvents {
    int32_t pre = -1;     // PreRestoreProcess; -1 when it was not called
    int32_t result = -1;  // Backup or Restore; -1 when it was not called
    uint32_t state = 0;
    bool restore = false;
    TavOeBackupAccount account;
    TavOeRestoreAccount restored;

    std::string Counts() const {
        auto n = [](const char* tag, uint32_t v) { return tag + std::to_string(v); };
        if (restore)
            return n("s", restored.succeeded) + n(" o", restored.overwritten) +
                   n(" u", restored.upToDate) + n(" e", restored.errors);
        return n("a", account.added) + n(" u", account.updated) + n(" s", account.skipped) +
               n(" d", account.deleted) + n(" e", account.errors);
    }
    // Whether the log holds `text` (a failure shows the log).
    ::testing::AssertionResult Logged(const std::string& text) const {
        if (Contains(log, text)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no \"" << text << "\" in the log:\n" << log;
    }
    // The percents reported for one item under one title.
    std::vector<uint32_t> Percents(const std::string& item, const std::string& title) const {
        std::vector<uint32_t> out;
        for (const auto& p : progress)
            if (p.item == item) {
                EXPECT_EQ(p.title, title);
                out.push_back(p.percent);
            }
        return out;
    }
};

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
    return {baseline, command, std::move(location), std::move(nodes)};
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

// Which steps a restore run makes.
struct RestoreSteps {
    bool pre = true;        // call PreRestoreProcess first
    bool stopAtPre = true;  // do not restore when it answers 0
    std::function<bool(const std::string&, uint32_t)> cancelWhen;
};

// The newest committed baseline below the Outlook Express root, with the store files'
// tables, folder records and contents as the viewer reads them.
class CBaselineReader : public tavtest::CBaselineReader {
public:
    explicit CBaselineReader(const std::string& imagePath)
        : tavtest::CBaselineReader(imagePath, OE_TAG_ROOT) {}

    // A store file of an identity: identity / "<msgroot>" / name.
    std::optional<TavNodeRec> Mail(const std::string& name, const std::string& id = ID_A) {
        return Path({id, "<msgroot>", name});
    }
    std::vector<DbxChunkRecord> Table(const TavNodeRec& node) {
        const std::string bytes = Content(node.content);
        return DecodeChunkTable(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    // The folder record a store file's node carries.
    std::optional<OeFolderRecord> Folder(const TavNodeRec& node) {
        const std::string bytes = Content(node.extra);
        return DecodeFolderRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    // The stored file as the viewer reads it back.
    std::string StoredFile(const TavNodeRec& node) {
        DbxChunkInput input(&Rep(), node);
        std::string out;
        input.Seek(0);
        input.ReadAppend(out, node.Size() + 1);
        return out;
    }
};

class OeScenario : public ::testing::Test {
protected:
    OeScenario() : m_tmp("TMPDIR", m_env.Root() + "/tmp") {
        plat::CreateDirectories(m_env.Root() + "/tmp");
        plat::CreateDirectories(ImageDir());
        m_job.SetImageDesc("oe", "2 GB", 0x0F, ImageDir());
        m_helper =
            std::make_unique<CTavJobOeHelper>(m_job.AddBackupNode("Outlook Express", "oe"), &m_job);
        CTavOeEngine::MapUid.clear();
    }
    ~OeScenario() override { CTavOeEngine::SetMapIdentityPrompt(nullptr); }

    std::string ImageDir() const { return m_env.Root() + "/images"; }
    std::string ImagePath() const { return ImageDir() + "/oe.tvr"; }
    std::string StoreA() const { return m_env.LocalStore("anna", ID_A); }
    std::string StoreB() const { return m_env.LocalStore("bob", ID_B); }

    // Identity A ("Main Identity") with the standard folders: Inbox 70000 bytes (three
    // chunks), Outbox exactly 65536, Projects 65537, and a file Folders.dbx does not list.
    // With B: "Bob" with Folders.dbx and an Inbox of 1000 bytes.
    void StandardLayout(bool withB = false) {
        std::vector<COeTestEnv::Identity> identities = {Ident(ID_A, "Main Identity", "anna")};
        if (withB) identities.push_back(Ident(ID_B, "Bob", "bob"));
        m_env.WriteUserReg(identities);
        m_env.WriteStore(StoreA(), StandardFolders(),
                         {{"Inbox.dbx", 70000},
                          {"Outbox.dbx", 65536},
                          {"Projects.dbx", 65537},
                          {"Unlisted.dbx", 100}});
        m_helper->AddIdentity(ID_A);
        if (withB) {
            m_env.WriteStore(StoreB(), StandardFolders(), {{"Inbox.dbx", 1000}});
            m_helper->AddIdentity(ID_B);
        }
    }
    // The standard layout backed up once.
    void BackUpStandard(bool withB = false) {
        StandardLayout(withB);
        const OeRun run = Run();
        ASSERT_EQ(run.result, 1) << run.log;
    }

    // One backup run as the programs make it: the job's repository, the newest baseline,
    // a transaction; commit when the engine finished, else roll back.
    OeRun Run(std::function<bool(const std::string&, uint32_t)> cancelWhen = {}) {
        OeRun out;
        tavtest::CEngineRecorder observer;
        observer.cancelWhen = std::move(cancelWhen);
        CTavOeEngine* engine = new CTavOeEngine;
        const uint32_t command = SetTavCmd(m_job.GetBackupCommand(), TAV_CMD_BACKUP);
        const tavtest::BackupRun run =
            tavtest::RunBackup(m_job, m_job.GetXmlString(), *engine, observer, command, "oe job");
        out.result = run.result;
        out.state = run.state;
        out.account = engine->GetBackupAccount();
        engine->Dispose();
        if (run.result == 1 && run.state == TAV_ENGINE_FINISHED) {
            EXPECT_TRUE(run.committed);
        }
        out.TakeEvents(observer);
        return out;
    }

    // PreRestoreProcess and Restore on one engine over the image `image`, as the browser
    // runs them.
    OeRun RunRestoreOn(const std::string& image, const std::string& request,
                       const RestoreSteps& steps = {}) {
        OeRun out;
        out.restore = true;
        tavtest::CEngineRecorder observer;
        observer.cancelWhen = steps.cancelWhen;
        CTavOeEngine* engine = new CTavOeEngine;
        const tavtest::RestoreRun run =
            tavtest::RunRestore(image, request, *engine, observer, steps.pre, steps.stopAtPre);
        out.pre = run.pre;
        if (run.result != -1) {
            out.result = run.result;
            out.state = run.state;
            out.restored = engine->GetRestoreAccount();
        }
        engine->Dispose();
        out.TakeEvents(observer);
        return out;
    }
    OeRun RunRestore(const RequestFields& fields, const RestoreSteps& steps = {}) {
        return RunRestoreOn(ImagePath(), BuildRequest(fields), steps);
    }

    uint32_t LatestBaseline() { return CBaselineReader(ImagePath()).Number(); }
    // The names below a node of the newest baseline (the module root for no path).
    std::vector<std::string> StoredNames(const std::vector<std::string>& path = {}) {
        CBaselineReader reader(ImagePath());
        return reader.ChildNames(path.empty() ? reader.Root() : reader.Path(path));
    }
    uint32_t NodeId(const std::vector<std::string>& path) {
        const auto node = CBaselineReader(ImagePath()).Path(path);
        EXPECT_TRUE(node.has_value());
        return node ? node->nodeId : 0;
    }

    // Rewrites the settings store so that this machine has exactly these identities (id,
    // user), without their settings keys.
    void MachineIdentities(const std::vector<std::pair<std::string, std::string>>& identities) {
        std::vector<COeTestEnv::Identity> list;
        for (const auto& [id, user] : identities) list.push_back(Ident(id, user, user, false));
        m_env.WriteUserReg(list);
    }

    // Moves a file's written time `seconds` on, as a program writing it would.
    static void Touch(const std::string& path, int seconds = 1) {
        TavFindData live;
        ASSERT_TRUE(plat::GetFindData(path, live));
        ASSERT_TRUE(plat::SetFileTimes(
            path, live.accessed,
            TavFileTime::FromTicks(live.written.Ticks() + seconds * 10000000LL)));
    }

    // The sorted names in a folder (those containing `part` when given).
    static std::vector<std::string> NamesIn(const std::string& folder,
                                            const std::string& part = {}) {
        std::vector<TavFindData> entries;
        plat::ListDirectory(folder, entries);
        std::vector<std::string> names;
        for (const TavFindData& e : entries)
            if (e.name.find(part) != std::string::npos) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }
    // Temporary folders of the engine's runs left in $TMPDIR.
    std::vector<std::string> TempLeftovers() const {
        return NamesIn(m_env.Root() + "/tmp", "~tavoe.");
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

    COeTestEnv m_env;
    CEnvOverride m_tmp;
    CTavJobHelper m_job;
    std::unique_ptr<CTavJobOeHelper> m_helper;
};

}  // namespace oetest
