// The closing message of a run in the host window.
#include "EndMessage.h"

#include "CmdHostText.h"
#include "ConsoleView.h"
#include "platform/TextFormat.h"

namespace cmdhost {

std::optional<EndMessage> EndOfRunMessage(const RunSummary& summary, bool stopped, bool failureShown) {
    if (stopped || summary.outcome == RunOutcome::NotRun || summary.outcome == RunOutcome::Cancelled)
        return std::nullopt;
    const std::string seeLog =
        summary.logPath.empty() ? "" : "\n" + plat::Format(text::MSG_SEE_LOG, summary.logPath.c_str());
    if (summary.Committed()) {
        const std::vector<std::string> lines = CConsoleView::ItemErrorLines(summary);
        if (lines.empty() && !summary.retentionFailed) return std::nullopt;
        std::string body;
        for (const std::string& line : lines) body += line + "\n";
        if (summary.retentionFailed) body += std::string(text::MSG_KEEP_POLICY_FAILED) + "\n";
        return EndMessage{plat::Format(text::MSG_FINISHED_INCOMPLETE, body.c_str()) + seeLog,
                          MessageIcon::Exclamation};
    }
    if (failureShown) return std::nullopt;
    std::string problem = summary.problem.empty() ? text::REASON_UNKNOWN_ERROR : summary.problem;
    while (!problem.empty() && (problem.back() == '.' || problem.back() == '\n')) problem.pop_back();
    return EndMessage{plat::Format(text::MSG_BACKUP_FAILED, problem.c_str()) + seeLog, MessageIcon::Exclamation};
}

}  // namespace cmdhost
