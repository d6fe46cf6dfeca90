// File-system services on POSIX: find data from lstat/statx, listings, times, free
// space, temporary files and the path helpers.
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "../common/FaultHooks.h"
#include "platform/Clock.h"
#include "platform/SysError.h"

namespace plat {

namespace {

bool FailErrno() {
    SetLastError(MapErrno(errno));
    return false;
}

bool FailWith(uint32_t error) {
    SetLastError(error);
    return false;
}

// What one statx (or lstat) call tells about an entry.
struct EntryStat {
    uint32_t mode = 0;
    uint32_t uid = 0;
    uint32_t gid = 0;
    uint64_t size = 0;
    TavFileTime accessed;
    TavFileTime written;
    TavFileTime created;
};

// Stats `name` relative to `dirFd` without following a final link. The creation time is
// the birth time where the file system keeps one, else the written time.
bool StatEntry(int dirFd, const char* name, EntryStat& out) {
    struct statx stx;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) == 0) {
        out.mode = stx.stx_mode;
        out.uid = stx.stx_uid;
        out.gid = stx.stx_gid;
        out.size = stx.stx_size;
        out.accessed = FileTimeFromUnix(stx.stx_atime.tv_sec, stx.stx_atime.tv_nsec);
        out.written = FileTimeFromUnix(stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec);
        out.created = (stx.stx_mask & STATX_BTIME)
                          ? FileTimeFromUnix(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec)
                          : out.written;
        return true;
    }
    // Kernels or sandboxes without statx: the same facts from fstatat.
    if (errno != ENOSYS && errno != EPERM) return FailErrno();
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno();
    out.mode = st.st_mode;
    out.uid = st.st_uid;
    out.gid = st.st_gid;
    out.size = uint64_t(st.st_size);
    out.accessed = FileTimeFromUnix(st.st_atim.tv_sec, uint32_t(st.st_atim.tv_nsec));
    out.written = FileTimeFromUnix(st.st_mtim.tv_sec, uint32_t(st.st_mtim.tv_nsec));
    out.created = out.written;
    return true;
}

// readlinkat into a buffer that grows until the whole target fits.
bool ReadLinkAt(int dirFd, const char* name, std::string& target) {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlinkat(dirFd, name, buffer.data(), buffer.size());
        if (n < 0) return FailErrno();
        if (size_t(n) < buffer.size()) {
            buffer.resize(size_t(n));
            target = std::move(buffer);
            return true;
        }
        if (buffer.size() >= (size_t(1) << 20)) return FailWith(ERR_FILENAME_TOO_LONG);
        buffer.resize(buffer.size() * 2);
    }
}

bool MakeFindData(int dirFd, const char* statName, std::string name, TavFindData& out) {
    EntryStat st;
    if (!StatEntry(dirFd, statName, st)) return false;
    TavFindData fd;
    fd.name = std::move(name);
    fd.mode = st.mode;
    fd.uid = st.uid;
    fd.gid = st.gid;
    fd.accessed = st.accessed;
    fd.written = st.written;
    fd.created = st.created;
    if (S_ISDIR(st.mode)) {
        fd.kind = TavFileKind::Directory;
        fd.attributes = TAV_ATTR_DIRECTORY;
    } else if (S_ISREG(st.mode)) {
        fd.kind = TavFileKind::Regular;
        fd.attributes = TAV_ATTR_ARCHIVE;  // no archive bit on POSIX: always set
        fd.SetSize(st.size);
    } else if (S_ISLNK(st.mode)) {
        fd.kind = TavFileKind::Symlink;
        fd.attributes = TAV_ATTR_REPARSE_POINT;
        if (!ReadLinkAt(dirFd, statName, fd.linkTarget)) return false;
        fd.SetSize(fd.linkTarget.size());
    } else {
        fd.kind = TavFileKind::Other;
    }
    if (!(st.mode & S_IWUSR)) fd.attributes |= TAV_ATTR_READONLY;
    out = std::move(fd);
    return true;
}

// Strips trailing slashes, keeping a lone "/".
std::string_view TrimTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

}  // namespace

bool PathExists(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return FailErrno();
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return FailErrno();
    return S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return FailErrno();
    return true;
}

bool RemoveDirectory(const std::string& path) {
    if (::rmdir(path.c_str()) != 0) {
        // Some file systems report a directory that still has entries as EEXIST.
        return FailWith(errno == EEXIST ? ERR_DIR_NOT_EMPTY : MapErrno(errno));
    }
    return true;
}

bool RenameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return FailErrno();
    return true;
}

bool SyncDirectory(const std::string& path) {
    const std::string folder = path.empty() ? "." : path;
    if (int injected = fault::CallFails(FaultOp::SyncFolder, folder)) {
        errno = injected;
        return FailErrno();
    }
    int fd;
    do {
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return FailErrno();
    int result = ::fsync(fd);
    // EINVAL: the file system has no way to sync a folder.
    const bool ok = result == 0 || errno == EINVAL;
    const int error = errno;
    ::close(fd);
    if (!ok) {
        errno = error;
        return FailErrno();
    }
    return true;
}

bool CreateDirectory(const std::string& path, uint32_t mode) {
    if (::mkdir(path.c_str(), mode_t(mode)) != 0)
        return FailWith(errno == EEXIST ? ERR_ALREADY_EXISTS : MapErrno(errno));
    return true;
}

bool CreateDirectories(const std::string& path, uint32_t mode) {
    if (path.empty()) return FailWith(ERR_INVALID_PARAMETER);
    if (IsDirectory(path)) return true;
    std::string parent = DirName(path);
    if (!parent.empty() && parent != path && !CreateDirectories(parent, mode)) return false;
    if (CreateDirectory(path, mode)) return true;
    // Another process may have made it meanwhile; a file of that name is an error.
    if (GetLastError() == ERR_ALREADY_EXISTS && IsDirectory(path)) return true;
    if (PathExists(path)) SetLastError(ERR_ALREADY_EXISTS);
    return false;
}

bool GetFindData(const std::string& path, TavFindData& out) {
    if (path.empty()) return FailWith(ERR_INVALID_PARAMETER);
    // A trailing slash would make lstat follow a link; the entry itself is wanted.
    std::string entry(TrimTrailingSlashes(path));
    return MakeFindData(AT_FDCWD, entry.c_str(), BaseName(entry), out);
}

bool ListDirectory(const std::string& path, std::vector<TavFindData>& out) {
    out.clear();
    int dirFd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return FailErrno();
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        int saved = errno;
        ::close(dirFd);
        return FailWith(MapErrno(saved));
    }
    std::vector<TavFindData> entries;
    bool ok = true;
    for (;;) {
        errno = 0;
        struct dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) ok = FailErrno();
            break;
        }
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        TavFindData fd;
        if (MakeFindData(dirFd, entry->d_name, std::string(name), fd)) {
            entries.push_back(std::move(fd));
        } else if (GetLastError() != ERR_FILE_NOT_FOUND) {
            // An entry we cannot see into must not silently drop out of a backup.
            ok = false;
            break;
        }
        // ENOENT: the entry vanished between readdir and the stat; it is passed over.
    }
    uint32_t error = GetLastError();
    ::closedir(dir);
    if (!ok) return FailWith(error);
    std::sort(entries.begin(), entries.end(),
              [](const TavFindData& a, const TavFindData& b) { return a.name < b.name; });
    out = std::move(entries);
    return true;
}

bool SetFileTimes(const std::string& path, const TavFileTime& accessed,
                  const TavFileTime& written) {
    struct timespec times[2];
    const TavFileTime* source[2] = {&accessed, &written};
    for (int i = 0; i < 2; ++i) {
        int64_t seconds;
        uint32_t nanos;
        FileTimeToUnix(*source[i], seconds, nanos);
        times[i].tv_sec = time_t(seconds);
        times[i].tv_nsec = long(nanos);
    }
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno();
    return true;
}

bool SetFileMode(const std::string& path, uint32_t mode) {
    if (::chmod(path.c_str(), mode_t(mode & 07777)) != 0) return FailErrno();
    return true;
}

bool SetFileOwner(const std::string& path, uint32_t uid, uint32_t gid) {
    if (::lchown(path.c_str(), uid_t(uid), gid_t(gid)) != 0) return FailErrno();
    return true;
}

bool CreateSymlink(const std::string& target, const std::string& path) {
    if (::symlink(target.c_str(), path.c_str()) != 0) return FailErrno();
    return true;
}

bool ReadSymlink(const std::string& path, std::string& target) {
    return ReadLinkAt(AT_FDCWD, path.c_str(), target);
}

bool IsRoot() { return ::geteuid() == 0; }

std::optional<uint64_t> FreeSpace(const std::string& dir) {
    // A file, or a path not made yet, counts as the volume of its nearest existing folder.
    std::string probe = dir.empty() ? "." : dir;
    for (;;) {
        struct stat st;
        if (::stat(probe.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) break;
        std::string parent = DirName(probe);
        if (parent == probe || (parent.empty() && probe == ".")) break;
        probe = parent.empty() ? std::string(".") : std::move(parent);
    }
    struct statvfs vfs;
    if (::statvfs(probe.c_str(), &vfs) != 0) {
        FailErrno();
        return std::nullopt;
    }
    uint64_t blocks = vfs.f_bavail;
    uint64_t blockSize = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (blockSize != 0 && blocks > std::numeric_limits<uint64_t>::max() / blockSize)
        return std::numeric_limits<uint64_t>::max();
    return blocks * blockSize;
}

std::string TempDirectory() {
    const char* env = ::getenv("TMPDIR");
    if (env && *env) {
        struct stat st;
        if (::stat(env, &st) == 0 && S_ISDIR(st.st_mode))
            return std::string(TrimTrailingSlashes(env));
    }
    return "/tmp";
}

std::string MakeTempFile(const std::string& prefix) {
    if (prefix.find('/') != std::string::npos) {
        FailWith(ERR_INVALID_PARAMETER);
        return {};
    }
    std::string pattern = JoinPath(TempDirectory(), prefix + "XXXXXX");
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        FailErrno();
        return {};
    }
    ::close(fd);
    return pattern;
}

std::string MakeTempDirectory(const std::string& prefix) {
    if (prefix.find('/') != std::string::npos) {
        FailWith(ERR_INVALID_PARAMETER);
        return {};
    }
    std::string pattern = JoinPath(TempDirectory(), prefix + "XXXXXX");
    if (!::mkdtemp(pattern.data())) {
        FailErrno();
        return {};
    }
    return pattern;
}

std::string DirName(const std::string& path) {
    std::string_view p = TrimTrailingSlashes(path);
    size_t slash = p.find_last_of('/');
    if (slash == std::string_view::npos) return {};
    std::string_view dir = p.substr(0, slash);
    while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);  // "a//b" -> "a"
    return dir.empty() ? "/" : std::string(dir);
}

std::string BaseName(const std::string& path) {
    std::string_view p = TrimTrailingSlashes(path);
    if (p == "/") return "/";
    size_t slash = p.find_last_of('/');
    return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    std::string_view rest = name;
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    std::string joined = dir;
    if (joined.back() != '/' && !rest.empty()) joined += '/';
    joined += rest;
    return joined;
}

std::string CurrentDirectory() {
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() >= (size_t(1) << 20)) {
            FailErrno();
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string AbsolutePath(const std::string& path) {
    std::string full = path;
    if (path.empty() || path.front() != '/') {
        std::string cwd = CurrentDirectory();
        if (cwd.empty()) return {};  // the current directory is gone
        full = JoinPath(cwd, path);
    }
    // "." and ".." are resolved as text; ".." at the root stays at the root.
    std::vector<std::string_view> parts;
    std::string_view rest = full;
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

}  // namespace plat
