// The questions the platform's implementation asks the fault plan (FaultPlan.h) before a
// call into the system. Each answers at the cost of one atomic load while no rule is
// installed. The answers carry errno values: the caller sets errno and fails as it would
// after the real call.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/FaultPlan.h"

namespace plat::fault {

extern std::atomic<int> g_ruleCount;

inline bool Active() { return g_ruleCount.load(std::memory_order_relaxed) != 0; }

// For Open, Sync, SyncFolder, Truncate and Lock: the errno to fail with, 0 to go on.
int CallFailsSlow(FaultOp op, const std::string& path);
inline int CallFails(FaultOp op, const std::string& path) {
    return Active() ? CallFailsSlow(op, path) : 0;
}

// How many of `count` bytes from `offset` may be read; when fewer, `error` is the errno for
// the read that reaches the rest.
size_t ReadAllowanceSlow(const std::string& path, uint64_t offset, size_t count, int& error);
inline size_t ReadAllowance(const std::string& path, uint64_t offset, size_t count, int& error) {
    return Active() ? ReadAllowanceSlow(path, offset, count, error) : count;
}

// How many of `count` bytes written at `offset` of a file of `size` bytes may be written
// (the budget is taken); when fewer, `error` is the errno of the write that does not fit.
size_t WriteAllowanceSlow(const std::string& path, uint64_t offset, uint64_t size, size_t count,
                          int& error);

}  // namespace plat::fault
