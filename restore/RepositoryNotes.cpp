// Warnings about a repository that opened with damage.
#include "RepositoryNotes.h"

#include "tavrep/TavRepository.h"

namespace tavctl {

std::vector<std::string> RepositoryDamageNotes(CTavRepository& rep) {
    std::vector<std::string> notes;
    // Images a newer release wrote are named as such, never as damage.
    const std::set<uint32_t>& newer = rep.GetNewerImages();
    const uint32_t shownUpTo = rep.GetLatestBaselineNumber();
    for (uint32_t id : newer)
        notes.push_back(NewerReaderText(id) + " (" + rep.ImagePathOf(id) +
                        "): the baselines it holds are not shown" +
                        (shownUpTo != TAV_NONE ? "; showing the baselines up to " + std::to_string(shownUpTo) : "") +
                        ", and nothing can be written to the repository with this version");
    const std::vector<TavPosition>& unreadable = rep.GetUnreadableTables();
    if (!unreadable.empty() && newer.count(unreadable.front().image) == 0) {
        std::string note = "the newest baselines are damaged: the baseline table in " +
                           rep.ImagePathOf(unreadable.front().image) + " cannot be read";
        const uint32_t shown = rep.GetLatestBaselineNumber();
        if (shown != TAV_NONE) note += "; showing the baselines up to " + std::to_string(shown);
        notes.push_back(note + " (tavctl check --repair sets the damaged images aside)");
    }
    for (const TavSecurityMismatch& m : rep.GetSecurityMismatches())
        notes.push_back("image " + std::to_string(m.image) + " (" + rep.ImagePathOf(m.image) +
                        (m.damaged ? ") has a damaged security record"
                                   : ") names another password than the other images") +
                        " (tavctl check --repair or tavctl passwd makes them agree)");
    return notes;
}

}  // namespace tavctl
