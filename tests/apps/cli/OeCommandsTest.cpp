// tavctl oe identities, tavctl job oe and the Outlook Express side of tavctl restore, over a
// Wine-style layout in a temporary settings store, through the modules the build made.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "modules/oe/OeTestEnv.h"
#include "platform/Process.h"
#include "tavengine/TavJobHelper.h"

using namespace clitest;
using oetest::COeTestEnv;

namespace {

constexpr const char* ID_A = "{5C1D0A3E-1111-4A4A-9A9A-00000000000A}";
constexpr const char* ID_B = "{5C1D0A3E-2222-4B4B-9B9B-00000000000B}";
constexpr const char* ID_C = "{5C1D0A3E-3333-4C4C-9C9C-00000000000C}";

class OeCommandsTest : public ::testing::Test {
protected:
    OeCommandsTest() : m_tmp("TMPDIR", m_env.Root() + "/tmp") {
        plat::CreateDirectories(m_env.Root() + "/tmp");
        plat::CreateDirectories(m_env.Root() + "/repo");
    }

    static COeTestEnv::Identity Identity(const std::string& id, const std::string& name,
                                         const std::string& user) {
        return {id, name, COeTestEnv::RegString(COeTestEnv::WindowsStore(user, id))};
    }
    std::string Store(const std::string& user, const std::string& id) const {
        return m_env.LocalStore(user, id);
    }
    // Identities A ("Main Identity", with the usual folders) and B ("Bob", no store yet).
    void Layout() {
        m_env.WriteUserReg({Identity(ID_A, "Main Identity", "anna"), Identity(ID_B, "Bob", "bob")});
        m_env.WriteStore(Store("anna", ID_A), oetest::StandardFolders(),
                         {{"Inbox.dbx", 70000}, {"Outbox.dbx", 100}, {"Projects.dbx", 5000}});
    }
    void NewJob() {
        ASSERT_EQ(m_cli.Run({"job", "new", m_job, "-l", m_env.Root() + "/repo", "-n", "mail"}).code,
                  0);
    }
    // The "excluded" keys of an identity of the job, in document order.
    std::vector<std::string> Excluded(const std::string& id) {
        CTavJobHelper job;
        EXPECT_EQ(job.Load(m_job), 1);
        std::vector<std::string> out;
        const XMLNode node = job.GetBackupNode("oe");
        for (XMLNode identity = node.GetChild("identity"); identity;
             identity = identity.GetNextSibling("identity")) {
            if (identity.GetAttribute("uid") != id) continue;
            for (XMLNode e = identity.GetChild("excluded"); e; e = e.GetNextSibling("excluded"))
                out.push_back(e.GetAttribute("pid") + " " + e.GetAttribute("key") +
                              (e.HasAttribute("dbxname") ? " " + e.GetAttribute("dbxname") : ""));
        }
        return out;
    }
    std::vector<std::string> JobIdentities() {
        CTavJobHelper job;
        EXPECT_EQ(job.Load(m_job), 1);
        std::vector<std::string> out;
        const XMLNode node = job.GetBackupNode("oe");
        for (XMLNode identity = node.GetChild("identity"); identity;
             identity = identity.GetNextSibling("identity"))
            out.push_back(identity.GetAttribute("uid"));
        return out;
    }

    COeTestEnv m_env;
    oetest::CEnvOverride m_tmp;
    CCli m_cli;
    std::string m_job = m_env.Root() + "/mail.tvj";
};

TEST_F(OeCommandsTest, IdentitiesAreListedWithTheirStoreFolders) {
    CliResult r = m_cli.Run({"oe", "identities"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "No Outlook Express identities in the settings store")) << r.out;

    Layout();
    r = m_cli.Run({"oe", "identities"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "IDENTIFIER")) << r.out;
    EXPECT_TRUE(
        Contains(r.out, std::string(ID_A) + "  Main Identity  " + Store("anna", ID_A) + "\n"))
        << r.out;
    EXPECT_TRUE(Contains(
        r.out, std::string(ID_B) + "  Bob            " + Store("bob", ID_B) + " (missing)\n"))
        << r.out;
}

TEST_F(OeCommandsTest, JobOeAddsAndRemovesIdentitiesByIdentifierOrName) {
    Layout();
    NewJob();
    CliResult r = m_cli.Run({"job", "oe", m_job, "add", "Main Identity", ID_B});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Added identity Main Identity (" + std::string(ID_A) +
                         ")\nAdded identity Bob (" + ID_B + ")\n");
    EXPECT_EQ(JobIdentities(), (std::vector<std::string>{ID_A, ID_B}));

    r = m_cli.Run({"job", "oe", m_job, "add", "{5c1d0a3e-1111-4a4a-9a9a-00000000000a}", "Nobody"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.out, "is in the job already")) << r.out;
    EXPECT_TRUE(Contains(r.err, "Nobody: no identity of this identifier or name on this machine"))
        << r.err;
    EXPECT_TRUE(Contains(r.out, "The job is unchanged.")) << r.out;

    r = m_cli.Run({"job", "oe", m_job, "remove", "Bob"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(JobIdentities(), std::vector<std::string>{ID_A});
    r = m_cli.Run({"job", "oe", m_job, "remove", "Bob"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "is not an identity of the job")) << r.err;

    EXPECT_EQ(m_cli.Run({"job", "oe", m_job, "rename", ID_A}).code, 2);
    EXPECT_EQ(m_cli.Run({"job", "oe", m_job, "add"}).code, 2);
    EXPECT_EQ(m_cli.Run({"job", "oe", m_job, "add", ID_A, "--folder", "Inbox"}).code, 2);
}

TEST_F(OeCommandsTest, JobOeExcludesAndIncludesItemsAndFolders) {
    Layout();
    NewJob();
    ASSERT_EQ(m_cli.Run({"job", "oe", m_job, "add", ID_A}).code, 0);
    CliResult r = m_cli.Run({"job", "oe", m_job, "exclude", ID_A, "rules", "Block-Senders",
                             "--folder", "inbox/projects"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Excluded(ID_A),
              (std::vector<std::string>{"oeit .Rules.", "oeit .Blocksenders.",
                                        "oemg .Messages.Inbox.Projects. Projects.dbx"}));
    EXPECT_TRUE(Contains(r.out, "Excluded folder Inbox/Projects of Main Identity")) << r.out;

    r = m_cli.Run({"job", "oe", m_job, "exclude", ID_A, "rules", "--folder", "Nowhere", "colours"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(
        Contains(r.out, "rules of Main Identity (" + std::string(ID_A) + ") is excluded already"))
        << r.out;
    EXPECT_TRUE(Contains(r.err, "no folder 'Nowhere'")) << r.err;
    EXPECT_TRUE(Contains(r.err, "unknown item 'colours'")) << r.err;

    r = m_cli.Run({"job", "oe", m_job, "include", ID_A, "rules"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Excluded(ID_A), (std::vector<std::string>{"oeit .Blocksenders.",
                                                        "oemg .Messages.Inbox.Projects. Projects.dbx"}));
    r = m_cli.Run({"job", "oe", m_job, "exclude", ID_A});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Excluded(ID_A).back(), "oeid .");
    r = m_cli.Run({"job", "oe", m_job, "include", ID_A});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Excluded(ID_A), std::vector<std::string>{}) << "every exclusion is taken back";

    r = m_cli.Run({"job", "oe", m_job, "exclude", ID_B, "rules"});
    EXPECT_EQ(r.code, 1) << "B is not in the job";
    EXPECT_EQ(JobIdentities(), std::vector<std::string>{ID_A});
}

// --- tavctl restore ---

class OeRestoreCommandTest : public OeCommandsTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(UseBuiltModules("oemodule"));
        Layout();
        NewJob();
        ASSERT_EQ(m_cli.Run({"job", "oe", m_job, "add", ID_A}).code, 0);
        const CliResult r = m_cli.Run({"backup", m_job});
        ASSERT_EQ(r.code, 0) << r.err;
        m_inbox = tavtest::ReadFile(Store("anna", ID_A) + "Inbox.dbx");
    }
    std::string Repo() const { return m_env.Root() + "/repo/mail.tvr"; }

    std::string m_inbox;
};

TEST_F(OeRestoreCommandTest, MapRestoresAnIdentityIntoAnotherOne) {
    // Another machine: only C. Without --map the restore does not start.
    m_env.WriteUserReg({Identity(ID_C, "Carol", "carol")});
    CliResult r = m_cli.Run({"restore", Repo(), "Outlook Express", "--in-place", "--overwrite", "always"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "***** You must specify all target identities to restore to.\n"))
        << r.err;
    EXPECT_TRUE(
        Contains(r.err, std::string("***** No target identity for Main Identity - ") + ID_A))
        << r.err;
    EXPECT_FALSE(plat::PathExists(Store("carol", ID_C)));

    r = m_cli.Run({"restore", Repo(), "Outlook Express", "--in-place", "--overwrite", "always", "--map",
                   std::string(ID_A) + "=" + ID_C});
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_TRUE(Contains(r.out, "Files Succeed")) << r.out;
    EXPECT_EQ(tavtest::ReadFile(Store("carol", ID_C) + "Inbox.dbx"), m_inbox);  // settings: the engine's tests

    EXPECT_EQ(m_cli.Run({"restore", Repo(), "--in-place", "--map", "nonsense"}).code, 2);
    EXPECT_EQ(m_cli
                  .Run({"restore", Repo(), "--map", std::string(ID_A) + "=" + ID_C, "--to",
                        m_env.Root() + "/out"})
                  .code,
              2);
}

TEST_F(OeRestoreCommandTest, RestoreToAFolderWritesFilesAndImportsNothing) {
    const std::string settings = tavtest::ReadFile(m_env.UserReg());
    const std::string out = m_env.Root() + "/out";
    CliResult r = m_cli.Run({"restore", Repo(), "Outlook Express", "--to", out});
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(tavtest::ReadFile(out + "/" + ID_A + "/Inbox.dbx"), m_inbox);
    EXPECT_TRUE(plat::PathExists(out + "/" + ID_A + "/Preference.reg"));
    EXPECT_EQ(tavtest::ReadFile(m_env.UserReg()), settings);

    r = m_cli.Run({"extract", Repo(),
                   std::string("Outlook Express/") + ID_A + "/<msgroot>/Outbox.dbx", "--to",
                   m_env.Root() + "/one"});
    ASSERT_EQ(r.code, 0) << r.err << r.out;
    EXPECT_EQ(tavtest::ReadFile(m_env.Root() + "/one/Outbox.dbx"),
              tavtest::ReadFile(Store("anna", ID_A) + "Outbox.dbx"));
}

// The "modules" array of a restore's JSON summary: what each engine wrote, replaced, kept.
std::string ModuleCounts(const std::string& json) {
    const size_t at = json.find("\"modules\":[");
    return at == std::string::npos ? "<none>" : json.substr(at, json.find(']', at) - at);
}

TEST_F(OeRestoreCommandTest, DryRunListsTheStoreFilesAndSettingsARestoreWouldWrite) {
    const std::string settings = tavtest::ReadFile(m_env.UserReg());
    const std::string out = m_env.Root() + "/out";
    CliResult dry = m_cli.Run({"restore", Repo(), "Outlook Express", "--to", out, "--dry-run", "--json"});
    ASSERT_EQ(dry.code, 0) << dry.err << dry.out;
    EXPECT_FALSE(plat::PathExists(out)) << "a dry run writes nothing";
    EXPECT_TRUE(Contains(dry.out, "{\"type\":\"file\",\"action\":\"write\",\"path\":\"" + out + "/" +
                                      ID_A + "/Inbox.dbx\"}"))
        << dry.out;
    EXPECT_TRUE(Contains(dry.out, "/" + std::string(ID_A) + "/Preference.reg\"}")) << dry.out;
    CliResult real = m_cli.Run({"restore", Repo(), "Outlook Express", "--to", out, "--json"});
    ASSERT_EQ(real.code, 0) << real.err << real.out;
    EXPECT_EQ(ModuleCounts(dry.out), ModuleCounts(real.out));

    // In place over the live store: the default rule keeps the unchanged files; "always"
    // would replace them and import the settings, and the dry run still changes nothing.
    dry = m_cli.Run({"restore", Repo(), "Outlook Express", "--in-place", "--dry-run"});
    ASSERT_EQ(dry.code, 0) << dry.err << dry.out;
    EXPECT_TRUE(Contains(dry.out, "Would skip \"" + Store("anna", ID_A) + "Inbox.dbx\": already up to date"))
        << dry.out;
    EXPECT_TRUE(Contains(dry.out, "Dry run of restoring Outlook Express: nothing was written")) << dry.out;
    dry = m_cli.Run({"restore", Repo(), "Outlook Express", "--in-place", "--overwrite", "always", "--dry-run",
                     "--json"});
    ASSERT_EQ(dry.code, 0) << dry.err << dry.out;
    EXPECT_TRUE(Contains(dry.out, "\"action\":\"replace\",\"path\":\"" + Store("anna", ID_A) + "Inbox.dbx\""))
        << dry.out;
    EXPECT_TRUE(Contains(dry.out, "\"action\":\"import\"")) << dry.out;
    EXPECT_EQ(tavtest::ReadFile(m_env.UserReg()), settings);
    real = m_cli.Run({"restore", Repo(), "Outlook Express", "--in-place", "--overwrite", "always", "--json"});
    ASSERT_EQ(real.code, 0) << real.err << real.out;
    EXPECT_EQ(ModuleCounts(dry.out), ModuleCounts(real.out));
}

}  // namespace
