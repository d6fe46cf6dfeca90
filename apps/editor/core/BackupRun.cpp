#include "BackupRun.h"

#include <exception>

#include "tavengine/TavEngine.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavModFactory.h"
#include "tavengine/TavWords.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"

namespace editor {

namespace {

constexpr const char* MANUAL_BACKUP = "Manual Backup";

}  // namespace

CBackupRun::CBackupRun(const CTavModFactory& hub) : m_hub(hub) {}

CBackupRun::~CBackupRun() { Release(); }

bool CBackupRun::Prepare(CTavJobHelper& job, bool full, CTavRepErrorCallback* errorCallback) {
    m_stop.store(false);
    m_problem.clear();
    m_command = SetBkType(SetTavCmd(job.GetBackupCommand(), TAV_CMD_BACKUP),
                          full ? TAV_BKTYPE_FULL : TAV_BKTYPE_INCREMENTAL);
    // The engines read the run's command word from the job's text; the open job keeps its own.
    CTavJobHelper copy;
    if (!copy.LoadXml(job.GetXmlString())) {
        m_outcome = BackupOutcome::CannotStart;
        m_problem = copy.GetErrorText();
        return false;
    }
    copy.SetBackupCommand(m_command);
    m_jobText = copy.GetXmlString();
    m_title = job.GetJobDesc("title");
    m_modules.clear();
    int iterator = 0;
    for (XMLNode node = job.GetBackupNode(iterator); !node.IsEmpty(); node = job.GetBackupNode(iterator))
        m_modules.push_back(node.GetAttribute("module"));

    m_repository = CTavEngine::CreateRepForBackup(&job);
    if (m_repository == nullptr) {
        m_outcome = BackupOutcome::CannotStart;
        m_problem = CTavEngine::GetRepError();
        if (m_problem.empty()) m_problem = "the repository cannot be created or opened";
        return false;
    }
    try {
        m_details = m_repository->LoadBaseline(m_repository->GetLatestBaselineNumber());
        if (m_details == nullptr) m_problem = "the repository's latest baseline cannot be read";
    } catch (CTavException* e) {
        m_problem = TakeException(e);
    }
    if (m_details == nullptr) {
        m_outcome = BackupOutcome::BaselineUnreadable;
        Release();
        return false;
    }
    int began = 0;
    try {
        began = m_repository->BeginTrans(TAV_TRANS_TIMEOUT_MS);
    } catch (CTavException* e) {
        m_problem = TakeException(e);
    }
    if (!began) {
        m_outcome = BackupOutcome::CannotStart;
        if (m_problem.empty()) m_problem = "the repository's transaction cannot be opened";
        Release();
        return false;
    }
    m_repository->SetRepErrorCallback(errorCallback);
    return true;
}

void CBackupRun::Run(CTavEngineObserver& observer, const std::function<void(CTavEngine*)>& onEngine) {
    if (m_repository == nullptr || m_details == nullptr) return;
    Finish(RunModules(observer, onEngine));
}

bool CBackupRun::RunModules(CTavEngineObserver& observer, const std::function<void(CTavEngine*)>& onEngine) {
    for (const std::string& name : m_modules) {
        if (m_stop.load()) return false;
        const TavModDesc* module = m_hub.GetModDesc(name);
        CTavEngine* engine = module != nullptr && module->createEngine != nullptr ? module->createEngine() : nullptr;
        // A module that is not installed is passed over.
        if (engine == nullptr) continue;
        engine->SubscribeNotify(&observer);
        if (onEngine) onEngine(engine);
        {
            std::lock_guard<std::mutex> lock(m_engineLock);
            m_engine = engine;
        }
        // A stop asked for just before the engine was known still reaches it.
        if (m_stop.load()) engine->CancelOperation();
        int32_t result = 0;
        std::string failure;
        try {
            result = engine->Backup(m_jobText, m_repository, m_details);
        } catch (CTavException* e) {
            failure = TakeException(e);
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "unknown error";
        }
        {
            std::lock_guard<std::mutex> lock(m_engineLock);
            m_engine = nullptr;
        }
        const uint32_t state = engine->GetEngineState();
        engine->SubscribeNotify(nullptr);
        engine->Dispose();
        if (!failure.empty()) {
            m_problem = "module \"" + name + "\" stopped with an error: " + failure;
            return false;
        }
        if (result == 0 || state != TAV_ENGINE_FINISHED) {
            if (state == TAV_ENGINE_CANCELLED || m_stop.load()) m_stop.store(true);
            m_problem = "module \"" + name + "\" did not finish its part of the job (see the log)";
            return false;
        }
    }
    return true;
}

void CBackupRun::Finish(bool allSucceeded) {
    if (allSucceeded) {
        std::string reason;
        try {
            m_baseline = m_repository->SaveBaseline(m_details, m_title.c_str(), MANUAL_BACKUP, m_command);
            if (m_baseline == 0xFFFFFFFF) reason = "the baseline table could not be written";
            else if (!m_repository->CommitTrans()) reason = "the transaction could not be committed";
        } catch (CTavException* e) {
            reason = TakeException(e);
        }
        if (reason.empty()) {
            m_outcome = BackupOutcome::Committed;
            m_problem.clear();
            return;
        }
        m_baseline = 0xFFFFFFFF;
        m_problem = "the baseline could not be saved: " + reason;
    }
    try {
        m_repository->RollbackTrans();
    } catch (CTavException* e) {
        TakeException(e);  // DisposeRep undoes what is left of the transaction
    }
    if (m_stop.load()) {
        m_outcome = BackupOutcome::Cancelled;
        m_problem = "the run was stopped";
    } else {
        m_outcome = BackupOutcome::Failed;
    }
}

void CBackupRun::RequestStop() {
    m_stop.store(true);
    std::lock_guard<std::mutex> lock(m_engineLock);
    if (m_engine != nullptr) m_engine->CancelOperation();
}

void CBackupRun::Release() {
    if (m_repository != nullptr) m_repository->SetRepErrorCallback(nullptr);
    if (m_details != nullptr) m_details->Dispose();
    m_details = nullptr;
    CTavEngine::DisposeRep(m_repository);
    m_repository = nullptr;
}

}  // namespace editor

#include <cstdio>

#include "platform/FileSystem.h"

namespace editor {

void CountImageFiles(const CTavJobHelper& job, int& count, uint64_t& bytes) {
    count = 0;
    bytes = 0;
    const std::string first = job.FormatImagePath("");
    if (first.empty()) return;
    const std::string firstName = plat::BaseName(first);
    const std::string pattern = plat::BaseName(job.FormatImagePath("????"));
    std::vector<TavFindData> found;
    if (!plat::ListDirectory(plat::DirName(first), found)) return;
    for (const TavFindData& data : found) {
        if (data.kind != TavFileKind::Regular) continue;
        if (data.name != firstName && !CTavEngine::FileMatchFilters(data.name, pattern)) continue;
        ++count;
        bytes += data.Size();
    }
}

std::string ImageSizeText(uint64_t bytes) {
    static const char* const UNITS[] = {"Bytes", "KB", "MB", "GB"};
    double size = double(bytes);
    int unit = 0;
    while (size > 1024 && unit < 3) {
        size /= 1024;
        ++unit;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%0.2lf %s", size, UNITS[unit]);
    return text;
}

}  // namespace editor
