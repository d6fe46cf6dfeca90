// Clocks and FILETIME conversions on POSIX.
#include "platform/Clock.h"

#include <time.h>

#include <cerrno>
#include <limits>

namespace plat {

namespace {

// Seconds from 1601-01-01 to 1970-01-01, and FILETIME ticks per second.
constexpr int64_t EPOCH_DIFFERENCE_SECONDS = 11644473600;
constexpr uint64_t TICKS_PER_SECOND = 10000000;
constexpr uint32_t NANOS_PER_SECOND = 1000000000;

}  // namespace

uint32_t NowSeconds() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return uint32_t(ts.tv_sec);
}

uint64_t NowMillis() {
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

TavFileTime NowFileTime() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return FileTimeFromUnix(ts.tv_sec, uint32_t(ts.tv_nsec));
}

TavFileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    // Fold whole seconds out of an over-long nanosecond count.
    if (nanoseconds >= NANOS_PER_SECOND) {
        int64_t extra = nanoseconds / NANOS_PER_SECOND;
        nanoseconds %= NANOS_PER_SECOND;
        if (seconds > std::numeric_limits<int64_t>::max() - extra)
            return TavFileTime::FromTicks(std::numeric_limits<uint64_t>::max());
        seconds += extra;
    }
    // FILETIME cannot hold times before 1601; they clamp to its first tick.
    if (seconds < -EPOCH_DIFFERENCE_SECONDS) return TavFileTime::FromTicks(0);
    // Unsigned, so the sum cannot overflow for the latest times an int64_t holds.
    uint64_t since1601 = uint64_t(seconds) + uint64_t(EPOCH_DIFFERENCE_SECONDS);
    constexpr uint64_t MAX_SECONDS = std::numeric_limits<uint64_t>::max() / TICKS_PER_SECOND;
    if (since1601 >= MAX_SECONDS)
        return TavFileTime::FromTicks(std::numeric_limits<uint64_t>::max());
    return TavFileTime::FromTicks(since1601 * TICKS_PER_SECOND + nanoseconds / 100);
}

void FileTimeToUnix(const TavFileTime& ft, int64_t& seconds, uint32_t& nanoseconds) {
    uint64_t ticks = ft.Ticks();
    seconds = int64_t(ticks / TICKS_PER_SECOND) - EPOCH_DIFFERENCE_SECONDS;
    nanoseconds = uint32_t(ticks % TICKS_PER_SECOND) * 100;
}

void SleepMillis(uint32_t ms) {
    struct timespec left;
    left.tv_sec = ms / 1000;
    left.tv_nsec = long(ms % 1000) * 1000000;
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace plat
