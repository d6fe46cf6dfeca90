// The settings files on disk: reading them when they change, rewriting them atomically
// under a named lock.
#include "RegStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/FileSystem.h"
#include "platform/NamedLock.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "platform/SysError.h"

namespace plat {

namespace {

constexpr uint32_t LOCK_TIMEOUT_MS = 10000;
constexpr const char* LOCK_PREFIX = "Tavora settings ";
// A file whose time stamp lies this close to the moment its signature was taken may
// change again within the same time-stamp tick, keeping its signature: such a file is
// re-read on every access until it has aged past this.
constexpr int64_t RACY_SECONDS = 2;

int64_t WallSeconds() { return int64_t(std::time(nullptr)); }

RegStatus SystemFailure(const std::string& path, const char* what, int error) {
    return {MapErrno(error), path + ": " + what + ": " + std::strerror(error)};
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

RegFileSignature SignatureOf(const struct stat& st) {
    RegFileSignature sig;
    sig.device = uint64_t(st.st_dev);
    sig.inode = uint64_t(st.st_ino);
    sig.size = uint64_t(st.st_size);
    sig.mtimeSec = int64_t(st.st_mtim.tv_sec);
    sig.mtimeNsec = int64_t(st.st_mtim.tv_nsec);
    sig.ctimeSec = int64_t(st.st_ctim.tv_sec);
    sig.ctimeNsec = int64_t(st.st_ctim.tv_nsec);
    sig.exists = true;
    return sig;
}

// Follows a symbolic link at `path` to the file it names (when that can be resolved).
std::string ResolveTarget(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

}  // namespace

RegStatus ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SystemFailure(path, "cannot open", errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int error = errno;
        ::close(fd);
        return SystemFailure(path, "cannot read", error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return {ERR_ACCESS_DENIED, path + ": not a regular file"};
    }
    if (uint64_t(st.st_size) > REG_FILE_MAX_SIZE) {
        ::close(fd);
        return {ERR_INVALID_PARAMETER, path + ": file too large (more than 64 MiB)"};
    }
    bytes.resize(size_t(st.st_size));
    size_t done = 0;
    while (true) {
        if (done == bytes.size()) {
            // The file may have grown since fstat: read on, within the limit.
            if (bytes.size() >= REG_FILE_MAX_SIZE) break;
            bytes.resize(std::min<size_t>(bytes.size() + 65536, REG_FILE_MAX_SIZE));
        }
        ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            ::close(fd);
            bytes.clear();
            return SystemFailure(path, "cannot read", error);
        }
        if (n == 0) break;
        done += size_t(n);
    }
    bytes.resize(done);
    ::close(fd);
    return {};
}

RegStatus WriteFileAtomically(const std::string& path, const std::string& bytes) {
    static std::atomic<uint32_t> counter{0};
    std::string target = ResolveTarget(path);
    std::string dir = DirName(target);
    if (dir.empty()) dir = ".";
    if (!CreateDirectories(dir, 0700)) {
        return {GetLastError(), dir + ": cannot make the folder"};
    }
    std::string temp = JoinPath(dir, "." + BaseName(target) + ".tmp-" + std::to_string(::getpid()) +
                                         "-" + std::to_string(counter++));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return SystemFailure(temp, "cannot create", errno);
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);  // keep its mode
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return SystemFailure(target, "cannot write", error);
    }
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {  // make the rename itself durable; a failure here loses nothing
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

CRegStore& CRegStore::ForRoot(RegRoot root) {
    static CRegStore user(HKEY_CURRENT_USER);
    static CRegStore machine(HKEY_LOCAL_MACHINE);
    return root == HKEY_LOCAL_MACHINE ? machine : user;
}

RegStatus CRegStore::Refresh(const std::string& path) {
    if (path != m_path) {
        m_path = path;
        m_tree.reset();
    }
    RegFileSignature now;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        now = SignatureOf(st);
    } else if (errno != ENOENT) {
        m_tree.reset();
        return SystemFailure(path, "cannot read", errno);
    }
    bool racy = now.exists && now.mtimeSec + RACY_SECONDS >= m_checkedAt;
    if (m_tree && now == m_signature && !racy) return {};

    m_tree.reset();
    auto tree = std::make_unique<CRegKey>(RootName(m_root));
    if (now.exists) {
        std::string bytes;
        RegStatus status = ReadWholeFile(path, bytes);
        if (!status.Ok()) return status;
        if (!bytes.empty()) {  // an empty file is an empty store
            RegFileDocument doc;
            std::string error;
            if (!ParseRegFile(bytes, path, doc, error)) return {ERR_REGISTRY_CORRUPT, error};
            for (const RegFileSection& section : doc.sections) {
                if (section.root != m_root) {
                    return {ERR_REGISTRY_CORRUPT, path + ": line " + std::to_string(section.line) +
                                                      ": the key belongs to " +
                                                      RootName(section.root) + ", not to " +
                                                      RootName(m_root)};
                }
            }
            ApplyRegFile(doc, m_root, *tree);
        }
    }
    m_tree = std::move(tree);
    m_signature = now;
    m_checkedAt = WallSeconds();
    return {};
}

RegStatus CRegStore::Save(const std::string& path) {
    std::string text = WriteRegFile(*m_tree, RootName(m_root), "\n");
    RegStatus status = WriteFileAtomically(path, text);
    if (!status.Ok()) {
        m_tree.reset();  // the tree is ahead of the file: read the file again next time
        return status;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        m_signature = SignatureOf(st);
        m_checkedAt = WallSeconds();
    } else {
        m_tree.reset();
    }
    return status;
}

RegStatus CRegStore::Read(const Reader& reader) {
    std::lock_guard<std::mutex> guard(m_mutex);
    RegStatus status = Refresh(RegistryFilePath(m_root));
    if (!status.Ok()) return status;
    return {reader(*m_tree), std::string()};
}

RegStatus CRegStore::Change(const Changer& changer) {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::string path = RegistryFilePath(m_root);
    CNamedLock lock(LOCK_PREFIX + path);
    if (!lock.Acquire(LOCK_TIMEOUT_MS)) {
        uint32_t code = GetLastError();
        return {code == ERR_NONE ? ERR_TIMEOUT : code, path + ": cannot lock the settings file"};
    }
    RegStatus status = Refresh(path);
    if (!status.Ok()) return status;
    uint32_t code = changer(*m_tree);
    if (code == REG_STORE_UNCHANGED) return {};
    if (code != ERR_NONE) return {code, std::string()};
    return Save(path);
}

}  // namespace plat
