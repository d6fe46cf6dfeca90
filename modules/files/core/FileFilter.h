// TavFileFilter: the extension filter in force while one folder is walked.
#pragma once
#include <memory>
#include <string>
#include <string_view>

class CTavJobFilesHelper;

// A folder's filter from its "filter" entry. Unlike the pattern buffers of old, the lists are
// kept whole: a long list never loses its last patterns.
struct TavFileFilter {
    std::string included;    // ";"-separated wildcard patterns; empty: every name
    std::string excluded;    // ";"-separated wildcard patterns; empty: none
    bool recursive = false;  // also governs sub folders that have no filter of their own
    std::string folder;

    // True when a file of that name is left out: it matches none of a non-empty included
    // list, or it matches the excluded list. Folders are never filtered.
    bool Skips(std::string_view name) const;

    // The filter of `folder` (exact path, or with a trailing '/'); null when the folder has
    // no filter or both of its lists are empty.
    static std::unique_ptr<TavFileFilter> Of(const CTavJobFilesHelper& selection,
                                             const std::string& folder);
};
