#include "core/DbxMemoryInput.h"

#include <algorithm>
#include <cstring>

DbxMemoryInput::DbxMemoryInput(const void* data, size_t size)
    : m_bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size) {}

DbxMemoryInput::DbxMemoryInput(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

bool DbxMemoryInput::Seek(uint64_t offset) {
    m_position = offset;
    m_atEnd = false;
    return true;
}

size_t DbxMemoryInput::Read(void* buffer, size_t count) {
    size_t got = 0;
    if (m_position < m_bytes.size()) {
        got = size_t(std::min<uint64_t>(count, m_bytes.size() - m_position));
        if (got > 0) std::memcpy(buffer, m_bytes.data() + m_position, got);
        m_position += got;
    }
    if (got < count) m_atEnd = true;
    return got;
}
