// GetDefaultExcludedPaths: what a backup leaves out unless the user says otherwise.
#include <algorithm>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "tavengine/TavEngine.h"

namespace {

// Kernel and run-time file systems, temporary folders, mount points of other disks (which
// also keeps a backup of "/" from reading its own images on a mounted drive), and the swap
// file.
constexpr const char* SYSTEM_EXCLUDES[] = {
    "/proc",       "/sys",      "/dev",
    "/run",        "/tmp",      "/var/tmp",
    "/var/run",    "/var/lock", "/var/cache/apt/archives",
    "/lost+found", "/mnt",      "/media",
    "/swapfile",
};

// Below the user's home: caches and the trash.
constexpr const char* HOME_EXCLUDES[] = {".cache", ".local/share/Trash"};

}  // namespace

std::string GetDefaultExcludedPaths() {
    std::string list;
    for (const char* path : SYSTEM_EXCLUDES) {
        list += path;
        list += ';';
    }
    const std::string home = plat::HomeDirectory();
    if (!home.empty() && home != "/") {
        for (const char* path : HOME_EXCLUDES) {
            list += plat::JoinPath(home, path);
            list += ';';
        }
    }
    return list;
}

uint32_t GetDefaultExcludedPaths(char* buffer, uint32_t length) {
    const std::string list = GetDefaultExcludedPaths();
    if (buffer == nullptr) return uint32_t(list.size());
    if (length == 0) return 0;
    const size_t n = std::min<size_t>(list.size(), length - 1);
    std::memcpy(buffer, list.data(), n);
    buffer[n] = '\0';
    return uint32_t(n);
}
