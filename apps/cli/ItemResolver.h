// Finding a stored item by the name a user gives it: a node id ("628" or "#00000274"),
// the original full path of a Files and Folders item ("/home/ann/docs/a.txt"), or the
// names from a module root down ("Outlook Express/{GUID}/<msgroot>/Inbox.dbx"), or a path
// relative to the current folder ("docs/a.txt", "./a.txt") when its first part names no
// module root.
#pragma once
#include <string>
#include <vector>

#include "BaselineView.h"

namespace tavctl {

struct ResolvedItem {
    // True when the name is a stored item (`node`); false when it is a folder above the
    // stored Files and Folders items (`below` then holds the top-level items inside it).
    bool stored = true;
    TavNodeRec node{};
    std::vector<TavNodeRec> below;
    std::string path;  // the item's path as tavctl shows it
};

// False with `problem` set when the name matches nothing in the baseline.
bool ResolveItem(const CBaselineView& view, const std::string& name, ResolvedItem& out,
                 std::string& problem);

}  // namespace tavctl
