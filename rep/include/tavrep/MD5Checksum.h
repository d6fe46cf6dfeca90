// CMD5Checksum: MD5 (RFC 1321) with access to the chaining state before the finish,
// which is what a node's content fingerprint stores.
#pragma once
#include <cstddef>
#include <cstdint>

#include "tavrep/TavRepExport.h"

class TAVREP_API CMD5Checksum {
public:
    CMD5Checksum();
    virtual ~CMD5Checksum();
    // A copy carries the stream on from the same point.
    CMD5Checksum(const CMD5Checksum&) = default;
    CMD5Checksum& operator=(const CMD5Checksum&) = default;

    void Reset();
    // Processes every complete 64-byte block of the stream so far; keeps the rest.
    void Update(const void* bytes, size_t count);
    // Appends the padding and the bit length (does not reset).
    void Final();
    // The four chaining values as they stand.
    void GetHash(uint32_t out[4]) const;
    // The same as 16 bytes, each word little-endian.
    void GetHash(uint8_t out[16]) const;
    // The complete MD5 digest of `bytes`.
    static void Hash(const void* bytes, size_t count, uint8_t out[16]);
    // Adds bytes to two streams at once, until one of them has none left; the pointer and
    // count of each are moved past what was taken. Two streams worked side by side take
    // little more time than one, as each step of MD5 waits on the step before it.
    static void UpdateTwo(CMD5Checksum& one, const uint8_t*& bytesOne, size_t& countOne,
                          CMD5Checksum& two, const uint8_t*& bytesTwo, size_t& countTwo);

private:
    void Transform(const uint8_t* blocks, size_t blockCount);
    static void TransformTwo(CMD5Checksum& one, const uint8_t* blocksOne, CMD5Checksum& two,
                             const uint8_t* blocksTwo, size_t blockCount);
    size_t Buffered() const;  // bytes of an unfinished block, kept in m_buffer
    void CountBytes(size_t count);

    uint8_t m_buffer[64];
    uint32_t m_bits[2];   // message length in bits, low word first
    uint32_t m_state[4];  // A, B, C, D
};
