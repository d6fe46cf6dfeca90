// Tests of the clocks and the FILETIME conversions.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Clock.h"

using namespace plat;

namespace {

constexpr uint64_t TICKS_1970 = 116444736000000000ULL;

TEST(CClockTest, FileTimesOfKnownDatesAndOutOfRangeTimesAndBackAndNowAgreesAcrossClocks) {
    EXPECT_EQ(FileTimeFromUnix(0, 0).Ticks(), TICKS_1970);
    EXPECT_EQ(FileTimeFromUnix(946684800, 0).Ticks(), 125911584000000000ULL);  // 2000-01-01
    EXPECT_EQ(FileTimeFromUnix(-11644473600, 0).Ticks(), 0u);                  // 1601-01-01
    EXPECT_EQ(FileTimeFromUnix(1, 999999999).Ticks(), TICKS_1970 + 19999999);  // 100 ns steps
    EXPECT_EQ(FileTimeFromUnix(0, 150).Ticks(), TICKS_1970 + 1);
    // Out of range: clamped.
    EXPECT_EQ(FileTimeFromUnix(-11644473601, 0).Ticks(), 0u);  // before 1601
    EXPECT_EQ(FileTimeFromUnix(INT64_MIN, 0).Ticks(), 0u);
    EXPECT_EQ(FileTimeFromUnix(INT64_MAX, 0).Ticks(), UINT64_MAX);
    EXPECT_EQ(FileTimeFromUnix(0, 2500000000u).Ticks(), TICKS_1970 + 25000000);
    TavFileTime ft = FileTimeFromUnix(0, 0);
    EXPECT_EQ(ft.high, 0x019DB1DEu);
    EXPECT_EQ(ft.low, 0xD53E8000u);

    // And back.
    int64_t seconds = -1;
    uint32_t nanos = 1;
    FileTimeToUnix(TavFileTime::FromTicks(TICKS_1970), seconds, nanos);
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(nanos, 0u);
    FileTimeToUnix(TavFileTime::FromTicks(0), seconds, nanos);
    EXPECT_EQ(seconds, -11644473600);
    FileTimeToUnix(TavFileTime::FromTicks(132000000001234567ULL), seconds, nanos);
    EXPECT_EQ(FileTimeFromUnix(seconds, nanos).Ticks(), 132000000001234567ULL);
    EXPECT_EQ(nanos, 123456700u);
    FileTimeToUnix(TavFileTime::FromTicks(UINT64_MAX), seconds, nanos);
    EXPECT_GT(seconds, 0);

    // The clocks agree on now.
    const uint32_t now = NowSeconds();
    uint64_t ticks = NowFileTime().Ticks();
    uint64_t expected = (uint64_t(now) + 11644473600ULL) * 10000000ULL;
    EXPECT_GE(ticks + 10000000ULL, expected);
    EXPECT_LT(ticks, expected + 30000000ULL);

    uint64_t start = NowMillis();
    SleepMillis(50);
    uint64_t elapsed = NowMillis() - start;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 2000u);
}

}  // namespace
