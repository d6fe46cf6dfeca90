// The priority of the calling thread: a backup run in a program the user works with lowers
// its own thread so that the desktop stays quick.
#pragma once

namespace plat {

// Gives the calling thread the lowest CPU priority (nice 19) and the idle I/O class, which
// gets the disk only when nothing else wants it. Other threads of the process keep theirs.
// False when the system refused (the run simply goes on at its priority).
bool LowerCurrentThreadPriority();

}  // namespace plat
