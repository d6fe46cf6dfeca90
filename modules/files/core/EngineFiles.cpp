// CTavEngineFiles: life cycle, cancel, the repository's callbacks and the run-log texts.
#include <algorithm>
#include <ctime>

#include "core/EngineFilesItems.h"
#include "core/FilesTexts.h"
#include "core/PosixMeta.h"
#include "core/RestoreMeta.h"
#include "core/TavEngineFiles.h"
#include "platform/FileSystem.h"
#include "tavengine/TavWords.h"
#include "platform/TextFormat.h"

namespace {

using namespace filestext;

// The local time as the C library's asctime writes it (with its closing line feed).
std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    // The programs run one engine at a time on one thread; no other code of the process
    // calls localtime concurrently.
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return "\n";
    // asctime writes English names whatever the locale, as the run logs always had them.
    const char* text = std::asctime(local);
    return text != nullptr ? text : "\n";
}

}  // namespace

CTavEngineFiles::CTavEngineFiles() : m_progressTitle(PROGRESS_BACKUP_FILE) {}

CTavEngineFiles::~CTavEngineFiles() = default;

void CTavEngineFiles::CancelOperation() { m_cancel.store(1); }

int32_t CTavEngineFiles::ContinueChecksum() { return IsCancelled() ? 0 : 1; }

int32_t CTavEngineFiles::OnRepProgress(const char*, TavPosition, uint32_t percent) {
    if (HasWorkTotal() && m_currentSize != 0)
        SetWorkDone({m_done.files, m_done.bytes + m_currentSize * std::min<uint32_t>(percent, 100) / 100});
    FireOnProgress(m_progressTitle, m_currentPath, percent);  // never throws
    return IsCancelled() ? 0 : 1;
}

void CTavEngineFiles::OnRepError(const char* path, const char* message) try {
    // The repository names the file by the absolute path the walk gave it; the text splits
    // it into its folder and name.
    const std::string full = path != nullptr ? path : "";
    std::string folder;
    std::string name = full;
    if (!full.empty() && full[0] == '/') {
        folder = plat::DirName(full);
        if (folder == "/") folder.clear();
        name = plat::BaseName(full);
    } else {
        folder = plat::CurrentDirectory();
    }
    std::string text = message != nullptr ? message : "";
    FireOnLogNotify(plat::Format(LOG_REP_ERROR, folder.c_str(), name.c_str(), text.c_str()));
    if (text.rfind("***** ", 0) == 0) text.erase(0, 6);
    m_lastRepError = text;
} catch (...) {
    // Called from inside the repository: nothing may escape back into it.
    LogThrown(LOG_UNEXPECTED_LINE);
}

void CTavEngineFiles::ItemError(const std::string& path, const std::string& reason, bool logIt) {
    ++m_counts.errors;
    if (logIt) Log(plat::Format(LOG_ITEM_ERROR, path.c_str(), reason.c_str()));
    FireOnItemError(path, reason);
}

std::string CTavEngineFiles::StoreFailure() const {
    return m_lastRepError.empty() ? WHY_NOT_STORED : m_lastRepError;
}

std::string CTavEngineFiles::BuildStartBackupLog(uint32_t word) const {
    const std::string time = LocalTimeText();
    const std::string image = m_repository != nullptr ? m_repository->GetCurrentRepPath() : "";
    const std::string type = GetBackupTypeName(word);
    return plat::Format(LOG_START_BACKUP, time.c_str(), image.c_str(), type.c_str(),
                  EncodingCompresses(m_encoding) ? LOG_YES : LOG_NO,
                  EncodingEncrypts(m_encoding) ? LOG_AES_128 : LOG_NONE);
}

std::string CTavEngineFiles::BuildFinishBackupLog(const TavBkLogAccount& counts) {
    const std::string time = LocalTimeText();
    return plat::Format(LOG_FINISH_BACKUP, time.c_str(), long(counts.added), long(counts.updated),
                  long(counts.skipped), long(counts.deleted), long(counts.errors));
}

std::string CTavEngineFiles::BuildStartRestoreLog() const {
    const std::string time = LocalTimeText();
    const std::string image = m_repository != nullptr ? m_repository->GetCurrentRepPath() : "";
    return plat::Format(LOG_START_RESTORE, image.c_str(), time.c_str());
}

std::string CTavEngineFiles::BuildFinishRestoreLog(const TavRsLogAccount& counts) {
    const std::string time = LocalTimeText();
    // Files kept although they differ are not "already up to date".
    std::string text = plat::Format(LOG_FINISH_RESTORE, time.c_str(), long(counts.succeeded),
                              long(counts.overwritten), long(counts.upToDate - counts.kept),
                              long(counts.errors));
    if (counts.kept != 0) text += plat::Format(LOG_FINISH_KEPT, long(counts.kept));
    return text;
}
