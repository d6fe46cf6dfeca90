// Single-core throughput of the codecs the repository library uses, measured on the
// caller's buffers in 64 KiB chunks (the library's default chunk).
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tavbench {

// MiB/s of each codec alone on one buffer; the compressed size of libdeflate level 6.
struct CodecFigures {
    double libdeflate6 = 0;  // deflate, libdeflate level 6
    double zlib6 = 0;        // deflate, zlib level 6
    double aesEncrypt = 0;   // AES-128-ECB (EVP), encrypt
    double aesDecrypt = 0;   // AES-128-ECB (EVP), decrypt
    double md5 = 0;          // the library's CMD5Checksum
    double inflate = 0;      // zlib inflate of the libdeflate level-6 chunks
    double libinflate = 0;   // libdeflate decompress of the same chunks
    uint64_t deflated = 0;   // bytes after libdeflate level 6
};

// Runs every codec over `data` (in `chunk`-byte pieces) and returns its figures.
CodecFigures MeasureCodecs(const std::vector<uint8_t>& data, size_t chunk);

// MiB/s of `bytes` processed in `seconds`.
double MiBPerSecond(uint64_t bytes, double seconds);

// The throughput of running stages one after another on one core (1 / sum of 1/x); stages
// given as 0 are left out.
double SerialBound(std::initializer_list<double> stages);

}  // namespace tavbench
