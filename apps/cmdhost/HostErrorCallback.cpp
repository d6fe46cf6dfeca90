// Questions the repository asks during a run.
#include "HostErrorCallback.h"

#include "CmdHostText.h"
#include "platform/TextFormat.h"

namespace cmdhost {

int32_t CHostErrorCallback::Ask(const char* question, std::string& path, bool forSaving) {
    const std::string text = plat::Format(question, path.c_str());
    if (!m_view.IsVisible()) {
        // Nobody to ask: say what happened, then let the repository give up.
        m_view.ReportProblem(text.substr(0, text.find('\n')));
        return 0;
    }
    if (!m_view.AskYesNo(text)) return 0;
    std::string chosen = path;
    // A cancelled dialog gives up too: answering "try again" with the same path would only
    // bring the same question back.
    if (!m_view.ChooseImagePath(chosen, forSaving) || chosen.empty()) return 0;
    path = chosen;
    return 2;
}

int32_t CHostErrorCallback::OnChangePath(CTavRepository*, std::string& path) {
    return Ask(text::ASK_CHANGE_PATH, path, false);
}

int32_t CHostErrorCallback::OnChangeDisk(CTavRepository*, std::string& path) {
    return Ask(text::ASK_CHANGE_DISK, path, true);
}

}  // namespace cmdhost
