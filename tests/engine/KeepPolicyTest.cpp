// Keep rules over baselines in local time: two time zones, daylight-saving changes, and
// period boundaries where the local and the UTC calendar disagree.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "tavengine/TavKeepPolicy.h"
#include "tavengine/TavRetention.h"
#include "tavrep/TavTypes.h"

namespace {

// Central European and US Eastern time with their daylight-saving rules (no zone files needed).
constexpr const char* BERLIN = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* NEW_YORK = "EST5EDT,M3.2.0,M11.1.0";

// "YYYY-MM-DD HH:MM" in the process's local time.
uint32_t Local(const char* text) {
    std::tm tm{};
    EXPECT_NE(strptime(text, "%Y-%m-%d %H:%M", &tm), nullptr) << text;
    tm.tm_isdst = -1;
    return uint32_t(std::mktime(&tm));
}

struct KeepCase {
    const char* name;
    const char* tz;
    TavKeepPolicy policy;
    std::vector<const char*> times;  // baselines 1, 2, ... (baseline 0 comes first)
    std::string expected;            // per baseline 0, 1, ...: K kept, F forgotten
};

TavKeepPolicy Policy(uint32_t last, uint32_t daily, uint32_t weekly, uint32_t monthly,
                     uint32_t yearly, uint32_t within = 0) {
    return {last, daily, weekly, monthly, yearly, within};
}

const KeepCase CASES[] = {
    // 00:30 on the day summer time starts is still the 28th in UTC.
    {"DailyByLocalDateAcrossSpringForward", BERLIN, Policy(0, 2, 0, 0, 0),
     {"2026-03-28 20:00", "2026-03-29 00:30", "2026-03-29 23:30"}, "KKFK"},
    // Sunday 23:00 after summer time ends is Monday in UTC: it is the newest of its week here.
    {"WeeklyByLocalIsoWeekAcrossFallBack", NEW_YORK, Policy(0, 0, 2, 0, 0),
     {"2026-10-31 12:00", "2026-11-01 23:00", "2026-11-02 10:00"}, "KFKK"},
    // New Year's Eve 00:30 in Berlin is still December in UTC.
    {"MonthlyAndYearlyAtTheTurnOfTheYear", BERLIN, Policy(0, 0, 0, 2, 2),
     {"2026-11-15 12:00", "2026-12-20 12:00", "2027-01-01 00:30", "2027-01-10 12:00"}, "KFKFK"},
    {"TwoDaysHaveTwentyFiveHoursInFall", BERLIN, Policy(0, 3, 0, 0, 0),
     {"2026-10-24 23:59", "2026-10-25 00:01", "2026-10-25 23:59", "2026-10-26 00:01"}, "KKFKK"},
    {"LastKeepsTheNewestWhateverTheirDays", NEW_YORK, Policy(2, 0, 0, 0, 0),
     {"2026-01-01 10:00", "2026-01-01 11:00", "2026-01-01 12:00", "2026-01-01 13:00"}, "KFFKK"},
    // Rules overlap; nothing is kept twice and no period is counted twice.
    {"DailyAndWeeklyTogether", BERLIN, Policy(0, 2, 2, 0, 0),
     {"2026-06-01 09:00", "2026-06-05 09:00", "2026-06-08 09:00", "2026-06-09 09:00",
      "2026-06-09 18:00"},
     "KFKKFK"},
    {"WithinCountsFromTheNewest", NEW_YORK, Policy(0, 0, 0, 0, 0, 2 * 86400),
     {"2026-05-01 12:00", "2026-05-08 12:00", "2026-05-09 12:00", "2026-05-10 12:00"}, "KFKKK"},
    // Baseline 0 and the newest stay even when no rule asks for them.
    {"FirstAndNewestAlwaysStay", BERLIN, Policy(0, 0, 0, 0, 1),
     {"2025-05-01 12:00", "2026-05-01 12:00", "2026-06-01 12:00"}, "KFFK"},
};

class KeepPolicyTest : public ::testing::TestWithParam<KeepCase> {
protected:
    void TearDown() override { plat::SetEnv("TZ", "UTC"); }
};

TEST_P(KeepPolicyTest, KeepsTheExpectedBaselines) {
    const KeepCase& c = GetParam();
    ASSERT_TRUE(plat::SetEnv("TZ", c.tz));
    std::vector<TavBaselineHeaderRec> baselines(c.times.size() + 1);
    baselines[0].number = 0;
    baselines[0].time = Local("2020-01-01 00:00");
    for (size_t i = 0; i < c.times.size(); ++i) {
        baselines[i + 1].number = uint32_t(i + 1);
        baselines[i + 1].time = Local(c.times[i]);
    }
    const std::vector<TavKeepDecision> decisions = SelectBaselines(baselines, c.policy);
    ASSERT_EQ(decisions.size(), baselines.size());
    std::string got;
    for (const TavKeepDecision& d : decisions) {
        got += d.keep ? 'K' : 'F';
        EXPECT_EQ(d.keep, !d.reasons.empty()) << "baseline " << d.number;
    }
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(decisions.front().reasons, "first");
    EXPECT_EQ(decisions.back().reasons.rfind("newest", 0), 0u) << decisions.back().reasons;
}

INSTANTIATE_TEST_SUITE_P(Rules, KeepPolicyTest, ::testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeepTexts, DurationsReadTheirUnitsAndTheForgetReportNamesKiB) {
    const std::pair<const char*, uint32_t> good[] = {
        {"14d", 14u * 86400}, {"1y6m", 365u * 86400 + 180u * 86400}, {"36h", 36u * 3600}};
    uint32_t s = 0;
    for (const auto& [text, seconds] : good)
        EXPECT_TRUE(ParseKeepDuration(text, s) && s == seconds) << text << " gave " << s;
    for (const char* bad : {"", "d", "14", "14x", "-1d", "1.5d", "999999y"})
        EXPECT_FALSE(ParseKeepDuration(bad, s)) << bad;

    // The run log's line after a forget names the baselines and the space in binary units.
    TavForgetReport report;
    EXPECT_EQ(DescribeForget(report), "Forgot no baseline. Freed 0 bytes.");
    report.forgotten = {3, 4};
    report.reclaim.cutBytes = 1536;
    EXPECT_EQ(DescribeForget(report), "Forgot baselines 3, 4. Freed 1.5 KiB: cut image 0 back by 1.5 KiB.");
}

}  // namespace
