// The browser's own texts, ids and settings names.
#pragma once
#include <cstdint>

namespace browsertext {

constexpr const char* APP_TITLE = "TvrBrowser";
constexpr const char* TITLE_WITH_PATH = "TvrBrowser - %s";
constexpr const char* BASELINE_ENTRY = "Baseline %ld - %s";
constexpr const char* OPEN_FILTER = "Tavora Archives (*.tvr)|*.tvr|All Files (*.*)|*.*||";
constexpr const char* OPEN_EXTENSION = "tvr";
constexpr const char* INVALID_FILES = "Invalid TVR files.";
constexpr const char* ACCESS_DENIED = "Access denied. Invalid password.";
constexpr const char* HELP_MISSING = "Help file is not available.";
constexpr const char* MAIN_CHANGE_PATH =
    "Cannot find image file for the selected Baseline.\nDo you want to browse for the image file?";
constexpr const char* DLG_CHANGE_PATH = "Cannot find image path \"%s\".\nDo you want to browse for the path?";
constexpr const char* DLG_CHANGE_DISK =
    "Disk space for image path \"%s\" is full.\nDo you want to open new image path in another drive?";
constexpr const char* OPENED_WITH_DAMAGE = "%s was opened, but:";
constexpr const char* OPT_OPENDLG = "/OPENDLG";
constexpr const char* OPT_RESTOREDLG = "/RESTOREDLG";

// Columns of the stored items.
constexpr const char* STATUS_ADDED = "Added";
constexpr const char* STATUS_UPDATED = "Updated";
constexpr const char* STATUS_UNCHANGED = "Not Changed";

// Restore and extract.
constexpr const char* STOP_QUESTION = "Do you want to stop restoring?";
constexpr const char* START_QUESTION = "Start restore now?";
constexpr const char* CANCELLED_BY_USER = "Operation cancelled by user.";
constexpr const char* RESTORING_FROM = "Restoring from baseline %d";
constexpr const char* SELECT_BASELINE = "Select Baseline to be restored";
constexpr const char* STARTING_RESTORE = "Starting Restore...";
constexpr const char* STARTING_EXTRACT = "Starting Extract...";
constexpr const char* SUMMARY_TITLE = "Restoration Summary";
constexpr const char* BROWSE_TITLE = "Select location for backup image.";
constexpr const char* NO_MODULE_LINE =
    "***** \"%s\" cannot be restored: its module (%s) is not installed.\r\n";
constexpr const char* NO_ENGINE_LINE =
    "***** \"%s\" cannot be restored: its module (%s) gives no engine.\r\n";
constexpr const char* ENGINE_THREW_LINE = "***** The restore of \"%s\" stopped: %s\r\n";

// Password and log window.
constexpr const char* INVALID_PASSWORD = "Invalid password.";
constexpr const char* PASSWORD_MISMATCH = "The password don't match.";
constexpr const char* PASSWORD_CHANGED = "The password has been changed.";
constexpr const char* PASSWORD_NOT_CHANGED = "The password cannot be changed.";
constexpr const char* LOG_FILTER = "Log Files (*.log)|*.log|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* LOG_NOT_WRITTEN = "The log cannot be saved to \"%s\": %s";

// Settings.
constexpr const char* SETTINGS_KEY = "Software\\Norvik\\Tavora\\Browser";

// Command ids.
constexpr int ID_FILE_RESTORE = 32773;
constexpr int ID_FILE_CHANGE_PASSWORD = 32775;
constexpr int ID_EDIT_SELECTION = 32779;
constexpr int ID_FILE_EXTRACT = 32789;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_BASELINES = 1002;
constexpr int ID_ANCHOR = 1012;
constexpr int ID_TOP_RULE = 1016;
constexpr uint32_t HUB_COMMAND_BASE = 61000;

constexpr uint32_t PROVIDER_TAG = 0x5F726570;  // "per_"

}  // namespace browsertext
