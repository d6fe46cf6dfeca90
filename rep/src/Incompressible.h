// A quick look at a payload before deflate is asked to shrink it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tavrep {

// True when the bytes look random (pictures, archives, encrypted data): deflate could not
// make them shorter than a gzip member of them costs, so it is not asked. Two signs, both
// needed: the byte histogram is so flat that no code over single bytes saves more than a
// few dozen bytes, and no 8-byte string recurs for LZ77 to copy. Text and structured data
// fail the first sign at once; a random block repeated fails the second. Payloads under
// 512 bytes are never judged (trying them costs little).
bool LooksIncompressible(const uint8_t* p, size_t n);

}  // namespace tavrep
