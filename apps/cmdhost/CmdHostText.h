// Fixed texts of the command host: command-line words, run-log lines, messages, titles.
#pragma once
#include <cstdint>

namespace cmdhost::text {

constexpr const char* PROGRAM = "TavCmdHost";

// The command line.
constexpr const char* TOKEN_JOB_BACKUP = "JOB_BACKUP";
constexpr const char* TOKEN_FULL = "FULL";
constexpr const char* TOKEN_SW_HIDE = "SW_HIDE";
constexpr const char* USAGE =
    "usage: TavCmdHost JOB_BACKUP JOB_FILE [FULL] [SW_HIDE]\n"
    "Runs one backup of the job file: full with FULL, else incremental. SW_HIDE runs\n"
    "without messages (progress is still shown when the output is a terminal).\n"
    "Exit status: 0 when the run saved a baseline, 1 when it did not, 2 for a wrong\n"
    "command line.\n";
constexpr const char* ERR_NO_JOB_PATH = "JOB_BACKUP needs the path of a job file";

// The run log.
constexpr const char* LOG_SCHEDULED_BANNER = "====SCHEDULED BACKUP====\r\n";
constexpr const char* LOG_ACCESS_DENIED = "\r\nAccess denied. Cannot start backup operation.\r\n";
constexpr const char* LOG_CANNOT_LOAD_IMAGE =
    "\r\nCannot load image file. The image file may be corrupt.\r\n";
// An error line with the reason behind one of the failures above.
constexpr const char* LOG_REASON = "***** %s\r\n";
constexpr const char* LOG_MODULE_MISSING =
    "***** Module \"%s\" is not installed; its part of the job was passed over.\r\n";
constexpr const char* LOG_MODULE_NO_ENGINE =
    "***** Module \"%s\" gave no engine; its part of the job was passed over.\r\n";
constexpr const char* LOG_MODULE_EXCEPTION = "\r\n***** Module \"%s\" stopped with an error: %s\r\n";
constexpr const char* LOG_SAVE_FAILED =
    "\r\n***** The baseline could not be saved (%s); nothing of this run was kept.\r\n";
constexpr const char* LOG_STOPPED = "\r\n***** The run was stopped before module \"%s\".\r\n";

// Messages (the host window's message boxes; lines on the terminal without a window).
constexpr const char* MSG_BACKUP_FINISHED = "Backup Finished.";
constexpr const char* MSG_ACCESS_DENIED = "Access denied. Cannot start backup operation.";
constexpr const char* MSG_CANNOT_LOAD_IMAGE = "Cannot load image file. The image file may be corrupt.";
constexpr const char* ASK_CHANGE_PATH =
    "Cannot find image path \"%s\".\nDo you want to browse for the path?";
constexpr const char* ASK_CHANGE_DISK =
    "Disk space for image path \"%s\" is full.\nDo you want to open new image path in another drive?";
constexpr const char* IMAGE_FILE_FILTER = "Tavora Archives (*.tvr)|*.tvr|All Files (*.*)|*.*||";
constexpr const char* IMAGE_FILE_EXTENSION = "tvr";

// Reasons shown on the terminal.
constexpr const char* REASON_NO_BASELINE = "the repository's latest baseline cannot be read";
constexpr const char* REASON_REPAIR_HINT =
    " (its node table is in \"%s\"); run \"tavctl check --repair %s\" to go on from the newest "
    "intact baseline";
constexpr const char* REASON_NO_TRANSACTION = "the repository's transaction cannot be opened";
constexpr const char* REASON_NO_REPOSITORY = "the repository cannot be created or opened";
constexpr const char* REASON_UNKNOWN_ERROR = "unknown error";
constexpr const char* REASON_COMMIT_FAILED = "the transaction could not be committed";
constexpr const char* REASON_NOT_SAVED = "the baseline table could not be written";
constexpr const char* REASON_STOPPED = "the run was stopped";
constexpr const char* REASON_MODULE_FAILED =
    "module \"%s\" did not finish its part of the job (see the run log)";
constexpr const char* REASON_MODULE_MISSING =
    "module \"%s\" is not installed; its part of the job was passed over";
constexpr const char* REASON_MODULE_NO_ENGINE =
    "module \"%s\" gave no engine; its part of the job was passed over";
constexpr const char* REASON_NO_LOG = "the run log cannot be written in \"%s\"";

// Titles and the job record.
constexpr const char* WINDOW_TITLE_IDLE = "Tavora Command Host";
constexpr const char* WINDOW_TITLE_BACKUP = "TavCmdHost Backup: %s";
constexpr const char* JOB_KIND = "TavJob";
constexpr const char* TYPE_TITLE_SUFFIX = " Backup";
constexpr const char* START_TEXT_FORMAT = "Started from: %Y/%m/%d %I:%M:%S %p.";  // strftime
// Baseline descriptions of the two kinds of run.
constexpr const char* DESCRIPTION_SCHEDULED = "Scheduled Backup";
constexpr const char* DESCRIPTION_MANUAL = "Manual Backup";

// Lines of the engines' closing logs that carry their counters ("12 Files Added").
constexpr const char* COUNTER_ADDED = "Files Added";
constexpr const char* COUNTER_UPDATED = "Files Updated";
constexpr const char* COUNTER_SKIPPED = "Files Skipped";
constexpr const char* COUNTER_DELETED = "Files Deleted";
constexpr const char* COUNTER_ERRORS = "Items Error";

// The terminal.
constexpr const char* MSG_STOPPING = "Stopping: the run is rolled back at the next item...";
constexpr const char* MSG_NOT_COMMITTED =
    "No baseline was saved; the repository is left as it was before the run.";
constexpr const char* MSG_SEE_LOG = "Run log: %s";
constexpr const char* ENV_COLUMNS = "COLUMNS";

// The module hub of the command host hands out command identifiers above this number.
constexpr uint32_t HUB_COMMAND_BASE = 60000;

}  // namespace cmdhost::text
