// Image settings for the repository: split-size texts and the encoding word's security record.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "tavengine/TavEngineExport.h"
#include "tavrep/TavTypes.h"

constexpr const char* TAV_DEFAULT_SPLIT_SIZE = "2.00 GB";
// Image files hold 32-bit offsets and the repository adds sizes in 32 bits, so no image may
// grow past 2 GiB; smaller limits than 1 MiB would start an image for nearly every block.
constexpr uint32_t TAV_SPLIT_MAX = 0x80000000u;
constexpr uint32_t TAV_SPLIT_MIN = 0x00100000u;

// Reads a split-size text: a number (with "." or "," before decimals) and an optional unit
// B, KB, MB or GB (also K, M, G, KiB, MiB, GiB; letter case and spaces ignored), units of
// 1024. "2.00 GB", "700 MB", "1.44 MB", "2GB", "4096". False for anything else.
TAVENGINE_API bool ParseSplitSize(std::string_view text, uint64_t& bytes);
// The image size limit for a split-size text: the parsed size held within
// [TAV_SPLIT_MIN, TAV_SPLIT_MAX]; TAV_SPLIT_MAX for an empty, zero or unreadable text.
TAVENGINE_API uint32_t SplitSizeToImageLimit(std::string_view text);
// "%0.2lf %s" with "Bytes", "KB", "MB" or "GB" (dividing by 1024 while above 1024, at
// most three times); the decimal point is always ".".
TAVENGINE_API std::string FormatSplitSize(uint64_t bytes);

// Fills `out` (no password) from the encoding word: bit 0x10 selects ENCRYPT_BUILTIN; low
// bits 1-9 are the deflate level, 10-15 the default level (-1), 0 no compression.
// Returns 1 (0 only when the repository library refuses the record).
TAVENGINE_API int FillImageSecurity(uint32_t encoding, uint32_t maxImageSize,
                                    TavImageSecurity& out);
