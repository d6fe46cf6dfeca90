// The Outlook Express module's fixed texts: settings-store names, job names, log lines.
#pragma once
#include <cstddef>

namespace oetext {

// --- the module descriptor (GetTavModInfo) ---
constexpr const char* MODULE_DESCRIPTOR =
    "<?xml version='1.0' encoding='UTF-8'?><tavmodule hubversion='1.0'>"
    "<module name='oe' title='Outlook Express' version='1.0' root-id='oert'>"
    "\t\t<create-engine-proc name='CreateEngineOe'/>"
    "\t\t<create-reproot-proc name='CreateOeRepRoot'/>"
    "\t\t<create-jobroot-proc name='CreateOeJobRoot'/>"
    "\t\t<data-exchange-proc name='DataExchange'/>"
    "\t\t<data-positions-proc name='ListOeDataPositions'/>"
    "\t\t<job-control>"
    "\t\t\t<update-cmdui-proc name='UpdateCmdUI'/>"
    "\t\t\t<command-ui-proc id='1' title='View Dbx Contents' name='OnViewDbxContents'/>"
    "\t\t</job-control>"
    "\t\t<rep-control>"
    "\t\t\t<update-cmdui-proc name='UpdateCmdUI'/>"
    "\t\t\t<command-ui-proc id='1' title='View Dbx Contents' name='OnViewDbxContents'/>"
    "\t\t</rep-control>"
    "\t</module></tavmodule>";
constexpr const char* MODULE_NAME = "oe";

// --- the settings store ---
constexpr const char* IDENTITIES_KEY = "Identities";
constexpr const char* USERNAME_VALUE = "Username";
constexpr const char* OE_SUBKEY = "\\Software\\Microsoft\\Outlook Express";
constexpr const char* STORE_ROOT_VALUE = "Store Root";
// Drive mappings for store folders written in Windows form ("C:" = "/path").
constexpr const char* DRIVES_KEY = "Software\\Norvik\\Tavora\\Drives";
// Variables that the environment does not hold are looked up here (as Windows keeps a
// user's variables).
constexpr const char* ENVIRONMENT_KEY = "Environment";
constexpr const char* WINEPREFIX_VARIABLE = "WINEPREFIX";
constexpr const char* WINE_DEFAULT_PREFIX = ".wine";
constexpr const char* WINE_DRIVE_C = "drive_c";
constexpr const char* WINE_DOSDEVICES = "dosdevices";

// --- stored tree and job model ---
constexpr const char* ROOT_NODE_NAME = "Outlook Express";
constexpr const char* MSGROOT_NODE_NAME = "<msgroot>";
constexpr const char* FOLDERS_FILE = "folders.dbx";
constexpr const char* FOLDERS_INFO_NAME = "Folders Information";
constexpr const char* DBX_PATTERN = "*.dbx";
constexpr const char* JOB_IDENTITY = "identity";
constexpr const char* JOB_UID = "uid";
constexpr const char* JOB_EXCLUDED = "excluded";
constexpr const char* JOB_PID = "pid";
constexpr const char* JOB_KEY = "key";
constexpr const char* JOB_DBXNAME = "dbxname";
constexpr const char* KEY_IDENTITY = ".";
constexpr const char* KEY_MESSAGES = ".Messages.";

// The four settings items of an identity, in backup order.
struct OeSettingsItem {
    const char* name;        // stored node name
    const char* jobKey;      // key of the job model
    const char* subKey;      // below the Outlook Express key
    const char* filePart;    // middle of the export file's name
    const char* backupLog;   // logged after a stored export
    const char* failureLog;  // logged when the export fails
};
constexpr OeSettingsItem SETTINGS_ITEMS[] = {
    {"Block Senders", ".Blocksenders.", "\\Block Senders", ".Blocksenders.",
     "Backup Block Senders\r\n", "\r\n***** Cannot export Block Senders.\r\n"},
    {"Preference", ".Preference.", "\\Mail", ".Preference.", "Backup Preference\r\n",
     "\r\n***** Cannot export Preference.\r\n"},
    {"Rules", ".Rules.", "\\Rules", ".Rules.", "Backup Rules\r\n",
     "\r\n***** Cannot export Rules.\r\n"},
    {"Signatures", ".Signatures.", "\\Signatures", ".Signatures.", "Backup Signatures\r\n",
     "\r\n***** Cannot export Signature.\r\n"},
};
constexpr size_t SETTINGS_ITEM_COUNT = sizeof(SETTINGS_ITEMS) / sizeof(SETTINGS_ITEMS[0]);
constexpr const char* EXPORT_EXTENSION = "reg";

// --- temporary files of a run ---
constexpr const char* TEMP_DIR_PREFIX = "~tavoe.%08X.";
constexpr const char* CHUNK_TABLE_FILE = "%s.%s.chktab";
constexpr const char* OLD_TABLE_FILE = "%s.%s.oldtab";

// --- progress ---
constexpr const char* PROGRESS_BACKUP = "Backup File";

// --- backup log ---
constexpr const char* LOG_START_BACKUP =
    "Start Backup Outlook Express: %s\r\nOutput Image Path: %s\r\nBackup Type: %s\r\n"
    "Compression : %s\r\nEncryption: %s\r\n";
constexpr const char* LOG_FINISH_BACKUP =
    "\r\nFinish Backup Outlook Express: %s\r\n%ld Files Added\r\n%ld Files Updated\r\n"
    "%ld Files Skipped\r\n%ld Files Deleted\r\n%ld Items Error\r\n";
constexpr const char* YES = "Yes";
constexpr const char* NO = "No";
constexpr const char* AES_128 = "AES 128 bits";
constexpr const char* NONE = "None";
constexpr const char* LOG_SKIP_IDENTITY = "\r\nSkip identity %s";
constexpr const char* LOG_BACKUP_IDENTITY = "\r\nBackup Identity %s";
constexpr const char* LOG_CANNOT_OPEN_IDENTITY = "\r\n***** Cannot open identity %s\r\n";
constexpr const char* LOG_ADD = "Add %s";
constexpr const char* LOG_UPDATE = "Update %s";
constexpr const char* LOG_OK = ".....OK\r\n";
constexpr const char* LOG_LINE_END = "\r\n";
constexpr const char* LOG_SHARING =
    "\r\n***** Access Denied. Make sure you've already closed Outlook Express Application.\r\n";
constexpr const char* LOG_NOT_FOUND = "\r\n***** File not found.\r\n";
constexpr const char* LOG_CANNOT_OPEN = "\r\n***** Cannot open file.\r\n";
constexpr const char* LOG_CANCELLED = "\r\nBackup Cancelled.";
constexpr const char* LOG_REP_ERROR = "Error: file \"%s\"\r\n%s\r\n";
// Failures the run reports beyond the texts above.
constexpr const char* LOG_READ_ERROR = "\r\n***** Error reading file.\r\n";
constexpr const char* LOG_NO_STORE_FOLDER =
    "\r\n***** Cannot find the message store folder of identity %s\r\n";
constexpr const char* LOG_CANNOT_LIST = "\r\n***** Cannot list the message store folder \"%s\"\r\n";
constexpr const char* LOG_FOLDERS_DAMAGED = "\r\n***** Cannot read \"%s\": %s\r\n";
constexpr const char* LOG_FOLDERS_UNOPENED = "\r\n***** Cannot open \"%s\"\r\n";
constexpr const char* LOG_NAME_TOO_LONG =
    "\r\n***** The name \"%s\" is too long to be stored.\r\n";
constexpr const char* LOG_TABLE_FILE = "\r\n***** Cannot write the temporary file \"%s\"\r\n";
constexpr const char* LOG_STORE_FAILED =
    "\r\n***** Cannot write to the repository. The backup is stopped.\r\n";
constexpr const char* LOG_REP_EXCEPTION = "\r\n***** %s\r\n";
constexpr const char* LOG_NOT_REGULAR =
    "\r\n***** \"%s\" is not a regular file (a symbolic link or another special file); it was "
    "not backed up, and its earlier backup is kept.\r\n";
constexpr const char* LOG_CHANGED =
    "\r\n***** \"%s\" changed while it was read; it was not backed up this time.\r\n";
constexpr const char* LOG_CHUNK_NOT_STORED = "\r\n***** \"%s\" was not backed up: %s\r\n";
// Reasons given to the run's list of items in error.
constexpr const char* WHY_NOT_REGULAR = "not a regular file (a symbolic link)";
constexpr const char* WHY_CHANGED = "changed while it was read";
constexpr const char* WHY_READ_ERROR = "read error (%s)";
constexpr const char* WHY_DISK_FULL = "disk full (%s)";
constexpr const char* WHY_WRITE_ERROR = "the image cannot be written (%s)";
constexpr const char* WHY_TABLE_FILE = "its temporary chunk table cannot be written";
constexpr const char* WHY_NO_STORE_FOLDER = "the message store folder of the identity cannot be found";
constexpr const char* WHY_CANNOT_LIST = "the message store folder \"%s\" cannot be read (%s)";
constexpr const char* WHY_NO_OE_KEY = "the identity's Outlook Express settings cannot be opened";
constexpr const char* WHY_NAME_TOO_LONG = "the identifier is too long to be stored";
constexpr const char* ITEM_IDENTITY = "identity %s";
constexpr const char* LOG_TEMP_DIR = "\r\n***** Cannot create the temporary folder \"%s\"\r\n";

// --- restore ---
constexpr const char* PROGRESS_RESTORE = "Restore File";
constexpr const char* REQUEST_ROOT = "tav-restore";
constexpr const char* REQUEST_RESTORE = "restore";
constexpr const char* REQUEST_EXCLUDED = "excluded";
constexpr const char* REQUEST_NODE = "node";
constexpr const char* REQUEST_ID = "id";
constexpr const char* REQUEST_COMMAND = "command";
constexpr const char* REQUEST_LOCATION = "location";
// Requests are written with "baseline"; "Baseline" is read too.
constexpr const char* REQUEST_BASELINE = "baseline";
constexpr const char* REQUEST_BASELINE_ALT = "Baseline";
// The identity mapping a request may carry for the in-place restore (the answer given in
// advance, e.g. by tavctl restore --map):
//   <tav-restore>...<identity-map><identity from="{A}" to="{B}"/></identity-map></tav-restore>
constexpr const char* REQUEST_IDENTITY_MAP = "identity-map";
constexpr const char* REQUEST_MAP_IDENTITY = "identity";
constexpr const char* REQUEST_MAP_FROM = "from";
constexpr const char* REQUEST_MAP_TO = "to";

constexpr const char* LOG_START_RESTORE =
    "Image Path: %s\r\nStart Restoring Outlook Express: %s\r\n";
constexpr const char* LOG_FINISH_RESTORE =
    "\r\nFinish Restoring Outlook Express: %s\r\n%ld Files Succeed\r\n%ld Files Overwritten\r\n"
    "%ld Files are already up to date\r\n%ld Items Error\r\n";
constexpr const char* LOG_RESTORE_CANCELLED = "\r\nRestore Cancelled";
constexpr const char* LOG_OPEN_IDENTITY = "Open identity %s\r\n";
constexpr const char* LOG_CANNOT_OPEN_IDENTITY_RESTORE =
    "***** Cannot open identity %s for restoring\r\n";
constexpr const char* LOG_RESTORING_FILE = "Restoring file \"%s\"";
constexpr const char* LOG_SKIPPED_UP_TO_DATE = ".....Skipped, file is up to date.\r\n";
constexpr const char* LOG_OVERWRITE = ".....Overwrite";
constexpr const char* LOG_ACCESS_DENIED_WRITE =
    "\r\n***** Access denied. Cannot open file \"%s\" for writing\r\n";
constexpr const char* LOG_UNKNOWN_OPEN_WRITE =
    "\r\n***** Unknown error. Cannot open file \"%s\" for writing\r\n";
constexpr const char* LOG_CHECKSUM_ERROR = "\r\n***** Checksum error: \"%s\"\r\n";
constexpr const char* LOG_WRITE_ERROR = "***** Unknown error while writing file \"%s\"\r\n";
constexpr const char* LOG_CANNOT_CREATE = "***** Cannot create \"%s\"";
constexpr const char* LOG_RESTORING_ITEM = "Restoring %s";
constexpr const char* LOG_CANNOT_RESTORE = "\r\n***** Cannot restore \"%s\"\r\n";
// Restore reports beyond the texts above.
// A dry run: what a restore would do, one line each, nothing written.
constexpr const char* LOG_DRY_WRITE = "Would write \"%s\"\r\n";
constexpr const char* LOG_DRY_REPLACE = "Would replace \"%s\"\r\n";
constexpr const char* LOG_DRY_UP_TO_DATE = "Would skip \"%s\": already up to date\r\n";
constexpr const char* LOG_DRY_IMPORT = "Would import \"%s\" into the settings of identity %s\r\n";
constexpr const char* LOG_RESTORE_TO_IDENTITY = "Restoring into identity %s\r\n";
constexpr const char* LOG_REASON = "***** %s\r\n";
constexpr const char* LOG_REFUSED_NAME =
    "\r\n***** The stored name \"%s\" is not a plain file name; it is not restored.\r\n";
constexpr const char* LOG_CANNOT_MAKE_FOLDER = "\r\n***** Cannot create folder: %s\r\n";
constexpr const char* LOG_NO_LOCATION =
    "\r\n***** Single items of Outlook Express are restored to a location only.\r\n";
constexpr const char* LOG_MAP_UNKNOWN_SOURCE =
    "\r\n***** The identity %s to map is not in the backup.\r\n";
constexpr const char* LOG_MAP_UNKNOWN_TARGET =
    "\r\n***** There is no identity %s on this machine to restore to.\r\n";
constexpr const char* LOG_MAP_UNASSIGNED = "***** No target identity for %s\r\n";
constexpr const char* REASON_SCOPE =
    "the stored settings name keys outside the identity's Outlook Express key";
constexpr const char* REASON_TOO_LARGE = "the stored settings file is too large";
constexpr const char* REASON_WRITE = "the settings file cannot be written";
constexpr const char* REASON_READ = "the stored settings cannot be read back";
constexpr const char* TEMP_RESTORE_PREFIX = "~tavoe.%08X.";
constexpr const char* TARGET_TEMP_FILE = ".~tavoe.%08X%04X.tmp";
constexpr const char* REG_SUFFIX = ".reg";

// --- identity mapping (CMapIdentityDlg, dialog 10005) ---
constexpr const char* MAP_TITLE = "Restoring Outlook Express - Identity Mapping";
constexpr const char* MAP_LABEL = "Map identity to restore";
constexpr const char* MAP_COLUMN_FROM = "Identities from backup";
constexpr const char* MAP_COLUMN_TO = "Identities to restore to";
constexpr int MAP_COLUMN_WIDTH = 200;
constexpr const char* MAP_FROM = "From";
constexpr const char* MAP_TO = "To";
constexpr const char* MAP_OK = "OK";
constexpr const char* MAP_CANCEL = "Cancel";
constexpr const char* MAP_ROW_SEPARATOR = " - ";
constexpr const char* MAP_INCOMPLETE = "You must specify all target identities to restore to.";

// asctime's names (the C locale's).
constexpr const char* WEEKDAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace oetext
