// tavctl job new, show, add, remove, exclude, include, partial and filter.
#include <gtest/gtest.h>

#include "CliTestRepo.h"
#include "tavengine/TavJobHelper.h"

using namespace clitest;

namespace {

class JobCommandsTest : public ::testing::Test {
protected:
    JobCommandsTest() {
        plat::CreateDirectories(m_dir / "data/sub");
        plat::CreateDirectories(m_dir / "repo");
        tavtest::WriteFile(m_dir / "data/a.txt", "a");
        tavtest::WriteFile(m_dir / "data/sub/b.txt", "b");
    }

    CliResult NewJob() {
        return m_cli.Run({"job", "new", m_job, "--location", m_dir / "repo", "--name", "store"});
    }

    // The job's Files and Folders entries as "kind path" lines, in document order.
    std::vector<std::string> Entries() {
        CTavJobHelper job;
        EXPECT_EQ(job.Load(m_job), 1) << job.GetErrorText();
        std::vector<std::string> out;
        const XMLNode node = job.GetBackupNode("files");
        for (XMLNode child = node.GetFirstChild(); child; child = child.GetNextSibling())
            out.push_back(child.GetName() + " " + child.GetAttribute("fullpath"));
        return out;
    }

    CTempDir m_dir;
    CCli m_cli;
    std::string m_job = m_dir / "daily.tvj";
};

TEST_F(JobCommandsTest, NewWritesAJobWithTheImageSettings) {
    CliResult r = m_cli.Run({"job", "new", m_job, "-l", m_dir / "repo/../repo", "-n", "store", "--title",
                             "Daily", "--split", "700MB", "--level", "3", "--encrypt"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Created job " + m_job + " (images " + m_dir / "repo/store.tvr" + ").\n");
    CTavJobHelper job;
    ASSERT_EQ(job.Load(m_job), 1);
    EXPECT_EQ(job.GetImageDesc("location"), m_dir / "repo") << "made absolute";
    EXPECT_EQ(job.GetImageDesc("name"), "store");
    EXPECT_EQ(job.GetImageDesc("splitsize"), "700.00 MB");
    EXPECT_EQ(job.GetImageEncoding(), 0x13u);
    EXPECT_EQ(job.GetJobDesc("title"), "Daily");
    EXPECT_FALSE(job.GetBackupNode("files").IsEmpty());

    r = NewJob();
    EXPECT_EQ(r.code, 1) << "an existing job is kept";
    EXPECT_TRUE(Contains(r.err, "--force"));
    r = m_cli.Run({"job", "new", m_job, "--location", m_dir / "repo", "--name", "store", "--no-compress", "--force"});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(job.Load(m_job), 1);
    EXPECT_EQ(job.GetImageEncoding(), 0u);
    EXPECT_EQ(job.GetImageDesc("splitsize"), "2.00 GB");
}

TEST_F(JobCommandsTest, NewRefusesWrongSettings) {
    auto run = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {"job", "new", m_job};
        args.insert(args.end(), extra.begin(), extra.end());
        return m_cli.Run(args);
    };
    EXPECT_EQ(run({"--name", "x"}).code, 2) << "no location";
    EXPECT_EQ(run({"--location", m_dir.Path(), "--name", "a/b"}).code, 2);
    EXPECT_EQ(run({"--location", m_dir.Path(), "--name", ".."}).code, 2);
    EXPECT_EQ(run({"--location", m_dir.Path(), "--name", "x", "--split", "lots"}).code, 2);
    EXPECT_EQ(run({"--location", m_dir.Path(), "--name", "x", "--level", "12"}).code, 2);
    EXPECT_EQ(run({"--location", m_dir.Path(), "--name", "x", "--level", "3", "--no-compress"}).code, 2);
    EXPECT_FALSE(plat::PathExists(m_job));

    CliResult r = run({"--location", m_dir / "usb", "--name", "x", "--split", "100KB"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Created the image folder " + m_dir / "usb" + ".")) << r.out;
    EXPECT_TRUE(plat::IsDirectory(m_dir / "usb"));
    EXPECT_TRUE(Contains(r.err, "warning: images are split at 1024.00 KB")) << r.err;
}

TEST_F(JobCommandsTest, AddMakesPathsAbsoluteAndAppliesTheAddPathRule) {
    ASSERT_EQ(NewJob().code, 0);
    CliResult r = m_cli.Run({"job", "add", m_job, m_dir / "data/a.txt", m_dir / "data/x/../sub/"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"file " + m_dir / "data/a.txt", "file " + m_dir / "data/sub"}));

    // A folder replaces the sources below it.
    r = m_cli.Run({"job", "add", m_job, m_dir / "data"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Added source " + m_dir / "data\n  (it replaces the source ")) << r.out;
    EXPECT_EQ(Entries(), std::vector<std::string>{"file " + m_dir / "data"});

    // A path that is covered already: the editor's warning, nothing changes.
    r = m_cli.Run({"job", "add", m_job, m_dir / "data/sub"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "\"" + m_dir / "data/sub" + "\" already exists in file list\n");
    EXPECT_EQ(r.out, "The job is unchanged.\n");
    EXPECT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data/"}).err,
              "\"" + m_dir / "data" + "\" already exists in file list\n");

    r = m_cli.Run({"job", "add", m_job, m_dir / "nothere"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, m_dir / "nothere: no such file or folder")) << r.err;
    r = m_cli.Run({"job", "add", m_job, m_dir.Path()});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(Contains(r.err, "the job's images lie inside " + m_dir.Path())) << r.err;
}

// Which list a path lands in is the job model's test; here the commands and their refusals.
TEST_F(JobCommandsTest, ExcludeIncludePartialAndRemove) {
    ASSERT_EQ(NewJob().code, 0);
    ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
    const std::string sub = m_dir / "data/sub";
    const std::string b = m_dir / "data/sub/b.txt";

    CliResult r = m_cli.Run({"job", "exclude", m_job, m_dir / "elsewhere"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "not inside any source")) << r.err;
    ASSERT_EQ(m_cli.Run({"job", "exclude", m_job, b}).code, 0);
    ASSERT_EQ(m_cli.Run({"job", "partial", m_job, b}).code, 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"file " + m_dir / "data", "partial " + b}));
    ASSERT_EQ(m_cli.Run({"job", "exclude", m_job, b, sub}).code, 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"file " + m_dir / "data", "excluded " + b, "excluded " + sub}));
    ASSERT_EQ(m_cli.Run({"job", "include", m_job, b}).code, 0);
    r = m_cli.Run({"job", "include", m_job, b});
    EXPECT_EQ(r.code, 1) << "a file inside an excluded folder cannot come back alone";
    EXPECT_TRUE(Contains(r.err, "inside the excluded folder " + sub)) << r.err;
    r = m_cli.Run({"job", "include", m_job, "--recursive", sub});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Entries(), std::vector<std::string>{"file " + m_dir / "data"});
    ASSERT_EQ(m_cli.Run({"job", "exclude", m_job, ":root:"}).code, 0);
    EXPECT_EQ(Entries().back(), "excluded :root:");
    ASSERT_EQ(m_cli.Run({"job", "include", m_job, ":root:"}).code, 0);

    ASSERT_EQ(m_cli.Run({"job", "remove", m_job, m_dir / "data"}).code, 0);
    EXPECT_EQ(Entries(), std::vector<std::string>{});
    r = m_cli.Run({"job", "remove", m_job, m_dir / "data"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "is not a source of the job")) << r.err;
}

TEST_F(JobCommandsTest, FilterSetsUpdatesAndRemovesAFoldersFilter) {
    ASSERT_EQ(NewJob().code, 0);
    ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
    const std::string sub = m_dir / "data/sub";
    CliResult r = m_cli.Run({"job", "filter", m_job, sub, "--include", "*.doc;*.txt", "--recursive"});
    ASSERT_EQ(r.code, 0) << r.err;
    auto filter = [&]() {
        CTavJobHelper job;
        EXPECT_EQ(job.Load(m_job), 1);
        const XMLNode f = job.GetBackupNode("files").GetChild("filter");
        if (f.IsEmpty()) return std::string("none");
        return f.GetAttribute("fullpath") + "|" + f.GetAttribute("recursive") + "|" +
               f.GetAttribute("included") + "|" + f.GetAttribute("excluded");
    };
    EXPECT_EQ(filter(), sub + "|yes|*.doc;*.txt|");
    ASSERT_EQ(m_cli.Run({"job", "filter", m_job, sub, "-x", "*.tmp"}).code, 0);
    EXPECT_EQ(filter(), sub + "|no||*.tmp") << "the options give the whole filter";
    ASSERT_EQ(m_cli.Run({"job", "filter", m_job, sub, "--remove"}).code, 0);
    EXPECT_EQ(filter(), "none");

    EXPECT_EQ(m_cli.Run({"job", "filter", m_job, sub}).code, 2);
    EXPECT_EQ(m_cli.Run({"job", "filter", m_job, sub, "--remove", "-i", "*"}).code, 2);
    EXPECT_EQ(m_cli.Run({"job", "filter", m_job, m_dir / "repo", "-i", "*"}).code, 1);
    // A long list is kept whole, without a warning: the walk uses every pattern.
    std::string longList;
    while (longList.size() < 100) longList += "*.ext" + std::to_string(longList.size()) + ";";
    longList += "*.last";
    r = m_cli.Run({"job", "filter", m_job, sub, "-i", longList});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(filter(), sub + "|no|" + longList + "|");
}

TEST_F(JobCommandsTest, ShowDescribesTheJob) {
    ASSERT_EQ(NewJob().code, 0);
    ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
    ASSERT_EQ(m_cli.Run({"job", "exclude", m_job, m_dir / "data/sub"}).code, 0);
    CliResult r = m_cli.Run({"job", "show", m_job});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Job:          " + m_job + "\nTitle:        daily\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Images:       " + m_dir / "repo/store.tvr\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Compression:  deflate, default level\nEncryption:   none\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Last image:   none yet\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\nModule files (Files and Folders):\n  file       " + m_dir / "data\n"
                                "  excluded   " + m_dir / "data/sub\n")) << r.out;

    r = m_cli.Run({"job", "show", m_dir / "nope.tvj"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, m_dir / "nope.tvj")) << r.err;
}

}  // namespace
