// The Files and Folders view's texts: list columns, dialogs, questions and messages.
#pragma once

namespace filesui {

struct Column {
    const char* heading;
    int width;
    bool right;
};
constexpr Column COLUMNS[] = {
    {"Name", 150, false}, {"Size", 100, true}, {"Type", 100, false}, {"Date Modified", 200, false}};

// The type text of a source that cannot be read (its disk is not mounted, or it was deleted).
constexpr const char* TYPE_NOT_FOUND = "Not found";

constexpr const char* ADD_FILE_FILTER = "All Files (*.*)|*.*||";
constexpr const char* ADD_FILE_TITLE = "Add File";
constexpr const char* ADD_FOLDER_TITLE = "Select location for backup image.";
constexpr const char* PATH_NOT_FOUND = "\"%s\" cannot be found: %s";
constexpr const char* PATH_TOO_LONG =
    "\"%s\" is not added: a backup stores a source path of at most 259 bytes. Add a folder above it.";

// "File Filtering" (dialog 141).
constexpr const char* FILTERING_TITLE = "File Filtering";
constexpr const char* INCLUDE_LABEL = "Include extensions";
constexpr const char* EXCLUDE_LABEL = "Exclude Extensions";
constexpr const char* DELIMITER_NOTE = "Note: Use semi-colon delimited for multiple extensions";
constexpr const char* EXAMPLE_NOTE = "Ex.: *.doc;*.jpg;*.mp3";
constexpr const char* APPLY_TO_SUB_FOLDERS = "Apply to Sub Folders";
constexpr const char* SHOW_ALL_FILTERS = "Show All Filters";

// "All Filtering Rules".
constexpr const char* ALL_FILTERS_TITLE = "All Filtering Rules";
constexpr Column FILTER_COLUMNS[] = {
    {"Path", 180, false}, {"Included", 100, false}, {"Excluded", 100, false}, {"Sub Folders", 70, false}};
constexpr const char* ASK_REMOVE_FILTER = "Do you want to remove the filtering rules for \"%s\"?";
constexpr const char* ASK_CLEAR_FILTERS = "Do you want to remove all the filtering rules?";
constexpr const char* REMOVE = "Remove";
constexpr const char* CLEAR_ALL = "Clear All";
constexpr const char* CLOSE = "Close";

// "Select File Type".
constexpr const char* SELECT_TYPE_TITLE = "Select File Type";
constexpr const char* SELECT_TYPE_LABEL = "Select file type for folder:";
constexpr const char* SELECT_ALL = "Select All";
constexpr const char* DESELECT_ALL = "Deselect All";
constexpr const char* RESTORE = "Restore";

}  // namespace filesui
