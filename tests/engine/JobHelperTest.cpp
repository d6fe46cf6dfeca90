// CTavJobHelper: the job document on disk and in memory.
#include <gtest/gtest.h>

#include <random>

#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavJobNodeHelper.h"

namespace {

using tavtest::CTempDir;

struct CRecordingObserver : CTavJobObserver {
    int calls = 0;
    void OnTavJobChanged(CTavJobHelper*, int32_t) override { ++calls; }
};

// The example job of docs/job-format.md, as the document shows it.
std::string DocumentedExample() {
    const std::string doc = tavtest::ReadFile(std::string(TAV_SOURCE_DIR) + "/docs/job-format.md");
    const size_t start = doc.find("```xml\n");
    const size_t end = doc.find("```", start + 7);
    if (start == std::string::npos || end == std::string::npos) return {};
    return doc.substr(start + 7, end - start - 7);
}

TEST(JobDocument, SaveAndLoadGiveTheSameXmlAndTheSameId) {
    CTempDir dir;
    CTavJobHelper job;
    job.SetJobDesc("title", "Daily <docs> & \"more\"");
    job.SetImageDesc("Docs", "700 MB", 0x13, dir.Path());
    job.SetRepDescription("line one\nline two");
    job.SetBackupCommand(0x0135);
    XMLNode files = job.AddBackupNode("Files and Folders", "files");
    files.AddChild("file").SetAttribute("fullpath", "/data");
    job.AddBackupNode("Outlook Express", "oe", 3);

    const std::string path = dir / "daily.tvj";
    ASSERT_EQ(job.Save(path), 1) << job.GetErrorText();

    CTavJobHelper loaded;
    ASSERT_EQ(loaded.Load(path), 1) << loaded.GetErrorText();
    EXPECT_EQ(loaded.GetXmlString(), job.GetXmlString());
    EXPECT_EQ(loaded.GetJobID(), job.GetJobID());
    EXPECT_EQ(loaded.GetJobDesc("title"), "Daily <docs> & \"more\"");
    EXPECT_EQ(loaded.GetBackupNode("FILES").GetChild("file").GetAttribute("fullpath"), "/data");

    // Saved again (also under another name): the id stays, and so do the file's permissions.
    ASSERT_TRUE(plat::SetFileMode(path, 0600));
    ASSERT_EQ(loaded.Save(), 1);
    TavFindData saved;
    ASSERT_TRUE(plat::GetFindData(path, saved));
    EXPECT_EQ(saved.mode & 0777, 0600u);
    ASSERT_EQ(loaded.Save(dir / "copy.tvj"), 1);
    CTavJobHelper again;
    ASSERT_EQ(again.Load(dir / "copy.tvj"), 1);
    EXPECT_EQ(again.GetJobID(), job.GetJobID());
    EXPECT_EQ(tavtest::ReadFile(path), tavtest::ReadFile(dir / "copy.tvj"));
}

TEST(JobDocument, TheDocumentedExampleAndAJobWrittenByHandWithoutOptionalPartsLoad) {
    const std::string example = DocumentedExample();
    ASSERT_FALSE(example.empty());
    CTempDir dir;
    ASSERT_TRUE(tavtest::WriteFile(dir / "documents.tvj", example));
    CTavJobHelper job;
    ASSERT_EQ(job.Load(dir / "documents.tvj"), 1) << job.GetErrorText();
    EXPECT_EQ(job.GetJobID(), 0x00A1B2C3u);
    EXPECT_EQ(job.GetJobDesc("title"), "Anna's documents");
    EXPECT_EQ(job.GetBackupCommand(), 0x2015u);
    EXPECT_EQ(job.GetImagePath(), "/srv/backup/Documents.tvr");
    EXPECT_EQ(job.GetBackupNode("files").GetChild("filter").GetAttribute("included"),
              "*.jpg;*.png");
    // The example is written as this release writes jobs.
    EXPECT_EQ(job.GetXmlString(), example);

    // A job written by hand without the optional parts.
    const std::string path = dir / "minimal.tvj";
    ASSERT_TRUE(tavtest::WriteFile(
        path,
        "<tavjob><!-- nightly --><image name='bk' location='/backup' encoding='17'/>"
        "<backup module='files'><file fullpath='/data'/></backup><future-part x='1'/></tavjob>"));
    CTavJobHelper handmade;
    ASSERT_EQ(handmade.Load(path), 1) << handmade.GetErrorText();
    EXPECT_EQ(handmade.GetImageEncoding(), 17u);
    EXPECT_EQ(handmade.GetBackupCommand(), 0x2015u);
    EXPECT_EQ(handmade.GetJobDesc("title"), "minimal");
    // No id in the file: one derived from the path, the same on every load, saved next time.
    const uint32_t id = handmade.GetJobID();
    CTavJobHelper second;
    ASSERT_EQ(second.Load(path), 1);
    EXPECT_EQ(second.GetJobID(), id);
    second.SetBackupCommand(0x15);
    ASSERT_EQ(second.Save(), 1);
    CTavJobHelper third;
    ASSERT_EQ(third.Load(path), 1);
    EXPECT_EQ(third.GetJobID(), id);
    // Parts this release does not know survive the save.
    EXPECT_EQ(third.GetRoot().GetChild("future-part").GetAttribute("x"), "1");
    EXPECT_NE(third.GetXmlString().find("<!-- nightly -->"), std::string::npos);
    // A section made later goes where a reader expects it: before the backup nodes.
    third.SetRepDescription("added");
    XMLNode description = third.GetRoot().GetChild("description");
    EXPECT_EQ(description.GetIndex(), 2);  // after job (made by the save above) and image
    EXPECT_EQ(description.GetNextSibling().GetName(), "backup");
}

TEST(JobDocument, RefusesFilesThatAreNotJobsAndSaysWhich) {
    CTempDir dir;
    struct Case {
        std::string name, content;
    } cases[] = {
        {"empty.tvj", ""},
        {"garbage.tvj", std::string("\x00\xFF\xFE<tavjob\x01", 10)},
        {"other.tvj", "<tavmodule hubversion='1.0'/>"},
        {"cut.tvj", "<tavjob><job title='x'"},
        // An image name that would write images outside the image folder.
        {"up.tvj", "<tavjob><image name='../escape' location='/tmp'/></tavjob>"},
        {"dots.tvj", "<tavjob><image name='..' location='/tmp'/></tavjob>"},
    };
    for (const Case& c : cases) {
        const std::string path = dir / c.name;
        ASSERT_TRUE(tavtest::WriteFile(path, c.content));
        CTavJobHelper job;
        const std::string before = job.GetXmlString();
        EXPECT_EQ(job.Load(path), 0) << c.name;
        EXPECT_NE(job.GetErrorText().find(path), std::string::npos) << job.GetErrorText();
        EXPECT_EQ(job.GetXmlString(), before) << "a failed load leaves the job as it was";
    }
    CTavJobHelper job;
    EXPECT_EQ(job.Load(dir / "missing.tvj"), 0);
    EXPECT_NE(job.GetErrorText().find("no such file"), std::string::npos) << job.GetErrorText();
    EXPECT_EQ(job.Load(dir.Path()), 0);
    EXPECT_NE(job.GetErrorText().find("folder"), std::string::npos) << job.GetErrorText();
    EXPECT_EQ(job.LoadXml("<tavjob"), 0);
    EXPECT_EQ(job.Save(), 0) << "a job without a path cannot be saved in place";
    EXPECT_EQ(job.Save(dir / "no-such-folder/x.tvj"), 0);
    EXPECT_NE(job.GetErrorText().find("no-such-folder"), std::string::npos);
}

TEST(JobDocument, RandomBytesNeverCrashTheLoader) {
    CTempDir dir;
    const std::string path = dir / "fuzz.tvj";
    CTavJobHelper model;
    model.AddBackupNode("Files and Folders", "files")
        .AddChild("file")
        .SetAttribute("fullpath", "/d");
    const std::string base = model.GetXmlString();
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::string text = base;
        for (int e = 0; e < 6; ++e) text[random() % text.size()] = char(random() % 256);
        ASSERT_TRUE(tavtest::WriteFile(path, text));
        CTavJobHelper job;
        if (job.Load(path)) {
            // Whatever loads answers every query.
            (void)job.GetImagePath();
            (void)job.GetBackupCommand();
            int it = 0;
            while (job.GetBackupNode(it)) {
            }
        }
    }
}

TEST(JobDocument, BackupNodesComeInDocumentOrderOncePerModuleAndEveryChangeTellsTheObserver) {
    CTavJobHelper job;
    XMLNode files = job.AddBackupNode("Files and Folders", "files");
    XMLNode oe = job.AddBackupNode("Outlook Express", "oe");
    EXPECT_EQ(job.AddBackupNode("Files", "Files"), files) << "one node per module";
    XMLNode first = job.AddBackupNode("Zeta", "zeta", 0, files);
    int it = 0;
    EXPECT_EQ(job.GetBackupNode(it), first);
    EXPECT_EQ(job.GetBackupNode(it), files);
    EXPECT_EQ(job.GetBackupNode(it), oe);
    EXPECT_FALSE(job.GetBackupNode(it));
    EXPECT_EQ(job.GetBackupNodeCount(), 3);
    EXPECT_FALSE(job.GetBackupNode("none"));
    EXPECT_FALSE(job.AddBackupNode("x", ""));

    CRecordingObserver observer;
    job.SetObserver(&observer);
    job.SetImageDesc("a", "1 GB", 15, "/b");
    job.SetBackupCommand(1);
    job.SetRepDescription("d");
    job.SetJobDesc("title", "t");
    job.AddBackupNode("Mail", "mail");
    CTavJobNodeHelper(files, &job).SetNodeFlags(0x10);
    EXPECT_EQ(observer.calls, 6);
    job.SetObserver(nullptr);
    job.SetBackupCommand(2);
    EXPECT_EQ(observer.calls, 6);
}

TEST(JobImages, PathsPartsAndTheLastImage) {
    CTempDir dir;
    CTavJobHelper job;
    job.SetImageDesc("Docs", "2.00 GB", 31, dir.Path());
    EXPECT_EQ(job.GetImageFileName(), "Docs.tvr");
    EXPECT_EQ(job.GetImagePath(), dir / "Docs.tvr");
    EXPECT_EQ(job.FormatImagePath("????"), dir / "Docs.????.tvr");
    job.SetImageDesc("Docs.TVR", "2.00 GB", 31, dir.Path() + "/");
    EXPECT_EQ(job.GetImagePath(), dir / "Docs.TVR");
    EXPECT_EQ(job.GetImagePathText(), dir / "Docs.TVR")
        << "the same text with or without a final '/'";

    std::string last = "stale";
    job.SetImageDesc("Docs", "2.00 GB", 31, dir.Path());
    EXPECT_EQ(job.FindLastImagePath(last), 0xFFFFFFFFu);
    EXPECT_EQ(last, "");
    ASSERT_TRUE(tavtest::WriteFile(dir / "Docs.tvr", "x"));
    EXPECT_EQ(job.FindLastImagePath(last), 0u);
    EXPECT_EQ(last, dir / "Docs.tvr");
    for (const char* name : {"Docs.0002.tvr", "Docs.0010.tvr", "Docs.9.tvr", "docs.0011.tvr",
                             "Docs.0012.tvr.bak", "Docs.00x3.tvr", "Other.0040.tvr"})
        ASSERT_TRUE(tavtest::WriteFile(dir / name, "x"));
    EXPECT_EQ(job.FindLastImagePath(last), 10u);
    EXPECT_EQ(last, dir / "Docs.0010.tvr");

    job.SetImageDesc("", "2.00 GB", 31, dir.Path());
    EXPECT_EQ(job.GetImagePath(), "");
    EXPECT_EQ(job.FindLastImagePath(last), 0xFFFFFFFFu);
}

}  // namespace
