#include "core/DbxException.h"

#include <cstdio>

DbxException::DbxException(const char* message, uint64_t offset)
    : m_message(message), m_offset(offset) {}

std::string DbxException::Describe() const {
    if (m_offset == NO_OFFSET) return m_message;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, " (offset 0x%08llX)",
                  static_cast<unsigned long long>(m_offset));
    return m_message + buffer;
}
