// Process priority on Linux: setpriority for the CPU, the ioprio_set system call for I/O.
#include "platform/Priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Clock.h"

namespace plat {

namespace {

// From linux/ioprio.h (not every libc has the header).
constexpr int IOPRIO_CLASS_SHIFT = 13;
constexpr int IOPRIO_CLASS_IDLE = 3;
constexpr int IOPRIO_WHO_PROCESS = 1;
constexpr int LOWEST_NICE = 19;
constexpr unsigned MAX_THROTTLE_MS = 1000;

}  // namespace

bool LowerToIdlePriority(std::string& error) {
    error.clear();
    errno = 0;
    if (::setpriority(PRIO_PROCESS, 0, LOWEST_NICE) != 0)
        error = std::string("cannot lower the CPU priority: ") + std::strerror(errno);
    if (::syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, 0, IOPRIO_CLASS_IDLE << IOPRIO_CLASS_SHIFT) != 0) {
        if (!error.empty()) error += "; ";
        error += std::string("cannot enter the idle I/O class: ") + std::strerror(errno);
    }
    return error.empty();
}

ProcessPriority CurrentPriority() {
    ProcessPriority p;
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0) p.nice = nice;
    const long io = ::syscall(SYS_ioprio_get, IOPRIO_WHO_PROCESS, 0);
    p.idleIo = io >= 0 && (io >> IOPRIO_CLASS_SHIFT) == IOPRIO_CLASS_IDLE;
    return p;
}

void ThrottlePoint() {
    static const unsigned delay = [] {
        const char* value = ::getenv("TAVORA_TEST_THROTTLE_MS");
        if (value == nullptr) return 0u;
        const unsigned long ms = std::strtoul(value, nullptr, 10);
        return unsigned(ms > MAX_THROTTLE_MS ? MAX_THROTTLE_MS : ms);
    }();
    if (delay != 0) SleepMillis(delay);
}

}  // namespace plat
