// The Files and Folders job model: entries and their indexes, path tests, default exclusions
// and the selection rules of adding paths and removing sources (filter edits: the filter
// dialog's and tavctl's tests).
#include <gtest/gtest.h>

#include "core/FilesSelection.h"
#include "core/TavJobFilesHelper.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavJobHelper.h"

namespace {

class CChangeCounter : public CTavJobObserver {
public:
    void OnTavJobChanged(CTavJobHelper*, int32_t flag) override {
        EXPECT_EQ(flag, 1);
        ++changes;
    }
    int changes = 0;
};

class JobFiles : public ::testing::Test {
protected:
    JobFiles() {
        m_job.AddBackupNode("Files and Folders", "files");
        m_job.SetObserver(&m_counter);
        m_helper = std::make_unique<CTavJobFilesHelper>(m_job.GetBackupNode("files"), &m_job);
    }
    // The names of the node's children in document order, "kind:path".
    std::vector<std::string> Children() const {
        std::vector<std::string> out;
        for (XMLNode c = m_helper->GetNode().GetFirstChild(); c; c = c.GetNextSibling())
            out.push_back(c.GetName() + ":" + c.GetAttribute("fullpath"));
        return out;
    }

    CTavJobHelper m_job;
    CChangeCounter m_counter;
    std::unique_ptr<CTavJobFilesHelper> m_helper;
};

TEST_F(JobFiles, AdditionsAreFoundOnlyAfterSortAndNeverTwice) {
    EXPECT_EQ(m_helper->AddFile("/data/b"), 1);
    EXPECT_EQ(m_helper->IsDirty(), 1);
    EXPECT_FALSE(m_helper->SearchInFiles("/data/b")) << "not before Sort";
    EXPECT_EQ(m_helper->GetFileCount(), 0);
    m_helper->Sort();
    EXPECT_EQ(m_helper->IsDirty(), 0);
    EXPECT_TRUE(m_helper->SearchInFiles("/data/b"));
    EXPECT_EQ(m_helper->AddFile("/data/b"), 0);
    EXPECT_FALSE(m_helper->SearchInFiles("/Data/b")) << "paths compare exactly";
    m_helper->AddFile("/data/a");
    m_helper->AddFile("/data/c");
    m_helper->Sort();
    ASSERT_EQ(m_helper->GetFileCount(), 3);
    EXPECT_EQ(*m_helper->GetFile(0), "/data/a");
    EXPECT_EQ(*m_helper->GetFile(2), "/data/c");
    EXPECT_FALSE(m_helper->GetFile(3));
    EXPECT_FALSE(m_helper->GetFile(-1));
    XMLNode out;
    EXPECT_EQ(m_helper->GetFile(1, out), 1);
    EXPECT_EQ(out.GetAttribute("fullpath"), "/data/b");
    EXPECT_EQ(m_helper->GetFile(3, out), 0);
    EXPECT_EQ(m_counter.changes, 3);
    // New elements go to the end, in the order added.
    EXPECT_EQ(Children(),
              (std::vector<std::string>{"file:/data/b", "file:/data/a", "file:/data/c"}));
}

TEST_F(JobFiles, ExcludedAndPartialNeverHoldTheSamePathAndDefaultExclusionsAreMergedOnce) {
    m_helper->AddPartial("/data/x");
    m_helper->Sort();
    EXPECT_EQ(m_helper->AddExclude("/data/x"), 1);
    m_helper->Sort();
    EXPECT_TRUE(m_helper->SearchInExcludes("/data/x"));
    EXPECT_FALSE(m_helper->SearchInPartial("/data/x"));
    EXPECT_EQ(m_helper->AddPartial("/data/x"), 1);
    m_helper->Sort();
    EXPECT_FALSE(m_helper->SearchInExcludes("/data/x"));
    EXPECT_TRUE(m_helper->SearchInPartial("/data/x"));
    EXPECT_EQ(Children(), (std::vector<std::string>{"partial:/data/x"}));

    // The default exclusions are merged once.
    m_helper->AddExclude("/proc");
    m_helper->Sort();
    m_helper->LoadDefaultExcludedPaths();
    m_helper->Sort();
    const std::string list = GetDefaultExcludedPaths();
    int pieces = 0;
    for (char c : list) pieces += c == ';';
    EXPECT_EQ(m_helper->GetExcludeCount(), pieces);
    EXPECT_TRUE(m_helper->SearchInExcludes("/tmp"));
    const int count = m_helper->GetExcludeCount();
    m_helper->LoadDefaultExcludedPaths();
    m_helper->Sort();
    EXPECT_EQ(m_helper->GetExcludeCount(), count);
}

TEST_F(JobFiles, RemovalsSortAtOnceAndClearAllsLeaveNoStaleAnswers) {
    m_helper->AddFile("/a");
    m_helper->AddFile("/b");
    m_helper->AddExclude("/a/x");
    m_helper->Sort();
    EXPECT_EQ(m_helper->RemoveFile("/missing"), 0);
    EXPECT_EQ(m_helper->RemoveFile("/a"), 1);
    EXPECT_EQ(m_helper->IsDirty(), 0);
    EXPECT_EQ(m_helper->GetFileCount(), 1);
    // After a clear-all the index is stale until the next Sort, but it never answers with
    // another element in the place of a removed one.
    m_helper->ClearAllFiles();
    EXPECT_EQ(m_helper->IsDirty(), 1);
    EXPECT_FALSE(m_helper->SearchInFiles("/b"));
    m_helper->Sort();
    EXPECT_EQ(m_helper->GetFileCount(), 0);
    EXPECT_TRUE(m_helper->SearchInExcludes("/a/x"));
    const int before = m_counter.changes;
    m_helper->ClearAllPartials();  // nothing to clear: no notification
    EXPECT_EQ(m_counter.changes, before);
}

TEST(JobFilesPaths, TestSubPathRelatesPathsByWholeComponents) {
    const struct {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"/data", "/data", SubPathSame},        {"/data", "/data/", SubPathSame},
        {"/data/", "/data", SubPathSame},       {"/data", "/data/x.doc", SubPathContains},
        {"/data/", "/data/x.doc", SubPathContains}, {"/data/x.doc", "/data", SubPathInside},
        {"/", "/data", SubPathContains},        {"/data", "/", SubPathInside},
        {"/dat", "/data", SubPathNone},         {"/data", "/dat", SubPathNone},
        {"/Data", "/data/x", SubPathNone},  // exact letter case
        {"/a", "/b", SubPathNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTavJobFilesHelper::TestSubPath(c.a, c.b), c.expected) << c.a << " " << c.b;
}

TEST_F(JobFiles, AddingAFolderReplacesTheSourcesBelowIt) {
    EXPECT_EQ(AddSelectionPath(*m_helper, "/data/a.doc", false).outcome, TavAddPathOutcome::Added);
    EXPECT_EQ(AddSelectionPath(*m_helper, "/data/Sub", true).outcome, TavAddPathOutcome::Added);
    EXPECT_EQ(AddSelectionPath(*m_helper, "/database", true).outcome, TavAddPathOutcome::Added);
    const TavAddPathResult r = AddSelectionPath(*m_helper, "/data", true);
    EXPECT_EQ(r.outcome, TavAddPathOutcome::Added);
    EXPECT_EQ(r.removedSources, (std::vector<std::string>{"/data/Sub", "/data/a.doc"}));
    EXPECT_EQ(Children(), (std::vector<std::string>{"file:/database", "file:/data"}));

    const TavAddPathResult again = AddSelectionPath(*m_helper, "/data/Sub", true);
    EXPECT_EQ(again.outcome, TavAddPathOutcome::AlreadyCovered);
    EXPECT_EQ(again.warning, "\"/data/Sub\" already exists in file list");
    EXPECT_EQ(AddSelectionPath(*m_helper, "/data/", true).outcome,
              TavAddPathOutcome::AlreadyCovered);
    EXPECT_EQ(AddSelectionPath(*m_helper, "/", false).outcome, TavAddPathOutcome::NotAdded)
        << "a file cannot hold other sources";
    EXPECT_EQ(m_helper->GetFileCount(), 2);
}

TEST_F(JobFiles, RemovingASourceTakesItsFiltersAndExclusionsBelowAlong) {
    m_helper->AddFile("/data");
    m_helper->AddFile("/keep");
    m_helper->AddFilter("/data", 0, "*.doc", "");
    m_helper->AddFilter("/data/sub", 0, "*.doc", "");
    m_helper->AddFilter("/keep/sub", 0, "*.doc", "");
    m_helper->AddExclude("/data/tmp");
    m_helper->AddExclude("/data");
    m_helper->AddExclude("/database");
    m_helper->Sort();
    EXPECT_EQ(RemoveSelectionSource(*m_helper, "/data"), 1);
    EXPECT_EQ(Children(), (std::vector<std::string>{"file:/keep", "filter:/data",
                                                    "filter:/keep/sub", "excluded:/database"}));
    EXPECT_EQ(RemoveSelectionSource(*m_helper, "/data"), 0);
}

TEST(JobFilesNode, AJobWithoutAFilesNodeGivesAnEmptySelection) {
    CTavJobHelper job;
    CTavJobFilesHelper helper(job.GetBackupNode("files"), &job);
    EXPECT_EQ(helper.GetFileCount(), 0);
    EXPECT_EQ(helper.AddFile("/x"), 0);
    EXPECT_FALSE(helper.SearchInFiles("/x"));
}

}  // namespace
