// The backup run: job, repository, working baseline, transaction, each module's engine,
// then save and commit or roll back.
#include "JobRunner.h"

#include <ctime>
#include <exception>

#include "CmdHostText.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavModFactory.h"
#include "tavengine/TavRetention.h"
#include "tavengine/TavWords.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"
#include "platform/TextFormat.h"

namespace cmdhost {

namespace {

constexpr const char* MODULE_ATTRIBUTE = "module";
constexpr const char* TITLE_ATTRIBUTE = "title";
// Entries of a module's backup node that only narrow a selection; every other entry names
// something to back up (a file or folder, an identity).
constexpr const char* NARROWING_ENTRIES[] = {"excluded", "partial", "filter"};

bool NamesASource(const XMLNode& node) {
    for (int i = 0; i < node.GetChildCount(); ++i) {
        const std::string name = node.GetChild(i).GetName();
        bool narrowing = false;
        for (const char* entry : NARROWING_ENTRIES) narrowing = narrowing || name == entry;
        if (!narrowing) return true;
    }
    return false;
}

uint64_t FileSize(const std::string& path) {
    TavFindData data;
    return path.empty() || !plat::GetFindData(path, data) ? 0 : data.Size();
}

// The sizes of the images from `first` to the repository's current one.
uint64_t ImageBytes(CTavRepository& repository, uint32_t first) {
    const uint32_t last = repository.GetCurrentImageID();
    uint64_t total = 0;
    for (uint32_t id = first; first != TAV_NONE && last != TAV_NONE && id <= last; ++id)
        total += FileSize(repository.GetImagePath(id));
    return total;
}

std::string StartText(std::time_t start) {
    std::tm local{};
    if (const std::tm* t = std::localtime(&start)) local = *t;
    char buffer[128];
    const size_t length = std::strftime(buffer, sizeof(buffer), text::START_TEXT_FORMAT, &local);
    return std::string(buffer, length);
}

}  // namespace

// What one run holds; released in reverse order whatever way the run ends.
struct CJobRunner::CRun {
    CTavJobHelper job;
    CTavRepository* repository = nullptr;
    CTavRepBaselineDetails* baseline = nullptr;
    RunKind kind = RunKind::Scheduled;
    uint32_t command = 0;
    uint32_t firstImage = TAV_NONE;  // the image the run started writing into
    uint64_t firstImageSize = 0;     // its size before the run wrote anything
    bool cancelled = false;

    ~CRun() {
        if (baseline != nullptr) baseline->Dispose();
        CTavEngine::DisposeRep(repository);
    }
};

CJobRunner::CJobRunner(const CTavModFactory& hub, CRunnerView& view)
    : m_hub(hub), m_view(view), m_observer(view), m_errorCallback(view),
      m_title(text::WINDOW_TITLE_IDLE) {}

CJobRunner::~CJobRunner() = default;

void CJobRunner::End(uint64_t startMillis) {
    m_summary.elapsedMs = plat::NowMillis() - startMillis;
    m_summary.counters = m_observer.Counters();
    m_summary.itemErrors = m_observer.ItemErrors();
    m_view.OnRunEnded(m_summary);
}

void CJobRunner::Log(const std::string& text) { m_observer.TavWriteLog(text); }

void CJobRunner::Message(const char* text, MessageIcon icon) {
    if (m_view.IsVisible()) m_view.ShowMessage(text, icon);
}

const RunSummary& CJobRunner::RunJob(const std::string& jobPath, bool full, RunKind kind) {
    const uint64_t startMillis = plat::NowMillis();
    const std::time_t startTime = std::time(nullptr);
    m_summary = RunSummary{};
    m_summary.jobPath = jobPath;
    m_observer.Reset();
    m_observer.ClearStop();
    CRun run;
    run.kind = kind;

    // 1. The job.
    if (!run.job.Load(jobPath)) {
        m_summary.outcome = RunOutcome::JobNotLoaded;
        m_summary.problem = run.job.GetErrorText();
        End(startMillis);  // the view says why; nothing was backed up, so nothing "finished"
        return m_summary;
    }
    m_summary.jobPath = run.job.GetPath();

    // 2. The run's command word goes into the job (in memory) so that every engine reads it
    // from the job text; then the log, named by it.
    uint32_t command = run.job.GetBackupCommand();
    command = SetTavCmd(command, TAV_CMD_BACKUP);
    command = SetBkType(command, full ? TAV_BKTYPE_FULL : TAV_BKTYPE_INCREMENTAL);
    run.job.SetBackupCommand(command);
    run.command = command;
    m_summary.command = command;
    if (m_observer.TavInitLog(run.job)) {
        m_summary.logPath = m_observer.GetLogPath();
        if (kind == RunKind::Scheduled) Log(text::LOG_SCHEDULED_BANNER);
    } else {
        // The run goes on without a log; the terminal and the exit status still tell.
        m_view.ReportProblem(plat::Format(text::REASON_NO_LOG,
                                        CTavEngineObserver::GetLogFolder(run.job).c_str()));
    }

    // 3. The title by which other programs find this run.
    m_summary.imagePath = run.job.GetImagePathText();
    m_summary.repositoryPath = run.job.GetImagePath();
    m_title = plat::Format(text::WINDOW_TITLE_BACKUP, m_summary.imagePath.c_str());
    m_view.SetTitle(m_title);

    // 4-6. Repository, working baseline, transaction.
    if (!CheckJob(run) || !OpenRepository(run)) {
        End(startMillis);
        return m_summary;
    }

    // 7. The job record, then the event other programs may wait for.
    run.repository->SetRepErrorCallback(&m_errorCallback);
    HostJobRecord& record = m_observer.JobRecord();
    record.typeTitle = CutChars(GetBackupTypeName(command) + text::TYPE_TITLE_SUFFIX, TYPE_TITLE_CHARS);
    record.jobKind = text::JOB_KIND;
    record.imagePath = CutChars(m_summary.imagePath, IMAGE_PATH_CHARS);
    record.startText = CutChars(StartText(startTime), START_TEXT_CHARS);
    m_observer.SetRunState(RUN_STATE_PREPARED);
    m_view.FireEvent(m_title);

    // 8-9. The modules, then commit or roll back.
    const bool allSucceeded = RunModules(run);
    FinishTransaction(run, allSucceeded);
    run.repository->SetRepErrorCallback(nullptr);
    if (m_summary.Committed()) {
        const uint64_t bytes = ImageBytes(*run.repository, run.firstImage);
        m_summary.bytesStored = bytes > run.firstImageSize ? bytes - run.firstImageSize : 0;
    }

    // Release the baseline and the repository before saying the run is over.
    run.baseline->Dispose();
    run.baseline = nullptr;
    CTavEngine::DisposeRep(run.repository);
    run.repository = nullptr;
    // The job's keep policy, once the new baseline is safely in.
    if (m_summary.Committed()) {
        std::string retention;
        if (!ApplyJobKeepPolicy(run.job, &m_hub, retention)) m_summary.retentionFailed = true;
        if (!retention.empty()) Log(retention);
        m_summary.retention = retention;
    }
    End(startMillis);
    // Only a committed run is finished; the view has said why another one saved nothing.
    if (!IsStopRequested() && m_summary.Committed())
        Message(text::MSG_BACKUP_FINISHED, MessageIcon::Information);
    return m_summary;
}

bool CJobRunner::CheckJob(CRun& run) {
    std::string problem;
    bool anySource = false;
    int iterator = 0;
    for (XMLNode node = run.job.GetBackupNode(iterator); !node.IsEmpty() && problem.empty();
         node = run.job.GetBackupNode(iterator)) {
        const std::string name = node.GetAttribute(MODULE_ATTRIBUTE);
        const TavModDesc* module = m_hub.GetModDesc(name);
        if (module == nullptr || module->createEngine == nullptr) {
            // Its part would be missing from the new baseline, which later runs build on.
            Log(plat::Format(text::LOG_MODULE_MISSING, name.c_str()));
            problem = plat::Format(text::REASON_MODULE_MISSING, name.c_str());
        }
        anySource = anySource || NamesASource(node);
    }
    if (problem.empty() && !anySource) {
        Log(text::LOG_NOTHING_TO_BACK_UP);
        problem = text::REASON_NOTHING_TO_BACK_UP;
    }
    if (problem.empty()) return true;
    m_summary.outcome = RunOutcome::Refused;
    m_summary.problem = problem;
    return false;
}

bool CJobRunner::OpenRepository(CRun& run) {
    const std::string folder = plat::DirName(m_summary.repositoryPath);
    if (!m_summary.repositoryPath.empty() && !folder.empty() && !plat::IsDirectory(folder)) {
        FailToStart(run, plat::Format(text::REASON_NO_IMAGE_FOLDER, folder.c_str()), false);
        return false;
    }
    run.repository = CTavEngine::CreateRepForBackup(&run.job);
    if (run.repository == nullptr) {
        const std::string& reason = CTavEngine::GetRepError();
        FailToStart(run, reason.empty() ? text::REASON_NO_REPOSITORY : reason);
        return false;
    }
    for (const std::string& note : CTavEngine::GetRepNotes()) {
        Log(note + "\r\n");
        m_summary.cleanedUp.push_back(note);
    }
    run.firstImage = run.repository->GetCurrentImageID();
    run.firstImageSize = FileSize(run.repository->GetImagePath(run.firstImage));

    std::string reason = text::REASON_NO_BASELINE;
    try {
        run.baseline = run.repository->LoadBaseline(run.repository->GetLatestBaselineNumber());
    } catch (CTavException* e) {
        reason += ": " + TakeException(e);
        run.baseline = nullptr;
    }
    if (run.baseline == nullptr) {
        TavBaselineHeaderRec newest;
        if (run.repository->GetBaselineHeader(run.repository->GetLatestBaselineNumber(), newest)) {
            std::string image = run.repository->GetImagePath(newest.image);
            if (image.empty()) CTavRepository::BuildImagePath(image, run.repository->GetCurrentRepPath(), newest.image);
            reason += plat::Format(text::REASON_REPAIR_HINT, image.c_str(), run.job.GetImagePath().c_str());
        }
        // Without the latest baseline an incremental run has nothing to start from.
        Log(text::LOG_CANNOT_LOAD_IMAGE);
        Log(plat::Format(text::LOG_REASON, reason.c_str()));
        m_summary.outcome = RunOutcome::BaselineUnreadable;
        m_summary.problem = reason;
        Message(text::MSG_CANNOT_LOAD_IMAGE, MessageIcon::Exclamation);
        return false;
    }

    int began = 0;
    reason = text::REASON_NO_TRANSACTION;
    try {
        began = run.repository->BeginTrans(TAV_TRANS_TIMEOUT_MS);
    } catch (CTavException* e) {
        reason += ": " + TakeException(e);
    }
    if (!began) {
        run.baseline->Dispose();
        run.baseline = nullptr;
        FailToStart(run, reason);
        return false;
    }
    return true;
}

void CJobRunner::FailToStart(CRun&, const std::string& reason, bool accessDenied) {
    Log(accessDenied ? text::LOG_ACCESS_DENIED : text::LOG_CANNOT_START);
    Log(plat::Format(text::LOG_REASON, reason.c_str()));
    m_summary.outcome = RunOutcome::CannotStart;
    m_summary.problem = reason;
    if (accessDenied) Message(text::MSG_ACCESS_DENIED, MessageIcon::Exclamation);
}

bool CJobRunner::RunModules(CRun& run) {
    int iterator = 0;
    for (XMLNode node = run.job.GetBackupNode(iterator); !node.IsEmpty();
         node = run.job.GetBackupNode(iterator)) {
        const std::string name = node.GetAttribute(MODULE_ATTRIBUTE);
        if (IsStopRequested()) {
            // No engine is running to report the stop, so the log says it.
            Log(plat::Format(text::LOG_STOPPED, name.c_str()));
            run.cancelled = true;
            return false;
        }
        const TavModDesc* module = m_hub.GetModDesc(name);
        CTavEngine* engine =
            module != nullptr && module->createEngine != nullptr ? module->createEngine() : nullptr;
        if (engine == nullptr) {
            // The baseline would lack the module's part: nothing of the run is kept.
            Log(plat::Format(text::LOG_MODULE_NO_ENGINE, name.c_str()));
            m_summary.problem = plat::Format(text::REASON_MODULE_NO_ENGINE, name.c_str());
            return false;
        }
        const std::string jobText = run.job.GetXmlString();
        engine->SubscribeNotify(&m_observer);
        int32_t result = 0;
        std::string failure;
        try {
            result = engine->Backup(jobText, run.repository, run.baseline);
        } catch (...) {
            failure = TakeCurrentException();
        }
        const uint32_t state = engine->GetEngineState();
        engine->SubscribeNotify(nullptr);
        engine->Dispose();
        if (!failure.empty()) {
            Log(plat::Format(text::LOG_MODULE_EXCEPTION, name.c_str(), failure.c_str()));
            m_summary.problem = failure;
            return false;
        }
        if (result == 0 || state != TAV_ENGINE_FINISHED) {
            run.cancelled = state == TAV_ENGINE_CANCELLED || IsStopRequested();
            m_summary.problem = plat::Format(text::REASON_MODULE_FAILED, name.c_str());
            return false;
        }
    }
    return true;
}

void CJobRunner::FinishTransaction(CRun& run, bool allSucceeded) {
    if (allSucceeded) {
        const std::string title = run.job.GetJobDesc(TITLE_ATTRIBUTE);
        const char* description =
            run.kind == RunKind::Scheduled ? text::DESCRIPTION_SCHEDULED : text::DESCRIPTION_MANUAL;
        std::string reason;
        uint32_t number = TAV_NONE;
        try {
            number = run.repository->SaveBaseline(run.baseline, title.c_str(), description, run.command);
            if (number == TAV_NONE) reason = text::REASON_NOT_SAVED;
            else if (!run.repository->CommitTrans()) reason = text::REASON_COMMIT_FAILED;
        } catch (CTavException* e) {
            reason = TakeException(e);
        }
        if (reason.empty()) {
            m_summary.outcome = RunOutcome::Committed;
            m_summary.baseline = number;
            return;
        }
        // A baseline that is not safely written must not be left as the newest one.
        Log(plat::Format(text::LOG_SAVE_FAILED, reason.c_str()));
        m_summary.problem = reason;
    }
    try {
        run.repository->RollbackTrans();
    } catch (CTavException* e) {
        // DisposeRep undoes what is left of the transaction.
        TakeException(e);
    }
    if (run.cancelled) {
        m_summary.outcome = RunOutcome::Cancelled;
        m_summary.problem = text::REASON_STOPPED;
    } else {
        m_summary.outcome = RunOutcome::Failed;
    }
}

}  // namespace cmdhost
