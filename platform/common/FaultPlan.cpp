// The process-wide fault plan: rules in installation order behind one mutex, and the
// counter that lets every platform call skip the plan while it is empty.
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include "FaultHooks.h"

namespace plat {

namespace fault {
std::atomic<int> g_ruleCount{0};
}  // namespace fault

namespace {

struct InstalledRule {
    int id;
    FaultRule rule;
    uint64_t used = 0;  // calls let through (Open, Sync, ...) or bytes written (Write)
    uint32_t hits = 0;
};

struct Plan {
    std::mutex mutex;
    std::vector<InstalledRule> rules;
    int nextId = 1;
    // Hits of removed rules stay readable until the next ClearFaults.
    std::vector<std::pair<int, uint32_t>> retired;
};

Plan& ThePlan() {
    static Plan plan;
    return plan;
}

int ErrnoOf(FaultError error) {
    switch (error) {
        case FaultError::DiskFull:
            return ENOSPC;
        case FaultError::AccessDenied:
            return EACCES;
        case FaultError::Io:
            break;
    }
    return EIO;
}

bool Spent(const InstalledRule& r) {
    return r.rule.times != FAULT_UNLIMITED && r.hits >= r.rule.times;
}

// The first live rule for `op` whose part is in `path`; null when none.
InstalledRule* Find(Plan& plan, FaultOp op, const std::string& path) {
    for (InstalledRule& r : plan.rules)
        if (r.rule.op == op && !Spent(r) && path.find(r.rule.pathPart) != std::string::npos)
            return &r;
    return nullptr;
}

}  // namespace

int AddFault(const FaultRule& rule) {
    Plan& plan = ThePlan();
    std::lock_guard<std::mutex> guard(plan.mutex);
    const int id = plan.nextId++;
    plan.rules.push_back({id, rule});
    fault::g_ruleCount.store(int(plan.rules.size()), std::memory_order_relaxed);
    return id;
}

void RemoveFault(int id) {
    Plan& plan = ThePlan();
    std::lock_guard<std::mutex> guard(plan.mutex);
    for (auto it = plan.rules.begin(); it != plan.rules.end(); ++it)
        if (it->id == id) {
            plan.retired.emplace_back(id, it->hits);
            plan.rules.erase(it);
            break;
        }
    fault::g_ruleCount.store(int(plan.rules.size()), std::memory_order_relaxed);
}

void ClearFaults() {
    Plan& plan = ThePlan();
    std::lock_guard<std::mutex> guard(plan.mutex);
    plan.rules.clear();
    plan.retired.clear();
    fault::g_ruleCount.store(0, std::memory_order_relaxed);
}

uint32_t FaultHits(int id) {
    Plan& plan = ThePlan();
    std::lock_guard<std::mutex> guard(plan.mutex);
    for (const InstalledRule& r : plan.rules)
        if (r.id == id) return r.hits;
    for (const auto& [retiredId, hits] : plan.retired)
        if (retiredId == id) return hits;
    return 0;
}

namespace fault {

int CallFailsSlow(FaultOp op, const std::string& path) {
    Plan& plan = ThePlan();
    std::lock_guard<std::mutex> guard(plan.mutex);
    InstalledRule* r = Find(plan, op, path);
    if (r == nullptr) return 0;
    if (r->used < r->rule.after) {
        ++r->used;
        return 0;
    }
    ++r->hits;
    return ErrnoOf(r->rule.error);
}

size_t ReadAllowanceSlow(const std::string& path, uint64_t offset, size_t count, int& error) {
    Plan& plan = ThePlan();
    std::lock_guard<std::mutex> guard(plan.mutex);
    InstalledRule* r = Find(plan, FaultOp::Read, path);
    if (r == nullptr || count == 0 || offset + count <= r->rule.after) return count;
    error = ErrnoOf(r->rule.error);
    if (offset < r->rule.after) return size_t(r->rule.after - offset);  // a short read first
    ++r->hits;
    return 0;
}

size_t WriteAllowanceSlow(const std::string& path, uint64_t offset, uint64_t size, size_t count,
                          int& error) {
    Plan& plan = ThePlan();
    std::lock_guard<std::mutex> guard(plan.mutex);
    InstalledRule* r = Find(plan, FaultOp::Write, path);
    if (r == nullptr || count == 0) return count;
    // A full volume still takes rewrites of bytes a file already has; only growth counts.
    // Any other error strikes every byte.
    const bool growthOnly = r->rule.error == FaultError::DiskFull;
    const uint64_t start = growthOnly ? std::max(offset, size) : offset;
    const uint64_t end = offset + count;
    const uint64_t counted = end > start ? end - start : 0;
    const uint64_t left = r->rule.after - std::min(r->used, r->rule.after);
    if (counted <= left) {
        r->used += counted;
        return count;
    }
    // What fits goes first as a short write; the call for the rest is the one that fails.
    r->used += left;
    error = ErrnoOf(r->rule.error);
    const size_t allowed = size_t(start - offset + left);
    if (allowed == 0) ++r->hits;
    return allowed;
}

}  // namespace fault
}  // namespace plat
