// Restore runs of the Outlook Express engine after real backups over a Wine-style layout:
// in place (with and without an identity mapping), to a location, the overwrite rules, and
// the state left behind when a restore fails or is cancelled.
#include <gtest/gtest.h>

#include <algorithm>

#include "modules/oe/OeScenario.h"
#include "platform/File.h"

namespace {

using namespace oetest;

constexpr uint32_t OVERWRITE_ALL =
    TAV_RS_SUBFOLDERS | TAV_RS_SET_TIMES | TAV_RS_OVERWRITE_ALWAYS | TAV_RS_VERIFY;

using OeRestoreTest = OeScenario;

// --- in place, same identity ---

TEST_F(OeRestoreTest, InPlaceBringsBackStoreFilesAndSettingsOfTheIdentity) {
    BackUpStandard();
    const std::string inbox = tavtest::ReadFile(StoreA() + "Inbox.dbx");
    const std::string outbox = tavtest::ReadFile(StoreA() + "Outbox.dbx");
    TavFindData backedUp;  // as stored (the backup tests)
    ASSERT_TRUE(plat::GetFindData(StoreA() + "Inbox.dbx", backedUp));
    ASSERT_TRUE(plat::RemoveFile(StoreA() + "Inbox.dbx"));
    ASSERT_TRUE(tavtest::WriteFile(StoreA() + "Outbox.dbx", RandomBytes(65536, 99)));
    {
        plat::CRegistry mail;
        ASSERT_TRUE(mail.Open(plat::HKEY_CURRENT_USER, OeKey(ID_A) + "\\Mail"));
        ASSERT_TRUE(mail.WriteNumber("Show Images", 0));
    }

    OeRun run = RunRestore(Req(LatestBaseline(), OVERWRITE_ALL));
    EXPECT_EQ(run.pre, 1);
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.finishes, 1);
    // Four store files and three settings items; Folders, Outbox and Projects were there.
    EXPECT_EQ(run.Counts(), "s7 o3 u0 e0") << run.log;
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Inbox.dbx"), inbox);
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Outbox.dbx"), outbox);
    EXPECT_EQ(ReadValue(OeKey(ID_A) + "\\Mail", "Show Images"), "1");
    EXPECT_FALSE(Contains(run.log, "Unlisted.dbx")) << "only stored files are written";
    TavFindData restored;
    ASSERT_TRUE(plat::GetFindData(StoreA() + "Inbox.dbx", restored));
    EXPECT_EQ(restored.written, backedUp.written) << "bit 0x10000 sets the stored times";
    EXPECT_EQ(NamesIn(StoreA(), "~tavoe."), std::vector<std::string>{});
    EXPECT_EQ(TempLeftovers(), std::vector<std::string>{});

    // The log, and progress per file: 0 at its start, then per chunk.
    EXPECT_EQ(
        run.log.rfind("Image Path: " + ImagePath() + "\r\nStart Restoring Outlook Express: ", 0),
        0u)
        << run.log;
    EXPECT_TRUE(run.Logged(std::string("Open identity ") + ID_A + "\r\n"));
    EXPECT_TRUE(run.Logged("Restoring Preference.....OK\r\n"));
    EXPECT_TRUE(
        run.Logged("\r\n7 Files Succeed\r\n3 Files Overwritten\r\n"
                   "0 Files are already up to date\r\n0 Items Error\r\n"));
    EXPECT_TRUE(run.Logged("\r\nFinish Restoring Outlook Express: "));
    EXPECT_EQ(run.Percents(StoreA() + "Inbox.dbx", "Restore File"),
              (std::vector<uint32_t>{0, 47, 94, 100}));

    // Without "overwrite always" only changed files are written.
    ASSERT_TRUE(tavtest::WriteFile(StoreA() + "Outbox.dbx", "shorter"));
    run = RunRestore(Req(LatestBaseline(), TAV_RS_SUBFOLDERS | TAV_RS_OVERWRITE_SIZE));
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Outbox.dbx"), outbox);
    EXPECT_EQ(run.Counts(), "s4 o1 u3 e0") << run.log;
    EXPECT_TRUE(
        run.Logged("Restoring file \"" + StoreA() + "Outbox.dbx\".....Overwrite.....OK\r\n"));
    EXPECT_TRUE(run.Logged("Restoring file \"" + StoreA() +
                           "Inbox.dbx\".....Skipped, file is up to date.\r\n"));
    // Bit 0x20000 writes a file even when it is current.
    run = RunRestore(Req(LatestBaseline(), TAV_RS_OVERWRITE_ALWAYS));
    EXPECT_EQ(run.Counts(), "s7 o4 u0 e0");
}

// --- in place through a mapping (the backed-up identity is restored into another one) ---

TEST_F(OeRestoreTest, InPlaceWithAMappingWritesIntoTheTargetIdentity) {
    BackUpStandard();
    const std::string inbox = tavtest::ReadFile(StoreA() + "Inbox.dbx");
    const uint32_t baseline = LatestBaseline();
    // A new machine: identity C only, whose store folder does not exist yet.
    MachineIdentities({{ID_C, "carol"}});
    ASSERT_TRUE(plat::RemoveFile(StoreA() + "Inbox.dbx"));
    const std::string storeC = m_env.LocalStore("carol", ID_C);
    ASSERT_FALSE(plat::PathExists(storeC));

    // Restore without PreRestoreProcess and without any mapping: the identity that is gone
    // cannot be opened; that is an error.
    RestoreSteps noPre;
    noPre.pre = false;
    OeRun run = RunRestore(Req(baseline, OVERWRITE_ALL), noPre);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.Counts(), "s0 o0 u0 e1");
    EXPECT_TRUE(
        run.Logged(std::string("***** Cannot open identity ") + ID_A + " for restoring\r\n"));
    // The request's mapping is used without PreRestoreProcess too.
    RequestFields fields = Req(baseline, OVERWRITE_ALL);
    fields.map = {{ID_A, ID_C}};
    run = RunRestore(fields, noPre);
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(tavtest::ReadFile(storeC + "Inbox.dbx"), inbox);
    ASSERT_TRUE(plat::RemoveFile(storeC + "Inbox.dbx"));

    run = RunRestore(fields);
    EXPECT_EQ(run.pre, 1) << run.log;
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "s7 o3 u0 e0") << run.log;
    EXPECT_EQ(tavtest::ReadFile(storeC + "Inbox.dbx"), inbox);
    EXPECT_FALSE(plat::PathExists(StoreA() + "Inbox.dbx")) << "nothing goes to the old folder";
    // The settings were rewritten to C's identifier before the import.
    EXPECT_EQ(ReadValue(OeKey(ID_C) + "\\Mail", "Show Images"), "1");
    EXPECT_EQ(ReadValue(OeKey(ID_C) + "\\Signatures", "Default Signature"), "00000000");
    EXPECT_EQ(ReadValue("Identities\\" + std::string(ID_A), "Username"), "<no key>")
        << "no key of the backed-up identity is made";
    EXPECT_EQ(ReadValue(OeKey(ID_C), "Store Root"), COeTestEnv::WindowsStore("carol", ID_C))
        << "the target keeps its own store folder";
    EXPECT_TRUE(run.Logged(std::string("Open identity ") + ID_A + "\r\nRestoring into identity " +
                           ID_C + "\r\n"));
    EXPECT_EQ(CTavOeEngine::MapUid, (OeUidMap{{ID_A, ID_C}}));
}

// Without a prompt, a mapping that leaves an identity without a target, or whose entries
// name identities the backup or this machine does not have, is refused; the prompt confirms
// a mapping, which presets the next one.
TEST_F(OeRestoreTest, MappingsThatCannotBeMetAreRefusedAndThePromptConfirmsOne) {
    BackUpStandard(true);
    const std::string inboxB = tavtest::ReadFile(StoreB() + "Inbox.dbx");
    MachineIdentities({{ID_A, "anna"}, {ID_C, "carol"}});  // B is gone
    const uint32_t baseline = LatestBaseline();

    OeRun run = RunRestore(Req(baseline, OVERWRITE_ALL));
    EXPECT_EQ(run.pre, 0);
    EXPECT_EQ(run.result, -1) << "the restore is not started";
    EXPECT_TRUE(run.Logged("***** You must specify all target identities to restore to.\r\n"));
    EXPECT_TRUE(run.Logged(std::string("***** No target identity for Bob - ") + ID_B + "\r\n"));
    EXPECT_TRUE(CTavOeEngine::MapUid.empty());

    RequestFields fields = Req(baseline, OVERWRITE_ALL);
    fields.excluded = {NodeId({ID_B})};
    const std::string gone = "{5C1D0A3E-4444-4D4D-9D9D-00000000000D}";
    fields.map = {{ID_C, ID_A}};
    run = RunRestore(fields);
    EXPECT_EQ(run.pre, 0);
    EXPECT_TRUE(run.Logged(std::string("The identity ") + ID_C + " to map is not in the backup."));
    fields.map = {{ID_A, gone}};
    run = RunRestore(fields);
    EXPECT_EQ(run.pre, 0);
    EXPECT_TRUE(Contains(
        run.log, std::string("There is no identity ") + gone + " on this machine to restore to."));

    // Excluding B makes the mapping complete.
    fields.map.clear();
    run = RunRestore(fields);
    EXPECT_EQ(run.pre, 1) << run.log;
    EXPECT_EQ(run.result, 1) << run.log;
    EXPECT_FALSE(Contains(run.log, ID_B));

    // The prompt: B has no target until it is given C.
    std::vector<std::string> seen;
    CTavOeEngine::SetMapIdentityPrompt([&](COeIdentityMapping& mapping) {
        for (size_t row = 0; row < mapping.RowCount(); ++row)
            seen.push_back(mapping.RowText(row) + " -> " + mapping.TargetText(row));
        OeUidMap ignored;
        EXPECT_FALSE(mapping.Confirm(ignored)) << "B has no target yet";
        mapping.SelectRow(size_t(mapping.FindRow(ID_B)));
        EXPECT_TRUE(mapping.ChooseTarget(mapping.FindMachine(ID_C)));
        return mapping.Confirm(CTavOeEngine::MapUid) ? 1 : 0;
    });
    run = RunRestore(Req(baseline, OVERWRITE_ALL));
    EXPECT_EQ(run.pre, 1) << run.log;
    ASSERT_EQ(run.result, 1) << run.log;
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{
                        std::string("Bob - ") + ID_B + " -> ",
                        std::string("Main Identity - ") + ID_A + " -> anna - " + ID_A}));
    EXPECT_EQ(tavtest::ReadFile(m_env.LocalStore("carol", ID_C) + "Inbox.dbx"), inboxB);
    EXPECT_EQ(CTavOeEngine::MapUid, (OeUidMap{{ID_A, ID_A}, {ID_B, ID_C}}));

    // The next mapping starts from the confirmed one; Cancel leaves it unchanged.
    seen.clear();
    CTavOeEngine::SetMapIdentityPrompt([&](COeIdentityMapping& mapping) {
        for (size_t row = 0; row < mapping.RowCount(); ++row)
            seen.push_back(mapping.TargetText(row));
        mapping.SelectRow(size_t(mapping.FindRow(ID_A)));
        mapping.ChooseTarget(mapping.FindMachine(ID_C));
        return 0;
    });
    const OeRun cancelled = RunRestore(Req(baseline, OVERWRITE_ALL));
    EXPECT_EQ(cancelled.pre, 0);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{std::string("anna - ") + ID_A,
                                              std::string("carol - ") + ID_C}))
        << "A to itself, B to C as confirmed";
    EXPECT_EQ(CTavOeEngine::MapUid, (OeUidMap{{ID_A, ID_A}, {ID_B, ID_C}}));

    // A prompt that throws counts as Cancel.
    CTavOeEngine::SetMapIdentityPrompt([](COeIdentityMapping&) -> int { throw 1; });
    EXPECT_EQ(RunRestore(Req(baseline, OVERWRITE_ALL)).pre, 0);
}

// --- to a location ---

TEST_F(OeRestoreTest, NodesAreWrittenIntoTheLocationWithoutTouchingTheSettings) {
    BackUpStandard(true);
    const std::string live = "live inbox";
    ASSERT_TRUE(tavtest::WriteFile(StoreA() + "Inbox.dbx", live));
    MachineIdentities({{ID_C, "carol"}});  // neither backed-up identity exists here
    const std::string settings = tavtest::ReadFile(m_env.UserReg());
    const std::string out = m_env.Root() + "/out";  // made by the restore
    RequestFields fields = Req(LatestBaseline(), TAV_RS_SUBFOLDERS);
    fields.location = out;
    fields.nodes = {NodeId({ID_A, "<msgroot>", "Inbox.dbx"}), NodeId({ID_A, "Preference"}),
                    NodeId({ID_B})};
    OeRun run = RunRestore(fields);
    EXPECT_EQ(run.pre, 1) << "no mapping is asked for";
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.state, TAV_ENGINE_FINISHED);
    EXPECT_EQ(run.Counts(), "s7 o0 u0 e0");
    {
        CBaselineReader reader(ImagePath());
        EXPECT_EQ(tavtest::ReadFile(out + "/Inbox.dbx"),
                  reader.StoredFile(*reader.Mail("Inbox.dbx")));
        EXPECT_EQ(tavtest::ReadFile(out + "/Preference.reg"),
                  reader.Content(reader.Path({ID_A, "Preference"})->content));
    }
    const std::string folderB = out + "/" + ID_B;
    EXPECT_EQ(tavtest::ReadFile(folderB + "/Inbox.dbx"), tavtest::ReadFile(StoreB() + "Inbox.dbx"));
    EXPECT_TRUE(plat::PathExists(folderB + "/Preference.reg"));
    EXPECT_EQ(tavtest::ReadFile(m_env.UserReg()), settings)
        << "a restore to a location imports nothing";

    // A whole restore with a location writes the files there instead of in place.
    const std::string whole = m_env.Root() + "/whole";
    fields = Req(LatestBaseline(), OVERWRITE_ALL, whole);
    fields.excluded = {NodeId({ID_B})};
    fields.map = {{ID_A, ID_B}};  // a mapping does not apply to a location
    run = RunRestore(fields);
    EXPECT_EQ(run.pre, 1);
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(NamesIn(whole), std::vector<std::string>{ID_A}) << "B is excluded";
    EXPECT_EQ(
        NamesIn(whole + "/" + ID_A),
        (std::vector<std::string>{"Block Senders.reg", "Folders.dbx", "Inbox.dbx", "Outbox.dbx",
                                  "Preference.reg", "Projects.dbx", "Signatures.reg"}));
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Inbox.dbx"), live) << "the live store is not touched";
}

// --- failures and cancel ---

// A cancel, a file held by another process and a damaged chunk each leave the existing file
// as it was.
TEST_F(OeRestoreTest, CancelAHeldFileOrADamagedChunkLeavesTheExistingFileIntact) {
    BackUpStandard();
    const uint32_t baseline = LatestBaseline();
    const std::string live = "the live Inbox, changed since the backup";
    ASSERT_TRUE(tavtest::WriteFile(StoreA() + "Inbox.dbx", live));
    RestoreSteps steps;
    steps.cancelWhen = [&](const std::string& item, uint32_t percent) {
        return item == StoreA() + "Inbox.dbx" && percent > 0;
    };
    OeRun run = RunRestore(Req(baseline, OVERWRITE_ALL), steps);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.state, TAV_ENGINE_CANCELLED);
    EXPECT_EQ(run.cancels, 1);
    EXPECT_TRUE(run.log.size() >= 19 &&
                run.log.compare(run.log.size() - 19, 19, "\r\nRestore Cancelled") == 0)
        << run.log;
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Inbox.dbx"), live);
    EXPECT_EQ(NamesIn(StoreA(), "~tavoe."), std::vector<std::string>{});

    auto holder = plat::CFile::Open(StoreA() + "Inbox.dbx", plat::FileAccess::Read,
                                    plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(holder);
    run = RunRestore(Req(baseline, OVERWRITE_ALL));
    EXPECT_EQ(run.Counts(), "s6 o3 u0 e1");
    EXPECT_TRUE(run.Logged("\r\n***** Access denied. Cannot open file \"" + StoreA() +
                           "Inbox.dbx\" for writing\r\n"));
    holder.reset();
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Inbox.dbx"), live);

    // The second chunk's stored block spoilt.
    std::vector<DbxChunkRecord> table;
    {
        CBaselineReader reader(ImagePath());  // released: it holds the image for reading
        const auto node = reader.Mail("Inbox.dbx");
        ASSERT_TRUE(node);
        table = reader.Table(*node);
    }
    ASSERT_EQ(table.size(), 3u);
    std::string image = tavtest::ReadFile(ImagePath());
    ASSERT_EQ(table[1].position.image, 0u);
    for (size_t i = 0; i < 64; ++i) image[table[1].position.offset + i] = char(0xA5);
    ASSERT_TRUE(tavtest::WriteFile(ImagePath(), image));
    run = RunRestore(Req(baseline, OVERWRITE_ALL));
    ASSERT_EQ(run.result, 1) << "the in-place restore goes on with the next file";
    EXPECT_EQ(run.Counts(), "s6 o3 u0 e1") << run.log;
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Inbox.dbx"), live);
    EXPECT_TRUE(
        run.Logged("Inbox.dbx\".....Overwrite\r\n***** Unknown error while writing file \"" +
                   StoreA() + "Inbox.dbx\"\r\n"));
    EXPECT_EQ(NamesIn(StoreA(), "~tavoe."), std::vector<std::string>{});
}

// Unreadable requests and baselines end without a log; a node list needs a location.
TEST_F(OeRestoreTest, RequestsThatCannotBeMetRestoreNothing) {
    BackUpStandard();
    OeRun run = RunRestoreOn(ImagePath(), "<tavjob/>");
    EXPECT_EQ(run.pre, 0);
    RestoreSteps steps;
    steps.stopAtPre = false;
    run = RunRestoreOn(ImagePath(), "not xml", steps);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.state, TAV_ENGINE_FAILED);
    run = RunRestore(Req(77, OVERWRITE_ALL), steps);
    EXPECT_EQ(run.pre, 0);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.log, "");

    RequestFields fields = Req(LatestBaseline(), OVERWRITE_ALL);
    fields.nodes = {NodeId({ID_A, "<msgroot>", "Inbox.dbx"})};
    ASSERT_TRUE(plat::RemoveFile(StoreA() + "Inbox.dbx"));
    run = RunRestore(fields);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.state, TAV_ENGINE_FAILED);
    EXPECT_FALSE(plat::PathExists(StoreA() + "Inbox.dbx"));
}

}  // namespace
