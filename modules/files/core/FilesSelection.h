// Selection rules of the Files and Folders node: adding a path, removing a source, filters.
#pragma once
#include <string>
#include <vector>

class CTavJobFilesHelper;

// What adding a path did.
enum class TavAddPathOutcome {
    Added,           // the path is a new source
    AlreadyCovered,  // the path is a source already or lies below one: nothing changed
    NotAdded,        // a file path that other sources lie below, or the element failed
};

struct TavAddPathResult {
    TavAddPathOutcome outcome = TavAddPathOutcome::NotAdded;
    // Sources that lay below the added folder and were removed (the view deletes their items).
    std::vector<std::string> removedSources;
    // For AlreadyCovered: the warning to show ("\"%s\" already exists in file list").
    std::string warning;
};

// Adds a picked or dropped path as a source. A path that is already a source or lies below
// one is refused with a warning; a folder replaces the sources that lie below it.
TavAddPathResult AddSelectionPath(CTavJobFilesHelper& selection, const std::string& path,
                                  bool isFolder);

// Removes the source `path` with the filters and exclusions strictly below it and the
// exclusion of the path itself; the path's own filter stays. 1 when the source was removed.
int RemoveSelectionSource(CTavJobFilesHelper& selection, const std::string& path);

// Applies the filter dialog's result for `folder`: an existing filter is updated, or removed
// when both lists are empty; a folder without one gets one when either list is not empty.
// 1 when the selection changed.
int EditFolderFilter(CTavJobFilesHelper& selection, const std::string& folder,
                     const std::string& included, const std::string& excluded, bool recursive);
