// What the programs' tests read back: the baselines a fresh reader of a repository sees and
// the names of a folder's files.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "tavrep/TavException.h"
#include "tavrep/TavRepository.h"

namespace apptest {

// The baselines of the repository whose image 0 is `image`; empty when it cannot be opened.
inline std::vector<TavBaselineHeaderRec> Baselines(const std::string& image) {
    CTavRepository reader;
    try {
        if (!reader.Attach(image, nullptr) || reader.GetBaselineList() == nullptr) return {};
        return reader.GetBaselineList()->items;
    } catch (CTavException* e) {
        e->Delete();
        return {};
    }
}

// A name or description of a baseline header (ASCII in the tests).
inline std::string Utf16Text(const char16_t* text, size_t room) {
    std::string out;
    for (size_t i = 0; i < room && text[i] != 0; ++i) out += char(text[i]);
    return out;
}

// The names of the entries of `folder`.
inline std::set<std::string> Names(const std::string& folder) {
    std::vector<TavFindData> entries;
    plat::ListDirectory(folder, entries);
    std::set<std::string> names;
    for (const TavFindData& e : entries) names.insert(e.name);
    return names;
}

}  // namespace apptest
