// CTavEngineObserver: default reactions and the run log beside the job.
#include "tavengine/TavEngineObserver.h"

#include "EngineTexts.h"
#include "TextUtil.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavengine/TavJobHelper.h"

namespace {

// A reader (the log history) holds the file shared for a moment; writing waits for it a
// little rather than losing the line.
constexpr int WRITE_ATTEMPTS = 50;
constexpr uint32_t WRITE_RETRY_MS = 20;
constexpr unsigned MAX_SAME_SECOND_RUNS = 1000;

bool ParseHex8(std::string_view text, uint32_t& out) {
    if (text.size() < 8) return false;
    uint32_t value = 0;
    for (size_t i = 0; i < 8; ++i) {
        const char c = text[i];
        int d = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                         : -1;
        if (d < 0) return false;
        value = value * 16 + uint32_t(d);
    }
    out = value;
    return true;
}

}  // namespace

CTavEngineObserver::CTavEngineObserver() = default;
CTavEngineObserver::~CTavEngineObserver() = default;

void CTavEngineObserver::OnTavEngineProgress(CTavEngine*, const std::string&, const std::string&,
                                             uint32_t) {}
void CTavEngineObserver::OnTavEngineStart(CTavEngine*) {}
void CTavEngineObserver::OnTavEngineFinish(CTavEngine*) { TavWriteLog(LogSeparator()); }
void CTavEngineObserver::OnTavEngineCancelled(CTavEngine*) {}
void CTavEngineObserver::OnTavEngineLogNotify(CTavEngine*, const std::string& text) {
    TavWriteLog(text);
}
void CTavEngineObserver::OnTavEngineItemError(CTavEngine*, const std::string&, const std::string&) {}
void CTavEngineObserver::Dispose() { delete this; }

std::string CTavEngineObserver::LogSeparator() { return "\r\n" + std::string(77, '-') + "\r\n"; }

std::string CTavEngineObserver::GetLogFolder(const CTavJobHelper& job) {
    if (job.GetPath().empty()) return {};
    return plat::Format(engtext::LOG_FOLDER, job.GetPath().c_str(), job.GetJobID());
}

int CTavEngineObserver::TavInitLog(const CTavJobHelper& job) {
    return TavInitLog(job, job.GetBackupCommand(), plat::NowSeconds());
}

int CTavEngineObserver::TavInitLog(const CTavJobHelper& job, uint32_t command,
                                   uint32_t startSeconds) {
    m_logPath.clear();
    const std::string folder = GetLogFolder(job);
    if (folder.empty() || !plat::CreateDirectories(folder)) return 0;
    for (unsigned attempt = 1; attempt <= MAX_SAME_SECOND_RUNS; ++attempt) {
        const std::string name =
            attempt == 1 ? plat::Format(engtext::LOG_FILE, startSeconds, command)
                         : plat::Format(engtext::LOG_FILE_AGAIN, startSeconds, command, attempt);
        const std::string path = plat::JoinPath(folder, name);
        uint32_t error = 0;
        auto file = plat::CFile::Open(path, plat::FileAccess::ReadWrite,
                                      plat::FileDisposition::CreateNew, &error);
        if (file) {
            m_logPath = path;
            return 1;
        }
        if (error != plat::ERR_FILE_EXISTS && error != plat::ERR_ALREADY_EXISTS) return 0;
    }
    return 0;
}

int CTavEngineObserver::TavWriteLog(std::string_view text) {
    if (m_logPath.empty()) return 0;
    if (text.empty()) return 1;
    for (int attempt = 0; attempt < WRITE_ATTEMPTS; ++attempt) {
        uint32_t error = 0;
        auto file = plat::CFile::Open(m_logPath, plat::FileAccess::ReadWrite,
                                      plat::FileDisposition::OpenAlways, &error);
        if (file) return (file->SeekEnd() >= 0 && file->Write(text.data(), text.size())) ? 1 : 0;
        if (error != plat::ERR_SHARING_VIOLATION) return 0;
        plat::SleepMillis(WRITE_RETRY_MS);
    }
    return 0;
}

bool CTavEngineObserver::ParseLogFileName(std::string_view name, uint32_t& startSeconds,
                                          uint32_t& command) {
    if (name.size() < 17) return false;
    return ParseHex8(name, startSeconds) && ParseHex8(name.substr(9), command);
}
