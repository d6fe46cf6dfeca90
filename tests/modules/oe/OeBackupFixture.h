// The fixture of the backup engine's tests: a job over a Wine-style layout, runs as the
// programs make them, and a reader of the newest baseline.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DbxChunkInput.h"
#include "core/DbxChunkRecord.h"
#include "core/OeRecords.h"
#include "core/TavJobOeHelper.h"
#include "core/TavOeEngine.h"
#include "modules/oe/OeTestEnv.h"
#include "support/EngineRun.h"
#include "support/RepBuilder.h"
#include "support/StoredRun.h"
#include "tavengine/TavEngineObserver.h"
#include "tavengine/TavJobHelper.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavRepository.h"

namespace oetest {

constexpr const char* ID_A = "{5C1D0A3E-1111-4A4A-9A9A-00000000000A}";
constexpr const char* ID_B = "{5C1D0A3E-2222-4B4B-9B9B-00000000000B}";

using CRecordingObserver = tavtest::CEngineRecorder;
using tavtest::Contains;

struct RunResult {
    int32_t result = -1;
    uint32_t state = 0;
    TavOeBackupAccount account;
    std::string log;
    std::vector<tavtest::Progress> progress;
    int starts = 0;
    int finishes = 0;
    int cancels = 0;
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

class OeBackupFixture : public ::testing::Test {
protected:
    OeBackupFixture() : m_tmp("TMPDIR", m_env.Root() + "/tmp") {
        plat::CreateDirectories(m_env.Root() + "/tmp");
        plat::CreateDirectories(ImageDir());
        m_job.SetImageDesc("oe", "2 GB", 0x0F, ImageDir());
        m_helper = std::make_unique<CTavJobOeHelper>(
            m_job.AddBackupNode("Outlook Express", "oe"), &m_job);
    }

    std::string ImageDir() const { return m_env.Root() + "/images"; }
    std::string ImagePath() const { return ImageDir() + "/oe.tvr"; }
    std::string StoreA() const { return m_env.LocalStore("anna", ID_A); }
    std::string StoreB() const { return m_env.LocalStore("bob", ID_B); }

    // Identity A ("Main Identity") with the standard folders: Inbox 70000 bytes (three
    // chunks), Outbox exactly 65536, Projects 65537, and a file Folders.dbx does not list.
    void StandardLayout(bool withB = false) {
        std::vector<COeTestEnv::Identity> identities = {
            {ID_A, "Main Identity", COeTestEnv::RegString(COeTestEnv::WindowsStore("anna", ID_A))}};
        if (withB)
            identities.push_back(
                {ID_B, "Bob", COeTestEnv::RegString(COeTestEnv::WindowsStore("bob", ID_B))});
        m_env.WriteUserReg(identities);
        m_env.WriteStore(StoreA(), StandardFolders(),
                         {{"Inbox.dbx", 70000}, {"Outbox.dbx", 65536}, {"Projects.dbx", 65537},
                          {"Unlisted.dbx", 100}});
        m_helper->AddIdentity(ID_A);
        if (withB) {
            m_env.WriteStore(StoreB(), StandardFolders(), {{"Inbox.dbx", 1000}});
            m_helper->AddIdentity(ID_B);
        }
    }

    // One backup run as the programs make it: the job's repository, the newest baseline,
    // a transaction; commit when the engine finished, else roll back.
    RunResult Run(std::function<bool(const std::string&, uint32_t)> cancelWhen = {}) {
        RunResult out;
        CRecordingObserver observer;
        observer.cancelWhen = std::move(cancelWhen);
        CTavOeEngine* engine = new CTavOeEngine;
        const uint32_t command = SetTavCmd(m_job.GetBackupCommand(), TAV_CMD_BACKUP);
        const tavtest::BackupRun run =
            tavtest::RunBackup(m_job, m_job.GetXmlString(), *engine, observer, command, "oe job");
        out.result = run.result;
        out.state = run.state;
        out.account = engine->GetBackupAccount();
        engine->Dispose();
        if (run.result == 1 && run.state == TAV_ENGINE_FINISHED) EXPECT_TRUE(run.committed);
        out.log = observer.log;
        out.progress = observer.progress;
        out.starts = observer.starts;
        out.finishes = observer.finishes;
        out.cancels = observer.cancels;
        return out;
    }

    // Moves a file's written time `seconds` on, as a program writing it would.
    static void Touch(const std::string& path, int seconds = 1) {
        TavFindData live;
        ASSERT_TRUE(plat::GetFindData(path, live));
        ASSERT_TRUE(plat::SetFileTimes(
            path, live.accessed, TavFileTime::FromTicks(live.written.Ticks() + seconds * 10000000LL)));
    }

    // Temporary folders of the engine's runs left in $TMPDIR (readers' working tables
    // live there too).
    std::vector<std::string> TempLeftovers() const {
        std::vector<TavFindData> entries;
        plat::ListDirectory(m_env.Root() + "/tmp", entries);
        std::vector<std::string> names;
        for (const TavFindData& e : entries)
            if (e.name.rfind("~tavoe.", 0) == 0) names.push_back(e.name);
        return names;
    }

    COeTestEnv m_env;
    CEnvOverride m_tmp;
    CTavJobHelper m_job;
    std::unique_ptr<CTavJobOeHelper> m_helper;
};

}  // namespace oetest
