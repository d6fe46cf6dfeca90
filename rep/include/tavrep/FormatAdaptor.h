// CTavFormatAdaptor: converts node records and baseline headers between the working form
// and the on-disk form of one format version (2.0 read, 2.1 read and write).
#pragma once
#include <cstdint>
#include <string>

#include "tavrep/TavTypes.h"

class TAVREP_API CTavFormatAdaptor {
public:
    virtual ~CTavFormatAdaptor() = default;
    // Each conversion returns 1, or 0 when a record pointer is missing (LastMessage()
    // then says "Invalid parameters"). `out`/`in` hold NodeDiskSize()/HeaderDiskSize()
    // bytes.
    virtual int NodeToDisk(uint8_t* out, const TavNodeRec* node, const TavNodeRec* alternative) = 0;
    virtual int NodeFromDisk(TavNodeRec* node, const uint8_t* in) = 0;
    virtual int HeaderToDisk(uint8_t* out, const TavBaselineHeaderRec* header) = 0;
    virtual int HeaderFromDisk(TavBaselineHeaderRec* header, const uint8_t* in) = 0;
    virtual uint32_t NodeDiskSize() const = 0;
    virtual uint32_t HeaderDiskSize() const = 0;
    virtual uint32_t FormatVersion() const = 0;
    const std::string& LastMessage() const { return m_message; }

protected:
    std::string m_message;
};

// An adaptor for 0x02000000, 0x02010000 or 0x02020000; null for any other version.
TAVREP_API CTavFormatAdaptor* MakeFormatAdaptor(uint32_t version);
// True when this library cannot read the image: a version it does not know, or a 2.2
// feature mask with a bit it does not know.
TAVREP_API bool ImageNeedsNewerReader(const TavRepHeader& header);
// "image N needs a newer version of Tavora": how every tool names such an image.
TAVREP_API std::string NewerReaderText(uint32_t imageId);

// UTF-16 <-> UTF-8 helpers for the records' text fields.
// Writes `text` as UTF-16 into `out` (capacity `chars` including the terminator; cut).
TAVREP_API void Utf8ToUtf16Field(const std::string& text, char16_t* out, size_t chars);
TAVREP_API std::string Utf16FieldToUtf8(const char16_t* field, size_t chars);
