// Little-endian field access for on-disk records.
#pragma once
#include <cstdint>
#include <cstring>

namespace tavrep {

inline uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
           (uint32_t(p[3]) << 24);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline uint16_t GetLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// Sequential writer/reader over a fixed record buffer.
class LEWriter {
public:
    explicit LEWriter(uint8_t* p) : m_p(p) {}
    void U32(uint32_t v) { PutLE32(m_p, v), m_p += 4; }
    void U16(uint16_t v) { PutLE16(m_p, v), m_p += 2; }
    void Bytes(const void* b, size_t n) { std::memcpy(m_p, b, n), m_p += n; }
    uint8_t* Pos() const { return m_p; }

private:
    uint8_t* m_p;
};

class LEReader {
public:
    explicit LEReader(const uint8_t* p) : m_p(p) {}
    uint32_t U32() { uint32_t v = GetLE32(m_p); m_p += 4; return v; }
    uint16_t U16() { uint16_t v = GetLE16(m_p); m_p += 2; return v; }
    void Bytes(void* b, size_t n) { std::memcpy(b, m_p, n), m_p += n; }
    void Skip(size_t n) { m_p += n; }

private:
    const uint8_t* m_p;
};

}  // namespace tavrep
