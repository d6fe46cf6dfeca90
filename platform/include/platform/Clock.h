// Time services: seconds since 1970 and FILETIME conversions.
#pragma once
#include <cstdint>

#include "platform/FindData.h"

namespace plat {

uint32_t NowSeconds();      // seconds since 1970-01-01 UTC, 32-bit
uint64_t NowMillis();       // monotonic milliseconds, for durations
TavFileTime NowFileTime();  // the current time as FILETIME
// 100 ns ticks since 1601 <-> seconds and nanoseconds since 1970.
TavFileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
void FileTimeToUnix(const TavFileTime& ft, int64_t& seconds, uint32_t& nanoseconds);
void SleepMillis(uint32_t ms);

}  // namespace plat
