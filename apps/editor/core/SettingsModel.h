// The SETTINGS page's fields and how they are read from and written into a job.
#pragma once
#include <string>

#include "EditorSettings.h"

class CTavJobHelper;

namespace editor {

struct JobSettings {
    std::string name;         // "Backup Image Name"
    std::string location;     // "Image Location"
    std::string description;  // "Description"
    std::string splitSize;    // "Image Split Size"
    EncodingChoice encoding;
};

JobSettings ReadJobSettings(const CTavJobHelper& job);
void WriteJobSettings(const JobSettings& settings, CTavJobHelper& job);

}  // namespace editor
