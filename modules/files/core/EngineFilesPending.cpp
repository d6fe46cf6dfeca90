// CTavEngineFiles backup: the contents the walk found to store, stored after it.
//
// The walk adds, updates and deletes the items of the working table, and notes each file or
// link whose content is to be stored (a new one, or one that changed) instead of storing it
// there and then. So the run's whole work (files and bytes) is known before any of it is
// done, and a progress display is right from the start at no extra cost; and the files are
// announced to the repository's read-ahead in one list, across folder boundaries. A very
// large run stores what it has found each time the list reaches its limit
// (SetPendingLimit); its total then grows as the walk goes on.
#include "core/EngineFilesItems.h"
#include "core/PathText.h"
#include "platform/FileSystem.h"

namespace {

constexpr uint32_t FOLDERS_PER_REPORT = 16;

}  // namespace

void CTavEngineFiles::AddPending(uint32_t parentId, uint32_t nodeId, uint32_t chunkSize,
                                 const TavFindData& found, const std::string& path) {
    m_pending.push_back({parentId, nodeId, chunkSize, found, path});
    m_pendingBytes += sizeof(CPendingStore) + path.size() + found.name.size() + found.linkTarget.size();
    ++m_found.files;
    m_found.bytes += found.Size();
    if (m_pendingBytes < m_pendingLimit) return;
    // The walk goes on after this; what is stored now needs nothing it has not done yet.
    m_storedEarly = true;
    SetWorkTotal(m_found);
    StorePending();
}

void CTavEngineFiles::NoteWorkFound() {
    if (m_storedEarly)
        SetWorkTotal(m_found);
    else
        SetWorkCounted(m_found);
    // Every few folders the display shows the total growing, and a stop asked for meanwhile
    // is heard.
    if (m_foldersWalked++ % FOLDERS_PER_REPORT == 0) FireOnProgress(m_progressTitle, m_currentPath, 0);
}

void CTavEngineFiles::StorePending() {
    // The files after the one being stored are announced while the repository takes them,
    // so that small files are read and encoded side by side. Only regular files: opening a
    // link would follow it.
    size_t announced = 0;
    for (size_t i = 0; i < m_pending.size() && !IsCancelled(); ++i) {
        for (announced = std::max(announced, i); announced < m_pending.size(); ++announced) {
            const CPendingStore& next = m_pending[announced];
            if (next.found.kind != TavFileKind::Regular) continue;
            if (!m_repository->PrefetchFileContent(next.path.c_str(), next.chunkSize)) break;
        }
        StoreOnePending(m_pending[i]);
    }
    ClearPending();
}

void CTavEngineFiles::ClearPending() {
    m_pending.clear();
    m_pendingBytes = 0;
}

void CTavEngineFiles::StoreOnePending(const CPendingStore& pending) {
    m_currentPath = pending.path;
    if (pending.nodeId == TAV_NONE) {
        if (AddItem(pending.parentId, pending.found, pending.path) == TAV_NONE)
            ItemError(filespath::Printable(pending.path), StoreFailure(), m_lastRepError.empty());
        else
            ++m_counts.added;
        return;
    }
    // The node as the walk left it: it took the item and changed nothing else.
    TavNodeRec node;
    if (!m_baseline->LoadNode(node, pending.nodeId)) {
        WorkDone(pending.found);
        ItemError(filespath::Printable(pending.path), StoreFailure(), m_lastRepError.empty());
        return;
    }
    UpdateItem(node, pending.found, pending.path);
}
