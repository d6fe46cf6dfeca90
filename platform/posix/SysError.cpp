// The thread's last error and the mapping of errno values to the suite's error codes.
#include "platform/SysError.h"

#include <cerrno>

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

}  // namespace plat
