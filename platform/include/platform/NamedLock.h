// A system-wide named lock (the design's named mutex): a lock file in the lock folder
// (LockFolder) named by a hash of the lock's name, taken with flock and a polled time-out.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

constexpr uint32_t WAIT_INFINITE = 0xFFFFFFFF;

// The folder of the lock files, made when missing: $XDG_RUNTIME_DIR/tavora; without a
// runtime folder <tmpRoot>/tavora-UID when it is the user's alone (a real folder owned by
// the user, mode 0700; made so), else tavora/locks in the user's cache folder
// ($XDG_CACHE_HOME or ~/.cache, made with mode 0700). Empty with the last error when none
// can be used. `tmpRoot` is "/tmp" but in tests.
std::string LockFolder(const std::string& tmpRoot = "/tmp");

class CNamedLock {
public:
    explicit CNamedLock(std::string name);
    ~CNamedLock();
    CNamedLock(const CNamedLock&) = delete;
    CNamedLock& operator=(const CNamedLock&) = delete;

    // Waits up to `timeoutMs` (WAIT_INFINITE: no limit). False when the wait timed out
    // (last error ERR_TIMEOUT) or the lock could not be taken for another reason (the last
    // error says which). Not recursive.
    bool Acquire(uint32_t timeoutMs = WAIT_INFINITE);
    void Release();
    bool Held() const { return m_fd >= 0; }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    int m_fd = -1;
};

// Holds a named lock for a scope.
class CNamedLockGuard {
public:
    CNamedLockGuard(CNamedLock& lock, uint32_t timeoutMs = WAIT_INFINITE)
        : m_lock(lock), m_held(lock.Acquire(timeoutMs)) {}
    ~CNamedLockGuard() {
        if (m_held) m_lock.Release();
    }
    bool Held() const { return m_held; }

private:
    CNamedLock& m_lock;
    bool m_held;
};

}  // namespace plat
