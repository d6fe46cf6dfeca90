#include "SettingsModel.h"

#include "tavengine/TavJobHelper.h"

namespace editor {

JobSettings ReadJobSettings(const CTavJobHelper& job) {
    JobSettings s;
    s.name = job.GetImageDesc("name");
    s.location = job.GetImageDesc("location");
    s.description = job.GetRepDescription();
    s.splitSize = job.GetImageDesc("splitsize");
    s.encoding = DecodeEncoding(job.GetImageEncoding());
    return s;
}

void WriteJobSettings(const JobSettings& s, CTavJobHelper& job) {
    job.SetImageDesc(s.name, s.splitSize, EncodeEncoding(s.encoding), s.location);
    job.SetRepDescription(s.description);
}

}  // namespace editor
