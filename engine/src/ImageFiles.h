// The image files of a repository found in its folder, by the name of its first image.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace imagefiles {

// Splits a file name into its stem and its extension (with the dot; empty when none).
void SplitName(const std::string& name, std::string& stem, std::string& extension);

// The image number of file `name` for a repository whose first image is named `firstName`:
// 0 for the first image's own name; n for the first name's stem, ".", four or more digits and
// its extension ("job.0007.tvr" is 7 for "job.tvr"); -1 for any other name.
int64_t ImageNumberOf(const std::string& name, const std::string& firstName);

// Every image file of that repository in the first image's folder, ordered by number; a
// folder that cannot be read gives none.
std::vector<std::pair<uint32_t, std::string>> ListImages(const std::string& firstImagePath);

}  // namespace imagefiles
