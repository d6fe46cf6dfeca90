// The Files and Folders module's fixed texts: descriptor, job XML names, log lines, messages.
#pragma once
#include <string>

namespace filestext {

// The module descriptor that GetTavModInfo returns.
constexpr const char* MOD_INFO =
    "<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'>\t"
    "<module name='files' title='Files and Folders' version='1.0' root-id='flrt'>\t\t"
    "<create-engine-proc name='CreateEngineFiles'/>\t\t"
    "<create-jobroot-proc name='CreateFilesJobRoot'/>\t\t"
    "<data-exchange-proc name='DataExchange'/>\t\t"
    "<data-positions-proc name='ListFilesDataPositions'/>\t\t"
    "<job-control>\t\t\t"
    "<update-cmdui-proc name='UpdateCmdUI'/>\t\t\t"
    "<command-ui-proc id='1' title='Add File' name='OnAddFile'/>\t\t\t"
    "<command-ui-proc id='2' title='Add Folder' name='OnAddFolder'/>\t\t\t"
    "<command-ui-proc id='3' title='Remove' name='OnRemoveItem'/>\t\t\t"
    "<command-ui-proc id='0'/>\t\t\t"
    "<command-ui-proc id='4' title='File Filtering...' name='OnFileFiltering'/>\t\t\t"
    "<command-ui-proc id='5' title='Selection...' name='OnSelection'/>\t\t\t"
    "<event-dropfiles-proc name='OnEventFilesDrop'/>\t\t"
    "</job-control>\t"
    "</module></tavmodule>";

constexpr const char* MODULE_NAME = "files";

// The module root node of a baseline, and the job path that stands for it.
constexpr const char* ROOT_NODE_NAME = "Files and Folders";
constexpr const char* ROOT_PATH = ":root:";

// Entries of the module's backup node in a job.
constexpr const char* XML_FILE = "file";
constexpr const char* XML_EXCLUDED = "excluded";
constexpr const char* XML_PARTIAL = "partial";
constexpr const char* XML_FILTER = "filter";
constexpr const char* XML_FULLPATH = "fullpath";
constexpr const char* XML_RECURSIVE = "recursive";
constexpr const char* XML_INCLUDED = "included";
constexpr const char* XML_EXCLUDED_LIST = "excluded";
constexpr const char* XML_YES = "yes";
constexpr const char* XML_NO = "no";

// The editor's warning when a path is already covered by a source.
constexpr const char* WARN_ALREADY_IN_LIST = "\"%s\" already exists in file list";

// Progress title.
constexpr const char* PROGRESS_BACKUP_FILE = "Backup File";

// Run log of a backup.
constexpr const char* LOG_START_BACKUP =
    "Start Backup Files and Folders: %s\r\nOutput Image Path: %s\r\nBackup Type: %s\r\n"
    "Compression : %s\r\nEncryption: %s\r\n";
constexpr const char* LOG_YES = "Yes";
constexpr const char* LOG_NO = "No";
constexpr const char* LOG_AES_128 = "AES 128 bits";
constexpr const char* LOG_NONE = "None";
constexpr const char* LOG_FINISH_BACKUP =
    "Finish Backup Files and Folders: %s\r\n%ld Files Added\r\n%ld Files Updated\r\n"
    "%ld Files Skipped\r\n%ld Files Deleted\r\n%ld Items Error\r\n";
constexpr const char* LOG_BACKUP_CANCELLED = "\r\nBackup Cancelled\r\n";
constexpr const char* LOG_INVALID_PATH = "\r\n***** Invalid Path: %s\r\n";
constexpr const char* LOG_CANNOT_OPEN_FOLDER = "Cannot open folder: %s\r\n";
constexpr const char* LOG_CANNOT_OPEN_ITEM = "Cannot open file or folder: %s\r\n";
constexpr const char* LOG_REP_ERROR = "Error: file \"%s/%s\"\r\n%s\r\n";
constexpr const char* LOG_SPECIAL_FILE = "Skipped special file: %s\r\n";
constexpr const char* LOG_PATH_TOO_LONG =
    "\r\n***** Path too long to be stored (more than 259 bytes of UTF-8): %s\r\n";
constexpr const char* LOG_NAME_NOT_UTF8 = "\r\n***** File name is not valid UTF-8: %s\r\n";
constexpr const char* LOG_ITEM_ERROR = "***** %s: %s\r\n";
constexpr const char* LOG_REASON = "***** %s\r\n";
constexpr const char* LOG_SOURCE_EXCLUDED =
    "\r\n***** Source %s is in the excluded paths (the job's or the default list); it was not "
    "backed up.\r\n";
constexpr const char* LOG_BACKUP_FAILED = "\r\n***** Backup stopped by an error: %s\r\n";
constexpr const char* LOG_UNEXPECTED_LINE = "\r\n***** %s\r\n";
constexpr const char* LOG_NO_ROOT = "the module's root node cannot be stored";

// Progress title of a restore.
constexpr const char* PROGRESS_RESTORE_FILE = "Restore File";

// Run log of a restore.
constexpr const char* LOG_START_RESTORE = "Image Path: %s\r\nStart Restoring Files and Folders: %s\r\n";
constexpr const char* LOG_FINISH_RESTORE =
    "\r\nFinish Restoring Files and Folders: %s\r\n%ld Files Succeed\r\n%ld Files Overwritten\r\n"
    "%ld Files are already up to date\r\n%ld Items Error\r\n";
// Added to the finish text when files were kept that differ from the stored ones.
constexpr const char* LOG_FINISH_KEPT =
    "%ld Files kept the existing file; it differs: use --overwrite always\r\n";
// One line per file kept although it differs, in every run (not only verbose ones).
constexpr const char* LOG_KEPT_DIFFERS =
    "Kept \"%s\": kept the existing file; it differs: use --overwrite always\r\n";
// A dry run's line per file.
constexpr const char* LOG_DRY_WRITE = "Would write \"%s\"\r\n";
constexpr const char* LOG_DRY_REPLACE = "Would replace \"%s\"\r\n";
constexpr const char* LOG_DRY_UP_TO_DATE = "Would skip \"%s\": already up to date\r\n";
constexpr const char* LOG_RESTORE_CANCELLED = "\r\nRestore Cancelled";
constexpr const char* LOG_RESTORE_NODE_CANCELLED = "Restore Cancelled\r\n";
constexpr const char* LOG_CANNOT_CREATE_FOLDER = "\r\n***** Cannot create folder: %s\r\n";
constexpr const char* LOG_CANNOT_OPEN_DIRECTORY = "\r\n***** Cannot open directory: %s\r\n";
constexpr const char* LOG_RESTORING_FILE = "Restoring file \"%s\"";
constexpr const char* LOG_SKIPPED_UP_TO_DATE = ".....Skipped, file is up to date.\r\n";
constexpr const char* LOG_OVERWRITE = ".....Overwrite";
constexpr const char* LOG_SKIPPED_KEPT = ".....Skipped\r\n";
constexpr const char* LOG_OK = ".....OK\r\n";
constexpr const char* LOG_OPEN_ACCESS_DENIED =
    "\r\n***** Access denied. Cannot open file \"%s\" for writing\r\n";
constexpr const char* LOG_OPEN_UNKNOWN = "\r\n***** Unknown error. Cannot open file \"%s\" for writing\r\n";
constexpr const char* LOG_WRITE_ERROR = "\r\n***** Unknown error while writing file \"%s\"\r\n";
constexpr const char* LOG_CHECKSUM_ERROR = "\r\n***** Checksum error: \"%s\"\r\n";
// Stored data that cannot be restored safely or completely.
constexpr const char* LOG_BAD_STORED_NAME =
    "\r\n***** Invalid name in the backup, not restored: \"%s\" in \"%s\"\r\n";
constexpr const char* LOG_CONTENT_DAMAGED =
    "\r\n***** Stored content of file \"%s\" is damaged or incomplete: %s\r\n";
constexpr const char* LOG_RESTORE_FAILED = "\r\n***** Restore stopped by an error: %s\r\n";
constexpr const char* LOG_BAD_REQUEST = "\r\n***** The restore request cannot be read: %s\r\n";
constexpr const char* LOG_NO_BASELINE = "\r\n***** Baseline %lu cannot be loaded\r\n";
constexpr const char* LOG_OWNER_NOT_SET = "Owner of \"%s\" not set: %s\r\n";
constexpr const char* LOG_FOLDER_META_NOT_SET =
    "\r\n***** Cannot set the permissions or times of folder: %s\r\n";

// Reasons given with the texts above.
constexpr const char* WHY_NOT_STORED = "could not be stored";
constexpr const char* WHY_INVALID_PATH = "not a valid path";
constexpr const char* WHY_NOT_UTF8 = "the name is not valid UTF-8";
constexpr const char* WHY_TOO_LONG = "the path is longer than 259 bytes";
constexpr const char* WHY_SOURCE_EXCLUDED = "the source is in the excluded paths";
constexpr const char* WHY_NOT_LISTED = "the folder cannot be read";
constexpr const char* WHY_CHAIN_SHORT = "the stored chunks end before its size";
constexpr const char* WHY_CHAIN_LONG = "the stored chunks hold more than its size";
constexpr const char* WHY_CHAIN_ORDER = "the chain of stored chunks is broken";
constexpr const char* WHY_LINK_TEXT = "the stored link target is not valid";
constexpr const char* WHY_NO_RESTORE_ELEMENT = "no \"restore\" element";
constexpr const char* WHY_NO_BASELINE_NUMBER = "no baseline number";
constexpr const char* WHY_PERMISSION = "permission denied";

}  // namespace filestext
