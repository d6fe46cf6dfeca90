// The Files and Folders backup on real folders: full and incremental runs, the walk's
// decisions, the run log and the state a run leaves behind.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "FilesTestRun.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "core/FilesTexts.h"
#include "platform/FaultPlan.h"

namespace {

using namespace filestest;

using FilesBackup = CFilesJobTest;

TEST_F(FilesBackup, FullAndIncrementalRunsStoreTheTreeAndLogTheExactTexts) {
    Write("a.txt", "alpha");
    Write("b.bin", std::string(200000, 'b'));  // several chunks
    Write("sub/c.txt", "gamma");
    Write("sub/deeper/d.txt", "");
    Mkdir("empty");
    AddSource(Data());
    RunResult run = Run(true);
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.starts, 1);
    EXPECT_EQ(run.finishes, 1);
    EXPECT_EQ(run.counts.added, 4u);
    EXPECT_GT(run.progress.size(), 4u);
    ASSERT_EQ(run.titles.size(), 1u) << "each item is named under one title";
    EXPECT_EQ(run.titles.begin()->first, "Backup File");
    ExpectStoredEqualsDisk({Data()});

    // The start and finish lines carry asctime's text, whose own line feed comes before the
    // line's "\r\n".
    const std::string time =
        "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d{2}:\\d{2}:\\d{2} \\d{4}\n\r\n";
    const std::string image =
        std::regex_replace(ImagePath(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    EXPECT_TRUE(std::regex_match(
        run.log,
        std::regex("Start Backup Files and Folders: " + time + "Output Image Path: " + image +
                   "\r\nBackup Type: Full\r\nCompression : Yes\r\n" +
                   "Encryption: AES 128 bits\r\n[\\s\\S]*Finish Backup Files and Folders: " + time +
                   FinishCounts(4, 0, 0, 0, 0))))
        << run.log;

    // Incremental runs after it: unchanged files are skipped without storing content, added,
    // changed and deleted items are followed.
    Tree before;
    Stored(before);
    run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.added + run.counts.updated + run.counts.deleted, 0u);
    EXPECT_EQ(run.counts.skipped, 4u);
    EXPECT_NE(run.log.find("Backup Type: Incremental\r\n"), std::string::npos);
    Tree after;
    Stored(after);
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [path, item] : after)
        EXPECT_EQ(item.contentPos, before[path].contentPos) << path << " was stored again";

    Write("new.txt", "new");          // added
    Write("a.txt", "alpha, longer");  // size changed
    Write("sub/c.txt", "GAMMA");      // same size ...
    Touch("sub/c.txt", 100);          // ... written time moved
    Remove("sub/deeper");             // a folder with a file: one deleted item
    Remove("b.bin");                  // deleted file
    run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_NE(run.log.find(FinishCounts(1, 2, 0, 2, 0)), std::string::npos) << run.log;
    ExpectStoredEqualsDisk({Data()});
}

// An item that changes kind (below a source, or a source itself) is stored as new; the
// change is no deletion.
TEST_F(FilesBackup, TopLevelSourcesAndItemsBelowThemFollowChangesOfKind) {
    Write("file.txt", "f");
    Write("folder/x/inner.txt", "inner");
    AddSource(Data("file.txt"));
    AddSource(Data("folder"));
    ASSERT_TRUE(Run().committed);
    ExpectStoredEqualsDisk({Data("file.txt"), Data("folder")});  // top-level names: full paths

    Remove("folder/x");
    Write("folder/x", "now a file");
    RunResult run = Run();
    EXPECT_EQ(run.counts.added, 1u);
    EXPECT_EQ(run.counts.deleted, 0u);
    ExpectStoredEqualsDisk({Data("file.txt"), Data("folder")});

    Remove("folder");
    Write("folder", "a file now");
    Write("file.txt", "changed");
    run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.added, 1u);
    EXPECT_EQ(run.counts.updated, 1u);
    ExpectStoredEqualsDisk({Data("file.txt"), Data("folder")});
}

// Exclusions and sources taken out of the job between runs delete their stored items; an
// excluded root deletes every top-level item and adds nothing.
TEST_F(FilesBackup, ExcludedAndRemovedSourcesLeaveLaterBaselines) {
    Write("keep.txt", "k");
    Write("tmp/junk.txt", "j");
    Write("secret.txt", "s");
    Write("other/b.txt", "b");
    AddSource(Data("keep.txt"));
    AddSource(Data("tmp"));
    AddSource(Data("secret.txt"));
    AddSource(Data("other"));
    ASSERT_TRUE(Run().committed);
    m_selection->AddExclude(Data("tmp"));
    m_selection->AddExclude(Data("secret.txt"));
    m_selection->Sort();
    m_selection->RemoveFile(Data("other"));
    RunResult run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.deleted, 3u);
    EXPECT_EQ(run.counts.skipped, 1u);
    ExpectStoredEqualsDisk({Data("keep.txt")});

    m_selection->AddExclude(filestext::ROOT_PATH);
    m_selection->Sort();
    run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.deleted, 1u);
    EXPECT_EQ(run.counts.added, 0u);
    EXPECT_EQ(StoredNames(), std::vector<std::string>{});
}

TEST_F(FilesBackup, NestedAndRepeatedSourcesAreWalkedOnce) {
    Write("sub/s.txt", "s");
    Write("top.txt", "t");
    AddSource(Data("sub"));
    AddSource(Data());
    AddSource(Data() + "/");  // the same folder spelled with a trailing '/'
    AddSource(Data("sub/s.txt"));
    RunResult run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.added, 2u);
    ExpectStoredEqualsDisk({Data()});  // each item once: a second copy fails the reader
    run = Run();
    EXPECT_EQ(run.counts.deleted, 0u);
    EXPECT_EQ(run.counts.skipped, 2u);

    // The whole system as a source takes the sources below it; stopped at once, only the
    // first item the walk takes is of interest.
    AddSource("/");
    run = Run(false, 1);
    EXPECT_EQ(run.firstItem, "/");
    EXPECT_EQ(run.cancels, 1);
}

// A file that cannot be read to its end, or whose blocks do not fit on the disk, is an item
// in error named with its reason; the run still commits, and the item keeps its earlier
// backup whole.
TEST_F(FilesBackup, ReadErrorsAndAFullDiskAreItemsInErrorThatKeepTheirEarlierBackup) {
    std::mt19937 random(9);
    std::string noise(300000, '\0');
    for (char& c : noise) c = char(random());
    Write("a.txt", "alpha");
    Write("big.bin", noise);  // five chunks that deflate cannot shrink
    Write("c.txt", "gamma");
    AddSource(Data());
    ASSERT_TRUE(Run(true).committed);

    const struct {
        const char* name;
        plat::FaultRule rule;
        const char* said;
    } faults[] = {
        {"read error", {plat::FaultOp::Read, "data/big.bin", 100000, plat::FaultError::Io},
         "big.bin\"\r\n***** Not stored: read error (Input/output error"},
        {"disk full", {plat::FaultOp::Write, ".tvr", 20000, plat::FaultError::DiskFull, 1},
         "big.bin\"\r\n***** Not stored: disk full (No space left on device).\r\n"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        RunResult run;
        {
            plat::CFaultScope scope(fault.rule);
            run = Run(true);
            EXPECT_GT(scope.Hits(), 0u);
        }
        ASSERT_TRUE(run.committed) << run.log;
        EXPECT_EQ(run.counts.errors, 1u);
        EXPECT_EQ(run.counts.updated, 2u) << "a full run stores the others anew";
        EXPECT_NE(run.log.find(fault.said), std::string::npos) << run.log;
        ExpectStoredEqualsDisk({Data()});
    }
}

TEST_F(FilesBackup, FiltersApplyToFilesAndReachSubFoldersOnlyWhenRecursive) {
    Write("docs/a.doc", "a");
    Write("docs/b.txt", "b");
    Write("docs/sub/c.doc", "c");
    Write("docs/sub/d.txt", "d");
    Write("docs/own/e.txt", "e");
    Write("docs/own/f.doc", "f");
    Write("docs/own/g.zzz", "g");
    AddSource(Data());
    m_selection->AddFilter(Data("docs"), 0, "*.DOC", "");  // letter case of patterns ignored
    std::string excluded;
    for (int i = 0; i < 20; ++i) excluded += "*.p" + std::to_string(i) + ";";
    excluded += "*.doc;*.zzz";  // far beyond the first 64 characters
    m_selection->AddFilter(Data("docs/own"), 0, "", excluded);
    m_selection->Sort();
    ASSERT_TRUE(Run().committed);
    // Folders are never filtered; sub is not reached by a filter that is not recursive; own
    // has its own, and a long list keeps its last patterns.
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"docs", "docs/a.doc", "docs/own",
                                                       "docs/own/e.txt", "docs/sub",
                                                       "docs/sub/c.doc", "docs/sub/d.txt"}));

    const int recursive = 1;
    m_selection->SetFilterDesc(Data("docs"), &recursive, nullptr, nullptr);
    const RunResult run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"docs", "docs/a.doc", "docs/own",
                                                       "docs/own/e.txt", "docs/sub",
                                                       "docs/sub/c.doc"}));
    EXPECT_EQ(run.counts.deleted, 1u);
}

// The new-file modes: ignored (but for partial entries, and for the first baseline, which
// takes every file), or taken in folders without an excluded file only; and the size and
// date conditions decide what counts as changed.
TEST_F(FilesBackup, NewFilesAreIgnoredOrTakenInFoldersWithoutAnExcludedFile) {
    Write("part/excluded.txt", "x");
    Write("part/old.txt", "o");
    Write("whole/old.txt", "o");
    AddSource(Data());
    m_selection->AddExclude(Data("part/excluded.txt"));
    m_selection->Sort();
    SetCommand(TAV_COND_SIZE | TAV_COND_DATE | TAV_COND_NEWFILE_IGNORE);
    RunResult run = Run();
    EXPECT_EQ(run.counts.added, 2u) << "baseline 0 takes every file";
    Write("whole/later.txt", "2");
    Write("whole/wanted.txt", "3");
    m_selection->AddPartial(Data("whole/wanted.txt"));
    m_selection->Sort();
    Touch("whole/old.txt", 50);
    SetCommand(TAV_COND_SIZE | TAV_COND_NEWFILE_IGNORE);  // the written time is not looked at
    run = Run();
    EXPECT_EQ(run.counts.added, 1u);
    EXPECT_EQ(run.counts.updated, 0u);
    Write("part/new.txt", "n");
    SetCommand(TAV_COND_SIZE | TAV_COND_DATE | TAV_COND_NEWFILE_ALLSELECTED);
    run = Run();
    EXPECT_EQ(run.counts.added, 1u);
    EXPECT_EQ(run.counts.updated, 1u) << "the moved written time counts now";
    EXPECT_EQ(StoredNames(),
              (std::vector<std::string>{"part", "part/old.txt", "whole", "whole/later.txt",
                                        "whole/old.txt", "whole/wanted.txt"}));
}

TEST_F(FilesBackup, SymbolicLinksAreStoredAsLinksAndNeverFollowed) {
    Write("real/file.txt", "real");
    Mkdir("outside");
    Write("outside/hidden.txt", "must not be reached through the link");
    ASSERT_TRUE(plat::CreateSymlink("../outside", Data("real/dirlink")));
    ASSERT_TRUE(plat::CreateSymlink("file.txt", Data("real/filelink")));
    ASSERT_TRUE(plat::CreateSymlink("/nowhere/at/all", Data("real/dangling")));
    AddSource(Data("real"));
    AddSource(Data("real/dirlink"));  // a source below: reached through its folder
    ASSERT_TRUE(plat::CreateSymlink(Data("real"), Data("toplink")));
    AddSource(Data("toplink"));  // a link as a source is stored as a link
    RunResult run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.added, 5u);
    // The disk's side lists each link as a link with its target and nothing below it; the
    // stored side is a link by its reparse-point attribute.
    ExpectStoredEqualsDisk({Data("real"), Data("toplink")});

    plat::RemoveFile(Data("real/filelink"));
    ASSERT_TRUE(plat::CreateSymlink("elsewhere.txt", Data("real/filelink")));
    run = Run();
    EXPECT_EQ(run.counts.updated, 1u);
    ExpectStoredEqualsDisk({Data("real"), Data("toplink")});
}

// A special file is passed over with a log line; a source path too long to store is
// refused, not cut; a name that is not UTF-8 is reported, not mangled; a missing or relative
// source is reported, and a source that goes missing keeps its last backup. The rest goes on.
TEST_F(FilesBackup, ItemsThatCannotBeStoredAreReportedAndTheRestGoesOn) {
    std::string deep = "d";
    while (Data(deep).size() <= 300) deep += "/" + std::string(50, 'n');
    Write(deep + "/f.txt", "f");
    Write("names/good.txt", "g");
    Write("names/bad\xff.txt", "b");
    Write("gone/g.txt", "g");
    for (const std::string& source :
         {std::string("/dev/null"), Data(deep), Data("names"), Data("gone"), Data("never-there"),
          std::string("relative/path")})
        AddSource(source);
    RunResult run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.errors, 4u) << "a special file is no error";
    EXPECT_EQ(run.counts.added, 2u);
    for (const std::string& said :
         {std::string("Skipped special file: /dev/null\r\n"),
          "\r\n***** Path too long to be stored (more than 259 bytes of UTF-8): " + Data(deep) +
              "\r\n",
          "***** File name is not valid UTF-8: " + Data("names/bad\\xFF.txt"),
          "Cannot open file or folder: " + Data("never-there") + "\r\n",
          std::string("\r\n***** Invalid Path: relative/path\r\n")})
        EXPECT_NE(run.log.find(said), std::string::npos) << said << "\n" << run.log;
    Remove("gone");
    run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_NE(run.log.find("Cannot open folder: " + Data("gone") + "\r\n"), std::string::npos);
    EXPECT_EQ(run.counts.errors, 5u);
    EXPECT_EQ(run.counts.deleted, 0u);
    EXPECT_EQ(StoredNames(),
              (std::vector<std::string>{"gone", "gone/g.txt", "names", "names/good.txt"}))
        << "a missing source keeps its last backup";
}

TEST_F(FilesBackup, AFileInUseKeepsItsPreviousBackupAndIsReported) {
    Write("busy.txt", "first version");
    Write("other.txt", "o");
    AddSource(Data());
    ASSERT_TRUE(Run().committed);
    Write("busy.txt", "second, longer version");
    Write("new-busy.txt", "n");
    RunResult run;
    {
        // A writer elsewhere holds both files: the backup cannot open them for reading.
        auto hold1 = plat::CFile::Open(Data("busy.txt"), plat::FileAccess::ReadWrite,
                                       plat::FileDisposition::OpenExisting);
        auto hold2 = plat::CFile::Open(Data("new-busy.txt"), plat::FileAccess::ReadWrite,
                                       plat::FileDisposition::OpenExisting);
        ASSERT_TRUE(hold1 && hold2);
        run = Run();
    }
    ASSERT_TRUE(run.committed);
    EXPECT_EQ(run.counts.errors, 2u);
    EXPECT_EQ(run.counts.updated, 0u);
    EXPECT_EQ(run.counts.added, 0u);
    EXPECT_NE(run.log.find("Error: file \"" + Data("busy.txt") + "\"\r\n***** Access denied.\r\n"),
              std::string::npos)
        << run.log;
    Tree stored;
    Stored(stored);
    EXPECT_EQ(stored[Data("busy.txt")].content, "first version");
    EXPECT_EQ(stored[Data("busy.txt")].size, 13u) << "the node still describes its content";
    EXPECT_EQ(stored.count(Data("new-busy.txt")), 0u);
    run = Run();
    EXPECT_EQ(run.counts.updated, 1u);
    EXPECT_EQ(run.counts.added, 1u);
    ExpectStoredEqualsDisk({Data()});
}

TEST_F(FilesBackup, ModeOwnerAndGroupAreKeptAndFollowed) {
    Write("script.sh", "#!/bin/sh\n");
    Write("plain.txt", "p");
    ASSERT_TRUE(plat::SetFileMode(Data("script.sh"), 0750));
    AddSource(Data());
    ASSERT_TRUE(Run().committed);
    Tree stored;
    Stored(stored);
    TavFindData fd;
    ASSERT_TRUE(plat::GetFindData(Data("script.sh"), fd));
    ASSERT_TRUE(stored[Data("script.sh")].hasMeta);
    EXPECT_EQ(stored[Data("script.sh")].mode, fd.mode);
    EXPECT_EQ(stored[Data("script.sh")].uid, fd.uid);
    EXPECT_EQ(stored[Data("script.sh")].gid, fd.gid);
    EXPECT_TRUE(stored[Data()].hasMeta) << "folders keep theirs too";
    const TavPosition content = stored[Data("script.sh")].contentPos;

    ASSERT_TRUE(plat::SetFileMode(Data("script.sh"), 0700));
    const RunResult run = Run();
    EXPECT_EQ(run.counts.updated, 1u);
    EXPECT_EQ(run.counts.skipped, 1u);
    Stored(stored);
    EXPECT_EQ(stored[Data("script.sh")].contentPos, content) << "only the metadata changed";
    ExpectStoredEqualsDisk({Data()});
}

TEST_F(FilesBackup, CancelHalfWayRollsBackAndKeepsThePreviousBaseline) {
    for (int i = 0; i < 30; ++i) Write("f" + std::to_string(i) + ".txt", std::string(100 + i, 'x'));
    AddSource(Data());
    ASSERT_TRUE(Run().committed);
    Tree before;
    const uint32_t number = Stored(before);
    for (int i = 0; i < 30; ++i) Write("f" + std::to_string(i) + ".txt", std::string(300 + i, 'y'));
    const RunResult run = Run(false, 10);
    EXPECT_EQ(run.state, TAV_ENGINE_CANCELLED);
    EXPECT_FALSE(run.committed);
    EXPECT_EQ(run.cancels, 1);
    EXPECT_EQ(run.finishes, 0);
    EXPECT_TRUE(run.log.ends_with("\r\nBackup Cancelled\r\n")) << run.log;
    Tree after;
    EXPECT_EQ(Stored(after), number);
    EXPECT_EQ(after, before);
    const std::string image = tavtest::ImagePath(ImagePath(), run.imageId);
    EXPECT_FALSE(plat::PathExists(image)) << "the run's image is gone: " << image;
}

TEST_F(FilesBackup, JobWithoutSourcesCommitsAnEmptyRootAndAJobThatDoesNotParseFails) {
    const RunResult run = Run();
    ASSERT_TRUE(run.committed);
    EXPECT_NE(run.log.find(FinishCounts(0, 0, 0, 0, 0)), std::string::npos);
    Tree stored;
    EXPECT_EQ(Stored(stored), 1u);
    EXPECT_TRUE(stored.empty());

    CTavEngineFiles engine;
    CEngineRecorder recorder;
    engine.SubscribeNotify(&recorder);
    CTavRepository* rep = CTavEngine::CreateRepForBackup(&m_job);
    ASSERT_NE(rep, nullptr);
    CTavRepBaselineDetails* table = rep->LoadBaseline(rep->GetLatestBaselineNumber());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(engine.Backup("<not-a-job", rep, table), 0);
    EXPECT_EQ(engine.GetEngineState(), TAV_ENGINE_FAILED);
    EXPECT_EQ(recorder.starts, 0);
    EXPECT_NE(recorder.log.find("***** "), std::string::npos) << "the reason is logged";
    table->Dispose();
    CTavEngine::DisposeRep(rep);
}

}  // namespace

// The user's list in the settings store: a path left out of every backup while the
// switch is on. The list's last path has no ";" after it and still counts.
TEST_F(FilesBackup, UserExcludedPathsOfTheSettingsStoreAreLeftOutWhileEnabled) {
    tavtest::CEnvOverride home("TAVORA_HOME", m_dir / "settings");
    Write("keep.txt", "k");
    Write("skip/a.txt", "a");
    AddSource(Data());
    plat::CRegistry user;
    ASSERT_TRUE(user.Open(plat::HKEY_CURRENT_USER, "Software\\Norvik\\Tavora", true));
    ASSERT_TRUE(user.WriteString("ExcludedPaths", "/proc;" + Data("skip")));
    ASSERT_TRUE(Run().committed);
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"keep.txt"});

    ASSERT_TRUE(user.WriteNumber("EnableExcludedPaths", 0));
    ASSERT_TRUE(Run().committed);
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"keep.txt", "skip", "skip/a.txt"}));
}
