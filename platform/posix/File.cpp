// CFile on POSIX: open(2) plus a flock taken without waiting models the sharing modes.
#include "platform/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "../common/FaultHooks.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"

namespace plat {

namespace {

// The most one read(2) or write(2) is asked to move; larger requests loop.
constexpr size_t MAX_CHUNK = size_t(1) << 30;
// Files up to this size get no access-pattern hint.
constexpr off_t SMALL_FILE = 256 * 1024;

bool FailErrno() {
    SetLastError(MapErrno(errno));
    return false;
}

bool FailWith(uint32_t error) {
    SetLastError(error);
    return false;
}

// ENOENT from open(2) covers a missing file and a missing folder on its way; the suite
// tells them apart (file not found / path not found) as its messages do.
uint32_t NotFoundCode(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return ERR_FILE_NOT_FOUND;
    struct stat st;
    std::string parent = path.substr(0, slash);
    if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERR_PATH_NOT_FOUND;
    return ERR_FILE_NOT_FOUND;
}

// Applies a read rule of the fault plan to `count` bytes at `offset` of the file: false with
// errno set when the read must fail, `count` cut when it must come back short. Bytes past
// the end are not there to be damaged.
bool FaultRead(int fd, const std::string& path, uint64_t offset, size_t& count) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && offset >= uint64_t(st.st_size)) return true;
    int error = 0;
    const size_t allowed = fault::ReadAllowanceSlow(path, offset, count, error);
    if (allowed == count) return true;
    if (allowed == 0) {
        errno = error;
        return false;
    }
    count = allowed;
    return true;
}

// The same for a read at the file's current position.
bool FaultReadHere(int fd, const std::string& path, size_t& count) {
    const off_t pos = ::lseek(fd, 0, SEEK_CUR);
    return pos < 0 || FaultRead(fd, path, uint64_t(pos), count);
}

// Applies a write rule to `count` bytes at `offset`: the bytes that may be written now; 0
// with errno set when none may (a volume that is full, a failing device).
size_t FaultWrite(int fd, const std::string& path, uint64_t offset, size_t count) {
    if (!fault::Active()) return count;
    struct stat st;
    const uint64_t size = ::fstat(fd, &st) == 0 ? uint64_t(st.st_size) : 0;
    int error = 0;
    const size_t allowed = fault::WriteAllowanceSlow(path, offset, size, count, error);
    if (allowed == 0 && count > 0) errno = error;
    return allowed;
}

// The same for a write at the file's current position.
size_t FaultWriteHere(int fd, const std::string& path, size_t count) {
    if (!fault::Active()) return count;
    const off_t pos = ::lseek(fd, 0, SEEK_CUR);
    return pos < 0 ? count : FaultWrite(fd, path, uint64_t(pos), count);
}

int OpenFlags(FileAccess access, FileDisposition disposition) {
    // O_NONBLOCK keeps open(2) of a FIFO from waiting for a writer; it is cleared after.
    int flags = O_CLOEXEC | O_NONBLOCK;
    // Truncation needs a descriptor that may write, even for a reader.
    bool write = access == FileAccess::ReadWrite || disposition == FileDisposition::CreateAlways;
    flags |= write ? O_RDWR : O_RDONLY;
    switch (disposition) {
        case FileDisposition::OpenExisting:
            break;
        case FileDisposition::CreateAlways:
        case FileDisposition::OpenAlways:
            flags |= O_CREAT;
            break;
        case FileDisposition::CreateNew:
            flags |= O_CREAT | O_EXCL;
            break;
    }
    return flags;
}

// Takes the lock without waiting. Only a conflict fails: a file system that cannot
// lock at all still lets the file be used.
bool TakeLock(int fd, int operation) {
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return FailWith(ERR_SHARING_VIOLATION);
        return true;
    }
}

}  // namespace

std::unique_ptr<CFile> CFile::CreateTemporary(const std::string& prefix) {
    if (prefix.find('/') != std::string::npos) {
        SetLastError(ERR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string dir = TempDirectory();
    int fd = -1;
#ifdef O_TMPFILE
    do {
        fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
#endif
    std::string path = JoinPath(dir, prefix + "XXXXXX");
    if (fd < 0) {
        // File systems without O_TMPFILE: a named file that loses its name at once.
        fd = ::mkostemp(path.data(), O_CLOEXEC);
        if (fd < 0) {
            SetLastError(MapErrno(errno));
            return nullptr;
        }
        ::unlink(path.c_str());
    }
    return std::unique_ptr<CFile>(new CFile(fd, path, 0));
}

std::unique_ptr<CFile> CFile::Open(const std::string& path, FileAccess access,
                                   FileDisposition disposition, uint32_t* error, FileHint hint) {
    auto fail = [&](uint32_t code) -> std::unique_ptr<CFile> {
        SetLastError(code);
        if (error) *error = code;
        return nullptr;
    };
    if (path.empty()) return fail(ERR_INVALID_PARAMETER);
    if (int injected = fault::CallFails(FaultOp::Open, path)) return fail(MapErrno(injected));

    int fd;
    do {
        fd = ::open(path.c_str(), OpenFlags(access, disposition), 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT) return fail(NotFoundCode(path));
        return fail(MapErrno(errno));
    }
    auto closeAndFail = [&](uint32_t code) {
        ::close(fd);
        return fail(code);
    };

    struct stat st;
    if (::fstat(fd, &st) != 0) return closeAndFail(MapErrno(errno));
    if (S_ISDIR(st.st_mode)) return closeAndFail(ERR_ACCESS_DENIED);
    // O_NONBLOCK changes nothing for a regular file, so only other kinds pay for clearing it.
    if (!S_ISREG(st.st_mode)) {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return closeAndFail(MapErrno(errno));
    }

    // The exclusive lock comes before the truncation, so a file someone reads is never
    // cut under them.
    bool truncate = disposition == FileDisposition::CreateAlways;
    if (!TakeLock(fd, access == FileAccess::ReadWrite || truncate ? LOCK_EX : LOCK_SH))
        return closeAndFail(ERR_SHARING_VIOLATION);
    if (truncate) {
        if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0)
            return closeAndFail(MapErrno(errno));
        // A reader that created the file keeps only a shared lock afterwards.
        if (access == FileAccess::Read && !TakeLock(fd, LOCK_SH))
            return closeAndFail(ERR_SHARING_VIOLATION);
    }
    // A small file is read whole by the system's first read-ahead anyway.
    if (hint == FileHint::Sequential && st.st_size > SMALL_FILE) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    SetLastError(ERR_NONE);
    if (error) *error = ERR_NONE;
    return std::unique_ptr<CFile>(new CFile(fd, path, truncate && S_ISREG(st.st_mode) ? 0 : int64_t(st.st_size)));
}

CFile::~CFile() {
    if (m_fd >= 0) ::close(m_fd);
}

int64_t CFile::Read(void* buffer, size_t count) {
    if (count > MAX_CHUNK) count = MAX_CHUNK;
    if (fault::Active() && !FaultReadHere(m_fd, m_path, count)) {
        FailErrno();
        return -1;
    }
    for (;;) {
        ssize_t n = ::read(m_fd, buffer, count);
        if (n >= 0) return n;
        if (errno != EINTR) {
            FailErrno();
            return -1;
        }
    }
}

int64_t CFile::ReadFull(void* buffer, size_t count, uint64_t left) {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t want = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
        if (fault::Active() && !FaultReadHere(m_fd, m_path, want)) {
            FailErrno();
            return -1;
        }
        ssize_t n = ::read(m_fd, out + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            FailErrno();
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
        if (size_t(n) < want && done == left) break;
    }
    return int64_t(done);
}

bool CFile::Write(const void* buffer, size_t count) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t want = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
        want = FaultWriteHere(m_fd, m_path, want);
        if (want == 0) return FailErrno();
        ssize_t n = ::write(m_fd, in + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FailErrno();
        }
        if (n == 0) return FailWith(ERR_DISK_FULL);
        done += size_t(n);
    }
    return true;
}

int64_t CFile::ReadAt(void* buffer, size_t count, uint64_t offset) {
    if (offset > uint64_t(INT64_MAX) || count > uint64_t(INT64_MAX) - offset) {
        FailWith(ERR_INVALID_PARAMETER);
        return -1;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t want = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
        if (fault::Active() && !FaultRead(m_fd, m_path, offset + done, want)) {
            FailErrno();
            return -1;
        }
        ssize_t n = ::pread(m_fd, out + done, want, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            FailErrno();
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return int64_t(done);
}

bool CFile::WriteAt(const void* buffer, size_t count, uint64_t offset) {
    if (offset > uint64_t(INT64_MAX) || count > uint64_t(INT64_MAX) - offset)
        return FailWith(ERR_INVALID_PARAMETER);
    const auto* in = static_cast<const unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t want = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
        want = FaultWrite(m_fd, m_path, offset + done, want);
        if (want == 0) return FailErrno();
        ssize_t n = ::pwrite(m_fd, in + done, want, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return FailErrno();
        }
        if (n == 0) return FailWith(ERR_DISK_FULL);
        done += size_t(n);
    }
    return true;
}

bool CFile::WriteAt(const void* head, size_t headCount, const void* body, size_t bodyCount,
                    uint64_t offset) {
    if (offset > uint64_t(INT64_MAX) || headCount > uint64_t(INT64_MAX) - offset ||
        bodyCount > uint64_t(INT64_MAX) - offset - headCount)
        return FailWith(ERR_INVALID_PARAMETER);
    size_t done = 0;
    // With a fault plan installed the pieces go one by one, so that a write rule sees them.
    if (headCount + bodyCount <= MAX_CHUNK && !fault::Active()) {
        iovec parts[2] = {{const_cast<void*>(head), headCount}, {const_cast<void*>(body), bodyCount}};
        ssize_t n;
        do {
            n = ::pwritev(m_fd, parts, 2, off_t(offset));
        } while (n < 0 && errno == EINTR);
        if (n < 0) return FailErrno();
        done = size_t(n);
        if (done == headCount + bodyCount) return true;
    }
    // A short write (or a very large one): the rest piece by piece.
    const auto* h = static_cast<const unsigned char*>(head);
    const auto* b = static_cast<const unsigned char*>(body);
    if (done < headCount) {
        if (!WriteAt(h + done, headCount - done, offset + done)) return false;
        done = headCount;
    }
    const size_t inBody = done - headCount;
    return WriteAt(b + inBody, bodyCount - inBody, offset + done);
}

bool CFile::Seek(uint64_t offset) {
    if (offset > uint64_t(INT64_MAX)) return FailWith(ERR_INVALID_PARAMETER);
    if (::lseek(m_fd, off_t(offset), SEEK_SET) < 0) return FailErrno();
    return true;
}

int64_t CFile::SeekEnd() {
    off_t pos = ::lseek(m_fd, 0, SEEK_END);
    if (pos < 0) FailErrno();
    return pos < 0 ? -1 : int64_t(pos);
}

int64_t CFile::Tell() {
    off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0) FailErrno();
    return pos < 0 ? -1 : int64_t(pos);
}

int64_t CFile::Size() {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) {
        FailErrno();
        return -1;
    }
    return int64_t(st.st_size);
}

bool CFile::Truncate(uint64_t size) {
    if (size > uint64_t(INT64_MAX)) return FailWith(ERR_INVALID_PARAMETER);
    if (int injected = fault::CallFails(FaultOp::Truncate, m_path)) {
        errno = injected;
        return FailErrno();
    }
    for (;;) {
        if (::ftruncate(m_fd, off_t(size)) == 0) return true;
        if (errno != EINTR) return FailErrno();
    }
}

bool CFile::Sync() {
    if (int injected = fault::CallFails(FaultOp::Sync, m_path)) {
        errno = injected;
        return FailErrno();
    }
    if (::fsync(m_fd) != 0) return FailErrno();
    return true;
}

bool CFile::StartWriteBack(uint64_t offset, uint64_t count) {
    if (count == 0) return true;
    return ::sync_file_range(m_fd, off64_t(offset), off64_t(count), SYNC_FILE_RANGE_WRITE) == 0;
}

}  // namespace plat
