// Backup runs of the Outlook Express engine over a Wine-style layout: the stored tree and
// its records, unchanged and changed files, exclusions, identities that are gone, cancel,
// failures and the log texts.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "modules/oe/DbxTestStore.h"
#include "modules/oe/OeScenario.h"
#include "platform/File.h"
#include "platform/Registry.h"

namespace {

using namespace oetest;

using OeBackupTest = OeScenario;

TEST_F(OeBackupTest, FirstRunStoresTheIdentityItsListedFilesAndSettings) {
    StandardLayout();
    size_t tempFolders = 0;
    const OeRun run = Run([&](const std::string&, uint32_t) {
        tempFolders = std::max(tempFolders, TempLeftovers().size());
        return false;
    });
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.state, TAV_ENGINE_FINISHED);
    EXPECT_EQ(run.starts + run.finishes, 2);
    EXPECT_EQ(run.Counts(), "a4 u0 s0 d0 e0") << "Folders.dbx, Inbox, Outbox, Projects";
    EXPECT_EQ(tempFolders, 1u) << "the run works in a temporary folder of its own";
    EXPECT_EQ(TempLeftovers(), std::vector<std::string>{}) << "the run's temporary files are gone";
    EXPECT_EQ(run.Percents(StoreA() + "Inbox.dbx", "Backup File"),
              (std::vector<uint32_t>{0, 47, 94, 100}))
        << "one step per chunk";

    CBaselineReader reader(ImagePath());
    const auto root = reader.Root();
    ASSERT_TRUE(root);
    EXPECT_EQ(CBaselineReader::Name(*root), "Outlook Express");

    const auto identity = reader.Path({ID_A});
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->moduleId, OE_TAG_IDENTITY);  // (its record: the restore's mapping rows)
    EXPECT_EQ(reader.ChildNames(identity),
              (std::vector<std::string>{"<msgroot>", "Block Senders", "Preference", "Signatures"}))
        << "no Rules key, no Rules node";
    const auto messages = reader.Path({ID_A, "<msgroot>"});
    ASSERT_TRUE(messages);
    EXPECT_EQ(messages->moduleId, OE_TAG_MESSAGE);
    EXPECT_EQ(reader.ChildNames(messages),
              (std::vector<std::string>{"Folders.dbx", "Inbox.dbx", "Outbox.dbx", "Projects.dbx"}))
        << "a file Folders.dbx does not list is not stored";

    // Each store file: chunk table, fingerprint, find data and folder record.
    const struct {
        const char* file;
        size_t chunks;
        OeFolderRecord folder;
    } files[] = {
        {"Folders.dbx", 1, {1, 0, 0, 0, 1, "Folders Information", 1}},
        {"Inbox.dbx", 3, {1, 2, 12, 3, 1, "Inbox", 1}},
        {"Outbox.dbx", 2, {1, 3, 0, 0, 0, "Outbox", 1}},      // exactly 65536 bytes
        {"Projects.dbx", 3, {1, 7, 5, 5, 1, "Projects", 2}},  // 65537 bytes
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        const auto node = reader.Child(*messages, f.file);
        ASSERT_TRUE(node);
        const std::string path = StoreA() + f.file;
        TavFindData live;
        ASSERT_TRUE(plat::GetFindData(path, live));
        EXPECT_EQ(node->Size(), live.Size());
        EXPECT_EQ(node->written, live.written);
        EXPECT_TRUE(node->flags & NODE_HAS_FINGERPRINT);
        CTavOeEngine checker;
        EXPECT_EQ(checker.CheckSum(path, OE_CHUNK_SIZE, node->fingerprint), 1);
        EXPECT_EQ(reader.StoredFile(*node), tavtest::ReadFile(path));
        EXPECT_EQ(reader.Table(*node).size(), f.chunks);
        const auto folder = reader.Folder(*node);
        ASSERT_TRUE(folder);
        EXPECT_EQ(std::tie(folder->version, folder->folderId, folder->active, folder->name,
                           folder->parentId),
                  std::tie(f.folder.version, f.folder.folderId, f.folder.active, f.folder.name,
                           f.folder.parentId));
        if (f.folder.folderId != 0) {
            EXPECT_EQ(std::tie(folder->messages, folder->unread),
                      std::tie(f.folder.messages, f.folder.unread));
        }
    }

    // Settings items hold the export of their key (the restore tests import it back).
    const auto preference = reader.Path({ID_A, "Preference"});
    ASSERT_TRUE(preference);
    const std::string exported = reader.Content(preference->content);
    EXPECT_EQ(preference->Size(), exported.size());
    EXPECT_TRUE(Contains(exported, "\\Outlook Express\\5.0\\Mail]")) << exported;
}

// Runs after the first: unchanged files are skipped, a full run stores every file again
// from the chunks it has, and a changed file stores only its changed chunks.
TEST_F(OeBackupTest, LaterRunsSkipReuseOrStoreOnlyChangedChunks) {
    BackUpStandard();
    CBaselineReader first(ImagePath());
    const auto firstIdentity = first.Path({ID_A});
    const auto firstInbox = first.Mail("Inbox.dbx");
    ASSERT_TRUE(firstIdentity && firstInbox);
    const auto before = first.Table(*firstInbox);
    ASSERT_EQ(before.size(), 3u);

    OeRun run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a0 u0 s4 d0 e0");
    EXPECT_FALSE(Contains(run.log, "Add ") || Contains(run.log, "Update ")) << run.log;
    EXPECT_TRUE(run.Logged("Backup Preference\r\n")) << "settings are exported again";
    {
        CBaselineReader second(ImagePath());
        EXPECT_EQ(second.Number(), first.Number() + 1);
        const auto inbox = second.Mail("Inbox.dbx");
        ASSERT_TRUE(inbox);
        EXPECT_EQ(inbox->content, firstInbox->content) << "the chunk table is kept";
        EXPECT_NE(second.Path({ID_A})->extra, firstIdentity->extra)
            << "the identity record is stored again";
        EXPECT_EQ(second.StoredFile(*inbox), tavtest::ReadFile(StoreA() + "Inbox.dbx"));
    }

    m_job.SetBackupCommand(SetBkType(m_job.GetBackupCommand(), TAV_BKTYPE_FULL));
    run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a0 u4 s0 d0 e0");
    EXPECT_TRUE(run.Logged("Backup Type: Full\r\n"));
    EXPECT_TRUE(run.Logged("Update " + StoreA() + "Projects.dbx.....OK\r\n"));
    {
        CBaselineReader full(ImagePath());
        const auto after = full.Table(*full.Mail("Inbox.dbx"));
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].position, before[i].position);
    }

    // A few bytes of the second chunk change; the size stays, the written time moves.
    m_job.SetBackupCommand(SetBkType(m_job.GetBackupCommand(), TAV_BKTYPE_INCREMENTAL));
    const std::string path = StoreA() + "Inbox.dbx";
    std::string bytes = tavtest::ReadFile(path);
    for (size_t i = 40000; i < 40010; ++i) bytes[i] = char(~bytes[i]);
    ASSERT_TRUE(tavtest::WriteFile(path, bytes));
    Touch(path, 5);
    run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a0 u1 s3 d0 e0");
    EXPECT_TRUE(run.Logged("Update " + path + ".....OK\r\n"));
    {
        CBaselineReader changed(ImagePath());
        const auto node = changed.Mail("Inbox.dbx");
        ASSERT_TRUE(node);
        const auto after = changed.Table(*node);
        ASSERT_EQ(after.size(), 3u);
        EXPECT_EQ(after[0].position, before[0].position) << "the first chunk is not stored again";
        EXPECT_NE(after[1].position, before[1].position);
        EXPECT_EQ(after[2].position, before[2].position);
        EXPECT_EQ(changed.StoredFile(*node), bytes);
    }

    // A file that shrinks: the table follows.
    bytes.resize(20000);
    ASSERT_TRUE(tavtest::WriteFile(path, bytes));
    ASSERT_EQ(Run().result, 1);
    TavPosition table;
    {
        CBaselineReader third(ImagePath());
        const auto shrunk = third.Mail("Inbox.dbx");
        EXPECT_EQ(third.Table(*shrunk).size(), 1u);
        EXPECT_EQ(third.StoredFile(*shrunk), bytes);
        table = shrunk->content;
    }

    // A changed file whose earlier chunk table is damaged in its image is stored whole.
    {
        std::string imagePath;
        CTavRepository::BuildImagePath(imagePath, ImagePath(), table.image);
        auto image = plat::CFile::Open(imagePath, plat::FileAccess::ReadWrite,
                                       plat::FileDisposition::OpenExisting);
        ASSERT_TRUE(image);
        const std::string junk(64, '\x5A');
        ASSERT_TRUE(image->WriteAt(junk.data(), junk.size(), table.offset + 8));
    }
    bytes = RandomBytes(70000, 1234);
    ASSERT_TRUE(tavtest::WriteFile(path, bytes));
    run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a0 u1 s3 d0 e0");
    CBaselineReader reader(ImagePath());
    EXPECT_EQ(reader.StoredFile(*reader.Mail("Inbox.dbx")), bytes);
}

// Exclusions added between runs: their nodes are deleted, down to the whole identity.
TEST_F(OeBackupTest, ExcludedFoldersItemsAndIdentitiesAreLeftOutAndTheirNodesDeleted) {
    BackUpStandard();
    m_helper->AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.Inbox.", std::string("inbox.DBX"));
    m_helper->AddExcludedItem(ID_A, OE_TAG_ITEM, ".Preference.");
    OeRun run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a0 u0 s2 d3 e0") << "Inbox, Projects below it, and Preference";
    EXPECT_FALSE(Contains(run.log, "Preference")) << run.log;
    EXPECT_EQ(StoredNames({ID_A, "<msgroot>"}),
              (std::vector<std::string>{"Folders.dbx", "Outbox.dbx"}));
    EXPECT_EQ(StoredNames({ID_A}),
              (std::vector<std::string>{"<msgroot>", "Block Senders", "Signatures"}));

    m_helper->AddExcludedItem(ID_A, OE_TAG_MESSAGE, ".Messages.", std::string());
    run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a0 u0 s0 d3 e0") << "no store file is read";
    EXPECT_EQ(StoredNames({ID_A}), (std::vector<std::string>{"Block Senders", "Signatures"}));

    m_helper->AddExcludedItem(ID_A, OE_TAG_IDENTITY, ".");
    run = Run();
    ASSERT_EQ(run.result, 1);
    EXPECT_TRUE(Contains(
        run.log, "\r\nSkip identity " + std::string(ID_A) + "\r\nFinish Backup Outlook Express: "))
        << run.log;
    ASSERT_TRUE(CBaselineReader(ImagePath()).Root()) << "the module root stands without identities";
    EXPECT_EQ(StoredNames(), std::vector<std::string>{});
}

TEST_F(OeBackupTest, IdentityGoneSinceTheLastRunIsSkippedAndItsNodesDeleted) {
    StandardLayout(true);
    const OeRun first = Run();
    ASSERT_EQ(first.result, 1) << first.log;
    EXPECT_EQ(first.Counts(), "a6 u0 s0 d0 e0") << "four files of A, Folders.dbx and Inbox of B";
    EXPECT_EQ(StoredNames({ID_B, "<msgroot>"}),
              (std::vector<std::string>{"Folders.dbx", "Inbox.dbx"}));
    plat::CRegistry identities;
    ASSERT_TRUE(identities.Open(plat::HKEY_CURRENT_USER, "Identities", false));
    ASSERT_TRUE(identities.DeleteKey(ID_B));

    const OeRun run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_TRUE(run.Logged("\r\nSkip identity " + std::string(ID_B)));
    EXPECT_FALSE(Contains(run.log, "Backup Identity " + std::string(ID_B)));
    // B's identity, message root, two files and three settings items.
    EXPECT_EQ(run.Counts(), "a0 u0 s4 d7 e0");
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{ID_A}));
}

TEST_F(OeBackupTest, CancelDuringAFileRollsTheRunBack) {
    BackUpStandard();
    std::string latest;
    const uint32_t lastImage = m_job.FindLastImagePath(latest);
    CBaselineReader first(ImagePath());
    const auto before = first.Mail("Inbox.dbx");
    ASSERT_TRUE(before);

    // Inbox changes; the run is stopped in the middle of storing it.
    const std::string path = StoreA() + "Inbox.dbx";
    ASSERT_TRUE(tavtest::WriteFile(path, RandomBytes(90000, 99)));
    const OeRun run =
        Run([&](const std::string& item, uint32_t percent) { return item == path && percent > 0; });
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.state, TAV_ENGINE_CANCELLED);
    EXPECT_EQ(run.cancels, 1);
    EXPECT_EQ(run.finishes, 0);
    EXPECT_TRUE(run.Logged("Update " + path + "\r\nBackup Block Senders\r\n"));
    EXPECT_TRUE(run.Logged("Backup Signatures\r\n"))
        << "the identity's settings are still exported";
    EXPECT_EQ(run.log.substr(run.log.size() - 19), "\r\nBackup Cancelled.");
    EXPECT_FALSE(Contains(run.log, "Finish Backup"));
    EXPECT_EQ(TempLeftovers(), std::vector<std::string>{});

    // The repository is where the first run left it.
    std::string afterCancel;
    EXPECT_EQ(m_job.FindLastImagePath(afterCancel), lastImage);
    CBaselineReader reader(ImagePath());
    EXPECT_EQ(reader.Number(), first.Number());
    const auto after = reader.Mail("Inbox.dbx");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->content, before->content);
    EXPECT_EQ(after->Size(), 70000u);
}

// A store file that cannot be read as it is (held by its writer, a link, growing while it is
// read) is logged and counted, and its node keeps the earlier version.
TEST_F(OeBackupTest, StoreFilesThatCannotBeReadKeepTheirEarlierBackup) {
    StandardLayout();
    const std::string inbox = StoreA() + "Inbox.dbx";
    const std::string outbox = StoreA() + "Outbox.dbx";
    const std::string projects = StoreA() + "Projects.dbx";
    // Another program writes Outbox.dbx: it holds the file exclusively.
    auto writer =
        plat::CFile::Open(outbox, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(writer);
    const std::string sharing =
        "\r\n***** Access Denied. Make sure you've already closed Outlook Express "
        "Application.\r\n";
    OeRun run = Run();
    ASSERT_EQ(run.result, 1);
    EXPECT_TRUE(run.Logged("Add " + outbox + sharing));
    EXPECT_EQ(run.Counts(), "a3 u0 s0 d0 e1");
    {
        CBaselineReader reader(ImagePath());
        EXPECT_FALSE(reader.Mail("Outbox.dbx"));
    }
    writer.reset();
    ASSERT_EQ(Run().result, 1);

    // Outbox changed and is held again; Inbox.dbx becomes a link to the file (moved beside
    // it); Projects.dbx is newer and grows while it is read.
    Touch(outbox);
    TavFindData listed;
    ASSERT_TRUE(plat::GetFindData(outbox, listed));
    writer =
        plat::CFile::Open(outbox, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    ASSERT_TRUE(plat::RenameFile(inbox, StoreA() + "Inbox.real"));
    ASSERT_TRUE(plat::CreateSymlink("Inbox.real", inbox));
    Touch(projects);
    bool grown = false;
    run = Run([&](const std::string& item, uint32_t) {
        if (item == projects && !grown) {
            // Outlook Express writing: it does not ask for the reader's advisory lock.
            std::ofstream(projects, std::ios::binary | std::ios::app) << "more mail";
            grown = true;
        }
        return false;
    });
    ASSERT_TRUE(grown);
    ASSERT_EQ(run.result, 1);
    EXPECT_EQ(run.Counts(), "a0 u0 s1 d0 e3");
    EXPECT_TRUE(run.Logged("Update " + outbox + sharing));
    EXPECT_TRUE(run.Logged("\"" + inbox + "\" is not a regular file"));
    EXPECT_TRUE(run.Logged("\"" + projects + "\" changed while it was read"));
    CBaselineReader reader(ImagePath());
    const auto keptOutbox = reader.Mail("Outbox.dbx");
    const auto keptInbox = reader.Mail("Inbox.dbx");
    const auto keptProjects = reader.Mail("Projects.dbx");
    ASSERT_TRUE(keptOutbox && keptInbox && keptProjects);
    EXPECT_NE(keptOutbox->written, listed.written);
    EXPECT_EQ(keptInbox->Size(), 70000u);
    EXPECT_EQ(keptProjects->Size(), 65537u);
    EXPECT_EQ(reader.StoredFile(*keptProjects).size(), 65537u);
}

TEST_F(OeBackupTest, DamagedOrMissingFolderListStoresNoFolderFile) {
    StandardLayout();
    ASSERT_TRUE(tavtest::WriteFile(StoreA() + "Folders.dbx", "only a few bytes"));
    OeRun run = Run();
    ASSERT_EQ(run.result, 1);
    EXPECT_TRUE(run.Logged("\r\n***** Cannot read \"" + StoreA() +
                           "Folders.dbx\": Error reading object from input stream !"));
    EXPECT_EQ(run.Counts(), "a1 u0 s0 d0 e1") << "the damaged list itself is kept";
    EXPECT_EQ(StoredNames({ID_A, "<msgroot>"}), (std::vector<std::string>{"Folders.dbx"}));
}

// A store folder that cannot be found is an error of its identity (its settings are still
// stored); an identity without an Outlook Express key cannot be opened.
TEST_F(OeBackupTest, IdentitiesWithoutAStoreFolderOrKeyAreErrors) {
    m_env.WriteUserReg(
        {{ID_A, "A", COeTestEnv::RegString("Q:\\Mail")}},
        "\r\n[HKEY_CURRENT_USER\\Identities\\" + std::string(ID_B) + "]\r\n\"Username\"=\"B\"\r\n");
    m_helper->AddIdentity(ID_A);
    m_helper->AddIdentity(ID_B);
    const OeRun run = Run();
    ASSERT_EQ(run.result, 1);
    EXPECT_TRUE(run.Logged("\r\n***** Cannot find the message store folder of identity " +
                           std::string(ID_A) + "\r\n"));
    EXPECT_TRUE(run.Logged("Backup Preference\r\n")) << "the settings are still stored";
    EXPECT_TRUE(run.Logged("\r\nBackup Identity " + std::string(ID_B) +
                           "\r\n***** Cannot open identity " + std::string(ID_B) + "\r\n"));
    EXPECT_EQ(run.Counts(), "a0 u0 s0 d0 e2")
        << "an identity that could not be opened is not backed up";
}

TEST_F(OeBackupTest, IdentifierWithPathCharactersMakesNoFileOutsideTheRunsFolder) {
    // A key name may hold '/' and "..": the run's temporary files still stay in its folder.
    const std::string id = "../../x.y/../z";
    m_env.WriteUserReg({{id, "Odd", COeTestEnv::RegString(COeTestEnv::WindowsStore("odd", "o"))}});
    m_env.WriteStore(m_env.LocalStore("odd", "o"), StandardFolders(), {{"Inbox.dbx", 40000}});
    m_helper->AddIdentity(id);
    const std::vector<std::string> before = NamesIn(m_env.Root());
    const OeRun run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a2 u0 s0 d0 e0") << run.log;
    EXPECT_TRUE(run.Logged("Backup Preference\r\n"));
    EXPECT_EQ(NamesIn(m_env.Root()), before);
    CBaselineReader reader(ImagePath());
    EXPECT_TRUE(reader.Path({id, "<msgroot>", "Inbox.dbx"})) << "the node keeps the identifier";
}

TEST_F(OeBackupTest, UnreadableJobFailsWithoutALog) {
    CTavRepository* rep = CTavEngine::CreateRepForBackup(&m_job);
    ASSERT_NE(rep, nullptr);
    CTavRepBaselineDetails* table = rep->LoadBaseline(rep->GetLatestBaselineNumber());
    tavtest::CEngineRecorder observer;
    CTavOeEngine engine;
    engine.SubscribeNotify(&observer);
    EXPECT_EQ(engine.Backup("<notajob/>", rep, table), 0);
    EXPECT_EQ(engine.GetEngineState(), TAV_ENGINE_FAILED);
    EXPECT_EQ(engine.Backup("\x01\x02 garbage", rep, table), 0);
    EXPECT_EQ(observer.log, "");
    EXPECT_EQ(observer.starts, 0);
    table->Dispose();
    CTavEngine::DisposeRep(rep);
}

// The whole log; an empty store file is logged but adds nothing.
TEST_F(OeBackupTest, LogOfARun) {
    m_env.WriteUserReg({Ident(ID_A, "A", "anna")});
    m_env.WriteStore(StoreA(), StandardFolders(), {{"Inbox.dbx", 10}, {"Projects.dbx", 0}});
    m_helper->AddIdentity(ID_A);
    m_helper->AddIdentity("{not-on-this-machine}");
    const OeRun run = Run();
    ASSERT_EQ(run.result, 1);
    const std::string time = "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d{2}:\\d{2}:\\d{2} \\d{4}";
    auto quote = [](const std::string& text) {
        return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    };
    const std::string expected =
        "Start Backup Outlook Express: " + time + "\r\nOutput Image Path: " + quote(ImagePath()) +
        "\r\nBackup Type: Incremental\r\nCompression : Yes\r\nEncryption: None\r\n" +
        quote("\r\nBackup Identity " + std::string(ID_A) + "\r\n" + "Add " + StoreA() +
              "Folders.dbx.....OK\r\n" + "Add " + StoreA() + "Inbox.dbx.....OK\r\n" + "Add " +
              StoreA() + "Projects.dbx\r\n" +
              "Backup Block Senders\r\nBackup Preference\r\n\r\n***** Cannot export Rules.\r\n"
              "Backup Signatures\r\n\r\nSkip identity {not-on-this-machine}") +
        "\r\nFinish Backup Outlook Express: " + time +
        "\r\n2 Files Added\r\n0 Files Updated\r\n0 Files Skipped\r\n0 Files Deleted\r\n0 Items "
        "Error\r\n";
    EXPECT_TRUE(std::regex_match(run.log, std::regex(expected))) << run.log;
    EXPECT_EQ(StoredNames({ID_A, "<msgroot>"}),
              (std::vector<std::string>{"Folders.dbx", "Inbox.dbx"}));

    m_job.SetImageDesc("oe", "2 GB", 0x10, ImageDir());
    const OeRun encrypted = Run();
    EXPECT_TRUE(encrypted.Logged("\r\nCompression : No\r\nEncryption: AES 128 bits\r\n"));
}

TEST_F(OeBackupTest, RealStoreFilesReadBackThroughTheChunkInput) {
    const std::string source = dbxtest::DataPath("DbxOutlookExpress");
    ASSERT_TRUE(plat::IsDirectory(source)) << "no test data at " << source;
    m_env.WriteUserReg({Ident(ID_A, "A", "anna")});
    ASSERT_TRUE(plat::CreateDirectories(StoreA()));
    for (const char* name : {"Folders.dbx", "Inbox.dbx", "Outbox.dbx", "Offline.dbx"})
        ASSERT_TRUE(tavtest::WriteFile(StoreA() + name, tavtest::ReadFile(source + "/" + name)));
    m_helper->AddIdentity(ID_A);
    const OeRun run = Run();
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_EQ(run.Counts(), "a3 u0 s0 d0 e0") << run.log;
    CBaselineReader reader(ImagePath());
    const auto inbox = reader.Mail("Inbox.dbx");
    ASSERT_TRUE(inbox) << run.log;
    EXPECT_EQ(reader.StoredFile(*inbox), tavtest::ReadFile(StoreA() + "Inbox.dbx"));
    EXPECT_EQ(reader.Folder(*inbox)->name, "Inbox");
}

}  // namespace
