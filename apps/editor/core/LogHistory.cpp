#include "LogHistory.h"

#include <algorithm>
#include <cctype>

#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavengine/TavWords.h"

namespace editor {

const PurgeChoiceInfo PURGE_CHOICES[6] = {
    {PurgeChoice::All, 60001, "All Log Files", "all log files."},
    {PurgeChoice::OlderThanWeek, 60002, "Older Than 1 Week", "log files older than 1 week."},
    {PurgeChoice::OlderThanMonth, 60003, "Older Than 1 Month", "log files older than 1 month."},
    {PurgeChoice::OlderThan3Months, 60004, "Older Than 3 Months", "log files older than 3 months."},
    {PurgeChoice::OlderThan6Months, 60005, "Older Than 6 Months", "log files older than 6 months."},
    {PurgeChoice::OlderThanYear, 60006, "Older Than 1 Year", "log files older than 1 year."},
};

namespace {

constexpr std::time_t WEEK_SECONDS = 604800;

uint32_t LeadingHex(const std::string& text, size_t from) {
    uint32_t value = 0;
    for (size_t i = from; i < text.size() && i < from + 8; ++i) {
        const char c = char(std::tolower(static_cast<unsigned char>(text[i])));
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) break;
        value = (value << 4) | uint32_t(digit);
    }
    return value;
}

bool IsLogName(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".log";
}

bool RemoveWithPlatform(const std::string& path, std::string& error) {
    if (plat::RemoveFile(path)) return true;
    error = plat::ErrorText(plat::GetLastError());
    return false;
}

}  // namespace

std::string LogOperationText(uint32_t command) {
    const uint32_t kind = command & TAV_CMD_MASK;
    if (kind == TAV_CMD_BACKUP) {
        const uint32_t type = command & TAV_BKTYPE_MASK;
        if (type == TAV_BKTYPE_FULL) return "Full Backup";
        if (type == TAV_BKTYPE_INCREMENTAL || type == TAV_BKTYPE_INCREMENTAL_ALT) return "Incremental Backup";
        return "Unknown Backup Type";
    }
    if (kind == TAV_CMD_RESTORE) return "Restore";
    return "Unknown Command";
}

LogEntry ReadLogFileName(const std::string& name) {
    return {name, LeadingHex(name, 0), LeadingHex(name, 9)};
}

std::vector<LogEntry> ListLogFiles(const std::string& folder) {
    std::vector<LogEntry> entries;
    std::vector<TavFindData> found;
    if (folder.empty() || !plat::ListDirectory(folder, found)) return entries;
    for (const TavFindData& data : found)
        if (data.kind == TavFileKind::Regular && IsLogName(data.name)) entries.push_back(ReadLogFileName(data.name));
    std::sort(entries.begin(), entries.end(), [](const LogEntry& a, const LogEntry& b) { return a.name > b.name; });
    return entries;
}

bool ReadLogText(const std::string& path, std::string& text, uint64_t limit) {
    uint32_t error = 0;
    auto file = plat::CFile::Open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting, &error);
    if (!file) return false;
    const int64_t size = file->Size();
    if (size < 0) return false;
    const uint64_t wanted = std::min<uint64_t>(uint64_t(size), limit);
    text.assign(size_t(wanted), '\0');
    const int64_t got = file->ReadFull(text.data(), text.size());
    if (got < 0) return false;
    text.resize(size_t(got));
    if (uint64_t(size) > limit) text += "\r\n[... the log is longer; the rest is not shown ...]\r\n";
    return true;
}

std::time_t PurgeCutoff(PurgeChoice choice, std::time_t now) {
    if (choice == PurgeChoice::All) return now;
    if (choice == PurgeChoice::OlderThanWeek) return now - WEEK_SECONDS;
    std::tm local{};
    if (const std::tm* t = std::localtime(&now)) local = *t;
    const int months = choice == PurgeChoice::OlderThanMonth     ? 1
                       : choice == PurgeChoice::OlderThan3Months ? 3
                       : choice == PurgeChoice::OlderThan6Months ? 6
                                                                 : 12;
    local.tm_mon -= months;
    while (local.tm_mon < 0) {
        local.tm_mon += 12;
        local.tm_year -= 1;
    }
    // mktime carries a day the month lacks into the next month.
    local.tm_isdst = -1;
    return std::mktime(&local);
}

PurgeResult PurgeLogFiles(const std::string& folder, std::time_t cutoff, const LogRemover& remove) {
    PurgeResult result;
    std::vector<TavFindData> found;
    if (folder.empty() || !plat::ListDirectory(folder, found)) return result;
    std::vector<std::string> old;
    for (const TavFindData& data : found) {
        if (data.kind != TavFileKind::Regular || !IsLogName(data.name)) continue;
        int64_t seconds = 0;
        uint32_t nanoseconds = 0;
        plat::FileTimeToUnix(data.written, seconds, nanoseconds);
        if (seconds < int64_t(cutoff)) old.push_back(data.name);
    }
    std::sort(old.begin(), old.end());
    for (const std::string& name : old) {
        std::string error;
        const std::string path = plat::JoinPath(folder, name);
        if (remove ? remove(path, error) : RemoveWithPlatform(path, error))
            ++result.deleted;
        else
            result.failed.push_back(name + ": " + (error.empty() ? "cannot be deleted" : error));
    }
    return result;
}

}  // namespace editor
