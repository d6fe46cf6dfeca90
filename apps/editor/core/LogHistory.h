// The run logs of a job as the HISTORY page shows them: the files "*.log" of the job's log
// folder, the time and command word their names carry, and purging the old ones.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace editor {

// "Full Backup", "Incremental Backup", "Unknown Backup Type", "Restore" or "Unknown Command".
std::string LogOperationText(uint32_t command);

struct LogEntry {
    std::string name;       // the file's name in the log folder
    uint32_t startSeconds;  // the run's start, seconds since 1970
    uint32_t command;       // the run's command word
};

// The time (characters 0-7) and the command word (characters 9-16) of a log file's name,
// each read as hexadecimal up to the first other character, as far as the name gives them.
LogEntry ReadLogFileName(const std::string& name);
// The log files of `folder`, newest first (by name, which starts with the start time).
// A missing folder gives none.
std::vector<LogEntry> ListLogFiles(const std::string& folder);
// The whole text of a log file; false when it cannot be read. At most `limit` bytes are
// read (a longer log is cut, with a line saying so).
bool ReadLogText(const std::string& path, std::string& text, uint64_t limit = 8u << 20);

// The purge choices of the "Purge Log Files..." button, in menu order.
enum class PurgeChoice { All, OlderThanWeek, OlderThanMonth, OlderThan3Months, OlderThan6Months, OlderThanYear };
struct PurgeChoiceInfo {
    PurgeChoice choice;
    int command;
    const char* menuText;
    const char* questionText;
};
extern const PurgeChoiceInfo PURGE_CHOICES[6];

// The cut-off of a choice from the local time `now`: now; a week (604800 seconds) earlier;
// or 1, 3, 6 or 12 calendar months earlier with the day and time of day kept, a day the
// earlier month lacks carried into the following month (31 March less a month is 3 March,
// or 2 March in a leap year).
std::time_t PurgeCutoff(PurgeChoice choice, std::time_t now);

struct PurgeResult {
    int deleted = 0;
    std::vector<std::string> failed;  // "name: why" of each log that could not be deleted
};
// Deletes every "*.log" file of `folder` last written before `cutoff` (one written exactly
// then stays). `remove` deletes one file (the platform's by default) and says why it could not.
using LogRemover = std::function<bool(const std::string& path, std::string& error)>;
PurgeResult PurgeLogFiles(const std::string& folder, std::time_t cutoff, const LogRemover& remove = {});

}  // namespace editor
