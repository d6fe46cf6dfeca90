// Crash points for the crash test: the repository library calls CrashPoint() before every
// block it appends, rewrites or flushes. With TAVORA_TEST_KILL_AT=N in the environment the
// process kills itself with SIGKILL at the N-th call; with TAVORA_TEST_COUNT_FILE=PATH it
// writes the number of calls to PATH when it exits normally. Without either it costs one
// comparison per call.
#pragma once
#include <cstdint>

namespace plat {

void CrashPoint();

// A named step of a longer operation (a forget): with TAVORA_TEST_KILL_AT equal to `step` the
// process ends at once with status 137, as a kill -9 or a power cut would end it.
void CrashStep(const char* step);

}  // namespace plat
