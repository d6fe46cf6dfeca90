// CDbxBlockSource: where the chunk input fetches stored content blocks from.
#pragma once
#include <cstdint>
#include <vector>

#include "tavrep/TavTypes.h"

// One stored content block: its decoded bytes and the position of the next block of its
// chain ({0, 0} at the end).
struct DbxStoredBlock {
    std::vector<uint8_t> data;
    TavPosition next;
};

class CDbxBlockSource {
public:
    virtual ~CDbxBlockSource() = default;
    // Fetches the block at `position`; false when it cannot be had (position {x, 0}, an
    // image that is missing or unreadable). Never throws.
    virtual bool Fetch(TavPosition position, DbxStoredBlock& block) = 0;
};
