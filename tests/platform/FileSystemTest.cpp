// Tests of the file-system services: find data, listings, times, temporary files, free
// space, folders and the path helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SysError.h"

using namespace plat;

namespace {

// The error a call left behind, ERR_NONE when it succeeded.
uint32_t ErrorOf(bool ok) { return ok ? ERR_NONE : GetLastError(); }

class CFileSystemTest : public ::testing::Test {
protected:
    tavtest::CTempDir m_dir;
};

// --- find data ------------------------------------------------------------------------

// Times keep their 100-nanosecond ticks.
TEST_F(CFileSystemTest, FindDataOfAFileAndADirectory) {
    std::string path = m_dir / "file.txt";
    ASSERT_TRUE(tavtest::WriteFile(path, "twelve bytes"));
    ASSERT_TRUE(SetFileMode(path, 0640));
    TavFileTime accessed = TavFileTime::FromTicks(132000000001234567ULL);
    TavFileTime written = TavFileTime::FromTicks(131000000007654321ULL);
    ASSERT_TRUE(SetFileTimes(path, accessed, written));

    TavFindData fd;
    ASSERT_TRUE(GetFindData(path, fd));
    EXPECT_EQ(fd.name, "file.txt");
    EXPECT_EQ(fd.kind, TavFileKind::Regular);
    EXPECT_EQ(fd.attributes, TAV_ATTR_ARCHIVE);
    EXPECT_EQ(fd.Size(), 12u);
    EXPECT_EQ(fd.mode & 07777, 0640u);
    EXPECT_EQ(fd.uid, UserId());
    EXPECT_EQ(fd.accessed.Ticks(), accessed.Ticks());
    EXPECT_EQ(fd.written.Ticks(), written.Ticks());
    // The birth time where the file system keeps one (it is now), else the written time.
    EXPECT_TRUE(fd.created == written || fd.created.Ticks() > written.Ticks());
    EXPECT_TRUE(fd.linkTarget.empty());
    ASSERT_TRUE(SetFileMode(path, 0444));
    ASSERT_TRUE(GetFindData(path, fd));
    EXPECT_EQ(fd.attributes, TAV_ATTR_ARCHIVE | TAV_ATTR_READONLY);

    std::string dir = m_dir / "sub";
    ASSERT_TRUE(CreateDirectory(dir));
    ASSERT_TRUE(tavtest::WriteFile(dir + "/inside", "content"));
    ASSERT_TRUE(GetFindData(dir + "/", fd));  // a trailing slash names the same entry
    EXPECT_EQ(fd.name, "sub");
    EXPECT_EQ(fd.kind, TavFileKind::Directory);
    EXPECT_EQ(fd.attributes, TAV_ATTR_DIRECTORY);
    EXPECT_EQ(fd.Size(), 0u);

    // Missing entries.
    EXPECT_EQ(ErrorOf(SetFileTimes(m_dir / "missing", accessed, written)), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorOf(GetFindData(m_dir / "missing", fd)), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorOf(GetFindData("", fd)), ERR_INVALID_PARAMETER);
    EXPECT_FALSE(PathExists(m_dir / "missing"));
}

TEST_F(CFileSystemTest, SymbolicLinksAreNeverFollowed) {
    std::string dir = m_dir / "real";
    ASSERT_TRUE(CreateDirectory(dir));
    std::string toDir = m_dir / "to-dir";
    std::string dangling = m_dir / "dangling";
    ASSERT_TRUE(CreateSymlink("real", toDir));
    ASSERT_TRUE(CreateSymlink("../no/such/target", dangling));

    TavFindData fd;
    for (const std::string& path : {toDir, toDir + "/"}) {
        ASSERT_TRUE(GetFindData(path, fd)) << path;
        EXPECT_EQ(fd.kind, TavFileKind::Symlink);
        EXPECT_EQ(fd.attributes, TAV_ATTR_REPARSE_POINT);
        EXPECT_EQ(fd.linkTarget, "real");
        EXPECT_EQ(fd.Size(), 4u);
    }
    ASSERT_TRUE(GetFindData(dangling, fd));
    EXPECT_EQ(fd.linkTarget, "../no/such/target");
    EXPECT_EQ(fd.Size(), fd.linkTarget.size());
    EXPECT_TRUE(PathExists(dangling));

    std::string target;
    ASSERT_TRUE(ReadSymlink(dangling, target));
    EXPECT_EQ(target, "../no/such/target");
    EXPECT_TRUE(IsDirectory(toDir));  // IsDirectory alone follows links
    EXPECT_FALSE(IsDirectory(dangling));

    // Setting times on a link changes the link, not its target.
    TavFindData before;
    ASSERT_TRUE(GetFindData(dir, before));
    TavFileTime when = FileTimeFromUnix(1000000000, 0);
    ASSERT_TRUE(SetFileTimes(toDir, when, when));
    ASSERT_TRUE(GetFindData(toDir, fd));
    EXPECT_EQ(fd.written, when);
    TavFindData after;
    ASSERT_TRUE(GetFindData(dir, after));
    EXPECT_EQ(after.written, before.written);
}

// --- listings -------------------------------------------------------------------------

TEST_F(CFileSystemTest, ListDirectoryInByteOrderWithoutDotEntries) {
    for (const char* name : {"b", "a.txt", "B", "\xC3\xA9t\xC3\xA9", "a", "_"})
        ASSERT_TRUE(tavtest::WriteFile(m_dir / name, name));
    ASSERT_TRUE(CreateDirectory(m_dir / "dir"));
    ASSERT_TRUE(CreateSymlink("a", m_dir / "link"));

    std::vector<TavFindData> entries;
    ASSERT_TRUE(ListDirectory(m_dir.Path(), entries));
    std::vector<std::string> names;
    for (const TavFindData& fd : entries) names.push_back(fd.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B", "_", "a", "a.txt", "b", "dir", "link",
                                               "\xC3\xA9t\xC3\xA9"}));
    EXPECT_EQ(entries[0].Size(), 1u);
    EXPECT_EQ(entries[5].kind, TavFileKind::Directory);
    EXPECT_EQ(entries[6].kind, TavFileKind::Symlink);
    EXPECT_EQ(entries[6].linkTarget, "a");

    ASSERT_TRUE(CreateDirectory(m_dir / "empty"));
    entries.push_back({});
    ASSERT_TRUE(ListDirectory(m_dir / "empty", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(ErrorOf(ListDirectory(m_dir / "missing", entries)), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorOf(ListDirectory(m_dir / "a", entries)), ERR_PATH_NOT_FOUND);  // a file
}

// --- folders, removal, renaming -------------------------------------------------------

TEST_F(CFileSystemTest, FoldersAreMadeAndRemovedAndRenamesReplaceTheirTarget) {
    std::string deep = m_dir / "a/b/c";
    EXPECT_EQ(ErrorOf(CreateDirectory(deep)), ERR_FILE_NOT_FOUND);
    ASSERT_TRUE(CreateDirectories(deep));
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_TRUE(CreateDirectories(deep + "/"));  // already there
    EXPECT_EQ(ErrorOf(CreateDirectory(deep)), ERR_ALREADY_EXISTS);

    ASSERT_TRUE(tavtest::WriteFile(m_dir / "a/file", "x"));
    EXPECT_FALSE(CreateDirectories(m_dir / "a/file/below"));
    EXPECT_EQ(ErrorOf(CreateDirectories(m_dir / "a/file")), ERR_ALREADY_EXISTS);

    EXPECT_EQ(ErrorOf(RemoveDirectory(m_dir / "a/b")), ERR_DIR_NOT_EMPTY);
    EXPECT_EQ(ErrorOf(RemoveFile(m_dir / "a/b")), ERR_ACCESS_DENIED);
    ASSERT_TRUE(RemoveDirectory(deep));
    EXPECT_FALSE(PathExists(deep));
    EXPECT_EQ(ErrorOf(RemoveFile(m_dir / "a/missing")), ERR_FILE_NOT_FOUND);

    // A rename replaces its target.
    ASSERT_TRUE(tavtest::WriteFile(m_dir / "new", "new"));
    ASSERT_TRUE(tavtest::WriteFile(m_dir / "old", "old"));
    ASSERT_TRUE(RenameFile(m_dir / "new", m_dir / "old"));
    EXPECT_EQ(tavtest::ReadFile(m_dir / "old"), "new");
    EXPECT_FALSE(PathExists(m_dir / "new"));
    EXPECT_EQ(ErrorOf(RenameFile(m_dir / "new", m_dir / "old")), ERR_FILE_NOT_FOUND);
}

// --- temporary files and free space ---------------------------------------------------

TEST_F(CFileSystemTest, TemporaryFilesGoToTmpdirWithTheirPrefixAndFreeSpaceIsFound) {
    tavtest::CEnvOverride tmpdir("TMPDIR", m_dir.Path() + "/");
    EXPECT_EQ(TempDirectory(), m_dir.Path());

    std::string first = MakeTempFile();
    std::string second = MakeTempFile();
    ASSERT_FALSE(first.empty());
    ASSERT_NE(first, second);
    EXPECT_EQ(DirName(first), m_dir.Path());
    EXPECT_EQ(BaseName(first).rfind("tav~", 0), 0u);
    TavFindData fd;
    ASSERT_TRUE(GetFindData(first, fd));
    EXPECT_EQ(fd.kind, TavFileKind::Regular);
    EXPECT_EQ(fd.Size(), 0u);
    // Closed after making: nobody holds it.
    EXPECT_TRUE(CFile::Open(first, FileAccess::ReadWrite, FileDisposition::OpenExisting));

    std::string own = MakeTempFile("img-");
    EXPECT_EQ(BaseName(own).rfind("img-", 0), 0u);
    std::string dir = MakeTempDirectory("work-");
    EXPECT_TRUE(IsDirectory(dir));
    EXPECT_EQ(DirName(dir), m_dir.Path());
    EXPECT_TRUE(MakeTempFile("a/b").empty());
    EXPECT_EQ(GetLastError(), ERR_INVALID_PARAMETER);

    ASSERT_TRUE(SetEnv("TMPDIR", ""));
    EXPECT_EQ(TempDirectory(), "/tmp");

    // Free space of folders, files and paths not yet made.
    ASSERT_TRUE(tavtest::WriteFile(m_dir / "file", "x"));
    auto ofDir = FreeSpace(m_dir.Path());
    ASSERT_TRUE(ofDir.has_value());
    EXPECT_GT(*ofDir, 0u);
    EXPECT_TRUE(FreeSpace(m_dir / "file").has_value());
    EXPECT_TRUE(FreeSpace(m_dir / "not/made/yet.img").has_value());
    EXPECT_TRUE(FreeSpace("").has_value());
    EXPECT_TRUE(FreeSpace("relative-name-that-does-not-exist").has_value());
}

// --- path helpers ---------------------------------------------------------------------

TEST(CPathTextTest, DirNameBaseNameJoinPathAndAbsolutePath) {
    struct Case {
        const char* path;
        const char* dir;
        const char* base;
    };
    for (const Case& c : {Case{"/a/b/c.txt", "/a/b", "c.txt"}, Case{"name", "", "name"},
                          Case{"/x", "/", "x"}, Case{"/", "/", "/"}, Case{"a/b/", "a", "b"},
                          Case{"a//b", "a", "b"}, Case{"", "", ""}, Case{"./f", ".", "f"}}) {
        EXPECT_EQ(DirName(c.path), c.dir) << c.path;
        EXPECT_EQ(BaseName(c.path), c.base) << c.path;
    }
    for (const Case& c : {Case{"/a", "b", "/a/b"}, Case{"/a/", "b", "/a/b"}, Case{"/a", "/b", "/a/b"},
                          Case{"", "b", "b"}, Case{"/", "b", "/b"}, Case{"/a", "", "/a"}})
        EXPECT_EQ(JoinPath(c.path, c.dir), c.base) << c.path << " + " << c.dir;
    // AbsolutePath resolves dots as text.
    EXPECT_EQ(AbsolutePath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(AbsolutePath("/../.."), "/");
    EXPECT_EQ(AbsolutePath("//a//b/"), "/a/b");
    std::string cwd = CurrentDirectory();
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(AbsolutePath("x/y/.."), JoinPath(AbsolutePath(cwd), "x"));
    EXPECT_EQ(AbsolutePath(""), AbsolutePath(cwd));
}

}  // namespace
