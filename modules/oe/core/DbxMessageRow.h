// DbxMessageRow: one message as the viewer lists it, with the keys its columns sort by.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/DbxDateText.h"

class DbxMessageRecord;

// Texts are UTF-8 (converted from the file's 8-bit texts); a field the record lacks is
// nullopt, which the sort keeps apart from an empty text.
struct DbxMessageRow {
    uint32_t offset = 0;                 // the record's offset: how the row finds its message again
    bool iconFlag = false;               // message flag 0x4000, which picks the row's icon
    bool hasText = false;                // index 0x04 is present
    std::optional<std::string> from;     // index 0x0E, sender address
    std::optional<std::string> to;       // index 0x14, receiver address
    std::optional<std::string> subject;  // index 0x08
    std::optional<std::string> plainSubject;  // index 0x05, else the subject without prefix
    std::optional<uint64_t> received;         // index 0x12 (FILETIME), when it holds 8 bytes
    std::string receivedText;                 // "%Y/%m/%d %I:%M %p", empty without a time
    std::optional<std::string> account;       // index 0x1A
};

// The row of a message record.
DbxMessageRow MakeDbxMessageRow(const DbxMessageRecord& record,
                                DbxTimeZone zone = DbxTimeZone::Local);

// The subject without its reply and forward prefixes ("Re:", "Fw:", "Fwd:", "Re[2]:", any
// case, repeated, with the spaces after them): the key a subject sorts by when the record
// lacks the plain subject Outlook Express writes itself.
std::string DbxStripSubjectPrefix(std::string_view subject);
