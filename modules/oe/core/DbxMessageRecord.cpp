#include "core/DbxMessageRecord.h"

#include <span>

namespace {
struct IndexInfo {
    const char* name;
    uint32_t type;
};

// Names and types of the message indexes Outlook Express writes; unnamed ones are unknown.
constexpr IndexInfo MESSAGE_INDEXES[DBX_INDEX_COUNT] = {
    {"message index", DBX_TYPE_INTEGER},           // 0x00
    {"flags", DBX_TYPE_INTEGER},                   // 0x01
    {"time sent", DBX_TYPE_DATE},                  // 0x02
    {"body lines", DBX_TYPE_INTEGER},              // 0x03
    {"message text", DBX_TYPE_INTEGER},            // 0x04
    {"subject without prefix", DBX_TYPE_TEXT},     // 0x05
    {"time saved", DBX_TYPE_DATE},                 // 0x06
    {"message id", DBX_TYPE_TEXT},                 // 0x07
    {"subject", DBX_TYPE_TEXT},                    // 0x08
    {"sender name and address", DBX_TYPE_TEXT},    // 0x09
    {"in reply to", DBX_TYPE_TEXT},                // 0x0A
    {"server and message number", DBX_TYPE_TEXT},  // 0x0B
    {"server", DBX_TYPE_TEXT},                     // 0x0C
    {"sender name", DBX_TYPE_TEXT},                // 0x0D
    {"sender address", DBX_TYPE_TEXT},             // 0x0E
    {nullptr, DBX_TYPE_NONE},                      // 0x0F
    {"priority", DBX_TYPE_INTEGER},                // 0x10
    {"text length", DBX_TYPE_INTEGER},             // 0x11
    {"time received", DBX_TYPE_DATE},              // 0x12
    {"receiver name", DBX_TYPE_TEXT},              // 0x13
    {"receiver address", DBX_TYPE_TEXT},           // 0x14
    {nullptr, DBX_TYPE_NONE},                      // 0x15
    {nullptr, DBX_TYPE_NONE},                      // 0x16
    {nullptr, DBX_TYPE_NONE},                      // 0x17
    {nullptr, DBX_TYPE_NONE},                      // 0x18
    {nullptr, DBX_TYPE_NONE},                      // 0x19
    {"account name", DBX_TYPE_TEXT},               // 0x1A
    {"account key", DBX_TYPE_TEXT},                // 0x1B
    {nullptr, DBX_TYPE_NONE},                      // 0x1C
    {nullptr, DBX_TYPE_NONE},                      // 0x1D
    {nullptr, DBX_TYPE_NONE},                      // 0x1E
    {nullptr, DBX_TYPE_NONE},                      // 0x1F
};
}  // namespace

std::string_view DbxMessageRecord::IndexName(uint32_t index) const {
    CheckIndex(index);
    return MESSAGE_INDEXES[index].name ? MESSAGE_INDEXES[index].name : std::string_view{};
}

uint32_t DbxMessageRecord::IndexType(uint32_t index) const {
    CheckIndex(index);
    return MESSAGE_INDEXES[index].type;
}

bool DbxMessageRecord::ReceivedTime(uint64_t& ticks) const {
    const std::span<const uint8_t> data = Data(DBX_MESSAGE_RECEIVED);
    if (data.size() != 8) return false;
    ticks = 0;
    for (int i = 7; i >= 0; --i) ticks = (ticks << 8) | data[i];
    return true;
}
