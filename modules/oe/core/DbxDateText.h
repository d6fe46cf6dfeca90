// The received time of a message as the viewer shows it ("%Y/%m/%d %I:%M %p").
#pragma once
#include <cstdint>
#include <string>

// Where a FILETIME is shown: the user's local time (the viewer), or UTC (tests, logs that
// must not depend on the machine).
enum class DbxTimeZone { Local, Utc };

// FILETIME ticks (100 ns since 1601-01-01 UTC) as "2002/04/14 12:27 AM"; the AM/PM marks
// are the C locale's. Empty when the time cannot be converted.
std::string FormatDbxDate(uint64_t fileTimeTicks, DbxTimeZone zone = DbxTimeZone::Local);
