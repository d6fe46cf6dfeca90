// How tavctl shows stored items and baselines: local times, status words, backup types,
// format versions and the columns of a listing.
#pragma once
#include <cstdint>
#include <string>

#include "tavrep/TavTypes.h"

namespace tavctl {

// ISO 8601 in local time with the offset, "2024-05-07T10:12:40+02:00"; "-" for 0. Every
// time tavctl shows is written so.
std::string FormatLocalTime(int64_t unixSeconds);
constexpr size_t TIME_WIDTH = 25;  // the width of such a time
// A FILETIME (100 ns ticks since 1601) in local time; "-" for 0.
std::string FormatFileTime(const TavFileTime& time);
// "Added", "Updated", "Not Changed", "" for an unchanged folder, "Deleted".
std::string StatusText(const TavNodeRec& node);
// "Full", "Incremental" or "-" from the backup type bits of a command word.
std::string BackupTypeText(uint32_t type);
// "2.1", "2.0", or the number in hex for any other version.
std::string FormatVersionText(uint32_t version);
// Line breaks and tabs shown as spaces, other control characters as '?', so a stored
// name cannot break a listing or move the terminal's cursor.
std::string Printable(const std::string& text);

// One line of a listing; `name` is what the last column shows.
struct ListRow {
    char type = '-';  // 'd' folder, 'l' symbolic link, '-' anything else
    std::string size;
    std::string version;
    std::string status;
    std::string backupDate;
    std::string modified;
    std::string image;
    std::string name;
};

ListRow MakeListRow(const TavNodeRec& node, const std::string& name);
std::string ListHeader();
std::string FormatListRow(const ListRow& row);

}  // namespace tavctl
