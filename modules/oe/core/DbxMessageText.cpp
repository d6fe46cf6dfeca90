#include "core/DbxMessageText.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <new>
#include <vector>

#include "core/DbxBytes.h"
#include "core/DbxException.h"
#include "core/DbxInput.h"

namespace {
constexpr uint32_t BLOCK_MARKER = 0x00;
constexpr uint32_t BLOCK_LENGTH = 0x08;
constexpr uint32_t BLOCK_NEXT = 0x0C;
// A text longer than this cannot come from a ".dbx" file (offsets are 32-bit).
constexpr uint64_t MAX_TEXT = 0xFFFFFFFEu;

struct Block {
    uint32_t offset;
    uint32_t length;
};
}  // namespace

DbxMessageText::DbxMessageText(DbxInput& input, uint32_t offset) {
    // Pass 1: check the chain and sum its lengths. Each block covers its header and text;
    // in a sound file no two blocks share a byte, so an overlap (a loop included) is
    // damage, and the sum stays below the size of the address range the blocks cover.
    std::vector<Block> chain;
    std::map<uint64_t, uint64_t> covered;  // start -> end of every block met
    uint64_t total = 0;
    try {
        for (uint32_t at = offset; at != 0;) {
            uint8_t header[DBX_TEXT_BLOCK_HEADER_SIZE];
            input.Seek(at);
            if (input.Read(header, sizeof header) != sizeof header)
                throw DbxException(DBX_ERR_READ, at);
            if (DbxLoadU32(header + BLOCK_MARKER) != at) throw DbxException(DBX_ERR_MARKER, at);
            const uint32_t length = DbxLoadU32(header + BLOCK_LENGTH);
            const uint64_t end = uint64_t(at) + DBX_TEXT_BLOCK_HEADER_SIZE + length;
            auto next = covered.lower_bound(at);
            if ((next != covered.end() && next->first < end) ||
                (next != covered.begin() && std::prev(next)->second > at))
                throw DbxException(DBX_ERR_TEXT_OVERLAP, at);
            covered.emplace(at, end);
            chain.push_back({at, length});
            total += length;
            at = DbxLoadU32(header + BLOCK_NEXT);
        }
    } catch (const std::bad_alloc&) {
        throw DbxException(DBX_ERR_MEMORY, offset);
    }
    if (total == 0) throw DbxException(DBX_ERR_NO_TEXT, offset);
    if (total > MAX_TEXT) throw DbxException(DBX_ERR_MEMORY, offset);

    // Pass 2: join the text bytes. The buffer grows with the bytes that really arrive, so
    // lengths that claim more than the input holds end in a read error, not an allocation.
    try {
        for (const Block& block : chain) {
            input.Seek(uint64_t(block.offset) + DBX_TEXT_BLOCK_HEADER_SIZE);
            if (!input.ReadAppend(m_text, block.length)) {
                m_text = {};
                throw DbxException(DBX_ERR_READ, block.offset);
            }
        }
    } catch (const std::bad_alloc&) {
        throw DbxException(DBX_ERR_MEMORY, offset);
    }
}

void DbxMessageText::StripCarriageReturns() {
    m_text.erase(std::remove(m_text.begin(), m_text.end(), '\r'), m_text.end());
}
