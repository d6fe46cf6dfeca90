// CTavCmdHostClient: another program's handle on one running command host: found by the
// host's window title, it asks for the job and status records and asks the run to stop.
// CHostRunFollower: polls the host that backs up into one image, for a page that follows
// the run (the job editor's STATUS page asks it on a timer).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/WindowChannel.h"
#include "tavhost/HostRecords.h"

namespace tavhost {

enum class HostAnswer {
    Ok,          // the record was received and read
    NotRunning,  // the host is gone (the run ended, or it never ran)
    NoAnswer,    // the host answered nothing (an unknown type, or its record stayed busy)
    BadAnswer,   // the answer was short, garbled or late: `error` says which
};

class CTavCmdHostClient {
public:
    // How long a request waits for its answer: the host answers between items and may
    // wait up to a second for a record's lock.
    static constexpr uint32_t DEFAULT_TIMEOUT_MS = 2000;

    explicit CTavCmdHostClient(plat::ChannelAddress address) : m_address(std::move(address)) {}

    // Every host whose window title is `title` (several hosts may carry one title).
    static std::vector<CTavCmdHostClient> Find(const std::string& title);
    // The hosts that back up into `imagePath` (the job's image location and name).
    static std::vector<CTavCmdHostClient> FindForImage(const std::string& imagePath);

    uint32_t ProcessId() const { return m_address.pid; }
    void SetTimeout(uint32_t ms) { m_timeoutMs = ms; }

    // The raw record of `type` (1 job, 2 status; other types are answered with nothing).
    HostAnswer RequestRecord(uint32_t type, std::vector<uint8_t>& record, std::string& error) const;
    HostAnswer GetJobRecord(HostJobRecord& record, std::string& error) const;
    HostAnswer GetStatusRecord(HostStatusRecord& record, std::string& error) const;
    // Asks the run to stop (as the host window's Stop does once confirmed). False when the
    // host could not be reached.
    bool RequestStop() const;

private:
    plat::ChannelAddress m_address;
    uint32_t m_timeoutMs = DEFAULT_TIMEOUT_MS;
};

// What a poll saw of the run into one image.
struct HostRunSnapshot {
    enum class State {
        NoHost,   // no host runs into the image (and none was seen before)
        Running,  // a host runs: `job` and `status` hold its records
        Ended,    // the host seen before is gone, or its job record says finished/cancelled
    };
    State state = State::NoHost;
    HostJobRecord job;
    HostStatusRecord status;
    uint32_t pid = 0;
    std::string problem;  // a host that answered garbage (the snapshot keeps the last good records)
};

class CHostRunFollower {
public:
    explicit CHostRunFollower(std::string imagePath) : m_imagePath(std::move(imagePath)) {}
    const std::string& ImagePath() const { return m_imagePath; }
    // Finds the host (the one seen before while it runs) and asks for both records.
    // Quick when no host runs: a look into one folder.
    HostRunSnapshot Poll();
    // Forgets the host seen before (a new run will be NoHost, then Running).
    void Reset() { m_last = HostRunSnapshot{}; }

private:
    std::string m_imagePath;
    HostRunSnapshot m_last;
};

}  // namespace tavhost
