// CNamedLock on POSIX: a lock file per name, held with flock and polled for a time-out, in a
// folder that only the user can write to.
#include "platform/NamedLock.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "../common/FaultHooks.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SysError.h"

namespace plat {

namespace {

constexpr uint32_t POLL_INTERVAL_MS = 10;
constexpr uint64_t FNV_OFFSET_BASIS = 0xcbf29ce484222325ULL;
constexpr uint64_t FNV_PRIME = 0x100000001b3ULL;

uint64_t Fnv1a64(const std::string& text) {
    uint64_t hash = FNV_OFFSET_BASIS;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= FNV_PRIME;
    }
    return hash;
}

// True when `dir` is a real folder (not a link) of this user that nobody else may use.
bool IsPrivateFolder(const std::string& dir) {
    struct stat st;
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 0777) == 0700;
}

// Makes `dir` with mode 0700 when missing; true when it is then a private folder.
bool MakePrivateFolder(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) == 0) {
        ::chmod(dir.c_str(), 0700);  // whatever the umask took away
    } else if (errno != EEXIST) {
        SetLastError(MapErrno(errno));
        return false;
    }
    if (IsPrivateFolder(dir)) return true;
    SetLastError(ERR_ACCESS_DENIED);
    return false;
}

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else ~/.cache.
std::string CacheFolder() {
    const char* cache = ::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return cache;
    std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + "/.cache";
}

}  // namespace

std::string LockFolder(const std::string& tmpRoot) {
    const char* runtime = ::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        // The runtime folder belongs to the user alone.
        std::string dir = std::string(runtime) + "/tavora";
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
            SetLastError(MapErrno(errno));
            return {};
        }
        return dir;
    }
    // Under /tmp anyone may have made the folder first: a folder or link planted there must
    // neither decide who holds our locks nor keep us from taking them, so it is used only
    // when it is ours alone, and the user's cache folder serves otherwise.
    std::string shared = tmpRoot + "/tavora-" + std::to_string(::getuid());
    if (MakePrivateFolder(shared)) return shared;
    std::string cache = CacheFolder();
    if (cache.empty()) return {};
    std::string base = cache + "/tavora";
    if (!CreateDirectories(base, 0700)) return {};
    std::string dir = base + "/locks";
    return MakePrivateFolder(dir) ? dir : std::string();
}

CNamedLock::CNamedLock(std::string name) : m_name(std::move(name)) {}

CNamedLock::~CNamedLock() { Release(); }

bool CNamedLock::Acquire(uint32_t timeoutMs) {
    if (Held()) {
        SetLastError(ERR_INVALID_PARAMETER);  // not recursive
        return false;
    }
    if (int injected = fault::CallFails(FaultOp::Lock, m_name)) {
        SetLastError(MapErrno(injected));
        return false;
    }
    std::string dir = LockFolder();
    if (dir.empty()) return false;
    char fileName[32];
    std::snprintf(fileName, sizeof fileName, "%016llx.lock",
                  static_cast<unsigned long long>(Fnv1a64(m_name)));
    std::string path = dir + "/" + fileName;
    int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        SetLastError(MapErrno(errno));
        return false;
    }
    uint64_t start = NowMillis();
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return true;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            SetLastError(MapErrno(errno));
            ::close(fd);
            return false;
        }
        uint64_t waited = NowMillis() - start;
        if (timeoutMs != WAIT_INFINITE && waited >= timeoutMs) {
            SetLastError(ERR_TIMEOUT);
            ::close(fd);
            return false;
        }
        uint32_t pause = POLL_INTERVAL_MS;
        if (timeoutMs != WAIT_INFINITE && timeoutMs - waited < pause)
            pause = uint32_t(timeoutMs - waited);
        SleepMillis(pause);
    }
}

void CNamedLock::Release() {
    if (m_fd < 0) return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace plat
