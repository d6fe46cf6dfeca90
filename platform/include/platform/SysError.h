// System error codes shared by the whole suite: errno values are mapped to the Win32
// codes that the stored formats and the messages of the suite test.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

constexpr uint32_t ERR_NONE = 0;
constexpr uint32_t ERR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERR_ACCESS_DENIED = 5;
constexpr uint32_t ERR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERR_GEN_FAILURE = 31;
constexpr uint32_t ERR_SHARING_VIOLATION = 32;
constexpr uint32_t ERR_HANDLE_EOF = 38;
constexpr uint32_t ERR_FILE_EXISTS = 80;
constexpr uint32_t ERR_INVALID_PARAMETER = 87;
constexpr uint32_t ERR_DISK_FULL = 112;
constexpr uint32_t ERR_DIR_NOT_EMPTY = 145;
constexpr uint32_t ERR_ALREADY_EXISTS = 183;
constexpr uint32_t ERR_FILENAME_TOO_LONG = 206;
constexpr uint32_t ERR_TIMEOUT = 1460;

// The error of the last failed platform call on this thread (the design's "last error").
uint32_t GetLastError();
void SetLastError(uint32_t error);

// Maps an errno value to the codes above (unknown values become ERR_GEN_FAILURE).
uint32_t MapErrno(int errnoValue);

// The system's own message for one of the codes above ("No space left on device",
// "Input/output error", ...), as the C library words it; "unknown system error N" for a
// code without one.
std::string ErrorText(uint32_t error);

}  // namespace plat
