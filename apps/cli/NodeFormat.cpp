// Formatting of items, times and baselines.
#include "NodeFormat.h"

#include <cstdio>
#include <ctime>

#include "BaselineView.h"
#include "CliText.h"
#include "platform/Clock.h"

namespace tavctl {

namespace {

constexpr uint32_t BACKUP_TYPE_MASK = 0xF000;
constexpr uint32_t BACKUP_TYPE_FULL = 0x1000;
constexpr uint32_t BACKUP_TYPE_INCREMENTAL = 0x2000;

std::string Pad(const std::string& s, size_t width, bool right) {
    if (s.size() >= width) return s;
    const std::string fill(width - s.size(), ' ');
    return right ? fill + s : s + fill;
}

std::string FormatSeconds(int64_t unixSeconds) {
    const std::time_t t = std::time_t(unixSeconds);
    const std::tm* local = std::localtime(&t);
    if (local == nullptr) return "-";
    char text[40];
    if (std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S%z", local) == 0) return "-";
    // ISO 8601 writes the offset as +hh:mm.
    std::string iso = text;
    if (iso.size() >= 5 && (iso[iso.size() - 5] == '+' || iso[iso.size() - 5] == '-'))
        iso.insert(iso.size() - 2, ":");
    return iso;
}

}  // namespace

std::string FormatLocalTime(int64_t unixSeconds) {
    return unixSeconds == 0 ? "-" : FormatSeconds(unixSeconds);
}

std::string FormatFileTime(const TavFileTime& time) {
    if (time.Ticks() == 0) return "-";
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
    plat::FileTimeToUnix(time, seconds, nanoseconds);
    return FormatSeconds(seconds);
}

std::string StatusText(const TavNodeRec& node) {
    if (node.flags & NODE_DELETED) return text::STATUS_DELETED;
    if (!(node.flags & NODE_UNCHANGED))
        return (node.flags & NODE_UPDATED) ? text::STATUS_UPDATED : text::STATUS_ADDED;
    return IsFolder(node) ? "" : text::STATUS_NOT_CHANGED;
}

std::string BackupTypeText(uint32_t type) {
    switch (type & BACKUP_TYPE_MASK) {
        case BACKUP_TYPE_FULL:
            return text::TYPE_FULL;
        case BACKUP_TYPE_INCREMENTAL:
            return text::TYPE_INCREMENTAL;
        default:
            return text::TYPE_NONE;
    }
}

std::string FormatVersionText(uint32_t version) {
    if (version == FORMAT_2_2) return "2.2";
    if (version == FORMAT_2_1) return "2.1";
    if (version == FORMAT_2_0) return "2.0";
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", version);
    return text;
}

std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return out;
}

ListRow MakeListRow(const TavNodeRec& node, const std::string& name) {
    ListRow row;
    const bool folder = IsFolder(node);
    row.type = folder ? 'd' : IsSymlink(node) ? 'l' : '-';
    row.size = folder ? "-" : std::to_string(node.Size());
    row.version = std::to_string(node.updateCount);
    row.status = StatusText(node);
    row.backupDate = FormatLocalTime(node.stamp);
    row.modified = FormatFileTime(node.written);
    row.image = folder || node.content.offset == 0 ? "-" : std::to_string(node.content.image);
    row.name = Printable(name);
    return row;
}

std::string ListHeader() {
    ListRow h;
    h.size = "SIZE";
    h.version = "VER";
    h.status = "STATUS";
    h.backupDate = "BACKUP DATE";
    h.modified = "MODIFIED";
    h.image = "IMAGE";
    h.name = "NAME";
    std::string line = FormatListRow(h);
    line[0] = 'T';  // the type column's heading
    return line;
}

std::string FormatListRow(const ListRow& row) {
    std::string line(1, row.type);
    line += "  " + Pad(row.size, 12, true);
    line += "  " + Pad(row.version, 4, true);
    line += "  " + Pad(row.status, 11, false);
    line += "  " + Pad(row.backupDate, TIME_WIDTH, false);
    line += "  " + Pad(row.modified, TIME_WIDTH, false);
    line += "  " + Pad(row.image, 5, true);
    line += "  " + row.name;
    return line;
}

}  // namespace tavctl
