// Fixed texts of the command host: command-line words, run-log lines, messages, titles.
#pragma once
#include <cstddef>
#include <cstdint>

namespace cmdhost::text {

constexpr const char* PROGRAM = "TavCmdHost";

// The command line.
constexpr const char* TOKEN_JOB_BACKUP = "JOB_BACKUP";
constexpr const char* TOKEN_FULL = "FULL";
constexpr const char* TOKEN_INC = "INC";
constexpr const char* TOKEN_SW_HIDE = "SW_HIDE";
constexpr const char* TOKEN_HELP = "--help";
constexpr const char* TOKEN_HELP_SHORT = "-h";
constexpr const char* USAGE =
    "usage: TavCmdHost JOB_BACKUP JOB_FILE [FULL|INC] [SW_HIDE]\n"
    "       TavCmdHost --help\n"
    "Runs one backup of the job file: full with FULL, else incremental. SW_HIDE runs\n"
    "without messages (progress is still shown when the output is a terminal; items in\n"
    "error and failures are always listed on stderr).\n"
    "Exit status: 0 the run committed a baseline and every item was stored; 3 it\n"
    "committed, but some items could not be stored (see the run log); 1 nothing was\n"
    "committed; 2 wrong command line. Other words are ignored with a warning.\n";
constexpr const char* ERR_NO_JOB_PATH = "JOB_BACKUP needs the path of a job file";
constexpr const char* WARN_UNKNOWN_TOKEN = "warning: ignored unknown word \"%s\" (see --help)";

// The run log.
constexpr const char* LOG_SCHEDULED_BANNER = "====SCHEDULED BACKUP====\r\n";
constexpr const char* LOG_ACCESS_DENIED = "\r\nAccess denied. Cannot start backup operation.\r\n";
constexpr const char* LOG_CANNOT_LOAD_IMAGE =
    "\r\nCannot load image file. The image file may be corrupt.\r\n";
// An error line with the reason behind one of the failures above.
constexpr const char* LOG_REASON = "***** %s\r\n";
constexpr const char* LOG_MODULE_MISSING =
    "\r\n***** Module \"%s\" of the job is not installed; the run is not started.\r\n";
constexpr const char* LOG_MODULE_NO_ENGINE =
    "\r\n***** Module \"%s\" gave no engine; nothing of this run was kept.\r\n";
constexpr const char* LOG_NOTHING_TO_BACK_UP =
    "\r\n***** Nothing to back up: the job names no file, folder or identity.\r\n";
constexpr const char* LOG_CANNOT_START = "\r\nCannot start backup operation.\r\n";
constexpr const char* LOG_MODULE_EXCEPTION = "\r\n***** Module \"%s\" stopped with an error: %s\r\n";
constexpr const char* LOG_SAVE_FAILED =
    "\r\n***** The baseline could not be saved (%s); nothing of this run was kept.\r\n";
constexpr const char* LOG_STOPPED = "\r\n***** The run was stopped before module \"%s\".\r\n";

// Messages (the host window's message boxes; lines on the terminal without a window).
constexpr const char* MSG_BACKUP_FINISHED = "Backup Finished.";
constexpr const char* MSG_BACKUP_FAILED =
    "Backup failed: %s.\nNo baseline was saved; the repository is left as it was before the run.";
constexpr const char* MSG_FINISHED_INCOMPLETE = "The backup was saved, but not everything in it:\n%s";
constexpr const char* MSG_KEEP_POLICY_FAILED = "The job's keep policy could not be applied in full.";
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
    "module \"%s\" of the job is not installed; nothing was backed up";
constexpr const char* REASON_MODULE_NO_ENGINE =
    "module \"%s\" gave no engine; nothing was backed up";
constexpr const char* REASON_NOTHING_TO_BACK_UP =
    "nothing to back up: the job names no file, folder or identity";
constexpr const char* REASON_NO_IMAGE_FOLDER =
    "the image folder %s does not exist (create it, or change the job's image location)";

constexpr const char* WARN_NOT_PUBLISHED =
    "warning: other programs cannot follow this run (%s)";
constexpr const char* REASON_NO_LOG = "the run log cannot be written in \"%s\"";

// The host window.
constexpr const char* ASK_STOP = "Do you want to stop operation?";
constexpr const char* WORKING_IDLE = "Working Job:";
constexpr const char* WORKING_PREFIX = "Working ";
constexpr const char* BUTTON_HIDE = "Hide";
constexpr const char* BUTTON_STOP = "Stop";
constexpr const char* TRAY_TIP = "Tavora";
constexpr const char* TRAY_OPEN = "Open";
constexpr const char* TRAY_STOP = "Stop";
constexpr const char* MENU_ABOUT = "&About TavCmdHost...";
constexpr const char* ABOUT_TITLE = "About TavCmdHost";
constexpr const char* ABOUT_TEXT = "TavCmdHost Version 1.0";

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
constexpr const char* MSG_ITEMS_IN_ERROR = "%llu item(s) could not be backed up:";
constexpr const char* MSG_ITEM_IN_ERROR = "  %s: %s";
constexpr const char* MSG_MORE_ITEMS = "  ... and %llu more (see the run log)";
constexpr size_t MAX_ITEMS_LISTED = 20;
constexpr const char* ENV_COLUMNS = "COLUMNS";
constexpr const char* ENV_NORMAL_PRIORITY = "TAVORA_NORMAL_PRIORITY";

// The module hub of the command host hands out command identifiers above this number.
constexpr uint32_t HUB_COMMAND_BASE = 60000;

}  // namespace cmdhost::text
