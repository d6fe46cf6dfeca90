// What programs send a running command host, and how they find it.
//
// A host listens under its window title ("Tavora Command Host", then "TavCmdHost Backup:
// <image path>" once a run has begun; plat::CChannelServer). Requests:
//   0x493  bytes: record type (u32) and the requester's id (u64). The host answers with a
//          message whose type is the record type and whose bytes are the record, or says
//          nothing (an unknown type, or the record's lock stayed busy for 1,000 ms).
//   0x494  bytes: u32, 1 asks the run to stop. No answer.
// When the run's transaction is open the host fires the event named by its title once
// (plat::FireEvent).
#pragma once
#include <cstdint>
#include <string>

namespace tavhost {

constexpr uint32_t MSG_REQUEST_RECORD = 0x493;
constexpr uint32_t MSG_STOP = 0x494;
constexpr uint32_t STOP_WPARAM = 1;
constexpr uint32_t RECORD_JOB = 1;
constexpr uint32_t RECORD_STATUS = 2;

constexpr const char* HOST_TITLE_IDLE = "Tavora Command Host";
constexpr const char* HOST_TITLE_BACKUP = "TavCmdHost Backup: %s";
// The title of a host that restores from an image; the editor leaves such an image alone.
constexpr const char* HOST_TITLE_RESTORE = "TavCmdHost Restore: %s";

// The named locks of one host's records; `id` tells the host apart from others.
constexpr const char* LOCK_STATUS_INFO = "TavCmdHost.StatusInfo.%08X";
constexpr const char* LOCK_JOB_INFO = "TavCmdHost.JobInfo.%08X";
constexpr const char* LOCK_LOG_INFO = "TavCmdHost.LogInfo.%08X";

// Writers take a record's lock without waiting (a busy record is not updated), the job
// record is filled with this wait, and a host answering a request waits this long.
constexpr uint32_t FILL_JOB_WAIT_MS = 100;
constexpr uint32_t ANSWER_WAIT_MS = 1000;

// "TavCmdHost Backup: <image path>": the title of a host that backs up into that image.
std::string HostTitleForImage(const std::string& imagePath);
// "TavCmdHost Restore: <image path>": the title of a host that restores from that image.
std::string HostRestoreTitleForImage(const std::string& imagePath);
// One of the lock names above for host `id`.
std::string HostLockName(const char* format, uint32_t id);

}  // namespace tavhost
