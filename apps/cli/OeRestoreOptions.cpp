// --map of tavctl restore: identity mapping entries of the restore request.
#include "OeRestoreOptions.h"

#include "CliCommon.h"
#include "NodeFormat.h"
#include "OeCliText.h"
#include "core/OeRestoreRequest.h"
#include "core/OeTexts.h"
#include "tavengine/XMLNode.h"

namespace tavctl {

CliOption OeMapOption() { return {oecli::MAP_OPTION, 0, true, oecli::MAP_VALUE, oecli::MAP_HELP}; }

bool ApplyOeMapOptions(const CCliArgs& args, bool toLocation, std::string& request,
                       CCliContext& ctx, int& code) {
    const std::vector<std::string> maps = args.Values(oecli::MAP_OPTION);
    if (maps.empty()) return true;
    if (toLocation) {
        code = Fail(ctx, "restore", oecli::ERR_MAP_WITH_DESTINATION, EXIT_USAGE);
        return false;
    }
    XMLNode root = XMLNode::Parse(request, oetext::REQUEST_ROOT);
    for (const std::string& text : maps) {
        std::string from, to, error;
        if (!ParseOeMapArgument(text, from, to, error)) {
            code = Fail(ctx, "restore --map", Printable(error), EXIT_USAGE);
            return false;
        }
        if (!AddOeIdentityMap(root, from, to)) {
            code = Fail(ctx, "restore --map", Printable(text), EXIT_PROBLEMS);
            return false;
        }
    }
    request = root.CreateXMLString();
    return true;
}

}  // namespace tavctl
