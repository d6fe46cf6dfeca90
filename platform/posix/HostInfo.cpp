// Host name, process liveness and folder flushing on POSIX.
#include "platform/HostInfo.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SysError.h"

namespace plat {

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

bool ProcessAlive(uint32_t pid) {
    if (pid == 0 || pid > 0x7FFFFFFF) return false;
    if (::kill(pid_t(pid), 0) == 0) return true;
    return errno == EPERM;
}

}  // namespace plat
