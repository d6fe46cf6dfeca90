// The Files and Folders module's fixed texts: descriptor, job XML names, log lines, messages.
#pragma once
#include <cstdio>
#include <string>

namespace filestext {

// The module descriptor that GetTavModInfo returns.
constexpr const char* MOD_INFO =
    "<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'>\t"
    "<module name='files' title='Files and Folders' version='1.0' root-id='flrt'>\t\t"
    "<create-engine-proc name='CreateEngineFiles'/>\t\t"
    "<create-jobroot-proc name='CreateFilesJobRoot'/>\t\t"
    "<data-exchange-proc name='DataExchange'/>\t\t"
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
constexpr const char* LOG_BACKUP_FAILED = "\r\n***** Backup stopped by an error: %s\r\n";
constexpr const char* LOG_UNEXPECTED = "unexpected failure";
constexpr const char* LOG_NO_ROOT = "the module's root node cannot be stored";

// Run log of a restore.
constexpr const char* LOG_RESTORE_UNAVAILABLE = "Restore is not available in this build.\r\n";

// printf-style formatting of the texts above into a string.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(static_cast<size_t>(n));
    return out;
}

}  // namespace filestext
