// The Outlook Express side of tavctl restore: --map OLDUID=NEWUID.
#pragma once
#include <string>

#include "ArgParser.h"
#include "CliContext.h"

namespace tavctl {

// The option: "--map OLDUID=NEWUID", repeatable.
CliOption OeMapOption();

// Adds the --map entries of the command line to the restore request (the Outlook Express
// engine reads them as the identity mapping the user confirmed in advance). Without --map
// the request is left as it is: each backed-up identity is restored into the identity of
// the same identifier on this machine, and the restore is refused when one has none.
// False after reporting a wrong value, or --map with a destination (`toLocation`: nothing
// is imported there), with the exit code in `code`.
bool ApplyOeMapOptions(const CCliArgs& args, bool toLocation, std::string& request,
                       CCliContext& ctx, int& code);

}  // namespace tavctl
