// Restores of stored trees that no backup of ours writes: names that would leave the target
// folder, tables that end early, fingerprints that differ, settings that reach other keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "modules/oe/OeRestoreFixture.h"
#include "platform/RegText.h"

namespace {

using namespace oetest;

class OeRestoreDamageTest : public OeRestoreFixture {
protected:
    OeRestoreDamageTest() : m_repo(m_env.Root()) {}
    void SetUp() override { CTavOeEngine::MapUid.clear(); }

    RestoreResult RestoreCrafted(RequestFields fields) {
        fields.baseline = m_baseline;
        return RunRestoreOn(m_repo.path, BuildRequest(fields));
    }

    CCraftedRepo m_repo;
    uint32_t m_baseline = 0;
};

TEST_F(OeRestoreDamageTest, NamesThatAreNoPlainFileNamesAreRefused) {
    const uint32_t identity = m_repo.AddFolder(m_repo.rootId, ID_A, OE_TAG_IDENTITY);
    const uint32_t messages = m_repo.AddFolder(identity, "<msgroot>", OE_TAG_MESSAGE);
    m_repo.AddStore(messages, "..", "dot dot");
    m_repo.AddStore(messages, "a/b", "slash");
    m_repo.AddStore(messages, "../../escape.dbx", "escape");
    m_repo.AddStore(messages, "Inbox.dbx", "inbox");
    m_repo.AddItem(identity, "../Rules", "REGEDIT4\r\n");
    const uint32_t evil = m_repo.AddFolder(m_repo.rootId, "..", OE_TAG_IDENTITY);
    const uint32_t evilMessages = m_repo.AddFolder(evil, "<msgroot>", OE_TAG_MESSAGE);
    m_repo.AddStore(evilMessages, "Inbox.dbx", "outside");
    m_baseline = m_repo.Save();

    ASSERT_TRUE(plat::CreateDirectories(m_env.Root() + "/out"));
    const std::string out = m_env.Root() + "/out/inner";  // made by the restore
    const std::vector<std::string> rootBefore = NamesIn(m_env.Root());
    RequestFields fields;
    fields.location = out;
    fields.nodes = {m_repo.rootId};
    const RestoreResult run = RestoreCrafted(fields);
    EXPECT_EQ(run.result, 0) << "not every part of the root could be restored";
    EXPECT_EQ(run.account.errors, 5u) << run.log;
    EXPECT_EQ(run.account.succeeded, 1u);
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{ID_A}));
    EXPECT_EQ(NamesIn(out + "/" + ID_A), (std::vector<std::string>{"Inbox.dbx"}));
    EXPECT_EQ(NamesIn(m_env.Root() + "/out"), (std::vector<std::string>{"inner"}));
    EXPECT_EQ(NamesIn(m_env.Root()), rootBefore);
    EXPECT_TRUE(Contains(run.log,
                         "***** The stored name \"a/b\" is not a plain file name; it is "
                         "not restored.\r\n"))
        << run.log;
    EXPECT_TRUE(Contains(run.log, "The stored name \"..\""));
}

TEST_F(OeRestoreDamageTest, NamesThatAreNoPlainFileNamesAreRefusedInPlace) {
    BackUpStandard();  // identity A exists with its store folder
    const uint32_t identity = m_repo.AddFolder(m_repo.rootId, ID_A, OE_TAG_IDENTITY);
    const uint32_t messages = m_repo.AddFolder(identity, "<msgroot>", OE_TAG_MESSAGE);
    m_repo.AddStore(messages, "../Escaped.dbx", "escape");
    m_repo.AddStore(messages, "Drafts.dbx", "drafts");
    m_baseline = m_repo.Save();
    const std::string parent = plat::DirName(StoreA().substr(0, StoreA().size() - 1));
    const std::vector<std::string> before = NamesIn(parent);

    const RestoreResult run = RestoreCrafted(Req(0, TAV_RS_OVERWRITE_ALWAYS));
    EXPECT_EQ(run.pre, 1);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.account.errors, 1u) << run.log;
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Drafts.dbx"), "drafts");
    EXPECT_EQ(NamesIn(parent), before);
}

TEST_F(OeRestoreDamageTest, TableThatEndsEarlyWritesNothing) {
    const uint32_t identity = m_repo.AddFolder(m_repo.rootId, ID_A, OE_TAG_IDENTITY);
    const uint32_t messages = m_repo.AddFolder(identity, "<msgroot>", OE_TAG_MESSAGE);
    const uint32_t store = m_repo.AddStore(messages, "Inbox.dbx", RandomBytes(70000, 5), 2);
    m_baseline = m_repo.Save();
    const std::string out = m_env.Root() + "/out";
    plat::CreateDirectories(out);
    ASSERT_TRUE(tavtest::WriteFile(out + "/Inbox.dbx", "kept"));

    const RestoreResult run = RestoreCrafted(Req(0, TAV_RS_OVERWRITE_ALWAYS, out, {store}));
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.state, TAV_ENGINE_FAILED);
    EXPECT_EQ(run.account.errors, 1u);
    EXPECT_EQ(tavtest::ReadFile(out + "/Inbox.dbx"), "kept");
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"Inbox.dbx"})) << "no temporary file is left";
}

TEST_F(OeRestoreDamageTest, VerifyFailureKeepsTheExistingFile) {
    const uint32_t identity = m_repo.AddFolder(m_repo.rootId, ID_A, OE_TAG_IDENTITY);
    const uint32_t messages = m_repo.AddFolder(identity, "<msgroot>", OE_TAG_MESSAGE);
    const uint32_t bad = m_repo.AddStore(messages, "Bad.dbx", RandomBytes(40000, 6));
    const uint32_t good = m_repo.AddStore(messages, "Good.dbx", RandomBytes(40000, 7));
    m_repo.SpoilFingerprint(bad);
    m_baseline = m_repo.Save();
    const std::string out = m_env.Root() + "/out";
    plat::CreateDirectories(out);
    ASSERT_TRUE(tavtest::WriteFile(out + "/Bad.dbx", "kept"));

    RequestFields fields = Req(0, TAV_RS_OVERWRITE_ALWAYS | TAV_RS_VERIFY, out, {good, bad});
    const RestoreResult run = RestoreCrafted(fields);
    EXPECT_EQ(run.result, 0) << "the node list stops at the failed node";
    EXPECT_EQ(tavtest::ReadFile(out + "/Good.dbx"), RandomBytes(40000, 7));
    EXPECT_EQ(tavtest::ReadFile(out + "/Bad.dbx"), "kept");
    EXPECT_TRUE(Contains(run.log, "\r\n***** Checksum error: \"" + out + "/Bad.dbx\"\r\n"))
        << run.log;
    EXPECT_EQ(run.account.succeeded, 1u);
    EXPECT_EQ(run.account.errors, 1u);

    // Without verification the same file is written.
    fields.command = TAV_RS_OVERWRITE_ALWAYS;
    fields.nodes = {bad};
    EXPECT_EQ(RestoreCrafted(fields).result, 1);
    EXPECT_EQ(tavtest::ReadFile(out + "/Bad.dbx"), RandomBytes(40000, 6));
}

TEST_F(OeRestoreDamageTest, SettingsThatNameOtherKeysAreNotImported) {
    m_env.WriteUserReg(
        {{ID_A, "anna", COeTestEnv::RegString(COeTestEnv::WindowsStore("anna", ID_A)), false},
         {ID_B, "bob", COeTestEnv::RegString(COeTestEnv::WindowsStore("bob", ID_B)), false}});
    const std::string mine =
        "[HKEY_CURRENT_USER\\Identities\\" + std::string(ID_A) +
        "\\Software\\Microsoft\\Outlook Express\\5.0\\Rules]\r\n\"Count\"=dword:00000002\r\n";
    const uint32_t identity = m_repo.AddFolder(m_repo.rootId, ID_A, OE_TAG_IDENTITY);
    m_repo.AddItem(identity, "Rules", "Windows Registry Editor Version 5.00\r\n\r\n" + mine);
    m_repo.AddItem(identity, "Preference",
                   "Windows Registry Editor Version 5.00\r\n\r\n" + mine +
                       "\r\n[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]\r\n\"C:\"=\"/tmp/"
                       "elsewhere\"\r\n");
    m_repo.AddItem(
        identity, "Signatures",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Identities\\" +
            std::string(ID_B) +
            "\\Software\\Microsoft\\Outlook Express\\5.0]\r\n\"Store Root\"=\"/tmp\"\r\n");
    m_repo.AddItem(identity, "Block Senders",
                   "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_CURRENT_USER\\Identities\\" +
                       std::string(ID_A) + "\\Software\\Microsoft\\Outlook Express\\5.0]\r\n");
    m_baseline = m_repo.Save();

    const RestoreResult run = RestoreCrafted(Req(0, TAV_RS_OVERWRITE_ALWAYS));
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.account.succeeded, 1u) << run.log;
    EXPECT_EQ(run.account.errors, 3u);
    EXPECT_EQ(ReadValue(OeKey(ID_A) + "\\Rules", "Count"), "2");
    EXPECT_EQ(ReadValue("Software\\Norvik\\Tavora\\Drives", "C:"), "<no key>");
    EXPECT_EQ(ReadValue(OeKey(ID_B), "Store Root"), COeTestEnv::WindowsStore("bob", ID_B));
    EXPECT_EQ(ReadValue(OeKey(ID_A), "Store Root"), COeTestEnv::WindowsStore("anna", ID_A));
    EXPECT_TRUE(Contains(run.log,
                         "Restoring Preference\r\n***** Cannot restore \"Preference\"\r\n"
                         "***** line 6: the stored settings name keys outside the "
                         "identity's Outlook Express key\r\n"))
        << run.log;
}

TEST_F(OeRestoreDamageTest, WindowsExportInUtf16IsRewrittenForTheTarget) {
    m_env.WriteUserReg(
        {{ID_C, "carol", COeTestEnv::RegString(COeTestEnv::WindowsStore("carol", ID_C)), false}});
    // As the registry editor of Windows writes it: UTF-16LE with a byte-order mark, the
    // identifier in another letter case than the node name.
    std::string lower = ID_A;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Identities\\" + lower +
        "\\Software\\Microsoft\\Outlook Express\\5.0\\Mail]\r\n"
        "\"Signature Name\"=\"Anna \xC3\xA9\"\r\n\"Show Images\"=dword:00000001\r\n";
    std::vector<uint8_t> wide = {0xFF, 0xFE};
    plat::AppendUtf16Le(wide, text);
    const uint32_t identity = m_repo.AddFolder(m_repo.rootId, ID_A, OE_TAG_IDENTITY);
    m_repo.AddItem(identity, "Preference", std::string(wide.begin(), wide.end()));
    m_baseline = m_repo.Save();

    RequestFields fields = Req(0, TAV_RS_OVERWRITE_ALWAYS);
    fields.map = {{ID_A, ID_C}};
    const RestoreResult run = RestoreCrafted(fields);
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.account.errors, 0u) << run.log;
    EXPECT_EQ(ReadValue(OeKey(ID_C) + "\\Mail", "Show Images"), "1");
    EXPECT_EQ(ReadValue(OeKey(ID_C) + "\\Mail", "Signature Name"), "Anna \xC3\xA9");
}

}  // namespace
