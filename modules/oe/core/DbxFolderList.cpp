#include "core/DbxFolderList.h"

#include <algorithm>
#include <map>
#include <new>
#include <set>

#include "core/DbxCaseFold.h"
#include "core/DbxException.h"
#include "core/DbxFolderRecord.h"
#include "core/DbxHeader.h"
#include "core/DbxIndexTree.h"

namespace {

std::optional<std::string> TextOf(const DbxFolderRecord& record, uint32_t index) {
    if (!record.Has(index)) return std::nullopt;
    return record.Utf8Text(index);
}

bool ByName(const DbxFolderEntry* a, const DbxFolderEntry* b) {
    const int r = DbxCompareNoCase(a->name.value_or(""), b->name.value_or(""));
    return r != 0 ? r < 0 : a->id < b->id;
}

}  // namespace

DbxFolderList ReadDbxFolders(DbxInput& input) {
    DbxFolderList list;
    try {
        const DbxHeader header(input);
        if (header.FolderCount() == 0 || header.FolderRoot() == 0) return list;
        const DbxIndexTree tree(input, header.FolderRoot(), header.FolderCount());
        for (const uint32_t offset : tree.Values()) {
            try {
                const DbxFolderRecord record(input, offset);
                DbxFolderEntry entry;
                entry.offset = offset;
                entry.id = record.Integer(DBX_FOLDER_ID);
                entry.parentId = record.Integer(DBX_FOLDER_PARENT_ID);
                entry.name = TextOf(record, DBX_FOLDER_NAME);
                entry.fileName = TextOf(record, DBX_FOLDER_FILE_NAME);
                entry.flags = record.Integer(DBX_FOLDER_FLAGS);
                entry.messages = record.Integer(DBX_FOLDER_MESSAGES);
                entry.unread = record.Integer(DBX_FOLDER_UNREAD);
                list.folders.push_back(std::move(entry));
            } catch (const DbxException& e) {
                ++list.unreadable;
                if (list.error.empty()) list.error = e.Describe();
            }
        }
    } catch (const DbxException& e) {
        list.folders.clear();
        list.error = e.Describe();
    } catch (const std::bad_alloc&) {
        list.folders.clear();
        list.error = DBX_ERR_MEMORY;
    }
    return list;
}

std::vector<DbxFolderEntry> DbxFoldersAsTree(const std::vector<DbxFolderEntry>& folders,
                                             std::vector<uint32_t>& depth) {
    std::multimap<uint32_t, const DbxFolderEntry*> children;  // parent id -> folders
    std::set<uint32_t> ids;
    for (const DbxFolderEntry& f : folders) ids.insert(f.id);
    std::vector<const DbxFolderEntry*> top;
    for (const DbxFolderEntry& f : folders) {
        if (f.parentId == f.id || ids.count(f.parentId) == 0)
            top.push_back(&f);
        else
            children.emplace(f.parentId, &f);
    }
    std::vector<DbxFolderEntry> out;
    depth.clear();
    std::set<const DbxFolderEntry*> listed;
    // Depth first; an explicit stack, so a deep or damaged hierarchy cannot exhaust ours.
    const auto walk = [&](std::vector<const DbxFolderEntry*> roots) {
        std::sort(roots.begin(), roots.end(), ByName);
        std::vector<std::pair<const DbxFolderEntry*, uint32_t>> stack;
        for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, 0);
        while (!stack.empty()) {
            const auto [folder, level] = stack.back();
            stack.pop_back();
            if (!listed.insert(folder).second) continue;
            out.push_back(*folder);
            depth.push_back(level);
            std::vector<const DbxFolderEntry*> below;
            const auto range = children.equal_range(folder->id);
            for (auto it = range.first; it != range.second; ++it) below.push_back(it->second);
            std::sort(below.begin(), below.end(), ByName);
            for (auto it = below.rbegin(); it != below.rend(); ++it)
                stack.emplace_back(*it, level + 1);
        }
    };
    walk(top);
    // Whatever is left sits on a cycle of parent links: list it at the top.
    for (const DbxFolderEntry& f : folders)
        if (listed.count(&f) == 0) walk({&f});
    return out;
}
