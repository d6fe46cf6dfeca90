// CTavEngineFiles backup: walking one folder and adding, updating or deleting its items; the
// contents it finds to store are stored after the walk (EngineFilesPending.cpp).
#include <algorithm>

#include "core/EngineFilesItems.h"
#include "core/FileFilter.h"
#include "core/FilesTexts.h"
#include "core/PathText.h"
#include "core/PosixMeta.h"
#include "core/TavJobFilesHelper.h"
#include "platform/FileSystem.h"
#include "platform/SysError.h"
#include "tavengine/TavWords.h"
#include "platform/TextFormat.h"
#include "platform/Utf8.h"

namespace {

using namespace filestext;

bool IsLink(const TavFindData& found) { return (found.attributes & TAV_ATTR_REPARSE_POINT) != 0; }

}  // namespace

// A damaged table never makes this loop endless.
void CTavEngineFiles::LoadPreviousItems(const TavNodeRec& parent, CPreviousItems& items,
                                        size_t expected) {
    int32_t budget = m_baseline->count;
    items.Reserve(std::min<size_t>(expected, size_t(std::max<int32_t>(budget, 0))));
    TavNodeRec node;
    for (uint32_t id = parent.firstChildId; id != TAV_NONE && budget-- > 0;
         id = node.nextSiblingId) {
        if (!m_baseline->LoadNode(node, id)) break;
        if (node.flags & NODE_DELETED) continue;
        items.Add(node, Utf16FieldToUtf8(node.name, NODE_NAME_CHARS));
    }
}

void CTavEngineFiles::DescendInto(uint32_t nodeId, const std::string& path,
                                  const TavFileFilter* parentFilter) {
    // A folder's own filter; else the filter it is under, when that one is recursive.
    const std::unique_ptr<TavFileFilter> own = TavFileFilter::Of(*m_selection, path);
    const TavFileFilter* filter =
        own ? own.get()
            : (parentFilter != nullptr && parentFilter->recursive ? parentFilter : nullptr);
    BackupGoDeep(nodeId, path, filter);
}

void CTavEngineFiles::BackupGoDeep(uint32_t nodeId, const std::string& folder,
                                   const TavFileFilter* filter) {
    // The folder's previous items (those not marked deleted), found again by name, and one
    // listing with the lstat data of every entry. A folder that cannot be read keeps its
    // previous items, and the log says that its content was not read.
    TavNodeRec parent;
    if (!m_baseline->LoadNode(parent, nodeId)) return;
    std::vector<TavFindData> entries;
    if (!plat::ListDirectory(folder, entries)) {
        const std::string why = plat::ErrorText(plat::GetLastError());
        const std::string shown = filespath::Printable(folder);
        Log(plat::Format(LOG_CANNOT_OPEN_ITEM, shown.c_str()));
        Log(plat::Format(LOG_REASON, why.c_str()));
        ItemError(shown, std::string(WHY_NOT_LISTED) + ": " + why, false);
        return;
    }
    CPreviousItems items;
    LoadPreviousItems(parent, items, entries.size());
    // Under the new-file mode 0x30, a folder that holds an excluded file takes no new items.
    const int allSelected = AllSelected(folder);
    for (TavFindData& entry : entries) {
        if (IsCancelled()) return;
        HandleEntry(nodeId, folder, allSelected, entry, filter, items);
    }
    for (size_t i = 0; i < items.Size(); ++i)
        if (!items.Taken(i)) DeleteItem(items.NodeIdOf(i), true);
    NoteWorkFound();
}

void CTavEngineFiles::HandleEntry(uint32_t parentId, const std::string& folder, int allSelected,
                                  TavFindData& entry, const TavFileFilter* filter,
                                  CPreviousItems& items) {
    const std::string path = filespath::Join(folder, entry.name);
    if (entry.kind == TavFileKind::Other) {
        Log(plat::Format(LOG_SPECIAL_FILE, filespath::Printable(path).c_str()));
        return;
    }
    if (!TakesEntry(entry, path, filter)) return;
    const bool isFolder = entry.kind == TavFileKind::Directory;
    const size_t previous = items.Find(entry.name);
    if (previous == CPreviousItems::NONE) {
        if (!ShouldAddNew(path, allSelected)) return;
        m_currentPath = path;
        if (!isFolder) {
            AddNewFile(parentId, entry, path);
            return;
        }
        const uint32_t id = AddItem(parentId, entry, path);
        if (id == TAV_NONE)
            ItemError(filespath::Printable(path), StoreFailure(), m_lastRepError.empty());
        else
            DescendInto(id, path, filter);
        return;
    }

    items.Take(previous);
    TavNodeRec node;
    items.Get(previous, node);
    m_currentPath = path;
    Progress(path);
    const bool wasFolder = (node.flags & NODE_DIRECTORY) != 0;
    if (isFolder && !wasFolder) {
        DeleteItem(node.nodeId, false);
        if (!CheckShouldBeAdded(path, allSelected, m_word)) return;
        const uint32_t id = AddItem(parentId, entry, path);
        if (id == TAV_NONE)
            ItemError(filespath::Printable(path), StoreFailure(), m_lastRepError.empty());
        else
            DescendInto(id, path, filter);
    } else if (isFolder) {
        if (CheckUpToDate(node, entry, m_word))
            UpdateFolder(node, entry);
        else
            KeepUnchanged(node, entry);
        DescendInto(node.nodeId, path, filter);
    } else if (!wasFolder) {
        if (CheckUpToDate(node, entry, m_word))
            AddPending(parentId, node.nodeId, node.chunkSize, entry, path);
        else
            KeepUnchanged(node, entry);
    } else {
        DeleteItem(node.nodeId, false);
        if (CheckShouldBeAdded(path, allSelected, m_word) || IsPartial(path))
            AddNewFile(parentId, entry, path);
    }
}

int CTavEngineFiles::AllSelected(const std::string& folder) const {
    return m_partlySelected.count(folder == "/" ? folder : folder + "/") ? 0 : 1;
}

bool CTavEngineFiles::TakesEntry(const TavFindData& entry, const std::string& path,
                                 const TavFileFilter* filter) {
    const bool isFolder = entry.kind == TavFileKind::Directory;
    if (!isFolder && filter != nullptr && filter->Skips(entry.name)) return false;
    if (IsExcluded(path, isFolder)) return false;
    return CanStore(entry, path);  // says why not
}

bool CTavEngineFiles::ShouldAddNew(const std::string& path, int allSelected) const {
    return CheckShouldBeAdded(path, allSelected, m_word) || IsPartial(path) ||
           m_baseline->baselineNumber == 0;
}

// A stored name must come back unchanged: it fits the name field and is well-formed UTF-8.
bool CTavEngineFiles::CanStore(const TavFindData& found, const std::string& path) {
    if (!plat::IsValidUtf8(found.name)) {
        const std::string shown = filespath::Printable(path);
        Log(plat::Format(LOG_NAME_NOT_UTF8, shown.c_str()));
        ItemError(shown, WHY_NOT_UTF8, false);
        return false;
    }
    if (found.name.size() > NODE_NAME_MAX_UTF8) {
        Log(plat::Format(LOG_PATH_TOO_LONG, path.c_str()));
        ItemError(path, WHY_TOO_LONG, false);
        return false;
    }
    return true;
}

// A new file is stored when its archive attribute is set or the word says not to look at it.
// Every regular file has the attribute on this system, and a symbolic link counts as set.
void CTavEngineFiles::AddNewFile(uint32_t parentId, const TavFindData& found,
                                 const std::string& path) {
    if (!(m_word & TAV_COND_NO_ARCHIVE) && !(found.attributes & TAV_ATTR_ARCHIVE) && !IsLink(found))
        return;
    AddPending(parentId, TAV_NONE, 0, found, path);
}

uint32_t CTavEngineFiles::AddItem(uint32_t parentId, const TavFindData& found,
                                  const std::string& path) {
    const TavPosition extra = m_meta->PositionFor(found);
    const bool folder = (found.attributes & TAV_ATTR_DIRECTORY) != 0;
    m_lastRepError.clear();
    m_currentSize = folder ? 0 : found.Size();
    const uint32_t id = m_repository->AddNode(m_baseline, parentId, MODULE_FILES_ITEM, &found,
                                              folder ? nullptr : path.c_str(), 0, extra, this);
    if (!folder) WorkDone(found);
    return id;
}

void CTavEngineFiles::WorkDone(const TavFindData& found) {
    m_currentSize = 0;
    if (!HasWorkTotal()) return;
    ++m_done.files;
    m_done.bytes += found.Size();
    SetWorkDone(m_done);
}

void CTavEngineFiles::UpdateItem(TavNodeRec& node, const TavFindData& found,
                                 const std::string& path) {
    const TavPosition extra = m_meta->PositionFor(found);
    m_lastRepError.clear();
    // A file that could not be stored whole keeps its node as it was: the previous backup
    // stays, and its recorded size and times make the next run try the file again.
    m_currentSize = found.Size();
    const int stored = m_repository->UpdateNode(m_baseline, node, &found, path.c_str(), extra, this);
    WorkDone(found);
    if (stored)
        ++m_counts.updated;
    else
        ItemError(filespath::Printable(path), StoreFailure(), m_lastRepError.empty());
}

void CTavEngineFiles::UpdateFolder(TavNodeRec& node, const TavFindData& found) {
    const TavPosition extra = m_meta->PositionFor(found);
    if (!m_repository->UpdateNode(m_baseline, node, &found, nullptr, extra, this))
        ItemError(filespath::Printable(m_currentPath), WHY_NOT_STORED, true);
}

// An item whose content did not change. When only its mode, owner or group did, the node
// takes the new values (and keeps its content, size and times); a file counts as updated
// then, else as skipped.
void CTavEngineFiles::KeepUnchanged(TavNodeRec& node, const TavFindData& found) {
    const bool folder = (node.flags & NODE_DIRECTORY) != 0;
    if (!m_meta->Differs(node, found)) {
        if (!folder) ++m_counts.skipped;
        return;
    }
    TavFindData kept = found;
    if (!IsLink(found)) {
        kept.SetSize(node.Size());
        kept.created = node.created;
        kept.accessed = node.accessed;
        kept.written = node.written;
    }
    const TavPosition extra = m_meta->PositionFor(found);
    const int done = m_repository->UpdateNode(m_baseline, node, &kept, nullptr, extra, this);
    if (!done)
        ItemError(filespath::Printable(m_currentPath), WHY_NOT_STORED, true);
    else if (!folder)
        ++m_counts.updated;
}

void CTavEngineFiles::DeleteItem(uint32_t nodeId, bool counted) {
    if (m_repository->DeleteNode(m_baseline, nodeId) && counted) ++m_counts.deleted;
}
