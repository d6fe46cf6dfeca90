// The thread's last error and the mapping of errno values to the suite's error codes.
#include "platform/SysError.h"

#include <cerrno>
#include <cstring>

namespace plat {

namespace {
thread_local uint32_t t_lastError = ERR_NONE;
}  // namespace

uint32_t GetLastError() { return t_lastError; }

void SetLastError(uint32_t error) { t_lastError = error; }

uint32_t MapErrno(int errnoValue) {
    switch (errnoValue) {
        case 0:
            return ERR_NONE;
        case ENOENT:
            return ERR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERR_ACCESS_DENIED;
        case ENOMEM:
            return ERR_NOT_ENOUGH_MEMORY;
        // EWOULDBLOCK is EAGAIN on Linux: a lock taken without waiting was held by another.
        case EAGAIN:
        case ETXTBSY:
            return ERR_SHARING_VIOLATION;
        case EEXIST:
            return ERR_FILE_EXISTS;
        case EINVAL:
            return ERR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT:
            return ERR_DISK_FULL;
        case ENOTEMPTY:
            return ERR_DIR_NOT_EMPTY;
        case ENAMETOOLONG:
            return ERR_FILENAME_TOO_LONG;
        case ETIMEDOUT:
            return ERR_TIMEOUT;
        default:
            return ERR_GEN_FAILURE;
    }
}

std::string ErrorText(uint32_t error) {
    int value = 0;
    switch (error) {
        case ERR_NONE: return "no error";
        case ERR_FILE_NOT_FOUND: value = ENOENT; break;
        case ERR_PATH_NOT_FOUND: value = ENOTDIR; break;
        case ERR_ACCESS_DENIED: value = EACCES; break;
        case ERR_NOT_ENOUGH_MEMORY: value = ENOMEM; break;
        case ERR_SHARING_VIOLATION: return "the file is in use by another process";
        case ERR_HANDLE_EOF: return "unexpected end of file";
        case ERR_FILE_EXISTS:
        case ERR_ALREADY_EXISTS: value = EEXIST; break;
        case ERR_INVALID_PARAMETER: value = EINVAL; break;
        case ERR_DISK_FULL: value = ENOSPC; break;
        case ERR_DIR_NOT_EMPTY: value = ENOTEMPTY; break;
        case ERR_FILENAME_TOO_LONG: value = ENAMETOOLONG; break;
        case ERR_TIMEOUT: value = ETIMEDOUT; break;
        // Errors without a code of their own; on files that is an input/output error as a rule.
        case ERR_GEN_FAILURE: return "Input/output error or another system failure";
        default: return "unknown system error " + std::to_string(error);
    }
    // strerror's table is fixed text; only unknown values would use its shared buffer.
    return std::strerror(value);
}

}  // namespace plat
