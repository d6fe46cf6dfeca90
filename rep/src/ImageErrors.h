// Mapping of file-open failures to the library's exception codes, and the system error of
// damaged blocks.
#pragma once
#include <cstdint>

#include "platform/SysError.h"
#include "tavrep/TavException.h"

namespace tavrep {

// The system error of a block whose stored bytes do not check out (the code systems use for
// a data error found by a cyclic redundancy check).
constexpr uint32_t ERR_DATA_DAMAGED = 23;

// 2 busy for a sharing violation, 1 for a missing file or folder, 0 otherwise.
inline int32_t OpenFailureCode(uint32_t error) {
    if (error == plat::ERR_SHARING_VIOLATION) return TAVEX_BUSY;
    if (error == plat::ERR_FILE_NOT_FOUND || error == plat::ERR_PATH_NOT_FOUND) return TAVEX_NOT_FOUND;
    return TAVEX_OPEN_FAILED;
}

}  // namespace tavrep
