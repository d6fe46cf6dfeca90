// Keep policies: which baselines of a repository stay when older ones are forgotten.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tavengine/TavEngineExport.h"

class CTavJobHelper;
struct TavBaselineHeaderRec;

// How many baselines each rule keeps. A rule of 0 keeps nothing by itself.
struct TAVENGINE_API TavKeepPolicy {
    uint32_t last = 0;     // the newest N baselines
    uint32_t daily = 0;    // the newest baseline of each of the last N days that have one
    uint32_t weekly = 0;   // ... of each ISO week (Monday to Sunday)
    uint32_t monthly = 0;  // ... of each calendar month
    uint32_t yearly = 0;   // ... of each calendar year
    uint32_t withinSeconds = 0;  // every baseline this close to the newest one
    bool Empty() const {
        return last == 0 && daily == 0 && weekly == 0 && monthly == 0 && yearly == 0 &&
               withinSeconds == 0;
    }
};

// What the policy decided for one baseline; `reasons` names every rule that kept it
// ("first", "newest", "last", "daily", "weekly", "monthly", "yearly", "within"), joined
// by ", "; empty for a baseline that is forgotten.
struct TAVENGINE_API TavKeepDecision {
    uint32_t number = 0;
    uint32_t time = 0;
    bool keep = false;
    std::string reasons;
};

// Applies the policy to the baselines (in the repository's order, oldest first); the result
// has one decision per baseline in the same order. Days, weeks, months and years are those
// of local time (the TZ of the process). Baseline 0 (made with the repository) and the newest
// baseline are always kept and fill no period of the rules.
TAVENGINE_API std::vector<TavKeepDecision> SelectBaselines(
    const std::vector<TavBaselineHeaderRec>& baselines, const TavKeepPolicy& policy);

// Reads a duration: one or more runs of a number and a unit, "y" (365 days), "m" (30 days),
// "w", "d", "h" ("1y6m", "14d", "36h"). False for anything else or a total above 136 years.
TAVENGINE_API bool ParseKeepDuration(const std::string& text, uint32_t& seconds);

// The job's keep policy: the element "keep" with the attributes "last", "daily", "weekly",
// "monthly", "yearly" (numbers) and "within" (a duration). False (with `error` naming the
// attribute) for a value that cannot be read; true with an empty policy when the job has no
// such element.
TAVENGINE_API bool ReadKeepPolicy(const CTavJobHelper& job, TavKeepPolicy& policy,
                                  std::string& error);
