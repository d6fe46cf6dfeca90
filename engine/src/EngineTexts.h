// The engine library's fixed texts: messages, log-file names and module-hub reports.
#pragma once

namespace engtext {

// XML documents.
constexpr const char* XML_DECLARATION = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* XML_PARSE_ERROR = "%s at byte %lld";
constexpr const char* XML_NO_ROOT = "no root element";
constexpr const char* XML_WRONG_ROOT = "the root element is <%s>, not <%s>";

// The run log, when the program's observer of an engine throws.
constexpr const char* LOG_OBSERVER_THREW =
    "\r\n***** The program's observer of the engine failed: %s\r\n";

// Job files.
constexpr const char* JOB_ROOT = "tavjob";
constexpr const char* JOB_EXTENSION_IMAGE = ".tvr";
constexpr const char* JOB_CANNOT_OPEN = "Cannot open job file \"%s\": %s.";
constexpr const char* JOB_TOO_LARGE = "Job file \"%s\" is too large to be a job (%llu bytes).";
constexpr const char* JOB_CANNOT_READ = "Cannot read job file \"%s\".";
constexpr const char* JOB_NOT_A_JOB = "\"%s\" is not a Tavora job: %s.";
constexpr const char* JOB_TEXT_NOT_A_JOB = "The job text is not a Tavora job: %s.";
constexpr const char* JOB_BAD_IMAGE_NAME =
    "Job file \"%s\" names the image \"%s\", which is not a file name (it holds '/' or is "
    "\"..\"); the images would be written outside the image folder.";
constexpr const char* JOB_NO_PATH = "The job has no file name to save to.";
constexpr const char* JOB_CANNOT_WRITE = "Cannot write job file \"%s\": %s.";
constexpr const char* SYS_NOT_FOUND = "no such file or folder";
constexpr const char* SYS_ACCESS_DENIED = "access denied";
constexpr const char* SYS_BUSY = "the file is in use";

// Backup type names (the command word's type field).
constexpr const char* TYPE_FULL = "Full";
constexpr const char* TYPE_INCREMENTAL = "Incremental";
constexpr const char* TYPE_UNKNOWN = "Unknown";

// Run logs: the folder beside the job and the file named by start time and command word.
constexpr const char* LOG_FOLDER = "%s.%08X.log";
constexpr const char* LOG_FILE = "%08X.%08X.log";
constexpr const char* LOG_FILE_AGAIN = "%08X.%08X-%u.log";  // a second run in the same second

// Repositories for backup runs.
constexpr const char* REP_NO_IMAGE_DESC = "The job names no image location or image name.";
constexpr const char* REP_FOLDER_MISSING = "The image folder \"%s\" does not exist.";
constexpr const char* REP_BUSY = "Another backup run is writing to \"%s\".";
constexpr const char* REP_CANNOT_CREATE = "Cannot create image file \"%s\".";
constexpr const char* REP_CANNOT_ATTACH = "\"%s\" is not a readable Tavora image file.";
constexpr const char* REP_ERROR = "Cannot open repository \"%s\": %s.";
constexpr const char* REP_FULL = "Repository \"%s\" has no room for another image file.";
constexpr const char* REP_STRAY_IMAGE =
    "\"%s\" is not part of the repository; move it away to go on with backups.";
constexpr const char* REP_NEEDS_NEWER =
    "Cannot back up into this repository: %s (\"%s\"). Run the backup with that version, or "
    "give the job a new image location.";
constexpr const char* REP_NEEDS_NEWER_AT = "Cannot back up into this repository: %s.";
constexpr const char* REP_CANNOT_START_IMAGE = "Cannot start image file \"%s\".";
// Run-log lines about the leftovers of backup runs that did not finish, removed at the start.
constexpr const char* REP_LEFTOVER_REMOVED =
    "Removed image file \"%s\": %llu bytes left by a backup run that did not finish.";
constexpr const char* REP_LEFTOVER_CUT =
    "Cut image file \"%s\" back to %llu bytes: %llu bytes left by a backup run that did not finish.";
constexpr const char* REP_DAMAGED_NEWEST =
    "The newest baselines of the repository are damaged: the baseline table in \"%s\" cannot "
    "be read. Run \"tavctl check --repair %s\" to set the damaged images aside; backups then go on "
    "from the newest intact baseline.";

// Module hub reports (on stderr).
constexpr const char* HUB_SKIPPED = "Tavora: module \"%s\" skipped: %s\n";
constexpr const char* HUB_WARNING = "Tavora: module \"%s\": %s\n";
constexpr const char* HUB_NO_INFO = "it has no GetTavModInfo export";
constexpr const char* HUB_NULL_INFO = "GetTavModInfo returned no descriptor";
constexpr const char* HUB_BAD_DESCRIPTOR = "its descriptor does not parse (%s)";
constexpr const char* HUB_NO_MODULE = "the descriptor has no <module> element";
constexpr const char* HUB_NO_NAME = "the descriptor's module has no name";
constexpr const char* HUB_BAD_ROOT_ID = "the root-id \"%s\" is not four letters";
constexpr const char* HUB_DUPLICATE = "a module named \"%s\" is already loaded from \"%s\"";
constexpr const char* HUB_MISSING_PROC = "procedure \"%s\" is not exported";
constexpr const char* HUB_LOAD_FAILED = "it cannot be loaded (%s)";
constexpr const char* HUB_TOO_MANY_COMMANDS = "too many commands; the rest are left out";

}  // namespace engtext
