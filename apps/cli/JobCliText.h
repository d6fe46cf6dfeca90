// Fixed texts of tavctl's job and backup commands.
#pragma once

namespace tavctl::jobtext {

// The Files and Folders module as jobs name it.
constexpr const char* FILES_MODULE = "files";
constexpr const char* FILES_TITLE = "Files and Folders";
constexpr const char* ROOT_PATH = ":root:";  // the whole module deselected
constexpr const char* JOB_TITLE = "title";

// job new.
constexpr const char* ERR_JOB_EXISTS = "the file exists already; give --force to replace it";
constexpr const char* ERR_BAD_NAME =
    "the image name must be a file name (no '/', not \".\" or \"..\"), not empty";
constexpr const char* ERR_BAD_SPLIT = "cannot read the split size \"%s\" (write e.g. 700MB, 1.5GB or 2GB)";
constexpr const char* ERR_BAD_LEVEL = "the compression level must be 1 to 9";
constexpr const char* ERR_LEVEL_AND_NO_COMPRESS = "--level and --no-compress exclude each other";
constexpr const char* ERR_COMPRESS_AND_LEVEL = "--compress excludes --level and --no-compress";
constexpr const char* ERR_BAD_ZSTD_LEVEL = "the zstd level must be 1 to 19 (zstd:3 is the default)";
constexpr const char* ERR_BAD_COMPRESS = "unknown compression method \"%s\" (deflate, zstd, zstd:LEVEL)";
constexpr const char* WARN_SPLIT_HELD = "warning: images are split at %s (between 1 MB and 2 GB)";
constexpr const char* MSG_LOCATION_CREATED = "Created the image folder %s.";
constexpr const char* ERR_NO_LOCATION = "cannot create the image folder %s: %s";
constexpr const char* MSG_JOB_CREATED = "Created job %s (images %s).";

// Selections.
constexpr const char* ERR_NO_SUCH_PATH = "no such file or folder";
constexpr const char* ERR_NOT_A_SOURCE = "is not a source of the job";
constexpr const char* ERR_OUTSIDE_SOURCES =
    "is not inside any source of the job (add a source with 'tavctl job add')";
constexpr const char* ERR_NOT_ADDED = "cannot be added: sources of the job lie below it";
constexpr const char* ERR_INSIDE_EXCLUDED =
    "lies inside the excluded folder %s; include that folder (--recursive takes back the "
    "exclusions below it) or mark the file with 'tavctl job partial'";
constexpr const char* ERR_FILTER_NOTHING = "give --include, --exclude or --remove";
constexpr const char* ERR_FILTER_REMOVE_AND_SET = "--remove excludes --include and --exclude";
constexpr const char* WARN_REPOSITORY_INSIDE =
    "warning: the job's images lie inside %s; they will be backed up too";
constexpr const char* WARN_PARTIAL_UNDER_EXCLUDED =
    "warning: %s lies inside the excluded folder %s, which is not walked";
constexpr const char* MSG_ADDED = "Added source %s";
constexpr const char* MSG_REPLACED = "  (it replaces the source %s)";
constexpr const char* MSG_REMOVED = "Removed source %s";
constexpr const char* MSG_EXCLUDED = "Excluded %s";
constexpr const char* MSG_ALREADY_EXCLUDED = "%s is excluded already";
constexpr const char* MSG_INCLUDED = "Included %s";
constexpr const char* MSG_NOT_EXCLUDED = "%s is not excluded";
constexpr const char* MSG_PARTIAL = "Kept %s (partial)";
constexpr const char* MSG_ALREADY_PARTIAL = "%s is kept already";
constexpr const char* MSG_FILTER_SET = "Filter of %s: included \"%s\", excluded \"%s\", %s";
constexpr const char* MSG_FILTER_REMOVED = "Removed the filter of %s";
constexpr const char* MSG_NO_FILTER = "%s has no filter";
constexpr const char* MSG_UNCHANGED = "The job is unchanged.";

}  // namespace tavctl::jobtext
