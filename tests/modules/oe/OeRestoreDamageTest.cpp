// Restores of stored trees that no backup of ours writes: names that would leave the target
// folder, tables that end early, fingerprints that differ, settings that reach other keys.
#include <gtest/gtest.h>

#include "modules/oe/OeScenario.h"

namespace {

using namespace oetest;

// Restores of one baseline written node by node below the Outlook Express root (Save()
// writes it): names that are not file names, tables that lie, settings that reach elsewhere.
class OeRestoreDamageTest : public OeScenario {
protected:
    OeRestoreDamageTest() : m_repo(m_env.Root() + "/crafted.tvr") {
        m_repo.Begin({.name = "crafted", .description = "Manual Backup"});
        m_root = m_repo.Root("Outlook Express", OE_TAG_ROOT);
    }

    // A store file as the engine keeps it; `tableChunks` records are written (fewer than
    // the content needs makes a table that ends early).
    uint32_t Store(uint32_t parent, const std::string& name, const std::string& content,
                   size_t tableChunks = SIZE_MAX) {
        return m_repo.MessageStore(parent, name, content, OE_TAG_MESSAGE, OE_CHUNK_SIZE,
                                   tableChunks);
    }
    uint32_t Item(uint32_t parent, const std::string& name, const std::string& content) {
        return m_repo.File(parent, name, content, TAV_ATTR_ARCHIVE, OE_TAG_ITEM);
    }
    void Save() { m_baseline = m_repo.End(); }
    OeRun RestoreCrafted(RequestFields fields) {
        fields.baseline = m_baseline;
        return RunRestoreOn(m_repo.path, BuildRequest(fields));
    }

    tavtest::CRepBuilder m_repo;
    uint32_t m_root = TAV_NONE;
    uint32_t m_baseline = 0;
};

// Into a location and in place (identity A exists with its store folder).
TEST_F(OeRestoreDamageTest, NamesThatAreNoPlainFileNamesAreRefused) {
    BackUpStandard();
    const uint32_t identity = m_repo.Folder(m_root, ID_A, OE_TAG_IDENTITY);
    const uint32_t messages = m_repo.Folder(identity, "<msgroot>", OE_TAG_MESSAGE);
    Store(messages, "..", "dot dot");
    Store(messages, "a/b", "slash");
    Store(messages, "../../escape.dbx", "escape");
    Store(messages, "../Escaped.dbx", "escape");
    Store(messages, "Inbox.dbx", "inbox");
    Store(messages, "Drafts.dbx", "drafts");
    Item(identity, "../Rules", "REGEDIT4\r\n");
    const uint32_t evil = m_repo.Folder(m_root, "..", OE_TAG_IDENTITY);
    const uint32_t evilMessages = m_repo.Folder(evil, "<msgroot>", OE_TAG_MESSAGE);
    Store(evilMessages, "Inbox.dbx", "outside");
    Save();

    ASSERT_TRUE(plat::CreateDirectories(m_env.Root() + "/out"));
    const std::string out = m_env.Root() + "/out/inner";  // made by the restore
    const std::vector<std::string> rootBefore = NamesIn(m_env.Root());
    RequestFields fields;
    fields.location = out;
    fields.nodes = {m_root};
    OeRun run = RestoreCrafted(fields);
    EXPECT_EQ(run.result, 0) << "not every part of the root could be restored";
    EXPECT_EQ(run.Counts(), "s2 o0 u0 e6") << run.log;
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{ID_A}));
    EXPECT_EQ(NamesIn(out + "/" + ID_A), (std::vector<std::string>{"Drafts.dbx", "Inbox.dbx"}));
    EXPECT_EQ(NamesIn(m_env.Root() + "/out"), (std::vector<std::string>{"inner"}));
    EXPECT_EQ(NamesIn(m_env.Root()), rootBefore);
    EXPECT_TRUE(
        run.Logged("***** The stored name \"a/b\" is not a plain file name; it is "
                   "not restored.\r\n"));
    EXPECT_TRUE(run.Logged("The stored name \"..\""));

    // In place, without the identity ".." (no identity of this machine to map it to).
    const std::string parent = plat::DirName(StoreA().substr(0, StoreA().size() - 1));
    const std::vector<std::string> before = NamesIn(parent);
    fields = Req(0, TAV_RS_OVERWRITE_ALWAYS);
    fields.excluded = {evil};
    run = RestoreCrafted(fields);
    EXPECT_EQ(run.pre, 1);
    EXPECT_EQ(run.result, 1);
    // Drafts, Inbox and the settings item (imported below A's key: its name names no file).
    EXPECT_EQ(run.Counts(), "s3 o1 u0 e4") << run.log;
    EXPECT_EQ(tavtest::ReadFile(StoreA() + "Drafts.dbx"), "drafts");
    EXPECT_EQ(NamesIn(parent), before);
}

// A table that ends early or a fingerprint that differs leaves the existing file as it was.
TEST_F(OeRestoreDamageTest, ShortTablesAndFailedVerificationKeepTheExistingFile) {
    const uint32_t identity = m_repo.Folder(m_root, ID_A, OE_TAG_IDENTITY);
    const uint32_t messages = m_repo.Folder(identity, "<msgroot>", OE_TAG_MESSAGE);
    const uint32_t cut = Store(messages, "Inbox.dbx", RandomBytes(70000, 5), 2);
    const uint32_t bad = Store(messages, "Bad.dbx", RandomBytes(40000, 6));
    const uint32_t good = Store(messages, "Good.dbx", RandomBytes(40000, 7));
    m_repo.Edit(bad, [](TavNodeRec& node) { node.fingerprint[0] ^= 1; });  // content stays sound
    Save();
    const std::string out = m_env.Root() + "/out";
    plat::CreateDirectories(out);
    ASSERT_TRUE(tavtest::WriteFile(out + "/Inbox.dbx", "kept"));
    ASSERT_TRUE(tavtest::WriteFile(out + "/Bad.dbx", "kept"));

    OeRun run = RestoreCrafted(Req(0, TAV_RS_OVERWRITE_ALWAYS, out, {cut}));
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.state, TAV_ENGINE_FAILED);
    EXPECT_EQ(run.Counts(), "s0 o0 u0 e1");
    EXPECT_EQ(tavtest::ReadFile(out + "/Inbox.dbx"), "kept");
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"Bad.dbx", "Inbox.dbx"}))
        << "no temporary file is left";

    RequestFields fields = Req(0, TAV_RS_OVERWRITE_ALWAYS | TAV_RS_VERIFY, out, {good, bad});
    run = RestoreCrafted(fields);
    EXPECT_EQ(run.result, 0) << "the node list stops at the failed node";
    EXPECT_EQ(tavtest::ReadFile(out + "/Good.dbx"), RandomBytes(40000, 7));
    EXPECT_EQ(tavtest::ReadFile(out + "/Bad.dbx"), "kept");
    EXPECT_TRUE(run.Logged("\r\n***** Checksum error: \"" + out + "/Bad.dbx\"\r\n"));
    EXPECT_EQ(run.Counts(), "s1 o0 u0 e1");

    // Without verification the same file is written.
    fields.command = TAV_RS_OVERWRITE_ALWAYS;
    fields.nodes = {bad};
    EXPECT_EQ(RestoreCrafted(fields).result, 1);
    EXPECT_EQ(tavtest::ReadFile(out + "/Bad.dbx"), RandomBytes(40000, 6));
}

TEST_F(OeRestoreDamageTest, SettingsThatNameOtherKeysAreNotImported) {
    m_env.WriteUserReg({Ident(ID_A, "anna", "anna", false), Ident(ID_B, "bob", "bob", false)});
    const std::string mine =
        "[HKEY_CURRENT_USER\\Identities\\" + std::string(ID_A) +
        "\\Software\\Microsoft\\Outlook Express\\5.0\\Rules]\r\n\"Count\"=dword:00000002\r\n";
    const uint32_t identity = m_repo.Folder(m_root, ID_A, OE_TAG_IDENTITY);
    Item(identity, "Rules", "Windows Registry Editor Version 5.00\r\n\r\n" + mine);
    Item(identity, "Preference",
         "Windows Registry Editor Version 5.00\r\n\r\n" + mine +
             "\r\n[HKEY_CURRENT_USER\\Software\\Norvik\\Tavora\\Drives]\r\n\"C:\"=\"/tmp/"
             "elsewhere\"\r\n");
    Item(identity, "Signatures",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Identities\\" +
             std::string(ID_B) +
             "\\Software\\Microsoft\\Outlook Express\\5.0]\r\n\"Store Root\"=\"/tmp\"\r\n");
    Item(identity, "Block Senders",
         "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_CURRENT_USER\\Identities\\" +
             std::string(ID_A) + "\\Software\\Microsoft\\Outlook Express\\5.0]\r\n");
    Save();

    const OeRun run = RestoreCrafted(Req(0, TAV_RS_OVERWRITE_ALWAYS));
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "s1 o0 u0 e3") << run.log;
    EXPECT_EQ(ReadValue(OeKey(ID_A) + "\\Rules", "Count"), "2");
    EXPECT_EQ(ReadValue("Software\\Norvik\\Tavora\\Drives", "C:"), "<no key>");
    EXPECT_EQ(ReadValue(OeKey(ID_B), "Store Root"), COeTestEnv::WindowsStore("bob", ID_B));
    EXPECT_EQ(ReadValue(OeKey(ID_A), "Store Root"), COeTestEnv::WindowsStore("anna", ID_A));
    EXPECT_TRUE(
        run.Logged("Restoring Preference\r\n***** Cannot restore \"Preference\"\r\n"
                   "***** line 6: the stored settings name keys outside the "
                   "identity's Outlook Express key\r\n"));
}

}  // namespace
