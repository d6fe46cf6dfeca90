// DbxMessageRecord: a record of the message tree of a message store (one message).
#pragma once
#include <cstdint>

#include "core/DbxRecord.h"

// Message indexes the module reads.
constexpr uint32_t DBX_MESSAGE_FLAGS = 0x01;             // integer; 0x4000 picks the icon
constexpr uint32_t DBX_MESSAGE_TEXT = 0x04;              // integer: first text block
constexpr uint32_t DBX_MESSAGE_PLAIN_SUBJECT = 0x05;     // text: subject without Re:/Fw:
constexpr uint32_t DBX_MESSAGE_SUBJECT = 0x08;           // text
constexpr uint32_t DBX_MESSAGE_SENDER_ADDRESS = 0x0E;    // text
constexpr uint32_t DBX_MESSAGE_RECEIVED = 0x12;          // 8 bytes: FILETIME
constexpr uint32_t DBX_MESSAGE_RECEIVER_ADDRESS = 0x14;  // text
constexpr uint32_t DBX_MESSAGE_ACCOUNT = 0x1A;           // text

constexpr uint32_t DBX_MESSAGE_FLAG_ICON = 0x4000;

class DbxMessageRecord : public DbxRecord {
public:
    DbxMessageRecord(DbxInput& input, uint32_t offset) : DbxRecord(input, offset) {}

    std::string_view IndexName(uint32_t index) const override;
    uint32_t IndexType(uint32_t index) const override;

    // The received time (index 0x12) as FILETIME ticks; false unless it holds 8 bytes.
    bool ReceivedTime(uint64_t& ticks) const;
};
