// A system-wide named lock (the design's named mutex): a lock file in
// $XDG_RUNTIME_DIR/tavora (else /tmp/tavora-UID) named by a hash of the lock's name,
// taken with flock and a polled time-out.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

constexpr uint32_t WAIT_INFINITE = 0xFFFFFFFF;

class CNamedLock {
public:
    explicit CNamedLock(std::string name);
    ~CNamedLock();
    CNamedLock(const CNamedLock&) = delete;
    CNamedLock& operator=(const CNamedLock&) = delete;

    // Waits up to `timeoutMs` (WAIT_INFINITE: no limit); false when the wait timed out
    // or the lock file could not be made. Not recursive.
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
