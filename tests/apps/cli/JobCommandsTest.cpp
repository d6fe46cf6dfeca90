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

TEST_F(JobCommandsTest, NewWritesAJobWithTheImageSettingsAndRefusesWrongOnes) {
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

    m_cli.Expect(1, {"job", "new", m_job, "--location", m_dir / "repo", "--name", "store"}, "--force");  // kept
    m_cli.Ok({"job", "new", m_job, "--location", m_dir / "repo", "--name", "store", "--no-compress", "--force"});
    ASSERT_EQ(job.Load(m_job), 1);
    EXPECT_EQ(job.GetImageEncoding(), 0u);
    EXPECT_EQ(job.GetImageDesc("splitsize"), "2.00 GB");

    // Wrong settings write no job.
    ASSERT_TRUE(plat::RemoveFile(m_job));
    const std::string here = m_dir.Path();
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--name", "x"}, {"-l", here, "--name", "a/b"}, {"-l", here, "--name", ".."},
          {"-l", here, "-n", "x", "--split", "lots"}, {"-l", here, "-n", "x", "--level", "12"},
          {"-l", here, "-n", "x", "--level", "3", "--no-compress"}}) {
        std::vector<std::string> args = {"job", "new", m_job};
        args.insert(args.end(), wrong.begin(), wrong.end());
        m_cli.Expect(2, args);
    }
    EXPECT_FALSE(plat::PathExists(m_job));
    m_cli.Expect(0, {"job", "new", m_job, "-l", m_dir / "usb", "-n", "x", "--split", "100KB"},
                 "warning: images are split at 1024.00 KB", "Created the image folder " + m_dir / "usb" + ".");
    EXPECT_TRUE(plat::IsDirectory(m_dir / "usb"));
}

TEST_F(JobCommandsTest, AddMakesPathsAbsoluteAppliesTheAddPathRuleAndShowDescribes) {
    ASSERT_EQ(NewJob().code, 0);
    m_cli.Ok({"job", "add", m_job, m_dir / "data/a.txt", m_dir / "data/x/../sub/"});
    EXPECT_EQ(Entries(), (std::vector<std::string>{"file " + m_dir / "data/a.txt", "file " + m_dir / "data/sub"}));

    // A folder replaces the sources below it.
    m_cli.Expect(0, {"job", "add", m_job, m_dir / "data"}, "", "Added source " + m_dir / "data\n  (it replaces the source ");
    EXPECT_EQ(Entries(), std::vector<std::string>{"file " + m_dir / "data"});

    // A path that is covered already: the editor's warning, nothing changes.
    const CliResult r = m_cli.Expect(0, {"job", "add", m_job, m_dir / "data/sub"});
    EXPECT_EQ(r.err, "\"" + m_dir / "data/sub" + "\" already exists in file list\n");
    EXPECT_EQ(r.out, "The job is unchanged.\n");
    EXPECT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data/"}).err, "\"" + m_dir / "data" + "\" already exists in file list\n");
    m_cli.Expect(1, {"job", "add", m_job, m_dir / "nothere"}, m_dir / "nothere: no such file or folder");

    // show describes the job.
    ASSERT_EQ(m_cli.Run({"job", "exclude", m_job, m_dir / "data/sub"}).code, 0);
    const CliResult shown = m_cli.Ok({"job", "show", m_job});
    EXPECT_TRUE(Contains(shown.out, "Job:          " + m_job + "\nTitle:        daily\n")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "Images:       " + m_dir / "repo/store.tvr\n")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "Compression:  deflate, default level\nEncryption:   none\n")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "Last image:   none yet\n")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "\nModule files (Files and Folders):\n  file       " + m_dir / "data\n"
                                    "  excluded   " + m_dir / "data/sub\n")) << shown.out;
    m_cli.Expect(1, {"job", "show", m_dir / "nope.tvj"}, m_dir / "nope.tvj");

    m_cli.Expect(0, {"job", "add", m_job, m_dir.Path()}, "the job's images lie inside " + m_dir.Path());
}

// Which list a path lands in is the job model's test; here the commands and their refusals.
TEST_F(JobCommandsTest, ExcludeIncludePartialRemoveAndFilter) {
    ASSERT_EQ(NewJob().code, 0);
    ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
    const std::string sub = m_dir / "data/sub";
    const std::string b = m_dir / "data/sub/b.txt";

    const std::string data = "file " + m_dir / "data";
    // Each command, its exit status, a part of its error text, and the entries after it.
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
        std::vector<std::string> entries;
    } steps[] = {
        {{"exclude", m_dir / "elsewhere"}, 1, "not inside any source", {data}},
        {{"exclude", b}, 0, "", {data, "excluded " + b}},
        {{"partial", b}, 0, "", {data, "partial " + b}},
        {{"exclude", b, sub}, 0, "", {data, "excluded " + b, "excluded " + sub}},
        {{"include", b}, 0, "", {data, "excluded " + sub}},
        // A file inside an excluded folder cannot come back alone.
        {{"include", b}, 1, "inside the excluded folder " + sub, {data, "excluded " + sub}},
        {{"include", "--recursive", sub}, 0, "", {data}},
        {{"exclude", ":root:"}, 0, "", {data, "excluded :root:"}},
        {{"include", ":root:"}, 0, "", {data}},
        {{"remove", m_dir / "data"}, 0, "", {}},
        {{"remove", m_dir / "data"}, 1, "is not a source of the job", {}},
    };
    for (const auto& step : steps) {
        std::vector<std::string> args = {"job", step.args[0], m_job};
        args.insert(args.end(), step.args.begin() + 1, step.args.end());
        SCOPED_TRACE(step.args[0] + " " + step.args.back());
        m_cli.Expect(step.code, args, step.err);
        EXPECT_EQ(Entries(), step.entries);
    }

    // filter sets, updates and removes a folder's filter (on the source added again).
    ASSERT_EQ(m_cli.Run({"job", "add", m_job, m_dir / "data"}).code, 0);
    m_cli.Ok({"job", "filter", m_job, sub, "--include", "*.doc;*.txt", "--recursive"});
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

    m_cli.Expect(2, {"job", "filter", m_job, sub});
    m_cli.Expect(2, {"job", "filter", m_job, sub, "--remove", "-i", "*"});
    m_cli.Expect(1, {"job", "filter", m_job, m_dir / "repo", "-i", "*"});
    // A long list is kept whole, without a warning: the walk uses every pattern.
    std::string longList;
    while (longList.size() < 100) longList += "*.ext" + std::to_string(longList.size()) + ";";
    longList += "*.last";
    m_cli.Ok({"job", "filter", m_job, sub, "-i", longList});
    EXPECT_EQ(filter(), sub + "|no|" + longList + "|");
}

}  // namespace
