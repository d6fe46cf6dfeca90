// The command host's three records (job, status, last log text) and its run states.
//
// A host window publishes these to other programs (the job editor asks for the job and
// status records); until that window exists they are plain structs that the runner fills
// and a window or a terminal view reads. Texts are UTF-8 here and are cut to the record's
// room in characters as they are stored; the fixed-size UTF-16 form with its named mutexes
// ("TavCmdHost.JobInfo.%08X", ...) is made by the window that sends them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cmdhost {

// Run states of the job record.
constexpr uint32_t RUN_STATE_NONE = 0;
constexpr uint32_t RUN_STATE_PREPARED = 1;
constexpr uint32_t RUN_STATE_STARTED = 2;
constexpr uint32_t RUN_STATE_FINISHED = 3;
constexpr uint32_t RUN_STATE_CANCELLED = 4;

// Room of the record fields, in characters (the terminator not counted).
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
    // The run's work, when the view asked for it (CRunnerView::WantsWorkTotals) and the
    // engine counts: `counting` while it counts (the totals grow), then `counted`.
    bool counting = false;
    bool counted = false;
    uint64_t filesDone = 0, filesTotal = 0;
    uint64_t bytesDone = 0, bytesTotal = 0;
};

// Not handed out: the engine's latest log text.
struct HostLogRecord {
    std::string text;
};

// `text` cut to at most `chars` characters (UTF-8 code points), never inside a character.
inline std::string CutChars(std::string_view text, size_t chars) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
        if (count == chars) return std::string(text.substr(0, i));
        ++count;
    }
    return std::string(text);
}

}  // namespace cmdhost
