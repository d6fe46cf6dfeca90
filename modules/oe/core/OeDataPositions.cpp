// Reading a message-store node's chunk table for the positions of its chunks.
#include "OeDataPositions.h"

#include <set>
#include <utility>
#include <vector>

#include "DbxChunkRecord.h"
#include "OeRecords.h"
#include "tavrep/TavRepository.h"

int32_t OeListDataPositions(CTavRepository* repository, const TavNodeRec* node,
                            TavPositionSink sink, void* context) {
    if (repository == nullptr || node == nullptr || sink == nullptr) return 0;
    if (node->moduleId != OE_TAG_MESSAGE || (node->flags & NODE_DIRECTORY) != 0) return 1;
    TavPosition at = node->content;
    std::set<std::pair<uint32_t, uint32_t>> seen;  // a chain that loops is damaged
    std::vector<uint8_t> carry;                   // a record split between two blocks
    try {
        while (at.offset != 0) {
            if (!seen.insert({at.image, at.offset}).second) return 0;
            CTavRepContent* block = repository->GetContent(at);
            if (block == nullptr) return 0;
            carry.insert(carry.end(), block->data.begin(), block->data.end());
            at = block->Next();
            block->Dispose();
            size_t used = 0;
            for (; used + DBX_CHUNK_RECORD_SIZE <= carry.size(); used += DBX_CHUNK_RECORD_SIZE) {
                const DbxChunkRecord record = DecodeChunkRecord(carry.data() + used);
                sink(context, record.position.image, record.position.offset);
            }
            carry.erase(carry.begin(), carry.begin() + long(used));
        }
    } catch (CTavException* e) {
        e->Delete();
        return 0;
    }
    return 1;
}
