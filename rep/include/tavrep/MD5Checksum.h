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

private:
    void Transform(const uint8_t* blocks, size_t blockCount);

    uint8_t m_buffer[64];
    uint32_t m_bits[2];   // message length in bits, low word first
    uint32_t m_state[4];  // A, B, C, D
};
