// CNamedLock on POSIX: a lock file per name, held with flock and polled for a time-out.
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

// The folder of the lock files, made when missing. $XDG_RUNTIME_DIR belongs to the user
// alone; under /tmp anyone may have made the folder first, so there it is used only when
// it is a real folder of ours that nobody else may write to: a planted folder or link
// must not decide who holds our locks.
bool LockDirectory(std::string& dir) {
    const char* runtime = ::getenv("XDG_RUNTIME_DIR");
    bool shared = !(runtime && *runtime);
    dir = shared ? "/tmp/tavora-" + std::to_string(::getuid()) : std::string(runtime) + "/tavora";
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        SetLastError(MapErrno(errno));
        return false;
    }
    if (!shared) return true;
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0) {
        SetLastError(MapErrno(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 022) != 0) {
        SetLastError(ERR_ACCESS_DENIED);
        return false;
    }
    return true;
}

}  // namespace

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
    std::string dir;
    if (!LockDirectory(dir)) return false;
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
