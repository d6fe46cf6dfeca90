// Reading stored contents back: content chains block by block, and an item's data,
// which for an Outlook Express message store is reassembled from its chunk table. Every
// reader checks what it reads (block kinds, loops, lengths) and reports damage as text.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "tavrep/TavRepository.h"

namespace tavctl {

// Receives the decoded bytes in order; false stops the reading.
using DataSink = std::function<bool(const uint8_t* bytes, size_t count)>;

struct ReadStats {
    uint64_t blocks = 0;
    uint64_t bytes = 0;
};

// Reads the chain that starts at `start` to its end. Returns "" when the whole chain was
// read, else the problem ("content block at image 1 offset 4242: ..."). With `allDamage`,
// a block that does not decode is stepped over by its header and the rest of the chain is
// still read (the sink hears nothing more): the problem then also counts the other damaged
// blocks and names the first few.
std::string ReadChain(CTavRepository& rep, TavPosition start, const DataSink& sink,
                      ReadStats& stats, bool allDamage = false);

// How an item's stored data is laid out.
enum class ContentLayout {
    None,        // a folder, or nothing stored
    Plain,       // the content chain holds the data
    ChunkTable,  // the chain holds a table of 40-byte chunk records (a message store)
};
ContentLayout LayoutOf(const TavNodeRec& node);

// Streams the item's data (reassembled for a chunk table). With `verifyChunks` each
// chunk of a chunk table is compared with its stored MD5. "" on success, else the problem.
// `allDamage` as for ReadChain; for a chunk table, a damaged chunk is stepped over too and
// the problem counts the other damaged chunks and names the first few.
std::string ReadItemData(CTavRepository& rep, const TavNodeRec& node, bool verifyChunks,
                         const DataSink& sink, ReadStats& stats, bool allDamage = false);

// What is wrong with an item's data as read (`length` bytes; `fingerprint` the MD5 state
// over them, null when not computed) compared with its record: "" when nothing.
std::string CompareWithNode(const TavNodeRec& node, uint64_t length, const uint32_t* fingerprint);

// Size of a chunk-table record and the largest table read into memory.
constexpr uint32_t CHUNK_RECORD_SIZE = 40;
constexpr uint64_t MAX_CHUNK_TABLE_BYTES = 64ull << 20;
constexpr uint64_t MAX_CHUNK_BYTES = 1ull << 20;  // chunks are 32 KiB; room for odd writers

}  // namespace tavctl
