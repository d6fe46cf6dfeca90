// An open file with the design's sharing modes, modelled by advisory flock locks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// How a file is opened. Writers take an exclusive flock, readers a shared one, both
// without waiting: a conflict fails with ERR_SHARING_VIOLATION.
enum class FileAccess {
    Read,       // read only; others may read (LOCK_SH)
    ReadWrite,  // read and write; others may only read, which flock makes exclusive (LOCK_EX)
};

enum class FileDisposition {
    OpenExisting,  // fail with ERR_FILE_NOT_FOUND when missing
    CreateAlways,  // create or truncate
    CreateNew,     // fail with ERR_FILE_EXISTS when present
    OpenAlways,    // open, creating when missing
};

enum class FileHint { Random, Sequential };

// One open file. Every failing call sets the thread's last error (GetLastError) and
// returns false / -1. Closing happens in the destructor.
class CFile {
public:
    // Opens `path`; null on failure with `error` (and the last error) set.
    static std::unique_ptr<CFile> Open(const std::string& path, FileAccess access,
                                       FileDisposition disposition, uint32_t* error = nullptr,
                                       FileHint hint = FileHint::Random);
    // A new working file in the temporary folder, open for reading and writing, that has no
    // name: it is made nameless at once (O_TMPFILE, else created with `prefix` and unlinked),
    // so nothing is left behind when the process ends, however it ends. Null on failure.
    static std::unique_ptr<CFile> CreateTemporary(const std::string& prefix = "tav~");
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Reads up to `count` bytes at the current position; the count read, -1 on error.
    int64_t Read(void* buffer, size_t count);
    // Reads until `count` bytes or end of file (loops over short reads). A caller that knows
    // how many bytes are left (from the size at open) passes it as `left`: a short read that
    // brings exactly that many counts as the end of the file, which saves the read that
    // would only say so (a file read whole in one call costs one read, not two). A file
    // that grew or shrank is read on to its real end as before.
    int64_t ReadFull(void* buffer, size_t count, uint64_t left = UINT64_MAX);
    // Writes all `count` bytes at the current position.
    bool Write(const void* buffer, size_t count);
    int64_t ReadAt(void* buffer, size_t count, uint64_t offset);  // full read or EOF
    bool WriteAt(const void* buffer, size_t count, uint64_t offset);
    // Writes `head` and then `body` at `offset` as one write (no joined copy is made).
    bool WriteAt(const void* head, size_t headCount, const void* body, size_t bodyCount,
                 uint64_t offset);
    bool Seek(uint64_t offset);
    // Moves to the end; returns the new position (the size), -1 on error.
    int64_t SeekEnd();
    int64_t Tell();
    int64_t Size();
    // The size when the file was opened (0 after the truncation of CreateAlways), without
    // asking the system again.
    int64_t SizeAtOpen() const { return m_sizeAtOpen; }
    bool Truncate(uint64_t size);
    bool Sync();
    // Starts writing the bytes [offset, offset + count) to the disk without waiting for them,
    // so that a later Sync has less left to do. A hint only: it leaves the last error alone
    // and returns false when the system does not take it.
    bool StartWriteBack(uint64_t offset, uint64_t count);
    const std::string& Path() const { return m_path; }

private:
    CFile(int fd, std::string path, int64_t sizeAtOpen)
        : m_fd(fd), m_path(std::move(path)), m_sizeAtOpen(sizeAtOpen) {}
    int m_fd;
    std::string m_path;
    int64_t m_sizeAtOpen;
};

}  // namespace plat
