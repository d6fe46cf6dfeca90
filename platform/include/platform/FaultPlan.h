// Fault injection for tests: a process-wide plan of failures that the platform's own file,
// folder and lock calls consult, so that code above sees exactly what a failing disk shows
// (short reads and writes, EIO, ENOSPC, a failing fsync, a lock that cannot be taken)
// through its ordinary paths. Nothing is injected while no rule is installed; the cost per
// call is then one relaxed atomic load.
//
// A rule names an operation, a part of the path it applies to and when it strikes:
//
//   plat::FaultRule full{plat::FaultOp::Write, ".tvr"};
//   full.after = 4096;                         // the volume takes 4096 more bytes
//   full.error = plat::FaultError::DiskFull;   // then every write fails with ENOSPC
//   plat::CFaultScope scope(full);             // installed until the scope ends
//   ... run the code under test ...
//   EXPECT_GT(scope.Hits(), 0u);               // the fault did strike
//
// What `after` means for each operation:
//   Open       CFile::Open of a matching path fails; the first `after` opens succeed.
//   Read       reads of a matching file return the bytes before file offset `after` (a read
//              that crosses it comes back short) and fail from there on: a damaged area from
//              `after` to the end. Every read, however often the file is opened.
//   Write      all matching files together take `after` more bytes, counted from the rule's
//              installation; the write that crosses the limit writes what fits and fails.
//              With DiskFull only bytes that grow a file count (a full volume still takes
//              rewrites of bytes a file has); with any other error every written byte does.
//   Sync       CFile::Sync of a matching file fails; the first `after` syncs succeed.
//   SyncFolder SyncDirectory of a matching folder fails; the first `after` succeed.
//   Truncate   CFile::Truncate of a matching file fails; the first `after` succeed.
//   Lock       CNamedLock::Acquire of a lock whose name contains `pathPart` fails at once (not
//              a time-out) with the rule's error; the first `after` acquisitions succeed.
// `pathPart` is a plain substring ("" matches everything). `times` bounds the failing calls;
// after that the rule stays installed but is spent (a transient fault). The first matching
// rule in installation order decides.
//
// The failing call reports like a real one: the last error is MapErrno of EIO (Io), ENOSPC
// (DiskFull) or EACCES (AccessDenied). Rules are safe to install while other threads do file
// work; tests install them before starting that work.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

enum class FaultOp : uint8_t { Open, Read, Write, Sync, SyncFolder, Truncate, Lock };
enum class FaultError : uint8_t { Io, DiskFull, AccessDenied };

constexpr uint32_t FAULT_UNLIMITED = 0xFFFFFFFF;

struct FaultRule {
    FaultOp op = FaultOp::Write;
    std::string pathPart;  // substring of the path (of the lock's name for Lock)
    uint64_t after = 0;    // see above: an offset, a byte budget or a number of calls
    FaultError error = FaultError::Io;
    uint32_t times = FAULT_UNLIMITED;  // failing calls before the rule is spent
};

// Installs `rule` behind those already installed; returns its id.
int AddFault(const FaultRule& rule);
// Removes one rule; unknown ids are ignored.
void RemoveFault(int id);
// Removes every rule.
void ClearFaults();
// How many calls the rule has failed so far (0 for an unknown id).
uint32_t FaultHits(int id);

// Holds one rule for a scope.
class CFaultScope {
public:
    explicit CFaultScope(const FaultRule& rule) : m_id(AddFault(rule)) {}
    ~CFaultScope() { RemoveFault(m_id); }
    CFaultScope(const CFaultScope&) = delete;
    CFaultScope& operator=(const CFaultScope&) = delete;
    uint32_t Hits() const { return FaultHits(m_id); }
    int Id() const { return m_id; }

private:
    int m_id;
};

}  // namespace plat
