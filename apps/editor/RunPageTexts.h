// Texts of the SCHEDULE, STATUS and HISTORY pages and of Backup Now.
#pragma once

namespace runtext {

// SCHEDULE
constexpr const char* SCHEDULER_UNAVAILABLE =
    "Cannot access to the Linux scheduler (systemd user timers or crontab).\nSorry, your account "
    "cannot use scheduled backup feature.";
constexpr const char* ASK_DELETE_SCHEDULE = "Do you want to delete the selected schedule?";
constexpr const char* CANNOT_DELETE_TASK = "Cannot delete task \"%s\"";
constexpr const char* CANNOT_CREATE_TASK = "Cannot create the schedule: %s";
constexpr const char* CANNOT_LIST_TASKS = "Cannot list the schedules: %s";
constexpr const char* SCHEDULE_NOT_SAVED = "Schedule cound not be saved correctly.";
constexpr const char* NO_HOST_PROGRAM =
    "Cannot create the schedule: the command host \"%s\" is not installed beside the editor.";

// HISTORY
constexpr const char* PURGE_BUTTON = "Purge Log Files...";
constexpr const char* ASK_PURGE = "Do you want to purge %s";
constexpr const char* PURGE_FINISHED = "Finish. %d log files have been purged.";
constexpr const char* PURGE_FAILURES = "These log files could not be deleted:";

// Backup Now and STATUS
constexpr const char* RESTORING = "%s is in restoring process.";
constexpr const char* JOB_NOT_SAVED = "Backup job was not saved.";
constexpr const char* ACCESS_DENIED = "Access denied. Cannot start backup operation.";
constexpr const char* CANNOT_LOAD_IMAGE = "Cannot load image file. The image file may be corrupt.";
constexpr const char* BACKUP_FINISHED = "Backup Finished.";
constexpr const char* BACKUP_NOT_FINISHED = "The backup did not finish: %s\nNothing of this run was kept.";
constexpr const char* ASK_STOP = "Do you want to stop operation?";
constexpr const char* ASK_STOP_AND_EXIT = "Do you want to stop the current process and exit?";
constexpr const char* ASK_CHANGE_PATH = "Cannot find image path \"%s\".\nDo you want to browse for the path?";
constexpr const char* ASK_CHANGE_DISK =
    "Disk space for image path \"%s\" is full.\nDo you want to open new image path in another drive?";
constexpr const char* IMAGE_FILTER = "Tavora Archives (*.tvr)|*.tvr|All Files (*.*)|*.*||";
constexpr const char* STATUS_BUSY = "Busy";
constexpr const char* STATUS_OK = "OK";

}  // namespace runtext
