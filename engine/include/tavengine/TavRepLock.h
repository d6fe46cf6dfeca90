// CTavRepositoryLock: keeps backup runs and forgets on one repository apart. Two locks:
// a named lock for the processes of this machine, and a lock file beside the first image
// ("NAME.tvr.lock" with host, process id and time) for machines that share the folder.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "tavengine/TavEngineExport.h"

namespace plat {
class CNamedLock;
}

// How long a backup run, a forget or a repair waits for another one of this machine to
// release the same repository.
constexpr uint32_t TAV_RUN_LOCK_TIMEOUT_MS = 5000;

// The lock file. Its time is refreshed every minute while it is held; a lock file whose
// process is gone (same host) or whose time is ten minutes old is taken over, so that no
// one ever has to remove it by hand.
class TAVENGINE_API CTavRepLockFile {
public:
    static constexpr uint32_t STALE_SECONDS = 600;
    static constexpr uint32_t REFRESH_SECONDS = 60;

    explicit CTavRepLockFile(const std::string& firstImagePath);
    ~CTavRepLockFile();
    CTavRepLockFile(const CTavRepLockFile&) = delete;
    CTavRepLockFile& operator=(const CTavRepLockFile&) = delete;

    // False with Error() naming the holder when a live process holds it.
    bool Acquire();
    void Release();
    bool Held() const { return m_held; }
    const std::string& Path() const { return m_path; }
    const std::string& Error() const { return m_error; }
    // The lock file's text for this process at `time`.
    static std::string Content(uint32_t time);

private:
    bool TryCreate();
    bool Refresh();
    void RefreshLoop();

    std::string m_path;
    std::string m_error;
    bool m_held = false;
    std::thread m_refresher;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

class TAVENGINE_API CTavRepositoryLock {
public:
    // `imagePath`: any image of the repository; the locks are named after its first image.
    explicit CTavRepositoryLock(const std::string& imagePath);
    ~CTavRepositoryLock();
    CTavRepositoryLock(const CTavRepositoryLock&) = delete;
    CTavRepositoryLock& operator=(const CTavRepositoryLock&) = delete;

    // Waits up to `timeoutMs` for another run of this machine; false with Error().
    bool Acquire(uint32_t timeoutMs);
    void Release();
    const std::string& Error() const { return m_error; }
    const std::string& FirstImage() const { return m_first; }
    // The absolute path of the first image of the repository that `imagePath` belongs to.
    static std::string FirstImageOf(const std::string& imagePath);

private:
    std::string m_first;
    std::string m_error;
    plat::CNamedLock* m_runLock;
    CTavRepLockFile m_file;
    bool m_runHeld = false;
};
