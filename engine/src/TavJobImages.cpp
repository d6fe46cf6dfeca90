// CTavJobHelper: the paths of the job's image files.
#include "ImageFiles.h"
#include "JobSchema.h"
#include "TextUtil.h"
#include "platform/FileSystem.h"
#include "tavengine/TavJobHelper.h"

std::string CTavJobHelper::GetImageFileName() const {
    std::string name = GetImageDesc(jobxml::NAME);
    if (name.empty()) return {};
    if (!tavtext::EndsWithNoCase(name, jobxml::IMAGE_EXTENSION) ||
        name.size() == std::string_view(jobxml::IMAGE_EXTENSION).size())
        name += jobxml::IMAGE_EXTENSION;
    return name;
}

std::string CTavJobHelper::GetImagePath() const {
    const std::string location = GetImageDesc(jobxml::LOCATION);
    const std::string name = GetImageFileName();
    if (location.empty() || name.empty()) return {};
    return plat::JoinPath(location, name);
}

std::string CTavJobHelper::GetImagePathText() const {
    const std::string location = GetImageDesc(jobxml::LOCATION);
    const std::string name = GetImageDesc(jobxml::NAME);
    if (location.empty()) return name;
    return plat::JoinPath(location, name);
}

std::string CTavJobHelper::FormatImagePath(const std::string& part) const {
    const std::string first = GetImagePath();
    if (first.empty() || part.empty()) return first;
    std::string stem, extension;
    imagefiles::SplitName(plat::BaseName(first), stem, extension);
    return plat::JoinPath(plat::DirName(first), stem + "." + part + extension);
}

uint32_t CTavJobHelper::FindLastImagePath(std::string& path) const {
    path.clear();
    const std::string first = GetImagePath();
    if (first.empty()) return 0xFFFFFFFF;
    const auto images = imagefiles::ListImages(first);
    if (images.empty() || images.back().first == 0xFFFFFFFF) return 0xFFFFFFFF;
    path = images.back().second;
    return images.back().first;
}
