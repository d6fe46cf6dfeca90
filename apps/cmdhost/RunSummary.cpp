// Names of run outcomes.
#include "RunSummary.h"

namespace cmdhost {

const char* RunOutcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::NotRun: return "not run";
        case RunOutcome::JobNotLoaded: return "job not loaded";
        case RunOutcome::Refused: return "refused";
        case RunOutcome::CannotStart: return "cannot start";
        case RunOutcome::BaselineUnreadable: return "baseline unreadable";
        case RunOutcome::Failed: return "failed";
        case RunOutcome::Cancelled: return "cancelled";
        case RunOutcome::Committed: return "committed";
    }
    return "";
}

}  // namespace cmdhost
