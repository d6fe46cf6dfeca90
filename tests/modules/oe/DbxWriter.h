// CDbxWriter: builds ".dbx" files in memory for the reader tests, sound or damaged.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One index entry of a record to write.
struct DbxField {
    uint8_t index = 0;    // written as is, so tests can write indexes of 32 and more
    bool direct = false;  // direct: `data` holds the three bytes of the entry itself
    std::vector<uint8_t> data;

    static DbxField Integer(uint8_t index, uint32_t value);        // 4 bytes, indirect
    static DbxField Direct(uint8_t index, uint32_t value);         // low 24 bits, direct
    static DbxField Text(uint8_t index, const std::string& text);  // with its NUL
    static DbxField Raw(uint8_t index, std::vector<uint8_t> bytes);
    static DbxField Time(uint8_t index, uint64_t fileTime);  // 8 bytes
};

// One entry of an index node: record offset, child after it, records below that child.
struct DbxNodeEntry {
    uint32_t record = 0;
    uint32_t child = 0;
    uint32_t childCount = 0;
};

// The file starts as a zeroed 0x24BC-byte header; every Add... appends behind what is
// there and returns the new object's offset. Offsets are object markers, as the reader
// expects; tests damage a file afterwards with SetU32/SetU8 or by cutting Bytes().
class CDbxWriter {
public:
    CDbxWriter();

    uint32_t Size() const { return uint32_t(m_bytes.size()); }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    uint32_t AppendZeros(uint32_t count);
    uint32_t GetU32(uint32_t offset) const;
    void SetU32(uint32_t offset, uint32_t value);
    void SetU8(uint32_t offset, uint8_t value);

    void SetMessageTree(uint32_t root, uint32_t count);  // header 0xE4 and 0xC4
    void SetFolderTree(uint32_t root, uint32_t count);   // header 0xEC and 0xCC

    // A record with the fields in the given order; indirect data follows in the same order.
    uint32_t AddRecord(const std::vector<DbxField>& fields);
    // The text as a chain of blocks of at most `blockSize` text bytes each (at least one
    // block, even for an empty text). `blocks` receives the block offsets when given.
    uint32_t AddMessageText(const std::string& text, uint32_t blockSize = 512,
                            std::vector<uint32_t>* blocks = nullptr);

    // One index node at `at` (reserved with ReserveNode). The entry count byte is
    // entries.size(); at most 51 entries fit the node, further ones are not written.
    uint32_t ReserveNode();
    void WriteNode(uint32_t at, uint32_t parent, uint32_t child, uint32_t childCount,
                   const std::vector<DbxNodeEntry>& entries);
    // A balanced tree over the records (in order) with at most `perNode` entries per node;
    // returns the root (0 for no records). `nodes` receives every node, root first.
    uint32_t AddTree(const std::vector<uint32_t>& records, uint32_t perNode = 51,
                     std::vector<uint32_t>* nodes = nullptr);

private:
    uint32_t BuildNode(uint32_t parent, const uint32_t* records, uint32_t count, uint32_t perNode,
                       std::vector<uint32_t>* nodes);
    std::vector<uint8_t> m_bytes;
};
