// The job editor's own texts and command ids.
#pragma once

namespace editortext {

constexpr const char* APP_TITLE = "Tavora";
constexpr int HUB_COMMAND_BASE = 61000;
constexpr int MIN_WIDTH = 785;
constexpr int MIN_HEIGHT = 528;
constexpr int RECENT_FILES = 4;

constexpr const char* JOB_FILTER = "Tavora Jobs (*.tvj)|*.tvj|All Files (*.*)|*.*||";
constexpr const char* JOB_EXTENSION = "tvj";
constexpr const char* ASK_TO_SAVE = "Save changes to %s?";
constexpr const char* OPEN_FAILED = "Cannot open the job \"%s\".\n%s";
constexpr const char* SAVE_FAILED = "Cannot save the job \"%s\".\n%s";
constexpr const char* HELP_MISSING = "Help file is not available.";
constexpr const char* SELECT_LOCATION = "Select location for backup image.";
constexpr const char* ABOUT_TEXT = "Tavora\nThe backup job editor of the Tavora suite.";

// Pages in the order of their buttons.
struct PageInfo {
    const char* name;
    int buttonId;
    int dialogId;
    const char* text;  // shown under the buttons; empty for none
};
constexpr PageInfo PAGES[] = {
    {"SETTINGS", 1077, 136,
     "The image files of this backup job will be stored in Image Location folder."},
    {"FILES", 1081, 103,
     "Add files or folders to current backup job.\nYou can drag files or folders from Windows "
     "Explorer and drop into the Tree View or List View.\n\nAlter check boxes in the Tree View "
     "for selecting in detail."},
    {"SCHEDULE", 1082, 105,
     "All the schedules created here are stored in your scheduler: systemd user timers, or "
     "your crontab where no systemd user manager runs.\nYou can see them via the menu "
     "Tools-->Windows Scheduled Tasks."},
    {"STATUS", 1083, 104, ""},
    {"HISTORY", 1084, 106, ""},
};

// Command ids (the objectName of each action).
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_SAVE_AS = 57604;
constexpr int ID_FILE_MRU_FIRST = 57616;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;
constexpr int ID_TOOLS_BACKUP_NOW = 32807;
constexpr int ID_TOOLS_RESTORE = 32797;
constexpr int ID_TOOLS_BROWSE = 32798;
constexpr int ID_TOOLS_EXPLORER = 32799;
constexpr int ID_TOOLS_SCHEDULED_TASKS = 32800;
constexpr int ID_TOOLS_OPTIONS = 32801;
constexpr int ID_HELP_CONTENT = 32802;
constexpr int ID_VIEW_REFRESH = 32809;

}  // namespace editortext
