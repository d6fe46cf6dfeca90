// ApplyJobKeepPolicy: a job's keep policy, applied after its run committed.
#include "tavengine/TavImageSettings.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/TavRepLock.h"
#include "tavengine/TavRetention.h"
#include "tavrep/TavRepository.h"

namespace {
}  // namespace

bool ApplyJobKeepPolicy(const CTavJobHelper& job, const CTavModFactory* hub, std::string& log) {
    log.clear();
    TavKeepPolicy policy;
    std::string error;
    if (!ReadKeepPolicy(job, policy, error)) {
        log = "***** Keep policy not applied: " + error + "\r\n";
        return false;
    }
    if (policy.Empty()) return true;
    const std::string first = job.GetImagePath();
    CTavRepositoryLock lock(first);
    if (!lock.Acquire(TAV_RUN_LOCK_TIMEOUT_MS)) {
        log = "***** Keep policy not applied: " + lock.Error() + "\r\n";
        return false;
    }
    TavImageSecurity security{};
    FillImageSecurity(job.GetImageEncoding(), SplitSizeToImageLimit(job.GetImageDesc("splitsize")),
                      security);
    CTavRepository repository;
    TavForgetReport report;
    bool ok = false;
    try {
        if (!repository.Attach(lock.FirstImage(), &security)) {
            report.error = "cannot open " + lock.FirstImage();
        } else {
            ok = ApplyKeepPolicy(repository, policy, false, hub, report);
        }
        repository.ReleaseReadHandles();
        repository.Detach();
    } catch (CTavException* e) {
        report.error = e->Describe();
        e->Delete();
        ok = false;
    }
    if (!report.decisions.empty() && (ok || !report.forgotten.empty()))
        log = DescribeForget(report) + "\r\n";
    if (!ok) log += "***** Keep policy not applied in full: " + report.error + "\r\n";
    return ok;
}
