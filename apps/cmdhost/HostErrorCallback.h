// CHostErrorCallback: the command host's answers when the repository cannot find an image
// path or runs out of disk space during a run.
#pragma once
#include <string>

#include "RunnerView.h"
#include "tavrep/TavRepository.h"

namespace cmdhost {

// Asks through the view. Without a shown window nothing can be asked, so the repository
// is told to give up (0) and the run fails; the view is told why.
class CHostErrorCallback : public CTavRepErrorCallback {
public:
    explicit CHostErrorCallback(CRunnerView& view) : m_view(view) {}

    // 2 with the chosen image path in `path`; 0 to give up.
    int32_t OnChangePath(CTavRepository* repository, std::string& path) override;
    // 2 with the path of a new image file elsewhere in `path`; 0 to give up.
    int32_t OnChangeDisk(CTavRepository* repository, std::string& path) override;

private:
    int32_t Ask(const char* question, std::string& path, bool forSaving);

    CRunnerView& m_view;
};

}  // namespace cmdhost
