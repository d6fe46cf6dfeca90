// Finding a repository's image files by name.
#include "ImageFiles.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace imagefiles {

void SplitName(const std::string& name, std::string& stem, std::string& extension) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        stem = name;
        extension.clear();
    } else {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
}

int64_t ImageNumberOf(const std::string& name, const std::string& firstName) {
    if (name == firstName) return 0;
    std::string stem, extension;
    SplitName(firstName, stem, extension);
    const size_t prefix = stem.size() + 1;
    if (name.size() < prefix + 4 + extension.size()) return -1;
    if (name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '.') return -1;
    if (name.compare(name.size() - extension.size(), extension.size(), extension) != 0) return -1;
    const std::string digits = name.substr(prefix, name.size() - prefix - extension.size());
    if (digits.size() > 9) return -1;
    int64_t number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::vector<std::pair<uint32_t, std::string>> ListImages(const std::string& firstImagePath) {
    std::vector<std::pair<uint32_t, std::string>> images;
    const std::string folder = plat::DirName(firstImagePath);
    const std::string firstName = plat::BaseName(firstImagePath);
    std::vector<TavFindData> entries;
    if (firstName.empty() || !plat::ListDirectory(folder.empty() ? "." : folder, entries))
        return images;
    for (const TavFindData& entry : entries) {
        if (entry.kind == TavFileKind::Directory) continue;
        const int64_t number = ImageNumberOf(entry.name, firstName);
        if (number >= 0) images.emplace_back(uint32_t(number), plat::JoinPath(folder, entry.name));
    }
    // The first image's plain name sorts before "name.0000.ext" of the same number.
    std::stable_sort(images.begin(), images.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return plat::BaseName(a.second) == firstName && plat::BaseName(b.second) != firstName;
    });
    return images;
}

}  // namespace imagefiles
