// Helpers of tavctl's job commands: paths from the command line, loading and saving a job,
// its Files and Folders node.
#pragma once
#include <string>

#include "CliContext.h"
#include "tavengine/TavJobHelper.h"
#include "tavengine/XMLNode.h"

namespace tavctl {

// The absolute form of a path from the command line ("." and ".." resolved as text, no
// trailing '/' except for "/"). The job's special path ":root:" is kept as it is.
std::string CommandLinePath(const std::string& path);

// Loads the job file; false after reporting why (exit code 1).
bool LoadJobFile(const std::string& path, CTavJobHelper& job, CCliContext& ctx);
// Saves the job to its own path; false after reporting why.
bool SaveJobFile(CTavJobHelper& job, CCliContext& ctx);

// The job's Files and Folders node, made when the job has none.
XMLNode FilesNode(CTavJobHelper& job);

}  // namespace tavctl
