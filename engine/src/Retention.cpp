// ApplyKeepPolicy: forget by a keep policy, then give back what no kept baseline uses.
#include <cstdio>

#include "tavengine/TavRetention.h"
#include "tavrep/TavRepository.h"

namespace {

std::vector<uint32_t> AllNumbers(const CTavRepository& repository) {
    std::vector<uint32_t> numbers;
    if (const TavBaselineList* list = repository.GetBaselineList())
        for (const TavBaselineHeaderRec& h : list->items) numbers.push_back(h.number);
    return numbers;
}

bool RefuseDamaged(CTavRepository& repository, std::string& error) {
    if (repository.GetUnreadableTables().empty()) return false;
    const TavPosition p = repository.GetUnreadableTables().front();
    error = "the newest baseline table (image " + std::to_string(p.image) + ", offset " +
            std::to_string(p.offset) +
            ") cannot be read; nothing is forgotten or deleted until 'tavctl check' finds the "
            "repository sound";
    return true;
}

std::string Bytes(uint64_t n) {
    char text[32];
    if (n < 1024) std::snprintf(text, sizeof(text), "%llu bytes", static_cast<unsigned long long>(n));
    else if (n < 1024 * 1024) std::snprintf(text, sizeof(text), "%.1f KiB", double(n) / 1024);
    else if (n < 1024ull * 1024 * 1024) std::snprintf(text, sizeof(text), "%.1f MiB", double(n) / 1048576);
    else std::snprintf(text, sizeof(text), "%.2f GiB", double(n) / 1073741824.0);
    return text;
}

std::string IdList(const std::vector<TavReclaimResult::Image>& images) {
    std::string s;
    for (const auto& i : images) s += (s.empty() ? "" : ", ") + std::to_string(i.id);
    return s;
}

}  // namespace

bool ApplyKeepPolicy(CTavRepository& repository, const TavKeepPolicy& policy, bool dryRun,
                     const CTavModFactory* hub, TavForgetReport& report) {
    report = TavForgetReport();
    const TavBaselineList* list = repository.GetBaselineList();
    if (list == nullptr || list->items.empty()) {
        report.error = "no repository is open";
        return false;
    }
    if (RefuseDamaged(repository, report.error)) return false;
    report.decisions = SelectBaselines(list->items, policy);
    std::vector<uint32_t> keep;
    for (const TavKeepDecision& d : report.decisions) {
        if (policy.Empty() || d.keep)
            keep.push_back(d.number);
        else
            report.forgotten.push_back(d.number);
    }
    if (policy.Empty())
        for (TavKeepDecision& d : report.decisions) d.keep = true;

    // What the kept baselines use is known before anything changes: a table or chain that
    // cannot be read stops the forget with the repository untouched.
    CTavLiveSet live(repository);
    if (!MarkLiveData(repository, keep, hub, live, report.error)) return false;
    report.headersRead = live.HeadersRead();
    live.CloseFiles();

    if (dryRun) {
        live.AddBlock(repository.GetLatestBaselinePos());
        live.CloseFiles();
        report.liveBytes = live.LiveBytes();
        report.reclaim = FindUnusedImages(repository, live);
        return true;
    }
    if (!report.forgotten.empty() && !repository.ForgetBaselines(report.forgotten, report.error))
        return false;
    const TavPosition entry = repository.GetLatestBaselinePos();
    if (!live.AddBlock(entry)) {
        report.error = live.Error();
        return false;
    }
    live.CloseFiles();
    report.liveBytes = live.LiveBytes();
    report.reclaim = ReclaimUnusedImages(repository, live, entry);
    if (!report.reclaim.failed.empty()) {
        report.error = "could not delete image " + IdList(report.reclaim.failed) +
                       (report.reclaim.error.empty() ? "" : ": " + report.reclaim.error);
        return false;
    }
    return true;
}

bool FindUnusedSpace(CTavRepository& repository, const CTavModFactory* hub, TavReclaimResult& unused,
                     std::string& error) {
    unused = TavReclaimResult();
    if (RefuseDamaged(repository, error)) return false;
    CTavLiveSet live(repository);
    if (!MarkLiveData(repository, AllNumbers(repository), hub, live, error)) return false;
    live.AddBlock(repository.GetLatestBaselinePos());
    live.CloseFiles();
    unused = FindUnusedImages(repository, live);
    return true;
}

std::string DescribeForget(const TavForgetReport& report) {
    std::string text;
    if (report.forgotten.empty()) {
        text = "Forgot no baseline.";
    } else {
        text = report.forgotten.size() == 1 ? "Forgot baseline " : "Forgot baselines ";
        for (size_t i = 0; i < report.forgotten.size(); ++i)
            text += (i ? ", " : "") + std::to_string(report.forgotten[i]);
        text += ".";
    }
    const TavReclaimResult& r = report.reclaim;
    text += " Freed " + Bytes(r.Freed());
    if (!r.deleted.empty()) text += ": deleted image" + std::string(r.deleted.size() > 1 ? "s " : " ") + IdList(r.deleted);
    if (r.cutBytes > 0) text += std::string(r.deleted.empty() ? ": " : "; ") + "cut image 0 back by " + Bytes(r.cutBytes);
    text += ".";
    if (!r.busy.empty())
        text += " Image " + IdList(r.busy) +
                " is no longer used but another program holds it open; the next forget (or "
                "run of a job with a keep policy) deletes it.";
    return text;
}
