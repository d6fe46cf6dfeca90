// Crash points for the crash test: the repository library calls CrashPoint() before every
// block it appends, rewrites or flushes. With TAVORA_TEST_KILL_AT=N in the environment the
// process kills itself with SIGKILL at the N-th call; with TAVORA_TEST_COUNT_FILE=PATH it
// writes the number of calls to PATH when it exits normally. Without either it costs one
// comparison per call.
#pragma once
#include <cstdint>

namespace plat {

void CrashPoint();

}  // namespace plat
