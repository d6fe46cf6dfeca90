// Tests of CFile: sharing modes within and between processes, dispositions, error codes
// and reads and writes that need more than one system call.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/TempDir.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SysError.h"

using namespace plat;

namespace {

constexpr uint32_t CHILD_WAIT_MS = 20000;

bool WaitForPath(const std::string& path) {
    uint64_t start = NowMillis();
    while (!PathExists(path)) {
        if (NowMillis() - start > CHILD_WAIT_MS) return false;
        SleepMillis(5);
    }
    return true;
}

// Helper modes of this program, run as a second process:
//   --hold PATH read|write MARKER  opens PATH, creates MARKER.held, waits for MARKER
//   --try PATH read|write          opens PATH and exits with the error code (0 opened)
int RunHelper(int argc, char** argv) {
    const std::string mode = argv[1];
    if (argc != (mode == "--hold" ? 5 : 4)) return 97;
    const FileAccess access =
        std::string(argv[3]) == "write" ? FileAccess::ReadWrite : FileAccess::Read;
    uint32_t error = 0;
    auto file = CFile::Open(argv[2], access, FileDisposition::OpenExisting, &error);
    if (!file || mode == "--try") return file ? 0 : int(error & 0xFF);
    const std::string marker = argv[4];
    if (!CFile::Open(marker + ".held", FileAccess::ReadWrite, FileDisposition::CreateNew))
        return 98;
    return WaitForPath(marker) ? 0 : 99;
}

class CFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tavtest::WriteFile(m_file, "hello")); }

    static std::unique_ptr<CFile> OpenExisting(const std::string& path, FileAccess access,
                                               uint32_t* error = nullptr) {
        return CFile::Open(path, access, FileDisposition::OpenExisting, error);
    }

    // The error opening `path` gives, ERR_NONE when it opens (the file is closed again at once).
    static uint32_t OpenError(const std::string& path, FileAccess access,
                              FileDisposition disposition = FileDisposition::OpenExisting) {
        uint32_t error = ERR_NONE;
        const bool opened = CFile::Open(path, access, disposition, &error) != nullptr;
        EXPECT_EQ(opened, error == ERR_NONE) << path;
        EXPECT_EQ(opened ? ERR_NONE : GetLastError(), error) << path;  // the last error says the same
        return error;
    }

    tavtest::CTempDir m_dir;
    const std::string m_file = m_dir / "data.bin";
};

// --- sharing within one process -------------------------------------------------------

TEST_F(CFileTest, WritersExcludeEveryoneAndReadersExcludeWriters) {
    const struct {
        FileAccess held, tried;
        bool opens;
    } cases[] = {
        {FileAccess::ReadWrite, FileAccess::ReadWrite, false},
        {FileAccess::ReadWrite, FileAccess::Read, false},
        {FileAccess::Read, FileAccess::ReadWrite, false},
        {FileAccess::Read, FileAccess::Read, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.held) * 10 + int(c.tried));
        auto held = OpenExisting(m_file, c.held);
        ASSERT_TRUE(held);
        EXPECT_EQ(OpenError(m_file, c.tried), c.opens ? ERR_NONE : ERR_SHARING_VIOLATION);
        held.reset();
        EXPECT_TRUE(OpenExisting(m_file, c.tried));
    }
    // A writer waits for the last of two readers, and CreateAlways never truncates a file
    // someone reads.
    auto first = OpenExisting(m_file, FileAccess::Read);
    auto second = OpenExisting(m_file, FileAccess::Read);
    first.reset();
    EXPECT_FALSE(OpenExisting(m_file, FileAccess::ReadWrite));
    for (FileAccess access : {FileAccess::ReadWrite, FileAccess::Read})
        EXPECT_EQ(OpenError(m_file, access, FileDisposition::CreateAlways), ERR_SHARING_VIOLATION);
    char buffer[8] = {};
    EXPECT_EQ(second->ReadAt(buffer, sizeof buffer, 0), 5);
    EXPECT_STREQ(buffer, "hello");
    second.reset();
    EXPECT_TRUE(OpenExisting(m_file, FileAccess::ReadWrite));
}

// --- sharing between processes --------------------------------------------------------

// The child holds another file for writing while ours is open here: that file is closed to
// us, and ours, once closed, is free again (the child did not inherit it).
TEST_F(CFileTest, WriterOrReaderInOneProcessExcludesTheOtherAndNothingIsInherited) {
    auto writer = OpenExisting(m_file, FileAccess::ReadWrite);
    ASSERT_TRUE(writer);
    const std::string other = m_dir / "other", marker = m_dir / "release";
    ASSERT_TRUE(tavtest::WriteFile(other, "x"));
    CChildProcess child;
    ASSERT_TRUE(child.Start({ExecutablePath(), "--hold", other, "write", marker}));
    ASSERT_TRUE(WaitForPath(marker + ".held"));
    for (FileAccess access : {FileAccess::ReadWrite, FileAccess::Read})
        EXPECT_EQ(OpenError(other, access), ERR_SHARING_VIOLATION);
    writer.reset();
    EXPECT_TRUE(OpenExisting(m_file, FileAccess::ReadWrite));
    ASSERT_TRUE(tavtest::WriteFile(marker, ""));
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_TRUE(OpenExisting(other, FileAccess::ReadWrite));

    // A reader here excludes a writer in another process.
    auto reader = OpenExisting(m_file, FileAccess::Read);
    ASSERT_TRUE(reader);
    EXPECT_EQ(RunProcess({ExecutablePath(), "--try", m_file, "write"}), int(ERR_SHARING_VIOLATION));
    EXPECT_EQ(RunProcess({ExecutablePath(), "--try", m_file, "read"}), 0);
    reader.reset();
    EXPECT_EQ(RunProcess({ExecutablePath(), "--try", m_file, "write"}), 0);
}

// --- dispositions and error codes -----------------------------------------------------

TEST_F(CFileTest, DispositionsCreateTruncateAndRefuseAsDocumentedWithCodesNamingWhatIsWrong) {
    std::string fresh = m_dir / "fresh";
    EXPECT_EQ(OpenError(fresh, FileAccess::Read), ERR_FILE_NOT_FOUND);
    EXPECT_FALSE(PathExists(fresh));

    auto created = CFile::Open(fresh, FileAccess::ReadWrite, FileDisposition::OpenAlways);
    ASSERT_TRUE(created);
    ASSERT_TRUE(created->Write("abc", 3));
    created.reset();
    ASSERT_TRUE(CFile::Open(fresh, FileAccess::ReadWrite, FileDisposition::OpenAlways));
    EXPECT_EQ(tavtest::ReadFile(fresh), "abc");  // OpenAlways keeps what is there

    EXPECT_EQ(OpenError(fresh, FileAccess::ReadWrite, FileDisposition::CreateNew), ERR_FILE_EXISTS);
    EXPECT_EQ(tavtest::ReadFile(fresh), "abc");

    auto truncated = CFile::Open(fresh, FileAccess::Read, FileDisposition::CreateAlways);
    ASSERT_TRUE(truncated);
    EXPECT_EQ(truncated->Size(), 0);
    // A reader that created the file holds a shared lock only.
    EXPECT_TRUE(OpenExisting(fresh, FileAccess::Read));

    // Error codes name what is wrong.
    const bool root = IsRoot();  // the superuser may write any file
    ASSERT_TRUE(SetFileMode(m_file, 0444));
    const std::string noFolder = m_dir / "no-folder/file";
    const struct {
        std::string path;
        FileAccess access;
        FileDisposition disposition;
        uint32_t error;
    } cases[] = {
        {m_dir / "missing", FileAccess::Read, FileDisposition::OpenExisting, ERR_FILE_NOT_FOUND},
        {noFolder, FileAccess::Read, FileDisposition::OpenExisting, ERR_PATH_NOT_FOUND},
        {noFolder, FileAccess::ReadWrite, FileDisposition::CreateAlways, ERR_PATH_NOT_FOUND},
        {m_file + "/below-a-file", FileAccess::Read, FileDisposition::OpenExisting, ERR_PATH_NOT_FOUND},
        {"", FileAccess::Read, FileDisposition::OpenExisting, ERR_INVALID_PARAMETER},
        {m_dir / std::string(300, 'n'), FileAccess::Read, FileDisposition::OpenExisting, ERR_FILENAME_TOO_LONG},
        {m_dir.Path(), FileAccess::Read, FileDisposition::OpenExisting, ERR_ACCESS_DENIED},  // not a file
        {m_dir.Path(), FileAccess::ReadWrite, FileDisposition::OpenExisting, ERR_ACCESS_DENIED},
        {m_dir.Path(), FileAccess::Read, FileDisposition::OpenAlways, ERR_ACCESS_DENIED},
        {m_dir.Path(), FileAccess::ReadWrite, FileDisposition::OpenAlways, ERR_ACCESS_DENIED},
        {m_file, FileAccess::ReadWrite, FileDisposition::OpenExisting, root ? ERR_NONE : ERR_ACCESS_DENIED},
    };
    for (const auto& c : cases) EXPECT_EQ(OpenError(c.path, c.access, c.disposition), c.error) << c.path;
    EXPECT_FALSE(PathExists(m_dir / "missing"));
    EXPECT_TRUE(OpenExisting(m_file, FileAccess::Read));  // read-only still reads
}

// --- reading and writing --------------------------------------------------------------

TEST_F(CFileTest, PositionalWritesAndReads) {
    auto file = CFile::Open(m_file, FileAccess::ReadWrite, FileDisposition::CreateAlways);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->WriteAt("tail", 4, 10));  // leaves a hole of zeros
    ASSERT_TRUE(file->WriteAt("head", 4, 0));
    EXPECT_EQ(file->Size(), 14);
    EXPECT_EQ(file->Tell(), 0);  // positional calls leave the position alone

    char buffer[20];
    ASSERT_EQ(file->ReadAt(buffer, 14, 0), 14);
    EXPECT_EQ(std::string(buffer, 14), std::string("head\0\0\0\0\0\0tail", 14));
    EXPECT_EQ(file->ReadAt(buffer, sizeof buffer, 12), 2);  // stops at the end
    EXPECT_EQ(std::string(buffer, 2), "il");
    EXPECT_EQ(file->ReadAt(buffer, sizeof buffer, 100), 0);

    EXPECT_EQ(file->SeekEnd(), 14);
    ASSERT_TRUE(file->Write("!", 1));
    ASSERT_TRUE(file->Seek(4));
    EXPECT_EQ(file->Read(buffer, 2), 2);
    EXPECT_EQ(file->Tell(), 6);
    ASSERT_TRUE(file->Truncate(3));
    EXPECT_EQ(file->Size(), 3);
    ASSERT_TRUE(file->Seek(0));
    EXPECT_EQ(file->ReadFull(buffer, sizeof buffer), 3);
    EXPECT_TRUE(file->Sync());
}

TEST_F(CFileTest, GatheredWriteJoinsHeadAndBodyInPlace) {
    auto file = CFile::Open(m_file, FileAccess::ReadWrite, FileDisposition::CreateAlways);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->SizeAtOpen(), 0);
    const std::string body(100000, 'b');
    ASSERT_TRUE(file->WriteAt("HEAD", 4, body.data(), body.size(), 6));
    ASSERT_TRUE(file->WriteAt("xy", 2, nullptr, 0, 0));  // an empty body
    std::string back(4 + body.size() + 6, '?');
    ASSERT_EQ(file->ReadAt(back.data(), back.size(), 0), int64_t(back.size()));
    EXPECT_EQ(back, std::string("xy\0\0\0\0HEAD", 10) + body);
    EXPECT_FALSE(file->WriteAt("a", 1, "b", 1, uint64_t(INT64_MAX)));
    EXPECT_EQ(GetLastError(), ERR_INVALID_PARAMETER);
    // The size when opened is kept as it was, whatever was written since.
    file.reset();
    auto again = OpenExisting(m_file, FileAccess::Read);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->SizeAtOpen(), int64_t(back.size()));
}

TEST_F(CFileTest, ReadFullWaitsForShortReadsOfAPipe) {
    // A FIFO delivers its data in the pieces the writer wrote; ReadFull joins them and
    // opening it for reading does not wait for a writer.
    std::string fifo = m_dir / "fifo";
    std::string ready = m_dir / "ready";
    ASSERT_EQ(RunProcess({"mkfifo", fifo}), 0);
    CChildProcess writer;
    ASSERT_TRUE(writer.Start({"sh", "-c",
                              "exec 3<>\"$1\"; : > \"$2\"; printf abc >&3; sleep 0.2; "
                              "printf def >&3; sleep 0.3",
                              "sh", fifo, ready}));
    ASSERT_TRUE(WaitForPath(ready));
    auto reader = OpenExisting(fifo, FileAccess::Read);
    ASSERT_TRUE(reader);
    char buffer[6];
    ASSERT_EQ(reader->ReadFull(buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
    EXPECT_EQ(writer.Wait(), 0);
}



// A write of several MiB (more than one system call) reads back whole; write-back started
// ahead of the sync is a hint that leaves the last error alone.
TEST_F(CFileTest, LargeWritesReadBackWholeAndStartWriteBackIsAHint) {
    std::string data(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 131 + (i >> 12));
    auto file = CFile::Open(m_file, FileAccess::ReadWrite, FileDisposition::CreateAlways, nullptr,
                            FileHint::Sequential);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write(data.data(), data.size()));
    SetLastError(ERR_SHARING_VIOLATION);
    EXPECT_TRUE(file->StartWriteBack(0, data.size()));
    EXPECT_TRUE(file->StartWriteBack(4096, 0));
    EXPECT_EQ(GetLastError(), ERR_SHARING_VIOLATION);
    EXPECT_TRUE(file->Sync());
    ASSERT_TRUE(file->Seek(0));
    std::string back(data.size() + 100, 'x');
    ASSERT_EQ(file->ReadFull(back.data(), back.size()), int64_t(data.size()));
    back.resize(data.size());
    EXPECT_TRUE(back == data);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--try") == 0 || std::strcmp(argv[1], "--hold") == 0))
        return RunHelper(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
