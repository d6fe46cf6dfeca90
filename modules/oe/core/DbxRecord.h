// DbxRecord: the indexed information of one folder or message of a ".dbx" file.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class DbxInput;

// Record layout, at the record's own offset:
//   0x00 u32 object marker (the record's own offset)   0x04 u32 body length
//   0x08 u16 kept, not used   0x0A u8 number of index entries   0x0B u8 kept, not used
//   0x0C body: the index entries (u32 each), then the data area
// Index entry: bits 0-6 the index (0-31), bit 7 direct, bits 8-31 a value. A direct entry's
// data is the three bytes after its index byte; an indirect entry's data starts at
// data-area start + value and runs to the next indirect entry's data (the last one to the
// end of the body).
constexpr uint32_t DBX_RECORD_HEADER_SIZE = 12;
constexpr uint32_t DBX_INDEX_COUNT = 32;

// Type codes that IndexType answers.
constexpr uint32_t DBX_TYPE_NONE = 0;
constexpr uint32_t DBX_TYPE_INTEGER = 1;
constexpr uint32_t DBX_TYPE_DATE = 2;  // a FILETIME
constexpr uint32_t DBX_TYPE_TEXT = 4;
constexpr uint32_t DBX_TYPE_BINARY = 8;

// Reads the record on construction and owns its body. Throws DbxException on a short
// read ("Error reading from input stream !"), a wrong marker, an index of 32 or more
// ("Index to big !") or index data that lies outside the body. Every lookup with an index
// of 32 or more throws "Index to big !". The input must outlive only the constructor.
class DbxRecord {
public:
    DbxRecord(DbxInput& input, uint32_t offset);
    virtual ~DbxRecord();
    DbxRecord(const DbxRecord&) = default;
    DbxRecord& operator=(const DbxRecord&) = default;

    // Descriptive name and type code of an index; the plain record knows none ("", 0).
    virtual std::string_view IndexName(uint32_t index) const;
    virtual uint32_t IndexType(uint32_t index) const;

    // The index's data; an empty span with a null pointer when the index is absent.
    std::span<const uint8_t> Data(uint32_t index) const;
    // The index's data as a NUL-terminated 8-bit text, null when absent. A text that lacks
    // its NUL in the file runs on into the following data, but its terminator always lies
    // inside the record's buffer; Utf8Text is bounded by the data's length.
    const char* Text(uint32_t index) const;
    // The text up to its NUL (at most the data's length) as UTF-8: bytes that already form
    // valid UTF-8 are kept, others are read as Windows-1252. Empty when absent.
    std::string Utf8Text(uint32_t index) const;
    // 0 when absent; else the first four data bytes, little-endian, masked to the low
    // (length x 8) bits when the data is shorter (a direct entry never exceeds 0xFFFFFF).
    uint32_t Integer(uint32_t index) const;
    // Bit i set when index i occurs.
    uint32_t Presence() const { return m_presence; }
    bool Has(uint32_t index) const;
    uint32_t Offset() const { return m_offset; }

protected:
    static void CheckIndex(uint32_t index);

private:
    uint32_t m_offset;
    std::vector<uint8_t> m_body;  // the body plus one NUL that ends any unterminated text
    uint32_t m_start[DBX_INDEX_COUNT] = {};
    uint32_t m_length[DBX_INDEX_COUNT] = {};
    uint32_t m_presence = 0;
};
