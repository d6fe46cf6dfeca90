// Job files for the job commands.
#include "JobFile.h"

#include "CliCommon.h"
#include "JobCliText.h"
#include "platform/FileSystem.h"

namespace tavctl {

std::string CommandLinePath(const std::string& path) {
    if (path == jobtext::ROOT_PATH) return path;
    std::string full = plat::AbsolutePath(path);
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    return full;
}

bool LoadJobFile(const std::string& path, CTavJobHelper& job, CCliContext& ctx) {
    if (job.Load(CommandLinePath(path))) return true;
    Fail(ctx, "", job.GetErrorText());
    return false;
}

bool SaveJobFile(CTavJobHelper& job, CCliContext& ctx) {
    if (job.Save()) return true;
    Fail(ctx, "", job.GetErrorText());
    return false;
}

XMLNode FilesNode(CTavJobHelper& job) {
    XMLNode node = job.GetBackupNode(jobtext::FILES_MODULE);
    if (node.IsEmpty()) node = job.AddBackupNode(jobtext::FILES_TITLE, jobtext::FILES_MODULE);
    return node;
}

}  // namespace tavctl
