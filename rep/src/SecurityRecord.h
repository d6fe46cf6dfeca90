// The 256-byte security record of an image: how it is built and whether one that was read
// back holds together.
#pragma once
#include <cstdint>
#include <cstring>

#include "ByteOrder.h"
#include "tavrep/TavImage.h"
#include "tavrep/TavTypes.h"

namespace tavrep {

// Security record (64 words): filler pairs {image id, (t - i) ^ (i * 73)} for i = 0..31,
// then words 2-5 the password digest and words 6-7 the entry point.
inline void BuildSecurityRecord(uint8_t out[SECURITY_RECORD_SIZE], uint32_t imageId, uint32_t t,
                                const uint8_t digest[16], TavPosition entry) {
    for (uint32_t i = 0; i < 32; ++i) {
        PutLE32(out + i * 8, imageId);
        PutLE32(out + i * 8 + 4, (t - i) ^ (i * 73));
    }
    std::memcpy(out + 8, digest, 16);
    PutLE32(out + 24, entry.image);
    PutLE32(out + 28, entry.offset);
}

// The filler of image `imageId` is intact (word 0 and words 8-63 follow from word 1) and
// the entry point names an image at most `lastImage`. The record is stored encrypted in
// 16-byte blocks, so damage to any of its blocks shows here: the blocks holding the digest
// also hold word 0 and word 1, or the entry point.
inline bool SecurityRecordIntact(const uint8_t* record, uint32_t imageId, uint32_t lastImage) {
    if (GetLE32(record) != imageId) return false;
    const uint32_t t = GetLE32(record + 4);
    for (uint32_t i = 4; i < 32; ++i)
        if (GetLE32(record + i * 8) != imageId || GetLE32(record + i * 8 + 4) != ((t - i) ^ (i * 73)))
            return false;
    const uint32_t entryImage = GetLE32(record + 24);
    const uint32_t entryOffset = GetLE32(record + 28);
    return entryOffset == 0 || entryImage <= lastImage;
}

}  // namespace tavrep
