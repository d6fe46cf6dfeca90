// The positions the Outlook Express module's stored data holds: the chunks that the chunk
// table of a message-store node names.
#pragma once
#include <cstdint>

#include "tavengine/TavModFactory.h"

// Lists through `sink` the position of every chunk of a message-store node's chunk table
// (other nodes hold no positions in their data). 1 when done, 0 when the table cannot be read.
int32_t OeListDataPositions(CTavRepository* repository, const TavNodeRec* node,
                            TavPositionSink sink, void* context);
