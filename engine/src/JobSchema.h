// Element and attribute names of the job file (docs/job-format.md).
#pragma once
#include <cstdint>

namespace jobxml {

constexpr const char* ROOT = "tavjob";
constexpr const char* VERSION = "version";
constexpr const char* VERSION_VALUE = "1.0";
constexpr const char* ID = "id";

constexpr const char* JOB = "job";
constexpr const char* TITLE = "title";
constexpr const char* COMMAND = "command";

constexpr const char* IMAGE = "image";
constexpr const char* NAME = "name";
constexpr const char* LOCATION = "location";
constexpr const char* SPLITSIZE = "splitsize";
constexpr const char* ENCODING = "encoding";

constexpr const char* DESCRIPTION = "description";

constexpr const char* BACKUP = "backup";
constexpr const char* MODULE = "module";
constexpr const char* FLAGS = "flags";

constexpr const char* DEFAULT_IMAGE_NAME = "Image000";
constexpr const char* IMAGE_EXTENSION = ".tvr";

// A job file larger than this is refused before it is parsed.
constexpr uint64_t MAX_JOB_FILE_BYTES = 64ull * 1024 * 1024;

}  // namespace jobxml
