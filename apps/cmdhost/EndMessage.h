// What the host window says when a run is over: "Backup Finished." only for a committed
// run; a run that saved nothing says what failed.
#pragma once
#include <optional>
#include <string>

#include "RunSummary.h"
#include "RunnerView.h"

namespace cmdhost {

struct EndMessage {
    std::string text;
    MessageIcon icon = MessageIcon::Information;
};

// The box to show before "Backup Finished." (committed with items in error) or instead of
// it (nothing committed); none for a clean run, a stopped one, or when the runner has
// already shown why the run could not start (`failureShown`).
std::optional<EndMessage> EndOfRunMessage(const RunSummary& summary, bool stopped, bool failureShown);

}  // namespace cmdhost
