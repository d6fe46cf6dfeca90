// The fixture of the restore tests: requests, restore runs as the programs make them, and
// baselines built by hand for stored data no backup of ours writes (damaged or hostile).
#pragma once
#include <gtest/gtest.h>

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
    std::vector<CRecordingObserver::Progress> progress;
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
        CTavRepository rep;
        EXPECT_EQ(rep.Attach(image, nullptr), 1);
        CRecordingObserver observer;
        observer.cancelWhen = steps.cancelWhen;
        CTavOeEngine* engine = new CTavOeEngine;
        engine->SubscribeNotify(&observer);
        if (steps.pre) out.pre = engine->PreRestoreProcess(request, &rep);
        if (!steps.pre || out.pre == 1 || !steps.stopAtPre) {
            out.result = engine->Restore(request, &rep);
            out.state = engine->GetEngineState();
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

// A repository written through the library, for stored trees that no backup of ours
// makes: names that are not file names, tables that lie, settings that reach elsewhere.
class CCraftedRepo {
public:
    explicit CCraftedRepo(const std::string& folder) : m_folder(folder) {
        path = folder + "/crafted.tvr";
        InitTavImageSecure(&m_security, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_NONE,
                           TAV_DEFAULT_IMAGE_SIZE);
        EXPECT_EQ(CTavRepository::CreateRepository(path, &m_security, 0, {0, 0}), 1);
        EXPECT_EQ(m_rep.Attach(path, &m_security), 1);
        EXPECT_NE(m_rep.StartFreshImage(), TAV_NONE);
        m_table = m_rep.LoadBaseline(m_rep.GetLatestBaselineNumber());
        EXPECT_NE(m_table, nullptr);
        EXPECT_EQ(m_rep.BeginTrans(5000), 1);
        TavNodeRec* root = CTavRepository::CreateNode();
        root->attributes = TAV_ATTR_DIRECTORY;
        root->flags = NODE_DIRECTORY | NODE_TOUCHED;
        root->moduleId = OE_TAG_ROOT;
        Utf8ToUtf16Field("Outlook Express", root->name, NODE_NAME_CHARS);
        rootId = m_table->AddNode(*root, 1);
        CTavRepository::DisposeNode(root);
    }
    ~CCraftedRepo() {
        if (m_table) m_table->Dispose();
    }

    uint32_t AddFolder(uint32_t parent, const std::string& name, uint32_t tag) {
        TavFindData fd;
        fd.name = name;
        fd.attributes = TAV_ATTR_DIRECTORY;
        fd.kind = TavFileKind::Directory;
        return m_rep.AddNode(m_table, parent, tag, &fd, nullptr, 0, {0, 0}, nullptr);
    }
    // A store file as the engine keeps it; `tableChunks` records are written (fewer than
    // the content needs makes a table that ends early).
    uint32_t AddStore(uint32_t parent, const std::string& name, const std::string& content,
                      size_t tableChunks = SIZE_MAX) {
        TavFindData fd;
        fd.name = name;
        fd.attributes = TAV_ATTR_ARCHIVE;
        fd.SetSize(content.size());
        fd.written = TavFileTime::FromTicks(133000000000000000ull);
        const uint32_t id = m_rep.AddNode(m_table, parent, OE_TAG_MESSAGE, &fd, nullptr,
                                          OE_CHUNK_SIZE, {0, 0}, nullptr);
        std::string table;
        for (size_t at = 0, n = 0; at < content.size() && n < tableChunks;
             at += OE_CHUNK_SIZE, ++n) {
            const std::string chunk = content.substr(at, OE_CHUNK_SIZE);
            DbxChunkRecord record;
            record.position = m_rep.AddContent(chunk.data(), uint32_t(chunk.size()), {0, 0});
            CMD5Checksum::Hash(chunk.data(), chunk.size(), record.digest);
            uint8_t raw[DBX_CHUNK_RECORD_SIZE];
            EncodeChunkRecord(record, raw);
            table.append(reinterpret_cast<const char*>(raw), sizeof raw);
        }
        TavNodeRec node;
        EXPECT_EQ(m_table->LoadNode(node, id), 1);
        node.content = m_rep.AddContent(table.data(), uint32_t(table.size()), {0, 0});
        CMD5Checksum md5;
        md5.Update(content.data(), content.size());
        md5.GetHash(node.fingerprint);
        node.flags |= NODE_HAS_FINGERPRINT;
        EXPECT_NE(m_table->UpdateNode(node), TAV_NONE);
        return id;
    }
    // Spoils the stored fingerprint of a node (its content stays sound).
    void SpoilFingerprint(uint32_t id) {
        TavNodeRec node;
        ASSERT_EQ(m_table->LoadNode(node, id), 1);
        node.fingerprint[0] ^= 1;
        EXPECT_NE(m_table->UpdateNode(node), TAV_NONE);
    }
    uint32_t AddItem(uint32_t parent, const std::string& name, const std::string& content) {
        const std::string source = m_folder + "/item" + std::to_string(m_items++);
        EXPECT_TRUE(tavtest::WriteFile(source, content));
        TavFindData fd;
        fd.name = name;
        fd.attributes = TAV_ATTR_ARCHIVE;
        fd.SetSize(content.size());
        return m_rep.AddNode(m_table, parent, OE_TAG_ITEM, &fd, source.c_str(), 0, {0, 0}, nullptr);
    }
    // Saves the baseline; its number.
    uint32_t Save() {
        const uint32_t number = m_rep.SaveBaseline(m_table, "crafted", "Manual Backup", 0x10001000);
        EXPECT_NE(number, TAV_NONE);
        EXPECT_EQ(m_rep.CommitTrans(), 1);
        m_table->Dispose();
        m_table = nullptr;
        m_rep.Detach();
        return number;
    }

    std::string path;
    uint32_t rootId = TAV_NONE;

private:
    std::string m_folder;
    TavImageSecurity m_security;
    CTavRepository m_rep;
    CTavRepBaselineDetails* m_table = nullptr;
    int m_items = 0;
};

}  // namespace oetest
