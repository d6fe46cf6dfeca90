#include "core/DbxRecord.h"

#include <cstring>
#include <new>

#include "core/DbxBytes.h"
#include "core/DbxException.h"
#include "core/DbxInput.h"
#include "platform/Utf8.h"

namespace {
constexpr uint32_t RECORD_MARKER = 0x00;
constexpr uint32_t RECORD_BODY_LENGTH = 0x04;
constexpr uint32_t RECORD_INDEX_COUNT = 0x0A;
constexpr uint32_t INDEX_MASK = 0x7F;
constexpr uint32_t DIRECT_FLAG = 0x80;
constexpr uint32_t DIRECT_LENGTH = 3;
}  // namespace

DbxRecord::DbxRecord(DbxInput& input, uint32_t offset) : m_offset(offset) {
    uint8_t header[DBX_RECORD_HEADER_SIZE];
    input.Seek(offset);
    if (input.Read(header, sizeof header) != sizeof header)
        throw DbxException(DBX_ERR_READ, offset);
    if (DbxLoadU32(header + RECORD_MARKER) != offset) throw DbxException(DBX_ERR_MARKER, offset);
    const uint32_t bodyLength = DbxLoadU32(header + RECORD_BODY_LENGTH);
    const uint32_t entryCount = header[RECORD_INDEX_COUNT];
    try {
        if (!input.ReadAppend(m_body, bodyLength)) throw DbxException(DBX_ERR_READ, offset);
        m_body.push_back(0);
    } catch (const std::bad_alloc&) {
        throw DbxException(DBX_ERR_MEMORY, offset);
    }
    // The entries must fit in the body, else the data area would start outside it.
    if (uint64_t(entryCount) * 4 > bodyLength) throw DbxException(DBX_ERR_INDEX_DATA, offset);

    // First each entry's start, then the lengths: an indirect entry's data ends where the
    // next indirect entry's data starts. Data that would end before it starts (never
    // written that way) runs to the end of the body instead, so it stays inside the record.
    // A later entry for the same index replaces an earlier one.
    const uint32_t dataStart = entryCount * 4;
    uint32_t starts[256];
    for (uint32_t e = 0; e < entryCount; ++e) {
        const uint32_t word = DbxLoadU32(&m_body[e * 4]);
        if ((word & INDEX_MASK) >= DBX_INDEX_COUNT)
            throw DbxException(DBX_ERR_INDEX_TOO_BIG, offset);
        if (word & DIRECT_FLAG) {
            starts[e] = e * 4 + 1;
        } else {
            const uint64_t start = uint64_t(dataStart) + (word >> 8);
            if (start > bodyLength) throw DbxException(DBX_ERR_INDEX_DATA, offset);
            starts[e] = uint32_t(start);
        }
    }
    uint32_t end = bodyLength;  // start of the next indirect entry's data, walking backwards
    uint32_t lengths[256];
    for (uint32_t e = entryCount; e-- > 0;) {
        if (DbxLoadU32(&m_body[e * 4]) & DIRECT_FLAG) {
            lengths[e] = DIRECT_LENGTH;
        } else {
            lengths[e] = (end >= starts[e] ? end : bodyLength) - starts[e];
            end = starts[e];
        }
    }
    for (uint32_t e = 0; e < entryCount; ++e) {
        const uint32_t index = m_body[e * 4] & INDEX_MASK;
        m_start[index] = starts[e];
        m_length[index] = lengths[e];
        m_presence |= 1u << index;
    }
}

DbxRecord::~DbxRecord() = default;

std::string_view DbxRecord::IndexName(uint32_t index) const {
    CheckIndex(index);
    return {};
}

uint32_t DbxRecord::IndexType(uint32_t index) const {
    CheckIndex(index);
    return DBX_TYPE_NONE;
}

void DbxRecord::CheckIndex(uint32_t index) {
    if (index >= DBX_INDEX_COUNT) throw DbxException(DBX_ERR_INDEX_TOO_BIG);
}

bool DbxRecord::Has(uint32_t index) const {
    CheckIndex(index);
    return (m_presence >> index) & 1;
}

std::span<const uint8_t> DbxRecord::Data(uint32_t index) const {
    if (!Has(index)) return {};
    return {m_body.data() + m_start[index], m_length[index]};
}

const char* DbxRecord::Text(uint32_t index) const {
    if (!Has(index)) return nullptr;
    return reinterpret_cast<const char*>(m_body.data() + m_start[index]);
}

std::string DbxRecord::Utf8Text(uint32_t index) const {
    const std::span<const uint8_t> data = Data(index);
    if (data.empty()) return {};
    const void* nul = std::memchr(data.data(), 0, data.size());
    const size_t length =
        nul ? size_t(static_cast<const uint8_t*>(nul) - data.data()) : data.size();
    return plat::Utf8OrCp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), length));
}

uint32_t DbxRecord::Integer(uint32_t index) const {
    const std::span<const uint8_t> data = Data(index);
    uint32_t value = 0;
    for (size_t i = 0; i < data.size() && i < 4; ++i) value |= uint32_t(data[i]) << (8 * i);
    return value;
}
