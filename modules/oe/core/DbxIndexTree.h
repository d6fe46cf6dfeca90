// DbxIndexTree: the record offsets of one index tree of a ".dbx" file, in tree order.
#pragma once
#include <cstdint>
#include <unordered_set>
#include <vector>

class DbxInput;

// Index tree node layout (each node is DBX_NODE_SIZE bytes at its own offset):
//   0x00 u32 object marker (the node's own offset)   0x04 u32 not used
//   0x08 u32 child node before the first entry (0: none)
//   0x0C u32 parent node (0 for the root)             0x10 u8 not used
//   0x11 u8  number of entries (at most 51)           0x12 u16 not used
//   0x14 u32 records in the subtree of the child at 0x08
//   0x18 51 entries of 12 bytes: u32 record offset (0: none), u32 child node after the
//        entry (0: none), u32 records in that child's subtree
constexpr uint32_t DBX_NODE_SIZE = 0x27C;
constexpr uint32_t DBX_NODE_MAX_ENTRIES = 51;
// No real tree comes near this depth (nodes hold up to 51 entries); it keeps a damaged
// chain of nodes from exhausting the stack.
constexpr uint32_t DBX_TREE_MAX_DEPTH = 128;

// Reads the whole tree on construction: left subtree first, then each entry followed by
// its right subtree; entries without a record take no slot. Throws DbxException on
// damage (wrong markers, parents, entry counts or record counts, a node referenced twice,
// a tree deeper than DBX_TREE_MAX_DEPTH). Memory is bounded by the nodes actually read,
// not by the record count the header announces.
class DbxIndexTree {
public:
    DbxIndexTree(DbxInput& input, uint32_t rootOffset, uint32_t recordCount);

    uint32_t Count() const { return uint32_t(m_values.size()); }
    // The offset of the i-th record in tree order; i >= Count() throws "Wrong index !".
    uint32_t Value(uint32_t i) const;
    const std::vector<uint32_t>& Values() const { return m_values; }

private:
    void ReadNode(uint32_t parent, uint32_t offset, uint32_t base, uint32_t expected,
                  uint32_t depth);

    DbxInput& m_input;
    uint32_t m_recordCount;
    std::vector<uint32_t> m_values;
    std::unordered_set<uint32_t> m_visited;
};
