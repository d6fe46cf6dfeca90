// Texts of sizes, numbers and times as the suite's windows show them.
#pragma once
#include <cstdint>
#include <string>

#include "platform/FindData.h"

namespace tavui {

// A file size in the lists: up to 1024 bytes "%d Bytes", then "%0.2lf KB" up to 1 MiB,
// "%0.2lf MB" up to 1 GiB, else "%0.2lf GB". All 64 bits of the size count.
std::string SizeText(uint64_t size);
// A number with a "," before every group of three digits ("4,294,967,296").
std::string GroupedNumber(uint64_t value);
// Seconds since 1970 as local time in a strftime-like pattern of %Y %m %d %H %I %M %S %p.
std::string LocalTimeText(int64_t seconds, const char* pattern);
// A FILETIME (100 ns ticks since 1601) as local time; empty for 0.
std::string FileTimeText(const TavFileTime& time, const char* pattern);
int64_t FileTimeToUnix(const TavFileTime& time);

constexpr const char* LIST_TIME_FORMAT = "%Y/%m/%d %I:%M %p";
constexpr const char* DETAIL_TIME_FORMAT = "%Y/%m/%d %H:%M:%S";

}  // namespace tavui
