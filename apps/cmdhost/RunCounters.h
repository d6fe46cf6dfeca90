// RunCounters: what the engines of one run did, read from their closing log texts.
#pragma once
#include <cstdint>
#include <string_view>

namespace cmdhost {

// The engines keep their counters to themselves and report them in their closing log
// ("12 Files Added\r\n3 Files Updated\r\n..."); the runner sums them over the modules.
struct RunCounters {
    uint64_t added = 0;
    uint64_t updated = 0;
    uint64_t skipped = 0;
    uint64_t deleted = 0;
    uint64_t errors = 0;

    // Adds the counters of every counter line in `logText`.
    void AddFromLog(std::string_view logText);
};

}  // namespace cmdhost
