// Fixed texts of the message viewer: column titles, the date format, prompts and warnings.
#pragma once

namespace dbxviewer {

// Columns of the message list, in order; the first (the icon) has no title.
constexpr const char* COLUMN_ICON = "";
constexpr const char* COLUMN_FROM = "From";
constexpr const char* COLUMN_TO = "To";
constexpr const char* COLUMN_SUBJECT = "Subject";
constexpr const char* COLUMN_RECEIVED = "Received Date";
constexpr const char* COLUMN_ACCOUNT = "Account";

// The received time of a row (strftime, local time).
constexpr const char* DATE_FORMAT = "%Y/%m/%d %I:%M %p";

// Progress while a search runs (printf, with the percent).
constexpr const char* PROGRESS_FORMAT = "Processing... %ld%%";
constexpr const char* ASK_STOP_SEARCH = "Stop Searching?";
constexpr const char* WARN_CANNOT_EXPORT = "Cannot export the message to .eml file.";

// The export's save dialog.
constexpr const char* EML_EXTENSION = "eml";
constexpr const char* EML_FILTER =
    "Eml Files (*.eml)|*.eml|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

// Details of an export failure, after WARN_CANNOT_EXPORT.
constexpr const char* ERR_NO_MESSAGE_TEXT = "the message has no text";
constexpr const char* ERR_FILE_EXISTS = "the file exists already";
constexpr const char* ERR_CANNOT_CREATE = "the file cannot be created";
constexpr const char* ERR_CANNOT_WRITE = "the file cannot be written";
constexpr const char* ERR_CANNOT_REPLACE = "the file cannot be replaced";

// The name of an exported message whose subject leaves nothing usable.
constexpr const char* EML_DEFAULT_NAME = "message";

}  // namespace dbxviewer
