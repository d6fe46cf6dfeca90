// DbxMemoryInput: a DbxInput over bytes held in memory (tests, fuzzing, small files).
#pragma once
#include <cstdint>
#include <vector>

#include "core/DbxInput.h"

// Reads a copy of the given bytes; AtEnd turns true once a read reached the end.
class DbxMemoryInput : public DbxInput {
public:
    DbxMemoryInput(const void* data, size_t size);
    explicit DbxMemoryInput(std::vector<uint8_t> bytes);

    bool Seek(uint64_t offset) override;
    size_t Read(void* buffer, size_t count) override;
    bool AtEnd() override { return m_atEnd; }

private:
    std::vector<uint8_t> m_bytes;
    uint64_t m_position = 0;
    bool m_atEnd = false;
};
