// Keep-policy selection over a repository's baselines.
#include <algorithm>
#include <cctype>
#include <ctime>

#include "tavengine/TavJobHelper.h"
#include "tavengine/TavKeepPolicy.h"
#include "tavengine/XMLNode.h"
#include "tavrep/TavTypes.h"

namespace {

// The local calendar period of a time as text ("%Y-%m-%d", "%G-W%V", ...).
std::string Period(uint32_t seconds, const char* format) {
    std::time_t t = std::time_t(seconds);
    std::tm local{};
    // localtime follows TZ as the process has it now (the standard asks it to act as tzset).
    const std::tm* p = std::localtime(&t);
    if (p == nullptr) return std::to_string(seconds);
    local = *p;
    char text[32];
    if (std::strftime(text, sizeof(text), format, &local) == 0) return std::to_string(seconds);
    return text;
}

void AddReason(TavKeepDecision& d, const char* reason) {
    d.keep = true;
    if (!d.reasons.empty()) d.reasons += ", ";
    d.reasons += reason;
}

// Walks the candidates newest first; keeps the newest baseline of each of the first `count`
// periods met.
void KeepPerPeriod(std::vector<TavKeepDecision>& decisions, const std::vector<size_t>& newestFirst,
                   uint32_t count, const char* format, const char* reason) {
    std::string lastPeriod;
    bool any = false;
    uint32_t used = 0;
    for (size_t index : newestFirst) {
        if (used >= count) break;
        const std::string period = Period(decisions[index].time, format);
        if (any && period == lastPeriod) continue;
        any = true;
        lastPeriod = period;
        AddReason(decisions[index], reason);
        ++used;
    }
}

bool ReadCount(const XMLNode& keep, const char* name, uint32_t& out, std::string& error) {
    const std::string text = keep.GetAttribute(name);
    out = 0;
    if (text.empty()) return true;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 1000000) {
            error = std::string("keep ") + name + "=\"" + text + "\" is not a count";
            return false;
        }
        value = value * 10 + uint64_t(c - '0');
    }
    out = uint32_t(value);
    return true;
}

}  // namespace

std::vector<TavKeepDecision> SelectBaselines(const std::vector<TavBaselineHeaderRec>& baselines,
                                             const TavKeepPolicy& policy) {
    std::vector<TavKeepDecision> decisions(baselines.size());
    for (size_t i = 0; i < baselines.size(); ++i) {
        decisions[i].number = baselines[i].number;
        decisions[i].time = baselines[i].time;
    }
    if (decisions.empty()) return decisions;
    // The newest is the last listed (numbers only grow); the rules look at the others by
    // time, newest first, leaving out baseline 0, which holds nothing.
    std::vector<size_t> newestFirst;
    for (size_t i = decisions.size(); i-- > 0;)
        if (decisions[i].number != 0) newestFirst.push_back(i);
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [&](size_t a, size_t b) {
        return decisions[a].time > decisions[b].time;
    });
    for (TavKeepDecision& d : decisions)
        if (d.number == 0) AddReason(d, "first");
    AddReason(decisions.back(), "newest");

    for (size_t k = 0; k < newestFirst.size() && k < policy.last; ++k)
        AddReason(decisions[newestFirst[k]], "last");
    KeepPerPeriod(decisions, newestFirst, policy.daily, "%Y-%m-%d", "daily");
    KeepPerPeriod(decisions, newestFirst, policy.weekly, "%G-W%V", "weekly");
    KeepPerPeriod(decisions, newestFirst, policy.monthly, "%Y-%m", "monthly");
    KeepPerPeriod(decisions, newestFirst, policy.yearly, "%Y", "yearly");
    if (policy.withinSeconds > 0 && !newestFirst.empty()) {
        const uint64_t newest = decisions[newestFirst.front()].time;
        for (size_t index : newestFirst)
            if (uint64_t(decisions[index].time) + policy.withinSeconds >= newest)
                AddReason(decisions[index], "within");
    }
    return decisions;
}

bool ParseKeepDuration(const std::string& text, uint32_t& seconds) {
    uint64_t total = 0;
    size_t i = 0;
    if (text.empty()) return false;
    while (i < text.size()) {
        uint64_t n = 0;
        size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            n = n * 10 + uint64_t(text[i] - '0');
            if (n > 100000) return false;
            ++i;
            ++digits;
        }
        if (digits == 0 || i >= text.size()) return false;
        uint64_t unit = 0;
        switch (text[i]) {
        case 'y': unit = 365ull * 86400; break;
        case 'm': unit = 30ull * 86400; break;
        case 'w': unit = 7ull * 86400; break;
        case 'd': unit = 86400; break;
        case 'h': unit = 3600; break;
        default: return false;
        }
        ++i;
        total += n * unit;
        if (total > 0xFFFFFFFFull) return false;
    }
    seconds = uint32_t(total);
    return true;
}

bool ReadKeepPolicy(const CTavJobHelper& job, TavKeepPolicy& policy, std::string& error) {
    policy = TavKeepPolicy();
    XMLNode root = job.GetRoot();
    XMLNode keep = root ? root.GetChild("keep") : XMLNode();
    if (!keep) return true;
    if (!ReadCount(keep, "last", policy.last, error) ||
        !ReadCount(keep, "daily", policy.daily, error) ||
        !ReadCount(keep, "weekly", policy.weekly, error) ||
        !ReadCount(keep, "monthly", policy.monthly, error) ||
        !ReadCount(keep, "yearly", policy.yearly, error))
        return false;
    const std::string within = keep.GetAttribute("within");
    if (!within.empty() && !ParseKeepDuration(within, policy.withinSeconds)) {
        error = "keep within=\"" + within + "\" is not a duration such as 14d or 1y6m";
        return false;
    }
    return true;
}
