// The command host's three shared records (job, status, last log text), their run states
// and their byte layouts: UTF-16LE texts, zero-terminated and cut to their room, and
// little-endian numbers, at fixed offsets.
//
//   job record (2,436 bytes, request type 1)   status record (1,284 bytes, type 2)
//      0  256  backup type title                 0   256  progress title
//    256  128  job kind ("TavJob")             256 1,024  progress item
//    384 1024  image path                    1,280     4  percent
//   1408 1024  start text
//   2432    4  run state                        log record (1,024 bytes): the last log text
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavhost {

// Run states of the job record.
constexpr uint32_t RUN_STATE_NONE = 0;
constexpr uint32_t RUN_STATE_PREPARED = 1;
constexpr uint32_t RUN_STATE_STARTED = 2;
constexpr uint32_t RUN_STATE_FINISHED = 3;
constexpr uint32_t RUN_STATE_CANCELLED = 4;

constexpr size_t JOB_RECORD_BYTES = 2436;
constexpr size_t STATUS_RECORD_BYTES = 1284;
constexpr size_t LOG_RECORD_BYTES = 1024;

constexpr size_t JOB_TYPE_TITLE_OFFSET = 0;
constexpr size_t JOB_KIND_OFFSET = 256;
constexpr size_t JOB_IMAGE_PATH_OFFSET = 384;
constexpr size_t JOB_START_TEXT_OFFSET = 1408;
constexpr size_t JOB_RUN_STATE_OFFSET = 2432;
constexpr size_t STATUS_TITLE_OFFSET = 0;
constexpr size_t STATUS_ITEM_OFFSET = 256;
constexpr size_t STATUS_PERCENT_OFFSET = 1280;

// Room of the text fields, in characters (the terminator not counted).
constexpr size_t TYPE_TITLE_CHARS = 127;
constexpr size_t JOB_KIND_CHARS = 63;
constexpr size_t IMAGE_PATH_CHARS = 511;
constexpr size_t START_TEXT_CHARS = 511;
constexpr size_t PROGRESS_TITLE_CHARS = 127;
constexpr size_t PROGRESS_ITEM_CHARS = 511;
constexpr size_t LOG_TEXT_CHARS = 511;

// Request type 1: what runs and since when.
struct HostJobRecord {
    std::string typeTitle;  // "Full Backup", "Incremental Backup"
    std::string jobKind;    // "TavJob"
    std::string imagePath;  // the job's image location and name
    std::string startText;  // "Started from: 2024/05/01 09:30:00 AM."
    uint32_t runState = RUN_STATE_NONE;
};

// Request type 2: the engine's latest progress report.
struct HostStatusRecord {
    std::string title;  // "Backup File"
    std::string item;   // as a rule the path of the file being stored
    uint32_t percent = 0;
    // Not part of the record's bytes: the run's work, when the engine knows it: `counting`
    // while it works it out (the totals grow), then `counted`.
    bool counting = false;
    bool counted = false;
    uint64_t filesDone = 0, filesTotal = 0;
    uint64_t bytesDone = 0, bytesTotal = 0;
};

// Not handed out: the engine's latest log text.
struct HostLogRecord {
    std::string text;
};

// The records in their byte layouts. Texts longer than their room are cut (UTF-16 units;
// a surrogate pair is never split).
std::vector<uint8_t> EncodeJobRecord(const HostJobRecord& record);
std::vector<uint8_t> EncodeStatusRecord(const HostStatusRecord& record);
std::vector<uint8_t> EncodeLogRecord(const HostLogRecord& record);

// Reading a record received from another process: false with `error` set when the bytes
// are not one (a wrong size, a text without its terminator, an unknown run state, a
// percent above 100; a percent above 100 is stored as 100). Unpaired surrogates become
// U+FFFD.
bool DecodeJobRecord(const std::vector<uint8_t>& bytes, HostJobRecord& record, std::string& error);
bool DecodeStatusRecord(const std::vector<uint8_t>& bytes, HostStatusRecord& record, std::string& error);

// `text` cut to at most `chars` characters (UTF-8 code points), never inside a character.
std::string CutChars(std::string_view text, size_t chars);

}  // namespace tavhost
