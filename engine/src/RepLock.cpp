// The repository's run lock and its lock file.
#include "tavengine/TavRepLock.h"

#include <chrono>
#include <sstream>

#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/HostInfo.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"
#include "platform/SysError.h"
#include "tavrep/TavRepository.h"
#include "tavengine/TavEngine.h"

namespace {

// The named lock of backup runs (CreateRepForBackup takes the same one).
constexpr size_t MAX_LOCK_TEXT = 4096;

struct LockText {
    std::string host;
    uint32_t pid = 0;
    uint32_t time = 0;
    bool valid = false;
};

LockText Parse(const std::string& text) {
    LockText t;
    std::istringstream in(text);
    std::string key, value;
    bool host = false, pid = false, time = false;
    while (in >> key >> value) {
        try {
            if (key == "host") t.host = value, host = true;
            if (key == "pid") t.pid = uint32_t(std::stoul(value)), pid = true;
            if (key == "time") t.time = uint32_t(std::stoul(value)), time = true;
        } catch (...) {
            return t;
        }
    }
    t.valid = host && pid && time;
    return t;
}

bool ReadText(const std::string& path, std::string& text) {
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting);
    if (!file) return false;
    text.assign(MAX_LOCK_TEXT, '\0');
    const int64_t n = file->ReadFull(text.data(), text.size());
    text.resize(n > 0 ? size_t(n) : 0);
    return true;
}

bool WriteText(plat::CFile& file, const std::string& text) {
    return file.Truncate(0) && file.WriteAt(text.data(), text.size(), 0) && file.Sync();
}

std::string TimeText(uint32_t seconds) {
    std::ostringstream out;
    const uint32_t now = plat::NowSeconds();
    out << (now >= seconds ? now - seconds : 0) << " s ago";
    return out.str();
}

}  // namespace

CTavRepLockFile::CTavRepLockFile(const std::string& firstImagePath) : m_path(firstImagePath + ".lock") {}

CTavRepLockFile::~CTavRepLockFile() { Release(); }

std::string CTavRepLockFile::Content(uint32_t time) {
    return "host " + plat::HostName() + "\npid " + std::to_string(plat::ProcessId()) + "\ntime " +
           std::to_string(time) + "\n";
}

bool CTavRepLockFile::TryCreate() {
    auto file = plat::CFile::Open(m_path, plat::FileAccess::ReadWrite, plat::FileDisposition::CreateNew);
    if (!file) return false;
    if (!WriteText(*file, Content(plat::NowSeconds()))) {
        file.reset();
        plat::RemoveFile(m_path);
        return false;
    }
    plat::SyncDirectory(plat::DirName(m_path));
    return true;
}

bool CTavRepLockFile::Acquire() {
    if (m_held) return true;
    m_error.clear();
    for (int attempt = 0; attempt < 5 && !m_held; ++attempt) {
        if (TryCreate()) {
            m_held = true;
            break;
        }
        if (plat::GetLastError() != plat::ERR_FILE_EXISTS) {
            m_error = m_path + ": cannot create the lock file (" +
                      plat::ErrorText(plat::GetLastError()) + ")";
            return false;
        }
        std::string text;
        if (!ReadText(m_path, text)) continue;  // gone in the meantime
        LockText holder = Parse(text);
        if (!holder.valid && attempt < 2) {
            // Being written at this moment: look again.
            plat::SleepMillis(500);
            continue;
        }
        const uint32_t now = plat::NowSeconds();
        const bool gone = holder.valid && holder.host == plat::HostName() && !plat::ProcessAlive(holder.pid);
        const bool stale = !holder.valid || (now > holder.time && now - holder.time >= STALE_SECONDS);
        if (!gone && !stale) {
            m_error = m_path + ": the repository is in use by process " + std::to_string(holder.pid) +
                      " on " + holder.host + " (lock refreshed " + TimeText(holder.time) + ")";
            return false;
        }
        // Taking over: the stale file is moved aside first, so that of several processes
        // taking over at once only the one that moved exactly the stale file goes on.
        const std::string aside = m_path + "." + plat::HostName() + "." +
                                  std::to_string(plat::ProcessId()) + ".stale";
        if (!plat::RenameFile(m_path, aside)) continue;
        std::string moved;
        ReadText(aside, moved);
        if (moved != text) {
            // Another process took it over just now: its lock goes back.
            if (!plat::PathExists(m_path)) plat::RenameFile(aside, m_path);
            else plat::RemoveFile(aside);
            continue;
        }
        plat::RemoveFile(aside);
    }
    if (!m_held) {
        if (m_error.empty()) m_error = m_path + ": the lock file could not be taken";
        return false;
    }
    m_stop = false;
    m_refresher = std::thread([this] { RefreshLoop(); });
    return true;
}

bool CTavRepLockFile::Refresh() {
    std::string text;
    if (!ReadText(m_path, text)) return false;
    LockText mine = Parse(text);
    if (!mine.valid || mine.host != plat::HostName() || mine.pid != plat::ProcessId()) return false;
    auto file = plat::CFile::Open(m_path, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenExisting);
    return file && WriteText(*file, Content(plat::NowSeconds()));
}

void CTavRepLockFile::RefreshLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        if (m_wake.wait_for(lock, std::chrono::seconds(REFRESH_SECONDS), [this] { return m_stop; })) break;
        lock.unlock();
        Refresh();
        lock.lock();
    }
}

void CTavRepLockFile::Release() {
    if (!m_held) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_refresher.joinable()) m_refresher.join();
    std::string text;
    // Only our own lock is removed (a process that took it over owns it now).
    if (ReadText(m_path, text)) {
        LockText mine = Parse(text);
        if (mine.valid && mine.host == plat::HostName() && mine.pid == plat::ProcessId())
            plat::RemoveFile(m_path);
    }
    m_held = false;
}

std::string CTavRepositoryLock::FirstImageOf(const std::string& imagePath) {
    std::string first;
    CTavRepository::BuildImagePath(first, imagePath, TAV_NONE);
    return plat::AbsolutePath(first);
}

CTavRepositoryLock::CTavRepositoryLock(const std::string& imagePath)
    : m_first(FirstImageOf(imagePath)),
      m_runLock(new plat::CNamedLock(CTavEngine::GetRunLockName(m_first))),
      m_file(m_first) {}

CTavRepositoryLock::~CTavRepositoryLock() {
    Release();
    delete m_runLock;
}

bool CTavRepositoryLock::Acquire(uint32_t timeoutMs) {
    if (!m_runHeld) {
        if (!m_runLock->Acquire(timeoutMs)) {
            m_error = m_first + ": another backup run or forget is using the repository";
            return false;
        }
        m_runHeld = true;
    }
    if (!m_file.Acquire()) {
        m_error = m_file.Error();
        m_runLock->Release();
        m_runHeld = false;
        return false;
    }
    return true;
}

void CTavRepositoryLock::Release() {
    m_file.Release();
    if (m_runHeld) m_runLock->Release();
    m_runHeld = false;
}
