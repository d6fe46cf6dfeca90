// CTavOeEngine: the run's frame (Backup), cancel, observers, log texts and clean-up.
#include "core/TavOeEngine.h"

#include <ctime>
#include <exception>
#include <vector>

#include "core/OeIdentities.h"
#include "core/OeTexts.h"
#include "core/TavJobOeHelper.h"
#include "platform/FileSystem.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavWords.h"
#include "tavrep/TavException.h"
#include "platform/TextFormat.h"

CTavOeEngine::CTavOeEngine() = default;

CTavOeEngine::~CTavOeEngine() {
    // An engine disposed in the middle of a run (after an exception of the caller) leaves
    // no temporary files behind.
    ClearBackup();
}

int32_t CTavOeEngine::Backup(const std::string& jobXml, CTavRepository* repository,
                             CTavRepBaselineDetails* baseline) {
    SetEngineState(TAV_ENGINE_RUNNING);
    CTavJobHelper job;
    if (repository == nullptr || baseline == nullptr || !job.LoadXml(jobXml)) {
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    m_command = SetTavCmd(job.GetBackupCommand(), TAV_CMD_BACKUP);
    m_encoding = job.GetImageEncoding();
    m_repository = repository;
    m_baseline = baseline;
    m_runFailed = false;
    m_jobHelper = std::make_unique<CTavJobOeHelper>(job.GetBackupNode(oetext::MODULE_NAME), &job);

    // Nothing thrown below may leave the engine: a repository exception ends the run as
    // failed, and the run's temporary files go with it.
    bool thrown = false;
    try {
        DoBackup();
    } catch (...) {
        thrown = true;
        LogThrown(oetext::LOG_REP_EXCEPTION);
    }
    if (thrown) ClearBackup();
    m_jobHelper.reset();
    m_repository = nullptr;
    m_baseline = nullptr;

    if (thrown || m_runFailed) {
        SetEngineState(TAV_ENGINE_FAILED);
        return 0;
    }
    if (m_cancel.load() != 0) {
        SetEngineState(TAV_ENGINE_CANCELLED);
        return 0;
    }
    SetEngineState(TAV_ENGINE_FINISHED);
    return 1;
}

void CTavOeEngine::CancelOperation() { m_cancel.store(1); }

int32_t CTavOeEngine::ContinueChecksum() { return m_cancel.load() != 0 ? 0 : 1; }

// The repository calls these two; nothing thrown here may reach it.
int32_t CTavOeEngine::OnRepProgress(const char* path, TavPosition, uint32_t percent) {
    try {
        FireOnProgress(oetext::PROGRESS_BACKUP, path != nullptr ? path : "", percent);
    } catch (...) {
        LogThrown(oetext::LOG_REP_EXCEPTION);
    }
    return m_cancel.load() != 0 ? 0 : 1;
}

void CTavOeEngine::OnRepError(const char* path, const char* message) {
    try {
        Log(plat::Format(oetext::LOG_REP_ERROR, path != nullptr ? path : "",
                     message != nullptr ? message : ""));
    } catch (...) {
        LogThrown(oetext::LOG_REP_EXCEPTION);
    }
}

// --- identities and settings ---

int CTavOeEngine::GetIdenName(const std::string& identifier, std::string& name) {
    return COeIdentities::GetIdenName(identifier, name);
}

int CTavOeEngine::OpenOeKey(const std::string& identifier, plat::CRegistry& key) {
    return COeIdentities::OpenOeKey(identifier, key);
}

int CTavOeEngine::GetOeDir(const std::string& identifier, std::string& directory) {
    return COeIdentities::GetOeDir(identifier, directory);
}

int CTavOeEngine::ExportReg(const std::string& file, const std::string& key) {
    return COeIdentities::ExportReg(file, key);
}

// --- texts ---

std::string CTavOeEngine::MakeNodeKey(const std::string& identifier, uint32_t tag,
                                      const std::string& name) {
    return plat::Format("%s.%08X.%s", identifier.c_str(), tag, OeLowerAscii(name).c_str());
}

std::string CTavOeEngine::LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return {};
    const int weekday = local->tm_wday >= 0 && local->tm_wday < 7 ? local->tm_wday : 0;
    const int month = local->tm_mon >= 0 && local->tm_mon < 12 ? local->tm_mon : 0;
    return plat::Format("%.3s %.3s%3d %.2d:%.2d:%.2d %d", oetext::WEEKDAYS[weekday],
                    oetext::MONTHS[month], local->tm_mday, local->tm_hour, local->tm_min,
                    local->tm_sec, 1900 + local->tm_year);
}

std::string CTavOeEngine::BuildStartBackupLog() const {
    const std::string time = LocalTimeText();
    const std::string path = m_repository != nullptr ? m_repository->GetCurrentRepPath() : "";
    const std::string type = GetBackupTypeName(m_command);
    return plat::Format(oetext::LOG_START_BACKUP, time.c_str(), path.c_str(), type.c_str(),
                    (m_encoding & TAV_ENC_LEVEL_MASK) != 0 ? oetext::YES : oetext::NO,
                    (m_encoding & TAV_ENC_CRYPT_MASK) == TAV_ENC_AES ? oetext::AES_128
                                                                      : oetext::NONE);
}

std::string CTavOeEngine::BuildFinishBackupLog() const {
    const std::string time = LocalTimeText();
    return plat::Format(oetext::LOG_FINISH_BACKUP, time.c_str(), long(m_account.added),
                    long(m_account.updated), long(m_account.skipped), long(m_account.deleted),
                    long(m_account.errors));
}

void CTavOeEngine::Log(const std::string& text) {
    if (text.empty()) return;
    FireOnLogNotify(text);
    m_atLineEnd = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

void CTavOeEngine::EndItemLine(bool stored) {
    if (stored) {
        Log(oetext::LOG_OK);
    } else if (!m_atLineEnd) {
        Log(oetext::LOG_LINE_END);
    }
}

void CTavOeEngine::ItemError(const std::string& item, const std::string& reason) {
    ++m_account.errors;
    FireOnItemError(item, reason);
}

void CTavOeEngine::KeepMessageNodes(const std::string& identifier) {
    for (auto it = m_existing.begin(); it != m_existing.end();) {
        const bool message = it->second.tag == OE_TAG_MESSAGE &&
                             OeEqualsNoCase(it->second.identifier, identifier);
        it = message ? m_existing.erase(it) : std::next(it);
    }
}

void CTavOeEngine::FailRun(const std::string& why) {
    if (!m_runFailed) Log(why);
    m_runFailed = true;
}

// --- clean-up ---

void CTavOeEngine::PrepareBackup() {
    ClearBackup();
    PrepareExistingList();
}

void CTavOeEngine::ClearBackup() {
    m_existing.clear();
    for (auto& entry : m_actual)
        if (!entry.second.tempPath.empty()) plat::RemoveFile(entry.second.tempPath);
    m_actual.clear();
    m_folders.clear();
    if (!m_tempDir.empty()) {
        // Only what the run made lives in its folder: chunk tables and settings exports.
        std::vector<TavFindData> entries;
        if (plat::ListDirectory(m_tempDir, entries))
            for (const TavFindData& entry : entries)
                plat::RemoveFile(plat::JoinPath(m_tempDir, entry.name));
        plat::RemoveDirectory(m_tempDir);
        m_tempDir.clear();
    }
}

std::string CTavOeEngine::TempFilePath(const char* format, const std::string& identifier,
                                       const std::string& fileName) const {
    return m_tempDir +
           plat::Format(format, OeFileNamePart(identifier, true).c_str(),
                    OeFileNamePart(fileName).c_str());
}
