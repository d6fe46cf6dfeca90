// The machine and its processes, as a lock file shared between machines needs them.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// This machine's host name ("localhost" when it has none).
std::string HostName();
// True when a process of that id runs on this machine (also when it belongs to another
// user); false when there is none.
bool ProcessAlive(uint32_t pid);

}  // namespace plat
