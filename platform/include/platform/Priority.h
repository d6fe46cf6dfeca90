// The priority of the running process: a backup that runs unattended yields the processor
// and the disks to everything else.
#pragma once
#include <string>

namespace plat {

// The CPU and I/O priority the process runs at.
struct ProcessPriority {
    int nice = 0;          // -20 (highest) .. 19 (lowest)
    bool idleIo = false;   // in the idle I/O class (served only when the disk is idle)
};

// Lowers the whole process to the lowest CPU priority (nice 19) and the idle I/O class.
// False when either could not be set (`error` says which and why); the run goes on
// either way.
bool LowerToIdlePriority(std::string& error);
ProcessPriority CurrentPriority();

// A test hook: with TAVORA_TEST_THROTTLE_MS=N in the environment each call sleeps N ms
// (at most 1000), so that tests can watch and stop a run that would otherwise end too
// soon. Without it, it costs one comparison.
void ThrottlePoint();

}  // namespace plat
