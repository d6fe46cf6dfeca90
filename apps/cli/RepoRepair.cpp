// Repairing a repository.
#include "RepoRepair.h"

#include "ContentReader.h"
#include "Progress.h"
#include "platform/FileSystem.h"
#include "platform/NamedLock.h"
#include "tavengine/TavEngine.h"
#include "tavengine/TavRepLock.h"

namespace tavctl {

namespace {


std::string Image(const TavLeftover& left) {
    return "image " + std::to_string(left.image) + " (" + left.path + ")";
}

std::string Bytes(uint64_t n) { return FormatBytes(n) + (n >= 1024 ? " (" + std::to_string(n) + " bytes)" : ""); }

// The newest baseline's node table cannot be read.
bool NewestNodeTableDamaged(CRepoSession& session) {
    std::string problem;
    return session.LoadBaseline(session.Rep().GetLatestBaselineNumber(), problem) == nullptr;
}

}  // namespace

void DescribeLeftovers(CTavRepository& rep, const LineSink& out) {
    for (const TavLeftover& left : rep.FindLeftovers()) {
        std::string line = "left over: " + Image(left) + ": " + Bytes(left.Bytes()) +
                           (left.keep == 0 ? " (the whole image)" : " behind the newest baseline table") +
                           " written by a backup run that did not finish";
        line += left.busy ? "; a backup run is writing it now"
                          : "; tavctl check --repair or the next backup removes them";
        out(line);
    }
    rep.ReleaseReadHandles();
}

bool RepairRepository(CRepoSession& session, const LineSink& out, std::string& problem) {
    CTavRepository& rep = session.Rep();
    std::string first;
    CTavRepository::BuildImagePath(first, plat::AbsolutePath(session.Path()), TAV_NONE);
    // A backup run holds this lock for its whole life: none may start while images move.
    plat::CNamedLock runLock(CTavEngine::GetRunLockName(first));
    if (!runLock.Acquire(TAV_RUN_LOCK_TIMEOUT_MS)) {
        problem = "a backup run is writing to the repository; repair it when the run is over";
        return false;
    }
    if (!rep.GetNewerImages().empty()) {
        problem = NewerReaderText(*rep.GetNewerImages().begin()) +
                  "; nothing was changed (repair it with that version)";
        return false;
    }
    uint64_t freed = 0;
    for (const TavLeftover& left : rep.RemoveLeftovers(rep.FindLeftovers())) {
        freed += left.Bytes();
        out(left.keep == 0 ? "removed " + Image(left) + ", " + Bytes(left.size) + " left by a run that did not finish"
                           : "cut " + Image(left) + " back to " + std::to_string(left.keep) + " bytes, " +
                                 Bytes(left.Bytes()) + " left by a run that did not finish");
    }
    if (!rep.GetUnreadableTables().empty() || NewestNodeTableDamaged(session)) {
        std::vector<TavSetAside> setAside;
        const bool ok = rep.SetAsideDamaged(setAside, problem);
        for (const TavSetAside& s : setAside)
            out("set aside image " + std::to_string(s.image) + ": " + s.from + " -> " + s.to +
                " (its baselines cannot be read; the file is kept for a closer look)");
        if (!rep.IsAttached() && !session.Reattach(problem)) return false;
        if (!ok) return false;
    }
    for (uint32_t id : rep.MendSecurityRecords())
        out("rewrote the security record of image " + std::to_string(id) + " (" + rep.ImagePathOf(id) +
            ") to agree with the other images");
    rep.ReleaseReadHandles();
    return true;
}

}  // namespace tavctl
