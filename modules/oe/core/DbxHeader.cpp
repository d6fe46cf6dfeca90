#include "core/DbxHeader.h"

#include "core/DbxBytes.h"
#include "core/DbxException.h"
#include "core/DbxInput.h"

DbxHeader::DbxHeader(DbxInput& input) {
    input.Seek(0);
    if (input.Read(m_bytes.data(), m_bytes.size()) != m_bytes.size())
        throw DbxException(DBX_ERR_READ_OBJECT, 0);
}

uint32_t DbxHeader::U32(uint32_t offset) const {
    if (offset > DBX_HEADER_SIZE - 4) return 0;
    return DbxLoadU32(m_bytes.data() + offset);
}
