// DbxMessageText: the Internet mail text of one message, joined from its block chain.
#pragma once
#include <cstdint>
#include <string>

class DbxInput;

// Text block layout: 0x00 u32 object marker (the block's own offset), 0x04 u32 not used,
// 0x08 u32 number of text bytes in this block, 0x0C u32 next block (0: last); the text
// bytes follow the 16-byte header.
constexpr uint32_t DBX_TEXT_BLOCK_HEADER_SIZE = 16;

// Reads the chain on construction, in two passes: the first checks every block's header
// and sums the lengths before anything is kept, the second joins the text bytes. Throws
// DbxException on a short read, a wrong marker, blocks that overlap (a chain that loops
// included), and "No text found !" when the chain holds no bytes (start offset 0 too).
class DbxMessageText {
public:
    DbxMessageText(DbxInput& input, uint32_t offset);

    // The joined text, NUL-terminated (it may hold further NULs of its own).
    const char* Text() const { return m_text.c_str(); }
    uint32_t Length() const { return uint32_t(m_text.size()); }
    const std::string& Str() const { return m_text; }
    // Removes every carriage return (0x0D), so that a writer in text mode can turn each line
    // end back into one CR LF.
    void StripCarriageReturns();

private:
    std::string m_text;
};
