#include "core/DbxIndexTree.h"

#include <algorithm>
#include <array>
#include <new>

#include "core/DbxBytes.h"
#include "core/DbxException.h"
#include "core/DbxInput.h"

namespace {
constexpr uint32_t NODE_MARKER = 0x00;
constexpr uint32_t NODE_CHILD = 0x08;
constexpr uint32_t NODE_PARENT = 0x0C;
constexpr uint32_t NODE_ENTRY_COUNT = 0x11;
constexpr uint32_t NODE_CHILD_VALUES = 0x14;
constexpr uint32_t NODE_ENTRIES = 0x18;
constexpr uint32_t ENTRY_SIZE = 12;
// Slots reserved up front at most; beyond this the array grows with the records found.
constexpr uint32_t RESERVE_LIMIT = 1 << 16;
}  // namespace

DbxIndexTree::DbxIndexTree(DbxInput& input, uint32_t rootOffset, uint32_t recordCount)
    : m_input(input), m_recordCount(recordCount) {
    try {
        m_values.reserve(std::min(recordCount, RESERVE_LIMIT));
        ReadNode(0, rootOffset, 0, recordCount, 0);
    } catch (const std::bad_alloc&) {
        throw DbxException(DBX_ERR_MEMORY);
    }
    m_visited = {};
}

uint32_t DbxIndexTree::Value(uint32_t i) const {
    if (i >= m_values.size()) throw DbxException(DBX_ERR_WRONG_INDEX);
    return m_values[i];
}

// The values are filled strictly in slot order: every child fills exactly its `expected`
// slots before its caller goes on (else it throws), so slot base + found - 1 is always the
// next free one and the array can grow by appending.
void DbxIndexTree::ReadNode(uint32_t parent, uint32_t offset, uint32_t base, uint32_t expected,
                            uint32_t depth) {
    if (uint64_t(base) + expected > m_recordCount)
        throw DbxException(DBX_ERR_TOO_MANY_TO_READ, offset);
    if (depth >= DBX_TREE_MAX_DEPTH) throw DbxException(DBX_ERR_TREE_DEPTH, offset);

    std::array<uint8_t, DBX_NODE_SIZE> node;
    m_input.Seek(offset);
    if (m_input.Read(node.data(), node.size()) != node.size())
        throw DbxException(DBX_ERR_READ_NODE, offset);
    if (DbxLoadU32(&node[NODE_MARKER]) != offset) throw DbxException(DBX_ERR_MARKER, offset);
    if (DbxLoadU32(&node[NODE_PARENT]) != parent) throw DbxException(DBX_ERR_PARENT, offset);
    const uint32_t entries = node[NODE_ENTRY_COUNT];
    if (entries > DBX_NODE_MAX_ENTRIES) throw DbxException(DBX_ERR_ENTRIES, offset);
    // A sound tree names each node once; a node met again would be read over and over.
    if (!m_visited.insert(offset).second) throw DbxException(DBX_ERR_NODE_TWICE, offset);

    uint64_t found = 0;
    const uint32_t child = DbxLoadU32(&node[NODE_CHILD]);
    if (child != 0) {
        const uint32_t childValues = DbxLoadU32(&node[NODE_CHILD_VALUES]);
        ReadNode(offset, child, base, childValues, depth + 1);
        found = childValues;
    }
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* entry = &node[NODE_ENTRIES + i * ENTRY_SIZE];
        const uint32_t record = DbxLoadU32(entry);
        const uint32_t entryChild = DbxLoadU32(entry + 4);
        const uint32_t entryValues = DbxLoadU32(entry + 8);
        if (record != 0) {
            ++found;
            if (base + found > m_recordCount) throw DbxException(DBX_ERR_TOO_MANY, offset);
            m_values.push_back(record);  // slot base + found - 1
        }
        if (entryChild != 0) {
            // base + found <= record count here, so it fits in 32 bits.
            ReadNode(offset, entryChild, uint32_t(base + found), entryValues, depth + 1);
            found += entryValues;
        }
    }
    if (found != expected) throw DbxException(DBX_ERR_VALUE_COUNT, offset);
}
