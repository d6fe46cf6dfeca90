// tavctl oe identities, tavctl job oe and the Outlook Express side of tavctl restore, over a
// Wine-style layout in a temporary settings store, through the modules the build made.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "modules/oe/OeTestEnv.h"
#include "platform/Process.h"
#include "tavengine/TavJobHelper.h"

using namespace clitest;
using namespace oetest;

namespace {

class OeCommandsTest : public ::testing::Test {
protected:
    void NewJob() { ASSERT_EQ(m_cli.Run(m_env.NewJob()).code, 0); }
    // The identities of the job (`id` empty), or the "excluded" keys of identity `id`, in
    // document order.
    std::vector<std::string> Listed(const std::string& id = "") {
        CTavJobHelper job;
        EXPECT_EQ(job.Load(m_job), 1);
        std::vector<std::string> out;
        for (XMLNode identity = job.GetBackupNode("oe").GetChild("identity"); identity;
             identity = identity.GetNextSibling("identity")) {
            if (id.empty()) out.push_back(identity.GetAttribute("uid"));
            if (identity.GetAttribute("uid") != id) continue;
            for (XMLNode e = identity.GetChild("excluded"); e; e = e.GetNextSibling("excluded"))
                out.push_back(e.GetAttribute("pid") + " " + e.GetAttribute("key") +
                              (e.HasAttribute("dbxname") ? " " + e.GetAttribute("dbxname") : ""));
        }
        return out;
    }

    COeProgramEnv m_env;
    CCli m_cli;
    const std::string m_job = m_env.Job();
};

TEST_F(OeCommandsTest, IdentitiesAreListedWithTheirStoreFolders) {
    m_cli.Expect(0, {"oe", "identities"}, "",
                 "No Outlook Express identities in the settings store");
    m_env.Layout();
    const CliResult r = m_cli.Expect(0, {"oe", "identities"}, "", "IDENTIFIER");
    EXPECT_TRUE(Contains(r.out, std::string(ID_A) + "  Main Identity  " + m_env.StoreA() + "\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, std::string(ID_B) + "  Bob            " +
                                    m_env.LocalStore("bob", ID_B) + " (missing)\n"))
        << r.out;
}

TEST_F(OeCommandsTest, JobOeAddsRemovesExcludesAndIncludes) {
    m_env.Layout();
    NewJob();
    EXPECT_EQ(m_cli.Ok({"job", "oe", m_job, "add", "Main Identity", ID_B}).out,
              "Added identity Main Identity (" + std::string(ID_A) + ")\nAdded identity Bob (" +
                  ID_B + ")\n");
    EXPECT_EQ(Listed(), (std::vector<std::string>{ID_A, ID_B}));

    const CliResult r = m_cli.Expect(
        1, {"job", "oe", m_job, "add", "{5c1d0a3e-1111-4a4a-9a9a-00000000000a}", "Nobody"},
        "Nobody: no identity of this identifier or name on this machine", "is in the job already");
    EXPECT_TRUE(Contains(r.out, "The job is unchanged.")) << r.out;

    m_cli.Ok({"job", "oe", m_job, "remove", "Bob"});
    EXPECT_EQ(Listed(), std::vector<std::string>{ID_A});
    m_cli.Expect(1, {"job", "oe", m_job, "remove", "Bob"}, "is not an identity of the job");
    m_cli.Expect(2, {"job", "oe", m_job, "rename", ID_A});
    m_cli.Expect(2, {"job", "oe", m_job, "add"});
    m_cli.Expect(2, {"job", "oe", m_job, "add", ID_A, "--folder", "Inbox"});

    // Items and folders of identity A excluded and included again.
    m_cli.Expect(0,
                 {"job", "oe", m_job, "exclude", ID_A, "rules", "Block-Senders", "--folder",
                  "inbox/projects"},
                 "", "Excluded folder Inbox/Projects of Main Identity");
    const std::string projects = "oemg .Messages.Inbox.Projects. Projects.dbx";
    EXPECT_EQ(Listed(ID_A),
              (std::vector<std::string>{"oeit .Rules.", "oeit .Blocksenders.", projects}));
    const CliResult twice = m_cli.Expect(
        1, {"job", "oe", m_job, "exclude", ID_A, "rules", "--folder", "Nowhere", "colours"},
        "no folder 'Nowhere'",
        "rules of Main Identity (" + std::string(ID_A) + ") is excluded already");
    EXPECT_TRUE(Contains(twice.err, "unknown item 'colours'")) << twice.err;

    m_cli.Ok({"job", "oe", m_job, "include", ID_A, "rules"});
    EXPECT_EQ(Listed(ID_A), (std::vector<std::string>{"oeit .Blocksenders.", projects}));
    m_cli.Ok({"job", "oe", m_job, "exclude", ID_A});
    EXPECT_EQ(Listed(ID_A).back(), "oeid .");
    m_cli.Ok({"job", "oe", m_job, "include", ID_A});
    EXPECT_EQ(Listed(ID_A), std::vector<std::string>{}) << "every exclusion is taken back";
    m_cli.Expect(1, {"job", "oe", m_job, "exclude", ID_B, "rules"});  // B is not in the job
    EXPECT_EQ(Listed(), std::vector<std::string>{ID_A});
}

// --- tavctl restore ---

class OeRestoreCommandTest : public OeCommandsTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(UseBuiltModules("oemodule"));
        m_env.Layout();
        for (const auto& args : m_env.BackupOfA()) {
            const CliResult r = m_cli.Run(args);
            ASSERT_EQ(r.code, 0) << r.err;
        }
        m_inbox = tavtest::ReadFile(m_env.StoreA() + "Inbox.dbx");
    }
    std::string Repo() const { return m_env.Repo(); }

    std::string m_inbox;
};

TEST_F(OeRestoreCommandTest, MapRestoresAnIdentityIntoAnotherOne) {
    // Another machine: only C. Without --map the restore does not start.
    m_env.WriteUserReg({Ident(ID_C, "Carol", "carol")});
    const CliResult r = m_cli.Expect(
        1, {"restore", Repo(), "Outlook Express", "--in-place", "--overwrite", "always"},
        "***** You must specify all target identities to restore to.\n");
    EXPECT_TRUE(
        Contains(r.err, std::string("***** No target identity for Main Identity - ") + ID_A))
        << r.err;
    EXPECT_FALSE(plat::PathExists(m_env.LocalStore("carol", ID_C)));

    const std::string map = std::string(ID_A) + "=" + ID_C;
    m_cli.Expect(
        0,
        {"restore", Repo(), "Outlook Express", "--in-place", "--overwrite", "always", "--map", map},
        "", "Files Succeed");
    EXPECT_EQ(tavtest::ReadFile(m_env.LocalStore("carol", ID_C) + "Inbox.dbx"),
              m_inbox);  // settings: the engine's tests
    m_cli.Expect(2, {"restore", Repo(), "--in-place", "--map", "nonsense"});
    m_cli.Expect(2, {"restore", Repo(), "--map", map, "--to", m_env.Root() + "/out"});
}

// The "modules" array of a restore's JSON summary: what each engine wrote, replaced, kept.
std::string ModuleCounts(const std::string& json) {
    const size_t at = json.find("\"modules\":[");
    return at == std::string::npos ? "<none>" : json.substr(at, json.find(']', at) - at);
}

// A restore to a folder writes the store files and settings exports there and imports nothing;
// its dry run lists them.
TEST_F(OeRestoreCommandTest, ToAFolderOrItsDryRunWritesTheStoreFilesAndSettingsThere) {
    const std::string settings = tavtest::ReadFile(m_env.UserReg());
    const std::string out = m_env.Root() + "/out";
    CliResult dry =
        m_cli.Expect(0, {"restore", Repo(), "Outlook Express", "--to", out, "--dry-run", "--json"});
    EXPECT_FALSE(plat::PathExists(out)) << "a dry run writes nothing";
    EXPECT_TRUE(Contains(dry.out, "{\"type\":\"file\",\"action\":\"write\",\"path\":\"" + out +
                                      "/" + ID_A + "/Inbox.dbx\"}"))
        << dry.out;
    EXPECT_TRUE(Contains(dry.out, "/" + std::string(ID_A) + "/Preference.reg\"}")) << dry.out;
    EXPECT_EQ(
        ModuleCounts(dry.out),
        ModuleCounts(
            m_cli.Expect(0, {"restore", Repo(), "Outlook Express", "--to", out, "--json"}).out));
    EXPECT_EQ(tavtest::ReadFile(out + "/" + ID_A + "/Inbox.dbx"), m_inbox);
    EXPECT_TRUE(plat::PathExists(out + "/" + ID_A + "/Preference.reg"));
    m_cli.Expect(
        0, {"extract", Repo(), std::string("Outlook Express/") + ID_A + "/<msgroot>/Outbox.dbx",
            "--to", m_env.Root() + "/one"});
    EXPECT_EQ(tavtest::ReadFile(m_env.Root() + "/one/Outbox.dbx"),
              tavtest::ReadFile(m_env.StoreA() + "Outbox.dbx"));

    // In place over the live store: the default rule keeps the unchanged files; "always"
    // would replace them and import the settings, and the dry run still changes nothing.
    dry = m_cli.Expect(0, {"restore", Repo(), "Outlook Express", "--in-place", "--dry-run"}, "",
                       "Would skip \"" + m_env.StoreA() + "Inbox.dbx\": already up to date");
    EXPECT_TRUE(Contains(dry.out, "Dry run of restoring Outlook Express: nothing was written"))
        << dry.out;
    dry = m_cli.Expect(0,
                       {"restore", Repo(), "Outlook Express", "--in-place", "--overwrite", "always",
                        "--dry-run", "--json"},
                       "", "\"action\":\"replace\",\"path\":\"" + m_env.StoreA() + "Inbox.dbx\"");
    EXPECT_TRUE(Contains(dry.out, "\"action\":\"import\"")) << dry.out;
    EXPECT_EQ(tavtest::ReadFile(m_env.UserReg()), settings);
    EXPECT_EQ(ModuleCounts(dry.out),
              ModuleCounts(m_cli
                               .Expect(0, {"restore", Repo(), "Outlook Express", "--in-place",
                                           "--overwrite", "always", "--json"})
                               .out));
}

}  // namespace
