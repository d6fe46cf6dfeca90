// The working records of one restore: the files to write and the folders the restore made.
#pragma once
#include <string>
#include <unordered_set>
#include <vector>

#include "core/TavEngineFiles.h"

struct CTavEngineFiles::CRestoreList {
    struct Item {
        uint32_t id;
        std::string path;  // the absolute target path
    };

    CTavRestoreParam* param = nullptr;
    CTavRepBaselineDetails* baseline = nullptr;
    // Files and links to write, written in the order of their contents in the images.
    std::vector<Item> files;
    // Folders made by this restore, parents before children: they get their stored mode,
    // owner and times once their content is written.
    std::vector<Item> made;
    // Folders collected so far: damaged links that lead back up never loop.
    std::unordered_set<uint32_t> visited;
};
