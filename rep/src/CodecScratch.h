// Output room for a codec that compresses into a buffer of its own and then appends what it
// wrote. The room is never cleared: most of it is never written (a compression bound is far
// more than a block takes), and clearing it would touch every page of it, which for a node
// table of tens of megabytes costs more than compressing it. Room for a content block is
// kept from block to block; room for anything larger is given back after use.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavrep {

class CCodecScratch {
public:
    // At least `n` bytes, uninitialised; throws std::bad_alloc.
    uint8_t* Room(size_t n) {
        if (n > m_size) {
            m_data.reset();
            m_size = 0;
            m_data.reset(new uint8_t[n]);
            m_size = n;
        }
        return m_data.get();
    }
    // The caller is done with the room.
    void Release() {
        if (m_size > KEEP_BYTES) {
            m_data.reset();
            m_size = 0;
        }
    }

private:
    static constexpr size_t KEEP_BYTES = size_t(1) << 20;
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_size = 0;
};

}  // namespace tavrep
