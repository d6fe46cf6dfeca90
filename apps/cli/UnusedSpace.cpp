// Reclaimable space for check and info: images no baseline uses, found with the modules.
#include "UnusedSpace.h"

#include "CmdHostText.h"
#include "NodeFormat.h"
#include "Progress.h"
#include "tavengine/TavModFactory.h"
#include "tavengine/TavRetention.h"

namespace tavctl {

std::vector<std::string> DescribeUnusedSpace(CRepoSession& session) {
    std::vector<std::string> lines;
    CTavModFactory hub(cmdhost::text::HUB_COMMAND_BASE);
    hub.Reconnoiter();
    TavReclaimResult unused;
    std::string error;
    const bool ok = FindUnusedSpace(session.Rep(), &hub, unused, error);
    session.Rep().ReleaseReadHandles();
    if (!ok) {
        lines.push_back("Unused space not worked out: " + error);
        return lines;
    }
    for (const TavReclaimResult::Image& image : unused.deleted)
        lines.push_back("Image " + std::to_string(image.id) + " (" + Printable(image.path) +
                        ") is used by no baseline: " + FormatBytes(image.bytes) +
                        " that the next 'tavctl forget' gives back");
    if (unused.cutBytes > 0)
        lines.push_back("The last " + FormatBytes(unused.cutBytes) +
                        " of image 0 are used by no baseline; the next 'tavctl forget' gives them back");
    return lines;
}

}  // namespace tavctl
