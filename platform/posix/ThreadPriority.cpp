// Thread priorities on Linux: setpriority and ioprio_set on the thread's own id (both apply
// to one thread when given a thread id).
#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace plat {

namespace {
constexpr int IOPRIO_WHO_PROCESS = 1;
constexpr int IOPRIO_CLASS_IDLE = 3;
constexpr int IOPRIO_CLASS_SHIFT = 13;
constexpr int LOWEST_NICE = 19;
}  // namespace

bool LowerCurrentThreadPriority() {
    const pid_t thread = pid_t(syscall(SYS_gettid));
    const bool cpu = setpriority(PRIO_PROCESS, id_t(thread), LOWEST_NICE) == 0;
    const bool io = syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, thread, IOPRIO_CLASS_IDLE << IOPRIO_CLASS_SHIFT) == 0;
    return cpu && io;
}

}  // namespace plat
